#pragma once

#include "protocol/pacedcommand.h"
#include "serial/seriallink.h"
#include "serial/serialportcontrol.h"

#include <QObject>
#include <QString>

// The command line's line to the chain: opens the port (or prints frames in a dry run), sends
// command lists through ComWrite, and remembers a failed line and a request to stop.
class ChainDriver : public QObject
{
    Q_OBJECT
public:
    explicit ChainDriver(bool dryRun, QObject *parent = nullptr);
    ~ChainDriver() override;

    // Opens device; on failure prints why and answers false.
    bool open(const QString &device);
    // Sends commands in order; stops at a failed line. With showProgress a bar with the count
    // and the time left is drawn on standard error. False when the line failed.
    bool send(const CommandList &commands, bool showProgress = false);

    bool failed() const { return m_failed; }
    void requestStop() { m_stopRequested = true; }
    bool stopRequested() const { return m_stopRequested; }

private:
    void drawProgress(int done, int total, int pausesLeft);

    bool m_dryRun = false;
    bool m_failed = false;
    bool m_stopRequested = false;
    SerialPortControl m_port;
    SerialLink m_link{&m_port};
};
