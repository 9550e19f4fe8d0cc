#include "modes/modesteps.h"

#include "core/basicutilities.h"
#include "font/fonttable.h"

#include <limits>

namespace ModeSteps {

namespace {

constexpr int kCounterDigits = 18;
constexpr int kCountPadding = 10;

bool skipped(qint64 code)
{
    return code == kCR || code == '!';
}

bool isDigit(int code)
{
    return code >= '0' && code <= '9';
}

bool isLetter(int code)
{
    return (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z');
}

QString lastTwo(const QString &text)
{
    return text.right(2);
}

QString paddedTwo(const QString &text)
{
    return lastTwo(QStringLiteral("00") + text);
}

} // namespace

int animateNext(const QString &acc, const QString &start, const QString &stop)
{
    // Anything past the table restarts anyway; capping first keeps the addition in range.
    qint64 next = qMin<qint64>(LeadingNumber(acc), kStopMax + 1) + 1;
    if (skipped(next))
        ++next;
    const qint64 startCode = qBound(qint64(kStartMin), LeadingNumber(start), qint64(kStopMax));
    const qint64 stopCode = qMin<qint64>(LeadingNumber(stop), kStopMax);
    if (next > stopCode || next < FontTable::kFirstUserCode) {
        next = startCode;
        if (skipped(next))
            ++next;
    }
    return static_cast<int>(next);
}

QString timeDigits(const QString &time)
{
    const QString clock = Field(time, 1, QLatin1Char(' '));
    const QChar colon = QLatin1Char(':');
    return paddedTwo(Field(clock, 1, colon)) + paddedTwo(Field(clock, 2, colon))
            + lastTwo(Field(clock, 3, colon));
}

QString dateDigits(const QString &date)
{
    const QChar slash = QLatin1Char('/');
    return paddedTwo(Field(date, 1, slash)) + paddedTwo(Field(date, 2, slash))
            + lastTwo(Field(date, 3, slash));
}

QString countDigits(const QString &xcount, int length)
{
    if (length <= 0)
        return QString();
    return (QString(kCountPadding, QLatin1Char('0')) + xcount).right(length);
}

qint64 counterValue(const QString &text)
{
    qsizetype digits = 0;
    while (digits < text.size() && isDigit(text.at(digits).unicode()))
        ++digits;
    const QString lowest = text.left(digits).right(kCounterDigits);
    qint64 value = 0;
    for (const QChar c : lowest)
        value = value * 10 + (c.unicode() - '0');
    return value;
}

QString counterNormalised(const QString &text)
{
    return QString::number(counterValue(text));
}

QString counterNext(const QString &xcount)
{
    return QString::number((counterValue(xcount) + 1) % kCounterModulus);
}

bool isDiagnosticCode(const QString &text)
{
    return counterValue(text) == kDiagnosticCode;
}

int delayInterval(const QString &delay)
{
    return static_cast<int>(qMin<qint64>(LeadingNumber(delay), std::numeric_limits<int>::max()));
}

void validateAnimation(std::array<QString, 3> &fields, int edited)
{
    if (edited >= 0 && edited < static_cast<int>(fields.size()))
        fields[edited] = QString::number(LeadingNumber(fields[edited]));

    const qint64 delay = LeadingNumber(fields[kDelayField]);
    if (delay > kDelayMax)
        fields[kDelayField] = QString::number(kDelayMax);
    else if (delay < kDelayMin)
        fields[kDelayField] = QString::number(kDelayMin);

    if (LeadingNumber(fields[kStartField]) < kStartMin)
        fields[kStartField] = QString::number(kStartMin);
    if (LeadingNumber(fields[kStopField]) > kStopMax)
        fields[kStopField] = QString::number(kStopMax);

    const qint64 start = LeadingNumber(fields[kStartField]);
    const qint64 stop = LeadingNumber(fields[kStopField]);
    if (stop < start) {
        fields[kStartField] = QString::number(stop);
        fields[kStopField] = QString::number(start);
    }
}

AnimationKey animationKey(int field, int code)
{
    if (isLetter(code)) {
        AnimationKey key{KeyVerdict::swallow(), false, QString()};
        if (field == kStartField || field == kStopField) {
            key.replaces = true;
            key.replacement = QString::number(code);
        }
        return key;
    }
    return {KeyVerdict::digits(code), false, QString()};
}

QString timeFormatWithSeconds(const QString &shortFormat, const QString &longFormat)
{
    // Letters between single quotes are literal text, not fields of the format.
    bool quoted = false;
    qsizetype minutesEnd = -1;
    for (qsizetype i = 0; i < shortFormat.size(); ++i) {
        const QChar c = shortFormat.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c == QLatin1Char('s'))
            return shortFormat;
        if (c == QLatin1Char('m') && minutesEnd < 0) {
            minutesEnd = i;
            while (minutesEnd < shortFormat.size()
                   && shortFormat.at(minutesEnd) == QLatin1Char('m'))
                ++minutesEnd;
        }
    }
    if (minutesEnd < 0)
        return longFormat;
    QString format = shortFormat;
    format.insert(minutesEnd, QStringLiteral(":ss"));
    return format;
}

} // namespace ModeSteps
