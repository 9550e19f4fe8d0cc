#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The lock files by which programs on one machine share a serial port ("LCK..ttyUSB0"): read in
// every format in use (the ten-character ASCII pid of UUCP, lockdev and terminal programs, an
// old binary pid, Qt's pid, program and host lines), never taken over while their process
// lives, and ours stamped so that every one of those readers understands it.
namespace PortLock {

struct Owner
{
    qint64 pid = 0;
    QString name; // the program, from the lock where it says it, else from the system
};

// The lock folders, in the order QSerialPort takes its lock in the first usable one.
QStringList folders();
// The lock file's name for a device: "LCK..ttyUSB0" for /dev/ttyUSB0, "LCK..pts_7" for /dev/pts/7.
QString fileName(const QString &device);
// The pid and program a lock file's content names, in any of the formats; none when it names
// no process.
std::optional<Owner> parse(const QByteArray &content);
// The live process that holds device by a lock file in one of lockFolders; none when there is
// no lock or its process is gone.
std::optional<Owner> holder(const QString &device, const QStringList &lockFolders = folders());
// Rewrites this process's own lock of device (QSerialPort's) so that its first line is the
// ten-character pid that UUCP-style readers take; Qt's lines follow for Qt's readers. False
// when this process holds no lock of device there.
bool stamp(const QString &device, const QStringList &lockFolders = folders());

} // namespace PortLock
