#pragma once

#include "serial/seriallink.h"
#include "serial/serialport.h"
#include "session/pacedsender.h"

#include <QObject>
#include <QString>

#include <functional>
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

    // Opens device with the chain's line settings (any name in a dry run). A port another
    // program holds is tried again from the event loop until waitSeconds have passed or the
    // program is ending. On failure answers false and openError() says why, in the words of a
    // command line: who holds the port, or for a refused access what helps.
    bool open(const QString &device, int waitSeconds = 0);
    QString openError() const { return m_openError; }

    SerialLink &link() { return m_link; }
    PacedSender &sender() { return m_sender; }

    // A command line's run, in the event loop until finish(): opens device (a port another
    // program holds waited for as open() does) and runs plan. A failed open and a failure while
    // sending are said and end with Exit::PortError and Exit::LineFailed; SIGINT ends with
    // Exit::Interrupted, SIGTERM and SIGHUP with Exit::Done, through the stop set, if any.
    int exec(const QString &device, int waitSeconds, const std::function<void()> &plan);
    // How a signal ends the run (the segment test sends its end commands first).
    void setStop(std::function<void()> stop) { m_stop = std::move(stop); }
    int stopStatus() const { return m_stopStatus; }
    // The signal that asked the run to stop; 0 for none.
    int stopSignal() const { return m_stopSignal; }

    // Ends the program's event loop with status: every wait ends at once and nothing more is
    // sent, also from a wait inside a send, so the frame on the line goes out whole. The first
    // status given stands.
    void finish(int status);

Q_SIGNALS:
    // The line failed while sending and the port is closed; reason is readable text.
    void failed(const QString &reason);
    // open() waits for the port another program holds; reason says which program.
    void waiting(const QString &reason);

private:
    // Why the last open of device failed; inUse tells a port another program holds.
    QString openFailure(const QString &device, bool &inUse) const;

    std::unique_ptr<SerialPort> m_port;
    SerialLink m_link;
    PacedSender m_sender;
    QString m_openError;
    bool m_finished = false;
    std::function<void()> m_stop;
    int m_stopStatus = 0;
    int m_stopSignal = 0;
};
