#include "serial/portlock.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace PortLock {

namespace {

bool alive(qint64 pid)
{
    // EPERM: the process lives under another user.
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

QString programOf(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

QByteArray readLock(const QString &path)
{
    QFile file(path);
    // A lock file is a line or three; anything larger is not one.
    return file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
}

} // namespace

QStringList folders()
{
    return {QStringLiteral("/var/lock"),
            QStringLiteral("/etc/locks"),
            QStringLiteral("/var/spool/locks"),
            QStringLiteral("/var/spool/uucp"),
            QStringLiteral("/tmp"),
            QStringLiteral("/var/tmp"),
            QStringLiteral("/var/lock/lockdev"),
            QStringLiteral("/run/lock")};
}

QString fileName(const QString &device)
{
    static const QString dev = QStringLiteral("/dev/");
    QString name = device.startsWith(dev) ? device.mid(dev.size()) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

std::optional<Owner> parse(const QByteArray &content)
{
    Owner owner;
    // Kermit and some old UUCP versions wrote the pid as four binary bytes.
    const bool text = std::all_of(content.cbegin(), content.cend(), [](char c) {
        return (c >= ' ' && c <= '~') || c == '\n' || c == '\r' || c == '\t';
    });
    if (!text && content.size() == 4) {
        qint32 pid = 0;
        std::memcpy(&pid, content.constData(), sizeof pid);
        owner.pid = pid;
    } else {
        const QList<QByteArray> lines = content.split('\n');
        bool ok = false;
        owner.pid = lines.value(0).trimmed().toLongLong(&ok);
        if (!ok)
            return std::nullopt;
        // Qt's second line names the program.
        owner.name = QString::fromUtf8(lines.value(1).trimmed());
    }
    if (owner.pid <= 0)
        return std::nullopt;
    return owner;
}

std::optional<Owner> holder(const QString &device, const QStringList &lockFolders)
{
    const QString name = fileName(device);
    for (const QString &folder : lockFolders) {
        const QString path = folder + QLatin1Char('/') + name;
        if (!QFile::exists(path))
            continue;
        std::optional<Owner> owner = parse(readLock(path));
        // A lock whose process is gone holds nothing; a later folder may still have a live one.
        if (!owner || !alive(owner->pid))
            continue;
        if (owner->name.isEmpty())
            owner->name = programOf(owner->pid);
        return owner;
    }
    return std::nullopt;
}

bool stamp(const QString &device, const QStringList &lockFolders)
{
    const qint64 self = QCoreApplication::applicationPid();
    const QString name = fileName(device);
    for (const QString &folder : lockFolders) {
        const QString path = folder + QLatin1Char('/') + name;
        QByteArray content = readLock(path);
        const std::optional<Owner> owner = parse(content);
        if (!owner || owner->pid != self)
            continue;
        const qsizetype firstLineEnd = content.indexOf('\n');
        const QByteArray rest = firstLineEnd < 0 ? QByteArray("\n") : content.mid(firstLineEnd);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        const QByteArray pid = QByteArray::number(self).rightJustified(10, ' ');
        return file.write(pid + rest) == pid.size() + rest.size() && file.flush();
    }
    return false;
}

} // namespace PortLock
