#pragma once

#include "protocol/pacedcommand.h"

#include <QObject>

#include <functional>

class SerialLink;

// The one place where commands go to the line: in order, each through ComWrite with its pause,
// window events running during the waits, and the run ended by a deleted caller, a shutdown or
// the caller's own stop check. Every front end sends through it.
class PacedSender : public QObject
{
    Q_OBJECT
public:
    // How a run ended: every command went out to an open port without a failure; it was stopped
    // before its end; or some command found no open port or failed on the line.
    enum class Outcome { Complete, Stopped, LineFailed };

    // Runs before each command; window events may run in it.
    using BeforeEach = std::function<void(const PacedCommand &)>;
    // Asked before each command; true stops the run there.
    using StopBefore = std::function<bool(const PacedCommand &next)>;

    explicit PacedSender(SerialLink &link, QObject *parent = nullptr);

    SerialLink &link() const { return m_link; }

    // Builds one command and hands it to ComWrite; a malformed command never goes on the line.
    void send(const PacedCommand &command);

    // Sends commands in order. A run on behalf of caller stops as soon as caller is deleted; a
    // run that began with the port open stops as soon as the line fails (LineFailed).
    Outcome send(const CommandList &commands, QObject *caller = nullptr,
                 const BeforeEach &beforeEach = {}, const StopBefore &stopBefore = {});

private:
    SerialLink &m_link;
};
