#include "protocol/messagecommands.h"

#include <QtGlobal>

namespace MessageCommands {

CommandList message(const QByteArray &message)
{
    return {{'M', message, kPause}};
}

CommandList attribute(char letter, const QByteArray &attribute, const QByteArray &message)
{
    return {{letter, attribute, kPause}, {'M', message, kPause}};
}

CommandList writeAll(const QByteArray &fonts, const QByteArray &effects, const QByteArray &speeds,
                     const QByteArray &message)
{
    return {{'F', fonts, kPause},
            {'E', effects, kPause},
            {'S', speeds, kPause},
            {'M', message, kPause}};
}

CommandList blank(int chainLength)
{
    return {{'F', QByteArray(qMax(0, chainLength), '0'), kCharacterPause},
            {'M', QByteArray(6, ' '), kCharacterPause}};
}

CommandList showCharacter(int code, int pause)
{
    if (code < 0 || code > 255)
        return {};
    return {{'M', QByteArray(1, static_cast<char>(code)), pause}};
}

} // namespace MessageCommands
