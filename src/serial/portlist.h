#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One serial port as the system lists it, with what it knows of the device.
struct ListedPort
{
    QString device; // the path that opens it
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString usbIds;       // "vendor:product" as four hexadecimal digits each; empty when unknown
    bool console = false; // the kernel writes its console to it
};

// The serial ports the system lists, for front ends that show them or pick one.
namespace PortList {

QList<ListedPort> available();
// The devices alone, in the same order.
QStringList devices();
// The kernel's consoles as device paths ("/dev/ttyS0"): those of procDir's consoles file and
// the console= words of its cmdline file.
QStringList consoles(const QString &procDir = QStringLiteral("/proc"));
// A port a chain can hang on: a USB serial or ACM device with vendor and product ids, and no
// console. Only such a port is ever picked without being named.
bool isAdapter(const ListedPort &port);

// The port a front end uses: the one named, else the one adapter listed (note then says which
// was picked). An empty name, as from a variable a script forgot to set, is refused
// (emptyName) rather than taken for none. With no adapter or several, the device is empty and
// refusal says why and lists the ports.
struct Choice
{
    QString device;
    QString refusal;
    QString note;
    bool emptyName = false;
};
Choice choose(const std::optional<QString> &named, const QList<ListedPort> &listed);

// The listing for a terminal or a script: a line per port of tab-separated columns (device,
// description, manufacturer, serial number, USB ids), or one JSON array of objects.
QByteArray columns(const QList<ListedPort> &ports);
QByteArray json(const QList<ListedPort> &ports);

// Where each running virtual chain (vornik-chain) keeps a stable name for its pseudo-terminal,
// a link "chainN": $XDG_RUNTIME_DIR/vornik-chain, else /tmp/vornik-chain-<uid>.
QString virtualChainDir();
// The links of dir whose device is there (a running chain), in natural order ("chain2" before
// "chain10").
QStringList virtualChains(const QString &dir = virtualChainDir());

} // namespace PortList
