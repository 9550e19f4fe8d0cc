#pragma once

#include "serial/seriallink.h"
#include "serial/serialport.h"
#include "session/pacedsender.h"

#include <QObject>
#include <QString>

#include <memory>

// The line to the chain as a program without a window holds it: its own port (or a dry run's,
// which takes every frame and sends nothing), the link every frame goes through, and the paced
// sender.
class ChainLine : public QObject
{
    Q_OBJECT
public:
    // VORNIK_PAUSE_SCALE multiplies every pause (a testing aid); a dry run does not pause.
    explicit ChainLine(bool dryRun, QObject *parent = nullptr);
    ~ChainLine() override;

    // Opens device with the chain's line settings (any name in a dry run); on failure answers
    // false and openError() says why.
    bool open(const QString &device);
    QString openError() const { return m_port->lastError().description; }

    SerialLink &link() { return m_link; }
    PacedSender &sender() { return m_sender; }

    // Ends the program's event loop with status: every wait ends at once and nothing more is
    // sent, also from a wait inside a send, so the frame on the line goes out whole. The first
    // status given stands.
    void finish(int status);

Q_SIGNALS:
    // The line failed while sending and the port is closed; reason is readable text.
    void failed(const QString &reason);

private:
    std::unique_ptr<SerialPort> m_port;
    SerialLink m_link;
    PacedSender m_sender;
    bool m_finished = false;
};
