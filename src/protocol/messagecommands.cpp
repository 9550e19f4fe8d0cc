#include "protocol/messagecommands.h"

#include <QtGlobal>

namespace MessageCommands {

CommandList message(const QByteArray &message)
{
    return {{'M', message, Pause::kShort}};
}

CommandList attribute(char letter, const QByteArray &attribute, const QByteArray &message)
{
    return {{letter, attribute, Pause::kShort}, {'M', message, Pause::kShort}};
}

CommandList writeAll(const QByteArray &fonts, const QByteArray &effects, const QByteArray &speeds,
                     const QByteArray &message)
{
    return {{'F', fonts, Pause::kShort},
            {'E', effects, Pause::kShort},
            {'S', speeds, Pause::kShort},
            {'M', message, Pause::kShort}};
}

CommandList blank(int chainLength)
{
    return {{'F', QByteArray(qMax(0, chainLength), '0'), Pause::kLong},
            {'M', QByteArray(6, ' '), Pause::kLong}};
}

CommandList showCharacter(int code, int pause)
{
    if (code < 0 || code > 255)
        return {};
    return {{'M', QByteArray(1, static_cast<char>(code)), pause}};
}

} // namespace MessageCommands
