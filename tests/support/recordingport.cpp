#include "support/recordingport.h"

bool RecordingPort::OpenPort(const QString &name, const QString &settings)
{
    if (m_refused.contains(name)) {
        const PortError error = m_refused.value(name);
        setLastError(error.number, error.description);
        return false;
    }
    m_open = true;
    m_name = name;
    m_settings = settings;
    ++m_openCount;
    return true;
}

bool RecordingPort::SendText(const QByteArray &text)
{
    if (m_failWrites || !m_open) {
        const PortError error = m_failWrites ? m_writeError
                                             : PortError{static_cast<qint32>(0x80040206u),
                                                         QStringLiteral("Port is not open")};
        setLastError(error.number, error.description);
        return false;
    }
    m_writes.append(text);
    if (m_writeHook)
        m_writeHook(text);
    return true;
}

QByteArray RecordingPort::ReceivedText()
{
    QByteArray data;
    data.swap(m_incoming);
    return data;
}

void RecordingPort::failWrites(const PortError &error)
{
    m_failWrites = true;
    m_writeError = error;
}

void RecordingPort::receive(const QByteArray &data)
{
    m_incoming += data;
    Q_EMIT DataArrived();
}

void RecordingPort::loseDevice(const PortError &error)
{
    if (!m_open)
        return;
    m_open = false;
    setLastError(error.number, error.description);
    Q_EMIT PortFailed(error);
}
