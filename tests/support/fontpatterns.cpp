#include "support/testhelpers.h"

#include "font/fonttable.h"

QString distinctPattern(int code)
{
    QString text;
    const unsigned mixed = static_cast<unsigned>(code) * 2654435761u;
    for (int k = 0; k < FontTable::kSegments; ++k)
        text += (mixed >> (k + 9)) & 1u ? QLatin1Char('1') : QLatin1Char('0');
    return text;
}

QStringList savedFontLines()
{
    QStringList lines;
    for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
        lines.append(QString::number(code).rightJustified(3, QLatin1Char('0')) + QLatin1Char(' ')
                     + distinctPattern(code));
    return lines;
}
