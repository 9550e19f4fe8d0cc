#include "font/fontrules.h"

#include "core/basicutilities.h"
#include "font/fonttable.h"

namespace FontRules {

KeyVerdict patternKey(int code)
{
    if (code == '0' || code == '1')
        return KeyVerdict::insert(QChar(code));
    return KeyVerdict::editing(code);
}

QString cleanedPattern(const QString &text)
{
    QString cleaned = text.left(FontTable::kSegments);
    for (QChar &c : cleaned) {
        if (c != QLatin1Char('1'))
            c = QLatin1Char('0');
    }
    return cleaned;
}

QString storedPattern(const QString &text)
{
    return FontTable::padded(cleanedPattern(text));
}

QString editablePattern(const QString &text)
{
    QString kept;
    for (const QChar c : text) {
        if (c == QLatin1Char('0') || c == QLatin1Char('1'))
            kept += c;
    }
    return kept.left(FontTable::kSegments);
}

QByteArray patternWriteArgument(int code, const QString &pattern)
{
    return QByteArray(1, static_cast<char>(code)) + cleanedPattern(pattern).toLatin1();
}

QList<int> uploadCodes()
{
    QList<int> codes;
    for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code) {
        if (FontTable::isSelectableCode(code))
            codes.append(code);
    }
    return codes;
}

} // namespace FontRules
