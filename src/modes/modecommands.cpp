#include "modes/modecommands.h"

#include "modes/modesteps.h"

namespace ModeCommands {

CommandList clock(const QString &digits)
{
    return {{'M', digits.toLatin1(), Pause::kShort}};
}

CommandList count(const QString &xcount, int chainLength)
{
    return {{'M', ModeSteps::countDigits(xcount, chainLength).toLatin1(), Pause::kShort}};
}

CommandList animate(int code, int chainLength)
{
    return {{'M', QByteArray(qMax(0, chainLength), static_cast<char>(code)), Pause::kShort}};
}

} // namespace ModeCommands
