#include "protocol/command.h"

#include <stdexcept>

namespace Command {

bool isLetter(char letter)
{
    switch (letter) {
    case 'M':
    case 'F':
    case 'U':
    case 'E':
    case 'S':
    case 'W':
        return true;
    default:
        return false;
    }
}

QByteArray build(char letter, const QByteArray &argument)
{
    if (!isLetter(letter))
        throw std::invalid_argument("unknown command letter");
    if (argument.contains('\r'))
        throw std::invalid_argument("a command argument cannot hold a carriage return");
    QByteArray command;
    command.reserve(argument.size() + 5);
    command.append(kPrefix).append(letter).append(argument).append('\r');
    return command;
}

bool isWellFormed(const QByteArray &bytes)
{
    return bytes.size() >= 5 && bytes.startsWith(kPrefix) && isLetter(bytes.at(3))
            && bytes.endsWith('\r') && bytes.count('\r') == 1;
}

} // namespace Command
