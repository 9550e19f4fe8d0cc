#include "protocol/coderules.h"

#include "core/basicutilities.h"

#include <algorithm>

namespace CodeRules {

namespace {
using Protocol::isReservedCode;
} // namespace

int clampCode(qint64 value)
{
    const int code = static_cast<int>(std::clamp<qint64>(value, kFirstCode, kLastCode));
    // The last code is not reserved, so the step never leaves the range.
    return isReservedCode(code) ? code + 1 : code;
}

int selectedCode(const QString &text)
{
    return clampCode(LeadingNumber(text));
}

int nextCode(int code)
{
    code = clampCode(code);
    if (code < kLastCode) {
        ++code;
        if (isReservedCode(code))
            ++code;
    }
    return code;
}

int previousCode(int code)
{
    code = clampCode(code);
    if (code > kFirstCode) {
        --code;
        if (isReservedCode(code))
            --code;
    }
    return code;
}

bool isUserFontCharacter(int code)
{
    return Protocol::isUserCode(code);
}

int controlCharacter(int key)
{
    return key >= '@' && key <= '_' ? key - '@' : -1;
}

KeyVerdict singlecharKey(int code)
{
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'F'))
        return KeyVerdict::insert(QChar(code));
    if (code >= 'a' && code <= 'f')
        return KeyVerdict::insert(QChar(code - ('a' - 'A')));
    return KeyVerdict::editing(code);
}

QString filledHexPair(const QString &text)
{
    return (QStringLiteral("00") + text).right(2);
}

} // namespace CodeRules
