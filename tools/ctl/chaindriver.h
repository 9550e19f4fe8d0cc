#pragma once

#include "serial/seriallink.h"
#include "serial/serialport.h"
#include "session/pacedsender.h"

#include <QObject>
#include <QString>

#include <memory>

// vornikctl's line to the chain: the port (or a dry run's, whose frames are printed), the link
// and the paced sender every command goes through, and the end of the program with its status.
class ChainDriver : public QObject
{
    Q_OBJECT
public:
    explicit ChainDriver(bool dryRun, QObject *parent = nullptr);

    // Opens device (any name in a dry run); on failure prints why and answers false.
    bool open(const QString &device);
    PacedSender &sender() { return m_sender; }

    // Sends commands in order and ends the program: done, or the line failed.
    void sendAndFinish(const CommandList &commands);
    // Ends the event loop with status; the frame on the line has gone out whole, nothing else
    // is sent. The first status given stands.
    void finish(int status);

private:
    std::unique_ptr<SerialPort> m_port;
    SerialLink m_link;
    PacedSender m_sender;
    bool m_finished = false;
};
