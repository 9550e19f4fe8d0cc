#include "serial/deviceidentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>

DeviceIdentity::DeviceIdentity(quint64 number, const QString &usb, const QString &byId)
    : m_number(number), m_usb(usb), m_byId(byId)
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
    return DeviceIdentity(S_ISCHR(status.st_mode) ? status.st_rdev : status.st_ino, usb, byId);
}

bool DeviceIdentity::sameDevice(const DeviceIdentity &other) const
{
    // One whose ids or by-id name cannot be read (yet) is not taken for one that had them: it
    // is looked at again later.
    if (!m_usb.isEmpty() || !other.m_usb.isEmpty())
        return m_usb == other.m_usb;
    if (!m_byId.isEmpty() || !other.m_byId.isEmpty())
        return m_byId == other.m_byId;
    return m_number == other.m_number;
}

QString DeviceIdentity::text() const
{
    if (!m_usb.isEmpty())
        return "USB " + m_usb;
    if (!m_byId.isEmpty())
        return m_byId;
    return QStringLiteral("device %1:%2")
            .arg(major(static_cast<dev_t>(m_number)))
            .arg(minor(static_cast<dev_t>(m_number)));
}
