#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// A failure reported by a serial port: the program's error number and the platform's words.
struct PortError
{
    qint32 number = 0;
    QString description;
    bool refused = false; // an open the system refused: the port is in use or access was denied
};

// The serial port control the program drives: open, close, send, read, and the arrival event.
class SerialPort : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Opens name ("ttyUSB0", "/dev/pts/3", "COM3") with settings like "9600,n,8,1".
    // Returns false and sets lastError() when the port does not exist or is busy.
    virtual bool OpenPort(const QString &name, const QString &settings) = 0;
    // Closes the port; does nothing when no port is open.
    virtual void ClosePort() = 0;
    // Writes the bytes unchanged. Returns false and sets lastError() on failure.
    virtual bool SendText(const QByteArray &text) = 0;
    // The data received since the previous read.
    virtual QByteArray ReceivedText() = 0;

    PortError lastError() const { return m_lastError; }

Q_SIGNALS:
    // Received data can be read with ReceivedText.
    void DataArrived();
    // The open port failed on its own (device unplugged, far end hung up); it is closed already.
    void PortFailed(const PortError &error);

protected:
    void setLastError(qint32 number, const QString &description)
    {
        m_lastError = PortError{number, description};
    }
    void setLastError(const PortError &error) { m_lastError = error; }

private:
    PortError m_lastError;
};
