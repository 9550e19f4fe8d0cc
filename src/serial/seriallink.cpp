#include "serial/seriallink.h"

#include "core/basicutilities.h"
#include "protocol/receiveformat.h"
#include "serial/serialport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {
QDateTime systemClock()
{
    // The local time is only wanted when a stamp is shown; asking for it here would look up the
    // time zone (a stat of /etc/localtime) for every command and every piece received.
    return QDateTime::currentDateTimeUtc();
}

// Why a command did not go out when the line failed.
QString failureText(const PortError &error)
{
    return error.description.isEmpty() ? QStringLiteral("the line failed") : error.description;
}
} // namespace

SerialLink::SerialLink(SerialPort *port, QObject *parent)
    : QObject(parent), m_port(port), m_clock(systemClock)
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

void SerialLink::setClock(std::function<QDateTime()> clock)
{
    m_clock = clock ? std::move(clock) : systemClock;
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
    if (text.endsWith("\r\n"))
        return controlTokens(text.chopped(2)) + QStringLiteral("[nl]");
    if (text.endsWith('\r'))
        return controlTokens(text.chopped(1)) + QStringLiteral("[cr]");
    if (text.endsWith('\n'))
        return controlTokens(text.chopped(1)) + QStringLiteral("[lf]");
    return controlTokens(text);
}

void SerialLink::ComWrite(const QByteArray &text, int pause, int hexlog, int nospace,
                          Yielding yielding)
{
    // Nothing reaches the line once the program is closing.
    if (shutdownRequested())
        return;
    const bool runEvents = yielding == Yielding::RunEvents;
    if (runEvents)
        QCoreApplication::processEvents();
    if (shutdownRequested())
        return;

    const QString log = logText(text, hexlog, nospace);
    if (!m_portopen || m_failing) {
        logCommand(log, whyNotSent());
        Q_EMIT sentWithoutPort();
        return;
    }
    Q_EMIT aboutToWrite();
    if (runEvents)
        QCoreApplication::processEvents();
    // The port may have been closed, or the program asked to close, during that yield.
    if (!m_portopen || m_failing || shutdownRequested()) {
        logCommand(log, whyNotSent());
        return;
    }
    if (!m_port->SendText(text)) {
        const PortError error = m_port->lastError();
        logCommand(log, failureText(error));
        failWrite(error);
        return;
    }
    QElapsedTimer written;
    written.start();
    logCommand(log, QString());
    Q_EMIT frameWritten(text);
    if (pause > 0)
        Delay(pause, written);
}

void SerialLink::logCommand(const QString &text, const QString &notSent)
{
    Q_EMIT commandLogged(LoggedCommand{text, m_clock(), notSent});
}

QString SerialLink::whyNotSent() const
{
    if (shutdownRequested())
        return QStringLiteral("closing");
    return m_failing ? m_failure : QStringLiteral("no port");
}

void SerialLink::failWrite(const PortError &error)
{
    ++m_writeFailures;
    if (m_failing)
        return;
    // While the failure is being reported, other senders find the port failing and send nothing.
    m_failing = true;
    m_failure = failureText(error);
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
        Q_EMIT received(bytes, m_clock());
}
