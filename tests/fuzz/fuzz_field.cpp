#include "fuzzcheck.h"

#include "core/basicutilities.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

// Field on any text, field number and separator, compared with a splitter built on
// QString::split: the count of fields and every field agree, numbers outside 0 to 8000 give an
// empty text, and a blank or empty separator comes back as a blank.
//
// Input layout: two bytes for n (mapped onto -10 to 8010), one byte for the separator (0 is
// the empty separator, any other value that Latin-1 character), the rest the text as UTF-8.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const int n = ((data[0] << 8) | data[1]) % (kMaxFieldIndex + 21) - 10;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 3),
                                           static_cast<qsizetype>(size - 3));
    QString separator = data[2] == 0 ? QString() : QString(QChar(data[2]));

    const bool blank = separator.isEmpty() || separator == QStringLiteral(" ");
    const QChar sep = blank ? QChar(QLatin1Char(' ')) : separator.at(0);
    // The reference: for a blank separator no leading blanks and runs of blanks as one; a
    // trailing separator does not open a further field.
    QString work;
    for (const QChar c : text) {
        if (!blank || c != sep || (!work.isEmpty() && !work.endsWith(sep)))
            work.append(c);
    }
    QStringList fields = work.isEmpty() ? QStringList() : work.split(sep);
    if (fields.size() > 1 && work.endsWith(sep))
        fields.removeLast();

    QString given = separator;
    const QString result = Field(text, n, given);
    if (blank)
        require(given == QStringLiteral(" "));
    else
        require(given == separator);

    if (n < 0 || n > kMaxFieldIndex)
        require(result.isEmpty());
    else if (n == 0)
        require(result == QString::number(fields.size()));
    else
        require(result == fields.value(n - 1));

    // The count and the fields around its end agree with the reference as well.
    QString again = separator;
    require(Field(text, 0, again) == QString::number(fields.size()));
    const int count = static_cast<int>(fields.size());
    for (const int k : {1, count, count + 1}) {
        if (k >= 1 && k <= kMaxFieldIndex)
            require(Field(text, k, sep) == fields.value(k - 1));
    }
    return 0;
}
