#pragma once

#include "protocol/pacedcommand.h"

#include <QElapsedTimer>
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

    // A run whose first command went out ahead of the rest: when it was written, and the line's
    // failures before it.
    struct Head
    {
        QElapsedTimer written;
        int failuresBefore = 0;
    };

    explicit PacedSender(SerialLink &link, QObject *parent = nullptr);

    SerialLink &link() const { return m_link; }

    // Builds one command and hands it to ComWrite; a malformed command never goes on the line.
    void send(const PacedCommand &command);

    // Sends commands in order. A run on behalf of caller stops as soon as caller is deleted; a
    // run that began with the port open stops as soon as the line fails (LineFailed).
    Outcome send(const CommandList &commands, QObject *caller = nullptr,
                 const BeforeEach &beforeEach = {}, const StopBefore &stopBefore = {});

    // Writes the first of commands at once, letting no other events run and leaving its pause
    // to sendRest; false, and nothing written, unless the port is open and the command sound.
    bool sendHead(const CommandList &commands, Head &head);
    // The rest of a run begun by sendHead: the first command's pause, counted from its write,
    // then the others as send sends them.
    Outcome sendRest(const CommandList &commands, const Head &head, QObject *caller);

private:
    static bool sound(const PacedCommand &command);
    static QByteArray frameOf(const PacedCommand &command);

    SerialLink &m_link;
};
