#include "protocol/pacedcommand.h"

#include "protocol/command.h"

QByteArray PacedCommand::bytes() const
{
    return Command::build(letter, argument);
}
