#include "core/linereader.h"

#include <QIODevice>

QStringList readBoundedLines(QIODevice &file, int maxLines)
{
    QStringList lines;
    // Not atEnd(): a pipe has nothing buffered before its first read.
    while (lines.size() < maxLines) {
        QByteArray line = file.readLine(kMaxLineBytes + 1);
        // Every line read holds at least its line end or one character: nothing means the
        // end of the data or a read error.
        if (line.isEmpty())
            break;
        if (line.endsWith('\n')) {
            line.chop(1);
        } else {
            // An overlong line is cut and the rest of it skipped.
            for (QByteArray rest = line; !rest.isEmpty() && !rest.endsWith('\n');)
                rest = file.readLine(kMaxLineBytes + 1);
        }
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(QString::fromLocal8Bit(line));
    }
    return lines;
}
