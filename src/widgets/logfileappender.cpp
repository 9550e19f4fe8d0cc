#include "widgets/logfileappender.h"

#include "core/atomicfile.h"
#include "core/basicutilities.h"
#include "core/errortext.h"
#include "widgets/alert.h"
#include "widgets/filedialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>

LogFileAppender::LogFileAppender(QObject *owner) : m_owner(owner) {}

LogFileAppender::~LogFileAppender() = default;

QString LogFileAppender::fileName() const
{
    return QFileInfo(m_file->fileName()).fileName();
}

bool LogFileAppender::openChosen()
{
    const QString result = SaveFileDialog(QStringLiteral("Log to file"), QString(), QString(),
                                          QStringLiteral("2"), false);
    if (result.isEmpty())
        return false;
    return open(dialogResultPath(result));
}

bool LogFileAppender::open(const QString &path)
{
    // A FIFO would block the window until a reader came, a device is no log.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        showalert(fileOpenErrorTitle(), QString(), fileErrorNumber(path, 0), AlertStyle::Error, 12,
                  notRegularFileText(path));
        return false;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        const int error = errno;
        showalert(fileOpenErrorTitle(), QString(), fileErrorNumber(path, error), AlertStyle::Error,
                  12, file->errorString());
        return false;
    }
    m_file = std::move(file);
    return true;
}

QString LogFileAppender::path() const
{
    return m_file ? m_file->fileName() : QString();
}

bool LogFileAppender::append(const QString &text)
{
    const QByteArray line = (text + CRLF).toLocal8Bit();
    if (m_file->write(line) == line.size())
        return true;
    // A full disk or a lost drive: logging stops, and says why once the append is done.
    const int error = errno;
    const QString path = m_file->fileName();
    const QString why = m_file->errorString();
    m_file.reset();
    QTimer::singleShot(0, m_owner, [path, why, error] {
        showalert(fileSaveErrorTitle(), QString(), fileErrorNumber(path, error), AlertStyle::Error,
                  12, why);
    });
    return false;
}

void LogFileAppender::close()
{
    m_file.reset();
}

void LogFileAppender::saveAs(const QString &text)
{
    const QString result = SaveFileDialog(QStringLiteral("Save log"), QString(), QString(),
                                          QStringLiteral("2"), true);
    if (result.isEmpty())
        return;
    const QString path = dialogResultPath(result);
    const AtomicWriteResult written = writeFileAtomically(path, text.toLocal8Bit());
    if (!written.ok)
        showalert(fileSaveErrorTitle(), QString(), fileErrorNumber(path, written.systemError),
                  AlertStyle::Error, 12, written.errorText);
}
