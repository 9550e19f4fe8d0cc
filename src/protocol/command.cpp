#include "protocol/command.h"

#include <cstring>
#include <stdexcept>

namespace Command {

bool isLetter(char letter)
{
    return letter != '\0' && std::strchr(Protocol::kLetters, letter) != nullptr;
}

QByteArray build(char letter, const QByteArray &argument)
{
    if (!isLetter(letter))
        throw std::invalid_argument("unknown command letter");
    if (argument.contains(Protocol::kFrameEnd))
        throw std::invalid_argument("a command argument cannot hold a carriage return");
    QByteArray command;
    command.reserve(argument.size() + 5);
    command.append(kPrefix).append(letter).append(argument).append(Protocol::kFrameEnd);
    return command;
}

bool isWellFormed(const QByteArray &bytes)
{
    return bytes.size() >= 5 && bytes.startsWith(kPrefix) && isLetter(bytes.at(3))
           && bytes.endsWith(Protocol::kFrameEnd) && bytes.count(Protocol::kFrameEnd) == 1;
}

} // namespace Command
