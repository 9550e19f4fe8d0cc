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

} // namespace PortList
