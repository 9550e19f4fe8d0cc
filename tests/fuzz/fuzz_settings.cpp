#include "fuzzcheck.h"

#include "app/settingsfile.h"
#include "widgets/alert.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>

// The settings file as the program meets it at start-up: any bytes on disk. Loading never
// alerts for a readable file, keeps 100 slots of bounded length, and what it loaded is saved as
// exactly 100 lines that load back to the same slots.
namespace {

// Alerts beep through the application, so one lives for the whole run.
QApplication *g_application = nullptr;
std::unique_ptr<QTemporaryDir> g_dir;
QString g_path;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    require(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    g_application = new QApplication(*argc, *argv);
    setAlertResponder([](const AlertRecord &) { return true; });
    // A memory file system keeps the thousands of writes per second off the disk.
    const bool shm = QDir(QStringLiteral("/dev/shm")).exists();
    g_dir = std::make_unique<QTemporaryDir>((shm ? "/dev/shm" : QDir::tempPath())
                                            + "/vornik-fuzz-XXXXXX");
    require(g_dir->isValid());
    g_path = g_dir->filePath(QStringLiteral("vornik.ini"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile file(g_path);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        require(file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size))
                == static_cast<qint64>(size));
    }
    clearAlertHistory();

    QStringList loaded = emptySettingsLines();
    IniFile(IniMode::Load, g_path, loaded);
    require(alertHistory().isEmpty());
    require(loaded.size() == kSettingsLines + 1);
    for (const QString &line : loaded)
        require(line.size() <= 65536);
    if (size == 0) {
        require(loaded.at(1) == QStringLiteral(" ") && loaded.at(2) == QStringLiteral(" "));
        require(readAll(g_path) == QByteArray(" \r\n \r\n"));
    }

    IniFile(IniMode::Save, g_path, loaded);
    require(alertHistory().isEmpty());
    const QByteArray saved = readAll(g_path);
    require(saved.count("\r\n") == kSettingsLines);
    require(saved.endsWith("\r\n"));

    // A slot cut in the middle of a multi-byte character grows when it is written back, and
    // may be cut again on the next load; only slots that fit can be compared.
    for (const QString &line : loaded) {
        if (line.toLocal8Bit().size() >= 65535)
            return 0;
    }
    QStringList reloaded = emptySettingsLines();
    IniFile(IniMode::Load, g_path, reloaded);
    require(alertHistory().isEmpty());
    require(reloaded == loaded);
    return 0;
}
