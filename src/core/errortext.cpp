#include "core/errortext.h"

#include "core/basicutilities.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

QString fileOpenErrorTitle()
{
    return QStringLiteral("File open error");
}

QString fileSaveErrorTitle()
{
    return QStringLiteral("File save error");
}

QString notRegularFileText(const QString &path)
{
    return QStringLiteral("%1 is not a regular file").arg(path);
}

QString errortext(qint32 number, const QString &description)
{
    switch (number) {
    case ErrorNumber::Overflow:
        return QStringLiteral("A math operation has resulted in an overflow condition.");
    case ErrorNumber::FileLocked:
        return QStringLiteral(
                "A file access error occurred typical of an attempt to write to a file locked for "
                "access by another program.  Check that files written to by this program are not "
                "open in another program (such as Excel) and if so close that program.");
    case ErrorNumber::DriveNotReady:
        return QStringLiteral(
                "A file access error occurred typical of an attempt to write to a file when the "
                "target drive is not ready.  Wait for any drive initialization to complete and "
                "re-try the operation.");
    case ErrorNumber::RenameAcrossDrives:
        return QStringLiteral("A file access error occured typical of an attempt to rename a file "
                              "using a different drive letter that its current path.");
    case ErrorNumber::FileAccess:
    case ErrorNumber::PathNotFound:
        return QStringLiteral(
                "A file access error occured typical of an attempt to write a file to a directory "
                "that does not exist.  Check that the directory expected by this program actually "
                "exists.");
    case ErrorNumber::DialogCancelled:
        return QStringLiteral("The selected file is not available for access.");
    case ErrorNumber::PortDoesNotExist:
        return QStringLiteral("An attempt was made to open a serial port that does not exist.");
    case ErrorNumber::PortLost:
        return QStringLiteral(
                       "A serial port error occurred typical of unplugging the USB cable while the "
                       "port was open.  Reconnect the cable, rescan the ports (By hitting ")
               + QUOTE + QStringLiteral("Enter") + QUOTE
               + QStringLiteral(" with the cursor in the port select list) and then re-open the "
                                "desired port.");
    case ErrorNumber::PortBusy:
        return QStringLiteral(
                "An attempt was made to open a serial port that was already open or does not "
                "exist.  If the device was unplugged after the port scan was completed, reconnect "
                "the device and then rescan the ports.");
    case ErrorNumber::PortWriteGone:
        return QStringLiteral(
                "An attempt was made to write to a serial port that does not exist.  If the device "
                "was unplugged after the port scan was completed, reconnect the device and then "
                "rescan the ports.");
    default:
        return QStringLiteral("An error has occured for which no handler is available: [")
               + description + QStringLiteral("]") + CRLF + CRLF
               + QStringLiteral("Report this error so that it may be fixed.");
    }
}

qint32 fileErrorNumber(const QString &path, int systemError)
{
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return ErrorNumber::PathNotFound;
    // Refused access, for reading as for writing or creating, is the locked-file case.
    if (systemError == EACCES || systemError == EPERM || (info.exists() && !info.isWritable()))
        return ErrorNumber::FileLocked;
    return ErrorNumber::FileAccess;
}
