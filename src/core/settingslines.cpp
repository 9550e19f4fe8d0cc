#include "core/settingslines.h"

#include "core/linereader.h"

QStringList emptySettingsLines()
{
    QStringList lines;
    for (int slot = 0; slot <= kSettingsLines; ++slot)
        lines.append(QString());
    return lines;
}

void readSettingsLines(QIODevice &file, QStringList &lines)
{
    while (lines.size() <= kSettingsLines)
        lines.append(QString());
    const QStringList read = readBoundedLines(file, kSettingsLines);
    for (int i = 0; i < read.size(); ++i)
        lines[i + 1] = read.at(i);
}

QByteArray settingsFileBytes(const QStringList &lines)
{
    QByteArray content;
    for (int slot = 1; slot <= kSettingsLines; ++slot) {
        if (slot < lines.size())
            content += lines.at(slot).toLocal8Bit();
        content += "\r\n";
    }
    return content;
}
