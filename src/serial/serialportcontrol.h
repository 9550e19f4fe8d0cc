#pragma once

#include "serial/serialport.h"

#include <QSerialPort>

// The serial port control over QSerialPort: one instance per window that talks to a port.
class SerialPortControl : public SerialPort
{
    Q_OBJECT
public:
    explicit SerialPortControl(QObject *parent = nullptr);
    ~SerialPortControl() override;

    bool OpenPort(const QString &name, const QString &settings) override;
    void ClosePort() override;
    bool SendText(const QByteArray &text) override;
    QByteArray ReceivedText() override;

    // Parses "9600,n,8,1" onto port; false when the text is not of that form.
    static bool applySettings(QSerialPort &port, const QString &settings);
    // The program's number and words for a failed open of name.
    static PortError openError(QSerialPort::SerialPortError error, const QString &name,
                               const QString &platformText);
    // What a user refused a device can do about it, from the device's owner, group and
    // permission bits (stat's mode & 0777).
    static QString accessAdvice(const QString &owner, const QString &group, uint mode);
    // The same advice for the device name opens, read from the device itself.
    static QString accessAdvice(const QString &name);

private:
    void onError(QSerialPort::SerialPortError error);
    // Writes what the device takes at once, bypassing the port's buffer when that is empty; how
    // many bytes went.
    qsizetype writeDirect(const QByteArray &text);

    QSerialPort m_port;
};
