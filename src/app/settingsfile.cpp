#include "app/settingsfile.h"

#include "core/atomicfile.h"
#include "core/basicutilities.h"
#include "core/errortext.h"
#include "core/linereader.h"
#include "core/settingslines.h"
#include "widgets/alert.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>

namespace {

// The "Key=value" lines after the 100 a file may hold; more are not read.
constexpr int kMaxKeyLines = 100;

bool isKeyLine(const QString &line)
{
    return line.indexOf(QLatin1Char('=')) > 0;
}

void reportIniError(qint32 number, const QString &description)
{
    // A close by a signal or the session's end shows no alert, so the failure is also logged.
    qWarning("Settings file error %d: %s", number, qPrintable(description));
    showalert(QStringLiteral("Ini file load/save error"),
              QStringLiteral("This is usually the result of another program taking over the INI "
                             "file for this program.  This can typically be resolved by deleting "
                             "the INI file in this program's directory and then re-starting the "
                             "program"),
              number, AlertStyle::Error, 12, description);
}

AtomicWriteResult createBlankFile(const QString &path)
{
    return writeFileAtomically(path, QByteArrayLiteral(" \r\n \r\n"));
}

bool load(const QString &path, QStringList &lines)
{
    const QFileInfo info(path);
    if (!info.exists() || (FileExists(path) && info.size() == 0)) {
        const AtomicWriteResult created = createBlankFile(path);
        if (!created.ok) {
            reportIniError(fileErrorNumber(path, created.systemError), created.errorText);
            return false;
        }
    }
    // Only a regular file is opened: a FIFO would wait for a writer and stop the start-up.
    if (!QFileInfo(path).isFile()) {
        reportIniError(fileErrorNumber(path, 0), notRegularFileText(path));
        return false;
    }
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        reportIniError(fileErrorNumber(path, errno), file.errorString());
        return false;
    }
    readSettingsLines(file, lines);
    // The window's settings after the 100 lines, read from the start again since the reader
    // may have taken more of the file than it returned.
    lines = lines.mid(0, kSettingsLines + 1);
    if (file.error() == QFileDevice::NoError && file.seek(0)) {
        const QStringList all = readBoundedLines(file, kSettingsLines + kMaxKeyLines);
        for (const QString &line : all.mid(kSettingsLines)) {
            if (isKeyLine(line))
                lines.append(line);
        }
    }
    if (file.error() != QFileDevice::NoError) {
        reportIniError(ErrorNumber::FileAccess, file.errorString());
        return false;
    }
    return true;
}

bool save(const QString &path, const QStringList &lines)
{
    QFile existing(path);
    if (existing.exists())
        existing.setPermissions(existing.permissions() | QFileDevice::WriteOwner
                                | QFileDevice::WriteUser);
    QByteArray content = settingsFileBytes(lines);
    for (const QString &line : lines.mid(kSettingsLines + 1))
        content += line.toLocal8Bit() + "\r\n";
    const AtomicWriteResult written = writeFileAtomically(path, content);
    if (!written.ok)
        reportIniError(fileErrorNumber(path, written.systemError), written.errorText);
    return written.ok;
}

} // namespace

bool IniFile(IniMode mode, const QString &path, QStringList &lines)
{
    while (lines.size() <= kSettingsLines)
        lines.append(QString());
    return mode == IniMode::Load ? load(path, lines) : save(path, lines);
}

QString settingsFilePath()
{
    const QString baseName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    const QString name
            = (baseName.isEmpty() ? QStringLiteral("vornik") : baseName) + QStringLiteral(".ini");
    const QString besideProgram = AppPath() + QLatin1Char('/') + name;
    const QFileInfo dirInfo(AppPath());
    const QFileInfo fileInfo(besideProgram);
    if ((fileInfo.exists() && fileInfo.isWritable())
        || (!fileInfo.exists() && dirInfo.isWritable()))
        return besideProgram;
    // Note: a read-only settings file in a writable directory stays beside the program;
    // its read-only mark is removed when it is saved.
    if (fileInfo.exists() && dirInfo.isWritable())
        return besideProgram;
    const QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(userDir);
    return userDir + QLatin1Char('/') + name;
}

QString settingValue(const QStringList &lines, const QString &key)
{
    const QString prefix = key + QLatin1Char('=');
    for (const QString &line : lines.mid(kSettingsLines + 1)) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return QString();
}

void setSettingValue(QStringList &lines, const QString &key, const QString &value)
{
    while (lines.size() <= kSettingsLines)
        lines.append(QString());
    const QString prefix = key + QLatin1Char('=');
    for (int slot = kSettingsLines + 1; slot < lines.size(); ++slot) {
        if (lines.at(slot).startsWith(prefix))
            lines.removeAt(slot--);
    }
    if (!value.isEmpty())
        lines.append(prefix + value);
}
