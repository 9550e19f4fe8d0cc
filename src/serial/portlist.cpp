#include "serial/portlist.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>
#include <unistd.h>

namespace PortList {

namespace {

const QString kDev = QStringLiteral("/dev/");

QString devicePath(const QString &name)
{
    return name.startsWith(QLatin1Char('/')) ? name : kDev + name;
}

QString shown(const ListedPort &port)
{
    return port.device + (port.console ? QStringLiteral(" (console)") : QString());
}

} // namespace

QList<ListedPort> available()
{
    const auto hex = [](quint16 id) { return QStringLiteral("%1").arg(id, 4, 16, QChar('0')); };
    const QStringList kernelConsoles = consoles();
    QList<ListedPort> ports;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        const QString ids
                = port.hasVendorIdentifier() && port.hasProductIdentifier()
                          ? hex(port.vendorIdentifier()) + ':' + hex(port.productIdentifier())
                          : QString();
        ports.append({port.systemLocation(), port.description(), port.manufacturer(),
                      port.serialNumber(), ids, kernelConsoles.contains(port.systemLocation())});
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

QStringList consoles(const QString &procDir)
{
    QStringList found;
    QFile list(procDir + QStringLiteral("/consoles"));
    if (list.open(QIODevice::ReadOnly)) {
        // "ttyS0                -W- (EC p a)    4:64": the device comes first.
        for (const QByteArray &line : list.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                found += devicePath(QString::fromLocal8Bit(line.trimmed().split(' ').first()));
    }
    QFile cmdline(procDir + QStringLiteral("/cmdline"));
    if (cmdline.open(QIODevice::ReadOnly)) {
        // "console=ttyS0,115200n8": the device before its line settings.
        static const QRegularExpression console(QStringLiteral("(?:^|\\s)console=([^,\\s]+)"));
        auto words = console.globalMatch(QString::fromLocal8Bit(cmdline.readAll()));
        while (words.hasNext())
            found += devicePath(words.next().captured(1));
    }
    found.removeDuplicates();
    return found;
}

bool isAdapter(const ListedPort &port)
{
    static const QRegularExpression usb(QStringLiteral("^/dev/tty(USB|ACM)\\d+$"));
    return !port.console && !port.usbIds.isEmpty() && usb.match(port.device).hasMatch();
}

Choice choose(const std::optional<QString> &named, const QList<ListedPort> &listed)
{
    Choice choice;
    choice.emptyName = named && named->isEmpty();
    if (choice.emptyName)
        choice.refusal = QStringLiteral("--port (or VORNIK_PORT) is empty; name the device");
    else if (named)
        choice.device = *named;
    if (named)
        return choice;
    QStringList adapters;
    QStringList others;
    for (const ListedPort &port : listed)
        (isAdapter(port) ? adapters : others) += shown(port);
    const QString sep = QStringLiteral("\n  ");
    if (adapters.size() == 1) {
        choice.device = adapters.first();
        choice.note = "using " + choice.device + ", the one serial adapter";
    } else if (!adapters.isEmpty()) {
        choice.refusal
                = "several serial adapters; name one with --port:" + sep + adapters.join(sep);
    } else {
        choice.refusal = QStringLiteral("no serial adapter (USB serial or ACM) found; name the "
                                        "port with --port");
        if (!others.isEmpty())
            choice.refusal += " (never picked by itself:" + sep + others.join(sep) + ')';
    }
    return choice;
}

QByteArray columns(const QList<ListedPort> &ports)
{
    QByteArray text;
    for (const ListedPort &port : ports) {
        const QStringList row{port.device, port.description, port.manufacturer, port.serialNumber,
                              port.usbIds};
        text += row.join(QLatin1Char('\t')).toLocal8Bit() + '\n';
    }
    return text;
}

QByteArray json(const QList<ListedPort> &ports)
{
    QJsonArray array;
    for (const ListedPort &port : ports) {
        const QStringList ids = port.usbIds.split(QLatin1Char(':'));
        const auto id = [&ids](int index) {
            return ids.size() == 2 ? QJsonValue(ids.at(index)) : QJsonValue();
        };
        array.append(QJsonObject{{"device", port.device},
                                 {"description", port.description},
                                 {"manufacturer", port.manufacturer},
                                 {"serialNumber", port.serialNumber},
                                 {"vendorId", id(0)},
                                 {"productId", id(1)},
                                 {"console", port.console}});
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact) + '\n';
}

QString virtualChainDir()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? QStringLiteral("/tmp/vornik-chain-%1").arg(::getuid())
                             : runtime + QStringLiteral("/vornik-chain");
}

QStringList virtualChains(const QString &dir)
{
    QStringList names;
    const QDir folder(dir);
    for (const QString &name :
         folder.entryList({QStringLiteral("chain*")}, QDir::AllEntries | QDir::System)) {
        const QFileInfo link(folder.filePath(name));
        // A link left by a chain that ended leads nowhere: exists() follows it.
        if (link.isSymLink() && link.exists())
            names.append(link.filePath());
    }
    QCollator natural;
    natural.setNumericMode(true);
    std::sort(names.begin(), names.end(),
              [&](const QString &a, const QString &b) { return natural.compare(a, b) < 0; });
    return names;
}

} // namespace PortList
