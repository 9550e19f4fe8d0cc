#pragma once

#include <QFileDevice>
#include <QString>

// Error numbers the program explains to the user, and the mapping of platform failures to them.
namespace ErrorNumber {
inline constexpr qint32 Overflow = 6;
inline constexpr qint32 FileLocked = 70;
inline constexpr qint32 DriveNotReady = 71;
inline constexpr qint32 RenameAcrossDrives = 74;
inline constexpr qint32 FileAccess = 75;
inline constexpr qint32 PathNotFound = 76;
inline constexpr qint32 DialogCancelled = 32755;
inline constexpr qint32 PortDoesNotExist = static_cast<qint32>(0x80010108u);
inline constexpr qint32 PortLost = static_cast<qint32>(0x8000FFFFu);
inline constexpr qint32 PortBusy = static_cast<qint32>(0x80040205u);
inline constexpr qint32 PortWriteGone = static_cast<qint32>(0x80040206u);
} // namespace ErrorNumber

// The titles of the alerts that report a file that could not be opened or saved.
QString fileOpenErrorTitle();
QString fileSaveErrorTitle();
// Why path is not used: it names a FIFO, a device or a directory, not a regular file.
QString notRegularFileText(const QString &path);

// The plain-language explanation of an error number, or the request to report an unknown one.
QString errortext(qint32 number, const QString &description);

// Maps a failed file operation on path to 70 (access refused), 76 (no such directory) or 75;
// systemError is the errno the failure left, 0 when there was none.
qint32 fileErrorNumber(const QString &path, int systemError);
