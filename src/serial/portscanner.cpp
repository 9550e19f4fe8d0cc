#include "serial/portscanner.h"

#include "core/basicutilities.h"
#include "protocol/chainprotocol.h"
#include "serial/portlist.h"
#include "serial/serialport.h"

#include <QCollator>
#include <QCoreApplication>
#include <QSerialPortInfo>

namespace {
std::function<QStringList()> g_candidateSource;
constexpr int kProbeTries = 5;
} // namespace

PortScanner::PortScanner(SerialPort *scanPort, QObject *parent) : QObject(parent), m_port(scanPort)
{
    m_port->setParent(this);
    connect(m_port, &SerialPort::DataArrived, this, &PortScanner::onDataArrived);
}

PortScanner::~PortScanner()
{
    m_port->ClosePort();
}

void PortScanner::setCandidateSource(std::function<QStringList()> source)
{
    g_candidateSource = std::move(source);
}

QStringList PortScanner::systemCandidates()
{
    return sortedNames(QSerialPortInfo::availablePorts());
}

QStringList PortScanner::sortedNames(const QList<QSerialPortInfo> &ports)
{
    QStringList names;
    for (const QSerialPortInfo &info : ports) {
#ifdef Q_OS_WIN
        // COM1 to COM999, the numbers the system has.
        const QString name = info.portName();
        if (!name.startsWith(QLatin1String("COM")))
            continue;
        bool ok = false;
        const int number = name.mid(3).toInt(&ok);
        if (!ok || number < 1 || number > 999)
            continue;
#endif
        names.append(info.portName());
    }
    QCollator natural;
    natural.setNumericMode(true);
    std::sort(names.begin(), names.end(),
              [&](const QString &a, const QString &b) { return natural.compare(a, b) < 0; });
    names.removeDuplicates();
    return names;
}

QList<QSerialPortInfo> PortScanner::listedPorts() const
{
    return m_listed;
}

QStringList PortScanner::candidates()
{
    m_listed = g_candidateSource ? QList<QSerialPortInfo>() : QSerialPortInfo::availablePorts();
    QStringList names = g_candidateSource ? g_candidateSource() : sortedNames(m_listed);
    // The running virtual chains by their stable names, which outlast a restart of the chain.
    const QStringList chains = g_candidateSource ? QStringList() : PortList::virtualChains();
    for (const QString &extra : chains + m_extraPorts) {
        if (!names.contains(extra))
            names.append(extra);
    }
    return names;
}

void PortScanner::onDataArrived()
{
    m_scanbuffer += m_port->ReceivedText();
}

void PortScanner::PortScan(QStringList &ports, const QString &expected, QString settings,
                           int maxport, int left, int width, int top, int height)
{
    ports.clear();
    for (int i = 0; i < kTableSize; ++i)
        ports.append(QString());

    QStringList replies;
    const int alternatives = static_cast<int>(LeadingNumber(Field(expected, 0, QChar('|'))));
    for (int i = 1; i <= alternatives && !expected.isEmpty(); ++i) {
        const QString reply = Field(expected, i, QChar('|'));
        if (!reply.isEmpty())
            replies.append(reply);
    }
    if (maxport <= 0)
        maxport = 1000;
    maxport = qMin(maxport, kTableSize - 1);
    if (settings.isEmpty())
        settings = Protocol::scanLineSettings();

    m_failures.clear();
    m_scanning = true;
    Q_EMIT scanStarted(QRect(left, top, width, height));
    QCoreApplication::processEvents();

    int count = 0;
    const QStringList names = candidates();
    for (int index = 0; index < names.size() && index < maxport - 1; ++index) {
        if (shutdownRequested())
            break;
        const QString &name = names.at(index);
        m_port->ClosePort();
        bool found = m_port->OpenPort(name, settings);
        if (!found)
            m_failures.append({name, m_port->lastError()});
        if (found && !replies.isEmpty()) {
            found = false;
            m_scanbuffer.clear();
            for (int attempt = 0; attempt < kProbeTries && !found && !shutdownRequested();
                 ++attempt) {
                if (!m_port->SendText(QByteArray(Protocol::kProbe) + Protocol::kFrameEnd))
                    break;
                Delay(10);
                const QString received = QString::fromLatin1(m_scanbuffer);
                for (const QString &reply : replies) {
                    if (received.contains(reply)) {
                        found = true;
                        break;
                    }
                }
            }
        }
        if (found) {
            ++count;
            ports[count] = name;
            ports[0] = QString::number(count);
        }
        m_port->ClosePort();
        QCoreApplication::processEvents();
    }

    Q_EMIT scanFinished();
    m_port->ClosePort();
    m_scanning = false;
}
