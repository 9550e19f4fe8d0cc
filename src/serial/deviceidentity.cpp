#include "serial/deviceidentity.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {
// Linux gives pseudo-terminals' far ends (/dev/pts/N) these majors.
constexpr unsigned kFirstPtyMajor = 136, kLastPtyMajor = 143;
} // namespace

DeviceIdentity::DeviceIdentity(quint64 number, const QString &usb, const QString &byId,
                               qint64 madeNs)
    : m_number(number), m_usb(usb), m_byId(byId), m_madeNs(madeNs)
{}

std::optional<DeviceIdentity> DeviceIdentity::of(const QString &path, const QString &byIdFolder)
{
    // QSerialPort takes "ttyUSB0" for /dev/ttyUSB0.
    const QString named = path.contains(QLatin1Char('/')) ? path : "/dev/" + path;
    const QString device = QFileInfo(named).canonicalFilePath();
    struct stat status;
    if (device.isEmpty() || ::stat(QFile::encodeName(device).constData(), &status) != 0)
        return std::nullopt;
    QString usb;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        // Without a serial number, two adapters of one make cannot be told apart by their ids.
        if (QFileInfo(port.systemLocation()).canonicalFilePath() != device
            || !port.hasVendorIdentifier() || !port.hasProductIdentifier()
            || port.serialNumber().isEmpty())
            continue;
        usb = QStringLiteral("%1:%2 %3")
                      .arg(port.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                      .arg(port.productIdentifier(), 4, 16, QLatin1Char('0'))
                      .arg(port.serialNumber());
    }
    QString byId;
    const QFileInfoList links = QDir(byIdFolder).entryInfoList(QDir::System | QDir::Files);
    for (const QFileInfo &link : links) {
        if (link.canonicalFilePath() == device)
            byId = link.fileName();
    }
    // A file that is not a device (a test's stand-in) is known by its inode.
    if (!S_ISCHR(status.st_mode))
        return DeviceIdentity(status.st_ino, usb, byId);
    const unsigned kind = major(status.st_rdev);
    const qint64 made = kind >= kFirstPtyMajor && kind <= kLastPtyMajor
                                ? status.st_ctim.tv_sec * 1000000000LL + status.st_ctim.tv_nsec
                                : 0;
    return DeviceIdentity(status.st_rdev, usb, byId, made);
}

bool DeviceIdentity::sameDevice(const DeviceIdentity &other) const
{
    // One whose ids or by-id name cannot be read (yet) is not taken for one that had them: it
    // is looked at again later.
    if (!m_usb.isEmpty() || !other.m_usb.isEmpty())
        return m_usb == other.m_usb;
    if (!m_byId.isEmpty() || !other.m_byId.isEmpty())
        return m_byId == other.m_byId;
    return m_number == other.m_number && m_madeNs == other.m_madeNs;
}

QString DeviceIdentity::text() const
{
    if (!m_usb.isEmpty())
        return "USB " + m_usb;
    if (!m_byId.isEmpty())
        return m_byId;
    const QString number = QStringLiteral("device %1:%2")
                                   .arg(major(static_cast<dev_t>(m_number)))
                                   .arg(minor(static_cast<dev_t>(m_number)));
    if (!m_madeNs)
        return number;
    return number + ", made "
           + QDateTime::fromMSecsSinceEpoch(m_madeNs / 1000000).toString("HH:mm:ss.zzz");
}
