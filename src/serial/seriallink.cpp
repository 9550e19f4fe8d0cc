#include "serial/seriallink.h"

#include "core/basicutilities.h"
#include "serial/serialport.h"

#include <QCoreApplication>

SerialLink::SerialLink(SerialPort *port, QObject *parent) : QObject(parent), m_port(port)
{
    connect(m_port, &SerialPort::DataArrived, this, &SerialLink::onDataArrived);
    connect(m_port, &SerialPort::PortFailed, this, &SerialLink::onPortFailed);
}

void SerialLink::setPortOpen(bool open)
{
    if (m_portopen == open)
        return;
    m_portopen = open;
    Q_EMIT portOpenChanged(open);
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

    Q_EMIT commandLogged(logText(text, hexlog, nospace));

    if (m_portopen && !m_failing) {
        Q_EMIT aboutToWrite();
        QCoreApplication::processEvents();
        // The port may have been closed, or the program asked to close, during that yield.
        if (!m_portopen || m_failing || shutdownRequested())
            return;
        if (!m_port->SendText(text)) {
            failWrite(m_port->lastError());
            return;
        }
        Q_EMIT frameWritten(text);
        if (pause > 0)
            Delay(pause);
    } else {
        Q_EMIT sentWithoutPort();
    }
}

void SerialLink::failWrite(const PortError &error)
{
    ++m_writeFailures;
    if (m_failing)
        return;
    // While the failure is being reported, other senders find the port failing and send nothing.
    m_failing = true;
    Q_EMIT writeFailed(error);
    Q_EMIT deselectRequested();
    setPortOpen(false);
    m_port->ClosePort();
    m_failing = false;
}

void SerialLink::onPortFailed(const PortError &error)
{
    if (m_portopen)
        failWrite(error);
}

void SerialLink::onDataArrived()
{
    const QByteArray bytes = m_port->ReceivedText();
    if (!bytes.isEmpty())
        Q_EMIT received(bytes);
}
