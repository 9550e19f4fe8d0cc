#include "protocol/coderules.h"

#include "app/basicutilities.h"

#include <algorithm>

namespace CodeRules {

namespace {

bool isReserved(int code)
{
    return code == kReservedCR || code == kReservedSkip;
}

} // namespace

int clampCode(qint64 value)
{
    if (value == kReservedCR || value == kReservedSkip)
        ++value;
    return static_cast<int>(std::clamp<qint64>(value, kFirstCode, kLastCode));
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
        if (isReserved(code))
            ++code;
    }
    return code;
}

int previousCode(int code)
{
    code = clampCode(code);
    if (code > kFirstCode) {
        --code;
        if (isReserved(code))
            --code;
    }
    return code;
}

bool isUserFontCharacter(int code)
{
    return code >= kFirstCode && code <= kLastCode && !isReserved(code);
}

KeyVerdict accKey(int code)
{
    if (code >= '0' && code <= '9')
        return KeyVerdict::insert(QChar(code));
    return KeyVerdict::editing(code);
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
