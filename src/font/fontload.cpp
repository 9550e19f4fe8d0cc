#include "font/fontload.h"

#include "font/fonttable.h"

#include <QFile>

#include <unistd.h>

namespace FontLoad {

bool apply(const FontFile::Patterns &read, FontTable &table)
{
    if (!read.ok())
        return false;
    table.applyUserPatterns(read.patterns);
    return true;
}

FontFile::Patterns load(const QString &path, FontTable &table)
{
    QFile file(path);
    FontFile::Patterns read;
    const bool opened = path == QLatin1String("-") ? file.open(STDIN_FILENO, QIODevice::ReadOnly)
                                                   : file.open(QIODevice::ReadOnly);
    if (!opened)
        read.refusal = file.errorString();
    else
        read = FontFile::readLoadFile(file);
    apply(read, table);
    return read;
}

QString sourceName(const QString &path)
{
    return path == QLatin1String("-") ? QStringLiteral("standard input") : path;
}

} // namespace FontLoad
