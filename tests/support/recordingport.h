#pragma once

#include "serial/serialport.h"

#include <QHash>
#include <QList>

#include <functional>

// A serial port for tests: keeps every write, and can refuse, fail or answer.
class RecordingPort : public SerialPort
{
    Q_OBJECT
public:
    explicit RecordingPort(QObject *parent = nullptr) : SerialPort(parent) {}

    bool OpenPort(const QString &name, const QString &settings) override;
    void ClosePort() override { m_open = false; }
    bool SendText(const QByteArray &text) override;
    QByteArray ReceivedText() override;

    bool isOpen() const { return m_open; }
    QString openedName() const { return m_name; }
    QString openedSettings() const { return m_settings; }
    const QList<QByteArray> &writes() const { return m_writes; }
    void clearWrites() { m_writes.clear(); }
    int openCount() const { return m_openCount; }

    // Names that fail to open, with the error they raise.
    void refuseOpen(const QString &name, const PortError &error) { m_refused.insert(name, error); }
    // The next writes fail with error.
    void failWrites(const PortError &error);
    // Data from the far end: queued and announced with DataArrived.
    void receive(const QByteArray &data);
    // The device disappears while open: the port closes and PortFailed is raised.
    void loseDevice(const PortError &error);
    // Called on every successful write (tests use it to act in the middle of a sequence).
    void setWriteHook(std::function<void(const QByteArray &)> hook)
    {
        m_writeHook = std::move(hook);
    }

private:
    bool m_open = false;
    QString m_name;
    QString m_settings;
    QList<QByteArray> m_writes;
    QByteArray m_incoming;
    QHash<QString, PortError> m_refused;
    bool m_failWrites = false;
    PortError m_writeError;
    int m_openCount = 0;
    std::function<void(const QByteArray &)> m_writeHook;
};
