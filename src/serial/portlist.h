#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One serial port as the system lists it, with what it knows of the device.
struct ListedPort
{
    QString device; // the path that opens it
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString usbIds; // "vendor:product" as four hexadecimal digits each; empty when unknown
};

// The serial ports the system lists, for front ends that show them or pick one.
namespace PortList {

QList<ListedPort> available();
// The devices alone, in the same order.
QStringList devices();
// The port a front end uses: the one named, else the one port listed. With none or several
// listed, the device is empty and refusal says why (and lists them).
struct Choice
{
    QString device;
    QString refusal;
};
Choice choose(const QString &named);

} // namespace PortList
