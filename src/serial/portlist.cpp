#include "serial/portlist.h"

#include <QSerialPortInfo>

namespace PortList {

QList<ListedPort> available()
{
    const auto hex = [](quint16 id) { return QStringLiteral("%1").arg(id, 4, 16, QChar('0')); };
    QList<ListedPort> ports;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        const QString ids
                = port.hasVendorIdentifier() && port.hasProductIdentifier()
                          ? hex(port.vendorIdentifier()) + ':' + hex(port.productIdentifier())
                          : QString();
        ports.append({port.systemLocation(), port.description(), port.manufacturer(),
                      port.serialNumber(), ids});
    }
    return ports;
}

QStringList devices()
{
    QStringList devices;
    for (const ListedPort &port : available())
        devices.append(port.device);
    return devices;
}

Choice choose(const QString &named)
{
    if (!named.isEmpty())
        return {named, QString()};
    const QStringList listed = devices();
    if (listed.size() == 1)
        return {listed.first(), QString()};
    return {QString(), listed.isEmpty()
                               ? QStringLiteral("no serial port found; name one with --port")
                               : "several serial ports; name one with --port:\n  "
                                         + listed.join(QStringLiteral("\n  "))};
}

} // namespace PortList
