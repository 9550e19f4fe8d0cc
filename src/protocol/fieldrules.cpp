#include "protocol/fieldrules.h"

#include "core/basicutilities.h"
#include "protocol/chainprotocol.h"

namespace FieldRules {

namespace {

constexpr int kFitCopies = 20;
constexpr int kSkip = Protocol::kSkip;
constexpr int kSpace = ' ';

bool inRange(int code, char first, char last)
{
    return code >= first && code <= last;
}

QChar upper(int code)
{
    return QChar(inRange(code, 'a', 'z') ? code - ('a' - 'A') : code);
}

KeyVerdict digitOrSkip(int code)
{
    if (inRange(code, '0', '9') || code == kSkip)
        return KeyVerdict::insert(QChar(code));
    return KeyVerdict::editing(code);
}

} // namespace

QString fitlength(const QString &text, int length)
{
    if (text.isEmpty() || length <= 0)
        return QString();
    return (text + QString(kFitCopies, text.back())).left(length);
}

KeyVerdict sentenceKey(int code)
{
    // ":" to "Z" covers ":;<=>?@" and the capitals.
    if (inRange(code, 'a', 'z') || inRange(code, 'A', 'Z') || inRange(code, '0', '9')
        || code == kSkip || code == kSpace || inRange(code, ':', 'Z'))
        return KeyVerdict::insert(upper(code));
    return KeyVerdict::editing(code);
}

KeyVerdict fontsKey(int code)
{
    if (code == Protocol::kUserFont || code == 'u')
        return KeyVerdict::insert(QLatin1Char(Protocol::kUserFont));
    return digitOrSkip(code);
}

KeyVerdict underscoreKey(int code)
{
    if (code == '0' || code == '1' || code == kSkip)
        return KeyVerdict::insert(QChar(code));
    return KeyVerdict::editing(code);
}

KeyVerdict effectsKey(int code)
{
    return digitOrSkip(code);
}

KeyVerdict speedsKey(int code)
{
    return digitOrSkip(code);
}

KeyVerdict mlengthKey(int code, const QString &before)
{
    if (inRange(code, '1', '9') || (code == '0' && !before.isEmpty()))
        return KeyVerdict::insert(QChar(code));
    if (code == kCR)
        return KeyVerdict::enter();
    // Delete may empty the field: the empty length clears every content field when it is left.
    if (code == 127)
        return KeyVerdict::pass();
    return KeyVerdict::swallow();
}

QString settledMessage(const QString &text, int length)
{
    return text.isEmpty() ? text : fitlength(text, length);
}

QString settledAttribute(const QString &text, int length)
{
    return fitlength(text.isEmpty() ? QStringLiteral("0") : text, length);
}

QString resetMessage(int length)
{
    return QString(qMax(0, length), QLatin1Char('A'));
}

QString resetAttribute(int length)
{
    return QString(qMax(0, length), QLatin1Char('0'));
}

} // namespace FieldRules
