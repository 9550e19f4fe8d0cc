#pragma once

#include "serial/serialport.h"

// The port of a dry run: opens without a device and takes every frame, so that the frames are
// logged (and printed) as on a real line while nothing leaves the program.
class DryRunPort : public SerialPort
{
    Q_OBJECT
public:
    using SerialPort::SerialPort;

    bool OpenPort(const QString &, const QString &) override { return true; }
    void ClosePort() override {}
    bool SendText(const QByteArray &) override { return true; }
    QByteArray ReceivedText() override { return {}; }
};
