#include "serial/portscanner.h"

#include "app/basicutilities.h"
#include "serial/serialport.h"

#include <QCollator>
#include <QCoreApplication>
#include <QLabel>
#include <QSerialPortInfo>
#include <QVBoxLayout>
#include <QWidget>

namespace {
std::function<QStringList()> g_candidateSource;
constexpr char kProbe[] = "$0000\r";
constexpr int kProbeTries = 5;
} // namespace

PortScanner::PortScanner(SerialPort *scanPort, QWidget *owner, QObject *parent)
    : QObject(parent), m_port(scanPort)
{
    m_port->setParent(this);
    connect(m_port, &SerialPort::DataArrived, this, &PortScanner::onDataArrived);

    // The scan window: a small box over the main window that says what is going on.
    m_form = new QWidget(owner, Qt::Dialog | Qt::FramelessWindowHint);
    m_form->setObjectName(QStringLiteral("portscanform"));
    m_form->setWindowTitle(tr("Port scan"));
    auto *caption = new QLabel(tr("Scanning for serial ports, please wait..."), m_form);
    caption->setAlignment(Qt::AlignCenter);
    caption->setFrameShape(QFrame::Panel);
    caption->setFrameShadow(QFrame::Raised);
    caption->setMargin(18);
    auto *layout = new QVBoxLayout(m_form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption);
    m_form->adjustSize();
    m_form->hide();
}

PortScanner::~PortScanner()
{
    m_port->ClosePort();
    delete m_form;
}

QWidget *PortScanner::portscanform() const
{
    return m_form;
}

void PortScanner::setCandidateSource(std::function<QStringList()> source)
{
    g_candidateSource = std::move(source);
}

QStringList PortScanner::systemCandidates()
{
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
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

QStringList PortScanner::candidates() const
{
    QStringList names = g_candidateSource ? g_candidateSource() : systemCandidates();
    for (const QString &extra : m_extraPorts) {
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
        settings = QStringLiteral("115200,n,8,1");

    m_scanning = true;
    if (m_form) {
        m_form->adjustSize();
        m_form->move(left + width / 2 - m_form->width() / 2, top + height / 2 - m_form->height() / 2);
        m_form->show();
        m_form->raise();
    }
    QCoreApplication::processEvents();

    int count = 0;
    const QStringList names = candidates();
    for (int index = 0; index < names.size() && index < maxport - 1; ++index) {
        if (shutdownRequested())
            break;
        const QString &name = names.at(index);
        m_port->ClosePort();
        bool found = m_port->OpenPort(name, settings);
        m_port->setStatusFlag(0);
        if (found && !replies.isEmpty()) {
            found = false;
            m_scanbuffer.clear();
            for (int attempt = 0; attempt < kProbeTries && !found && !shutdownRequested(); ++attempt) {
                if (!m_port->SendText(QByteArray(kProbe)))
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

    if (m_form) {
        m_form->hide();
        // Hand the focus back to the window the scan was run for.
        if (QWidget *owner = m_form->parentWidget())
            owner->activateWindow();
    }
    m_port->ClosePort();
    m_scanning = false;
}
