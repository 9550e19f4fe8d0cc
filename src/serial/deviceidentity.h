#pragma once

#include <QString>

#include <optional>

// Which device a port's path leads to, read without opening it, so that a path that came back
// as another device (a reused /dev/ttyUSB0, a pseudo-terminal's number taken by another
// program) is told from the one that was opened there.
class DeviceIdentity
{
public:
    // usb: "vendor:product serial" of an adapter that has a serial number; byId: its name in
    // /dev/serial/by-id; number: the device number (st_rdev); madeNs: for a pseudo-terminal,
    // when its node was made (its number is given to the next terminal opened once it closed).
    explicit DeviceIdentity(quint64 number, const QString &usb = {}, const QString &byId = {},
                            qint64 madeNs = 0);

    // What is at path now (links followed); none when nothing is there.
    static std::optional<DeviceIdentity>
    of(const QString &path, const QString &byIdFolder = QStringLiteral("/dev/serial/by-id"));

    // Two adapters are the same by their USB vendor, product and serial number, wherever the
    // system put them; else by their by-id names; anything else (a pseudo-terminal, a built-in
    // port) by its device number, and a pseudo-terminal also by when it was made.
    bool sameDevice(const DeviceIdentity &other) const;
    // For the log: "USB 0403:6001 A50285BI", "usb-FTDI_...", "device 136:3".
    QString text() const;

private:
    quint64 m_number = 0;
    QString m_usb;
    QString m_byId;
    qint64 m_madeNs = 0;
};
