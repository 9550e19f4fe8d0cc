#include "support/testhelpers.h"

#include <QFile>

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray joinLines(const QStringList &lines, const QByteArray &end)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toLocal8Bit() + end;
    return bytes;
}

QByteArray freshChainPaint(int digits)
{
    QByteArray frames;
    for (const char letter : QByteArray("FUES"))
        frames += "$B7" + QByteArray(1, letter) + QByteArray(digits, '0') + '\r';
    return frames + "$B7M" + QByteArray(digits, ' ') + '\r';
}
