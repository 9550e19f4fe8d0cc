#include "font/fontload.h"

#include "font/fonttable.h"

#include <QFile>

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
    if (!file.open(QIODevice::ReadOnly))
        read.refusal = file.errorString();
    else
        read = FontFile::readLoadFile(file);
    apply(read, table);
    return read;
}

} // namespace FontLoad
