#include "core/linereader.h"

#include <QIODevice>

QStringList readBoundedLines(QIODevice &file, int maxLines)
{
    QStringList lines;
    while (lines.size() < maxLines && !file.atEnd()) {
        QByteArray line = file.readLine(kMaxLineBytes + 1);
        // Every line read holds at least its line end or one character: nothing means the
        // end of the data or a read error.
        if (line.isEmpty())
            break;
        if (line.endsWith('\n')) {
            line.chop(1);
        } else {
            // An overlong line is cut and the rest of it skipped.
            while (!file.atEnd()) {
                const QByteArray rest = file.readLine(kMaxLineBytes + 1);
                if (rest.isEmpty() || rest.endsWith('\n'))
                    break;
            }
        }
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(QString::fromLocal8Bit(line));
    }
    return lines;
}
