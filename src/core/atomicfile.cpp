#include "core/atomicfile.h"

#include "core/errortext.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

AtomicWriteResult failure(const QFileDevice &file, int systemError)
{
    AtomicWriteResult result;
    result.error = file.error() == QFileDevice::NoError ? QFileDevice::WriteError : file.error();
    result.errorText = file.errorString();
    result.systemError = systemError;
    return result;
}

// More than one name for the file: a replacement would leave the other names on the old text.
bool hasOtherHardLinks(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && status.st_nlink > 1;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// Overwrites the existing file itself, for when no new file can be made beside it.
AtomicWriteResult writeInPlace(const QString &path, const QByteArray &content)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failure(file, errno);
    if (file.write(content) != content.size() || !file.flush())
        return failure(file, errno);
    AtomicWriteResult result;
    result.ok = true;
    return result;
}

} // namespace

AtomicWriteResult writeFileAtomically(const QString &path, const QByteArray &content)
{
    AtomicWriteResult result;
    // A FIFO or a device in path's place is never replaced: renaming over /dev/null would
    // destroy it for every program.
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isFile() && !existing.isDir()) {
        result.error = QFileDevice::WriteError;
        result.errorText = notRegularFileText(path);
        return result;
    }
    if (existing.isFile() && hasOtherHardLinks(path))
        return writeInPlace(path, content);
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        const int openError = errno;
        // A directory that refuses new files may still hold a writable file of that name.
        if (existing.isFile() && existing.isWritable())
            return writeInPlace(path, content);
        return failure(file, openError);
    }
    // QSaveFile buffers the data and its commit() does not notice a failed final flush, so the
    // flush is checked here and the new file abandoned when it fails.
    if (file.write(content) != content.size() || !file.flush()) {
        result = failure(file, errno);
        file.cancelWriting();
        file.commit();
        return result;
    }
    if (!file.commit())
        return failure(file, errno);
    result.ok = true;
    return result;
}
