#include "modes/modesteps.h"

#include "core/basicutilities.h"

#include <limits>

namespace ModeSteps {

namespace {

constexpr int kCounterDigits = 18;
constexpr int kCountPadding = 10;

// Only ever asked about codes from 1 to 127.
bool skipped(qint64 code)
{
    return Protocol::isReservedCode(static_cast<int>(code));
}

bool isDigit(int code)
{
    return code >= '0' && code <= '9';
}

bool isLetter(int code)
{
    return (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z');
}

QString twoDigits(int value)
{
    return QString::number(value).rightJustified(2, QLatin1Char('0'));
}

// The fields of a QLocale date or time format in their order, each once, as lower-case 'a' for
// the AM/PM marker and 'd', 'M', 'y', 'h', 'm', 's' otherwise; quoted text is skipped.
QString formatFields(const QString &format)
{
    QString fields;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        const QChar field = c == QLatin1Char('A')   ? QLatin1Char('a')
                            : c == QLatin1Char('H') ? QLatin1Char('h')
                                                    : c;
        if (!quoted && QStringLiteral("adMyhms").contains(field) && !fields.contains(field))
            fields += field;
    }
    return fields;
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
    if (next > stopCode || next < Protocol::kFirstUserCode) {
        next = startCode;
        if (skipped(next))
            ++next;
    }
    return static_cast<int>(next);
}

QString timeDigits(const QTime &time, const QString &timeFormat)
{
    int hour = time.hour();
    if (formatFields(timeFormat).contains(QLatin1Char('a'))) {
        hour %= 12;
        if (hour == 0)
            hour = 12;
    }
    return twoDigits(hour) + twoDigits(time.minute()) + twoDigits(time.second());
}

QString dateDigits(const QDate &date, const QString &dateFormat)
{
    QString digits;
    for (const QChar field : formatFields(dateFormat)) {
        if (field == QLatin1Char('d'))
            digits += twoDigits(date.day());
        else if (field == QLatin1Char('M'))
            digits += twoDigits(date.month());
        else if (field == QLatin1Char('y'))
            digits += twoDigits(date.year() % 100);
    }
    return digits;
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

} // namespace ModeSteps
