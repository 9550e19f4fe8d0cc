#include "panels/portchooser.h"

#include "core/basicutilities.h"
#include "protocol/chainprotocol.h"
#include "serial/portscanner.h"
#include "serial/seriallink.h"
#include "serial/serialport.h"
#include "widgets/alert.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSerialPortInfo>

#include <algorithm>

namespace {
const QString kSelect = QStringLiteral("Select...");

// What the system knows of a port, one fact a line, for the port list's tool-tips; listed is
// what the scan learnt of the platform's ports.
QString portDetails(const QString &name, bool fromCommandLine, const QList<QSerialPortInfo> &listed)
{
    const auto known = std::find_if(listed.cbegin(), listed.cend(), [&](const QSerialPortInfo &p) {
        return p.portName() == name || p.systemLocation() == name;
    });
    const QSerialPortInfo info = known != listed.cend() ? *known : QSerialPortInfo();
    QStringList lines;
    auto add = [&lines](const QString &label, const QString &value) {
        if (!value.isEmpty())
            lines.append(label + QStringLiteral(": ") + value);
    };
    auto hex = [](quint16 id) { return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')); };
    add(QStringLiteral("Description"), info.description());
    add(QStringLiteral("Manufacturer"), info.manufacturer());
    add(QStringLiteral("Serial number"), info.serialNumber());
    if (info.hasVendorIdentifier())
        add(QStringLiteral("USB vendor id"), hex(info.vendorIdentifier()));
    if (info.hasProductIdentifier())
        add(QStringLiteral("USB product id"), hex(info.productIdentifier()));
    if (fromCommandLine)
        lines.append(QStringLiteral("Added on the command line"));
    if (lines.isEmpty())
        lines.append(QStringLiteral("No details known"));
    return lines.join(QLatin1Char('\n'));
}
} // namespace

PortChooser::PortChooser(SerialLink &link, PortScanner &scanner, QWidget *parent)
    : QWidget(parent), m_link(link), m_scanner(scanner)
{
    auto *label = new QLabel(tr("Port"), this);
    m_portselect = new QComboBox(this);
    m_portselect->setObjectName(QStringLiteral("portselect"));
    m_portselect->setMinimumWidth(220);
    m_portselect->addItem(kSelect);
    m_portselect->installEventFilter(this);
    label->setBuddy(m_portselect);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(m_portselect, 1);

    connect(m_portselect, &QComboBox::activated, this, &PortChooser::onSelected);
    connect(&m_link, &SerialLink::deselectRequested, this, [this] { select(0); });
}

void PortChooser::portscanx(int mode)
{
    // A scan is already filling the list: a second request would double or scramble it.
    if (m_scanner.scanning())
        return;
    m_link.rs232()->ClosePort();
    m_link.setPortOpen(false);

    const QString settings = mode == 0 ? Protocol::lineSettings() : Protocol::scanLineSettings();
    const QString expected = mode == 0 ? QString() : QString::fromLatin1(Protocol::kProbeReply);
    const QWidget *main = window();
    const QRect frame = main->frameGeometry();
    QStringList ports;
    m_scanner.PortScan(ports, expected, settings, 1000, frame.left(), frame.width(), frame.top(),
                       frame.height());
    if (shutdownRequested())
        return;

    m_portselect->clear();
    m_portselect->addItem(kSelect);
    const int found = static_cast<int>(LeadingNumber(ports.value(0).trimmed()));
    for (int i = 1; i <= found && i < ports.size(); ++i)
        addPort(ports.at(i));
    select(0);
}

void PortChooser::rescan()
{
    if (m_scanner.scanning())
        return;
    const QString closed = m_link.portopen() ? m_portselect->currentText() : QString();
    portscanx(0);
    if (shutdownRequested())
        return;
    QStringList report;
    if (!closed.isEmpty())
        report.append(tr("Closed %1 to scan.").arg(closed));
    const int found = m_portselect->count() - 1;
    report.append(found == 1 ? tr("Found 1 port.") : tr("Found %1 ports.").arg(found));
    for (const PortScanner::Failure &failure : m_scanner.failures())
        report.append(tr("%1 did not open: %2").arg(failure.first, failure.second.description));
    Q_EMIT rescanReported(report.join(QLatin1Char(' ')));
}

void PortChooser::addPort(const QString &name)
{
    m_portselect->addItem(name);
    m_portselect->setItemData(
            m_portselect->count() - 1,
            portDetails(name, m_scanner.extraPorts().contains(name), m_scanner.listedPorts()),
            Qt::ToolTipRole);
}

void PortChooser::openStartPort()
{
    if (m_startPort.isEmpty())
        return;
    int index = m_portselect->findText(m_startPort);
    if (index < 0) {
        addPort(m_startPort);
        index = m_portselect->count() - 1;
    }
    select(index);
}

void PortChooser::select(int index)
{
    {
        const QSignalBlocker blocker(m_portselect);
        m_portselect->setCurrentIndex(index);
    }
    onSelected(index);
}

void PortChooser::onSelected(int index)
{
    SerialPort *port = m_link.rs232();
    if (index > 0) {
        port->ClosePort();
        m_link.setPortOpen(false);
        if (!port->OpenPort(m_portselect->itemText(index), Protocol::lineSettings())) {
            const PortError error = port->lastError();
            showalert(QStringLiteral("Com port open error"), error.description, error.number,
                      AlertStyle::Warning, 12, error.description);
            select(0);
            return;
        }
        m_link.setPortOpen(true);
    } else if (index == 0 && m_link.portopen()) {
        port->ClosePort();
        m_link.setPortOpen(false);
    }
}

bool PortChooser::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_portselect && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            rescan();
            return true;
        }
        // The list is never typed into; arrow keys and F4 still move through it.
        if (!key->text().isEmpty() && key->text().at(0).isPrint())
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
