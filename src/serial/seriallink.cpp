#include "serial/seriallink.h"

#include "app/alert.h"
#include "app/basicutilities.h"
#include "serial/logpane.h"
#include "serial/receiveformat.h"
#include "serial/serialport.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>

SerialLink::SerialLink(SerialPort *port, QObject *parent) : QObject(parent), m_port(port)
{
    connect(m_port, &SerialPort::DataArrived, this, &SerialLink::onDataArrived);
    connect(m_port, &SerialPort::PortFailed, this, &SerialLink::onPortFailed);
}

void SerialLink::attachTransmitLog(QLineEdit *txbufferbox, QLineEdit *rxbufferbox,
                                   QCheckBox *logtraffic, LogPane *serialout)
{
    m_txbufferbox = txbufferbox;
    m_rxbufferbox = rxbufferbox;
    m_logtraffic = logtraffic;
    m_serialout = serialout;
    connect(txbufferbox, &QLineEdit::textChanged, this, &SerialLink::onTxBufferChanged);
}

void SerialLink::attachReceiveLog(QCheckBox *rxlogenable, LogPane *serialin)
{
    m_rxlogenable = rxlogenable;
    m_serialin = serialin;
    connect(serialin, &LogPane::cleared, this, [this] { m_rxPending.clear(); });
}

QString SerialLink::logText(const QByteArray &text, int hexlog, int nospace)
{
    if (hexlog != 0) {
        QString log;
        for (const char byte : text) {
            log += HexPad(static_cast<unsigned char>(byte), 2);
            if (nospace == 0)
                log += QLatin1Char(' ');
        }
        return log;
    }
    const QString plain = QString::fromLatin1(text);
    if (plain.endsWith(CRLF))
        return plain.chopped(2) + QStringLiteral("[nl]");
    if (plain.endsWith(CR))
        return plain.chopped(1) + QStringLiteral("[cr]");
    if (plain.endsWith(LF))
        return plain.chopped(1) + QStringLiteral("[lf]");
    return plain;
}

void SerialLink::ComWrite(const QByteArray &text, int pause, int hexlog, int nospace)
{
    // Nothing reaches the line once the program is closing.
    if (shutdownRequested())
        return;
    QCoreApplication::processEvents();
    if (shutdownRequested())
        return;

    if (m_txbufferbox)
        m_txbufferbox->setText(logText(text, hexlog, nospace));

    if (m_portopen && !m_failing) {
        if (m_port->StatusFlag() == -1)
            m_port->setStatusFlag(0);
        // The echo box is emptied before each write; when it is empty already nothing changes,
        // and skipping the blank-then-empty round saves two repaints per command.
        if (m_rxbufferbox && !m_rxbufferbox->text().isEmpty()) {
            m_rxbufferbox->setText(QStringLiteral(" "));
            m_rxbufferbox->clear();
        }
        m_rxbuffer.clear();
        QCoreApplication::processEvents();
        // The port may have been closed, or the program asked to close, during that yield.
        if (!m_portopen || m_failing || shutdownRequested())
            return;
        if (!m_port->SendText(text, 0, 100)) {
            failWrite(m_port->lastError());
            return;
        }
        if (pause > 0)
            Delay(pause);
    } else if (m_rxbufferbox) {
        m_rxbufferbox->setText(QStringLiteral("[No port is selected]"));
    }
}

void SerialLink::failWrite(const PortError &error)
{
    ++m_writeFailures;
    if (m_failing)
        return;
    // While the alert is up, other senders find the port failing and send nothing.
    m_failing = true;
    showalert(QStringLiteral("ComWrite error"), QString(), error.number, 2, 0, error.description);
    Q_EMIT deselectRequested();
    m_portopen = false;
    m_port->ClosePort();
    m_failing = false;
}

void SerialLink::onPortFailed(const PortError &error)
{
    if (m_portopen)
        failWrite(error);
}

void SerialLink::onTxBufferChanged()
{
    if (m_logguard || !m_logtraffic || !m_logtraffic->isChecked() || !m_txbufferbox)
        return;
    if (m_serialout)
        m_serialout->appendText(m_txbufferbox->text() + CRLF);
    // A trailing blank makes the next identical command change the box again.
    m_logguard = true;
    m_txbufferbox->setText(m_txbufferbox->text() + QLatin1Char(' '));
    m_logguard = false;
}

QString SerialLink::txlog() const
{
    return m_serialout ? m_serialout->logText() : QString();
}

QString SerialLink::rxlog() const
{
    return (m_serialin ? m_serialin->logText() : QString()) + m_rxPending;
}

void SerialLink::onDataArrived()
{
    m_rxbuffer += m_port->ReceivedText();
    process();
}

void SerialLink::process()
{
    if (!m_rxlogenable || !m_rxlogenable->isChecked()) {
        m_rxbuffer.clear();
        return;
    }
    const ReceivedLogText formatted = formatReceived(m_rxbuffer);
    m_rxbuffer.clear();
    m_rxPending += formatted.text;
    if (formatted.refresh && m_serialin) {
        m_serialin->appendText(m_rxPending);
        m_rxPending.clear();
    }
}
