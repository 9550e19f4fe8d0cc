#include "core/atomicfile.h"

#include <QFileInfo>
#include <QSaveFile>

AtomicWriteResult writeFileAtomically(const QString &path, const QByteArray &content)
{
    AtomicWriteResult result;
    // A FIFO or a device in path's place is never replaced: renaming over /dev/null would
    // destroy it for every program.
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isFile() && !existing.isDir()) {
        result.error = QFileDevice::WriteError;
        result.errorText = QStringLiteral("%1 is not a regular file").arg(path);
        return result;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = file.error();
        result.errorText = file.errorString();
        return result;
    }
    // QSaveFile buffers the data and its commit() does not notice a failed final flush, so the
    // flush is checked here and the new file abandoned when it fails.
    if (file.write(content) != content.size() || !file.flush()) {
        result.error = file.error() == QFileDevice::NoError ? QFileDevice::WriteError : file.error();
        result.errorText = file.errorString();
        file.cancelWriting();
        file.commit();
        return result;
    }
    if (!file.commit()) {
        result.error = file.error();
        result.errorText = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}
