#include "widgets/trafficlog.h"

#include "protocol/receiveformat.h"
#include "widgets/logpane.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {
// A paced upload logs a command every 50 ms, and repainting the pane for each of them costs
// more than sending it; ten repaints a second still read as live.
constexpr int kPaintIntervalMs = 100;
} // namespace

TrafficLog::TrafficLog(QWidget *transmitTab, QWidget *receiveTab, QObject *parent) : QObject(parent)
{
    m_logtraffic = new QCheckBox(tr("Log TXD Traffic"), transmitTab);
    m_logtraffic->setObjectName(QStringLiteral("logtraffic"));
    m_logtraffic->setChecked(true);
    m_txbufferbox = new QLineEdit(transmitTab);
    m_txbufferbox->setObjectName(QStringLiteral("txbufferbox"));
    m_txbufferbox->setVisible(false);
    m_rxbufferbox = new QLineEdit(transmitTab);
    m_rxbufferbox->setObjectName(QStringLiteral("rxbufferbox"));
    m_rxbufferbox->setReadOnly(true);
    m_rxbufferbox->setFocusPolicy(Qt::NoFocus);
    m_rxbufferbox->setFrame(false);
    m_serialout = new LogPane(QStringLiteral("serialout"), transmitTab);
    m_serialout->setAccessibleName(tr("Transmit log"));
    m_serialout->setMinimumHeight(110);
    m_serialout->setRefreshInterval(kPaintIntervalMs);
    m_echoUpdate.setSingleShot(true);
    m_echoUpdate.setInterval(kPaintIntervalMs);
    connect(&m_echoUpdate, &QTimer::timeout, this,
            [this] { m_txbufferbox->setText(m_lastLogged); });

    m_rxlogenable = new QCheckBox(tr("Log RXD Traffic"), receiveTab);
    m_rxlogenable->setObjectName(QStringLiteral("rxlogenable"));
    m_rxlogenable->setChecked(true);
    m_serialin = new LogPane(QStringLiteral("serialin"), receiveTab);
    m_serialin->setAccessibleName(tr("Receive log"));
    connect(m_serialin, &LogPane::cleared, this, [this] { m_rxPending.clear(); });
}

void TrafficLog::logCommand(const LoggedCommand &command)
{
    // Logged from the command itself, not from a change of the echo box: the box may already
    // hold the same text, left there while logging was off.
    if (!m_logtraffic->isChecked()) {
        showLastLogged(command.text);
        return;
    }
    m_serialout->appendLine(
            command.text, command.at,
            command.notSent.isEmpty() ? QString() : QStringLiteral("not sent: ") + command.notSent);
    // The trailing blank marks the command as logged, as the box has always shown it.
    showLastLogged(command.text + QLatin1Char(' '));
}

void TrafficLog::showLastLogged(const QString &text)
{
    m_lastLogged = text;
    if (!m_echoUpdate.isActive())
        m_echoUpdate.start();
}

void TrafficLog::clearEcho()
{
    // When the echo box is empty already nothing changes, and skipping the blank-then-empty
    // round saves two repaints per command.
    if (!m_rxbufferbox->text().isEmpty()) {
        m_rxbufferbox->setText(QStringLiteral(" "));
        m_rxbufferbox->clear();
    }
    m_rxbuffer.clear();
}

namespace {
const QString kNoPortNotice = QStringLiteral("[No port is selected]");
} // namespace

void TrafficLog::showNoPort()
{
    m_rxbufferbox->setText(kNoPortNotice);
}

void TrafficLog::clearNoPort()
{
    if (m_rxbufferbox->text() == kNoPortNotice)
        m_rxbufferbox->clear();
}

QString TrafficLog::txlog() const
{
    return m_serialout->logText();
}

QString TrafficLog::rxlog() const
{
    return m_serialin->logText() + m_rxPending;
}

void TrafficLog::receive(const QByteArray &bytes, const QDateTime &at)
{
    if (m_rxbuffer.isEmpty())
        m_rxbufferAt = at;
    m_rxbuffer += bytes;
    process();
}

void TrafficLog::process()
{
    if (!m_rxlogenable->isChecked()) {
        m_rxbuffer.clear();
        return;
    }
    const ReceivedLogText formatted = formatReceived(m_rxbuffer);
    m_rxbuffer.clear();
    if (!formatted.refresh) {
        if (m_rxPending.isEmpty())
            m_rxPendingAt = m_rxbufferAt;
        m_rxPending += formatted.text;
        return;
    }
    // Text held back keeps the time it arrived, the rest the time of its own arrival.
    if (!m_rxPending.isEmpty())
        m_serialin->appendText(m_rxPending, m_rxPendingAt);
    m_rxPending.clear();
    m_serialin->appendText(formatted.text, m_rxbufferAt);
}

void TrafficLog::clear()
{
    m_rxPending.clear();
    m_serialout->clearLog();
    m_serialin->clearLog();
}
