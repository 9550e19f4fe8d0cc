#include "session/pacedsender.h"

#include "core/basicutilities.h"
#include "protocol/chainprotocol.h"
#include "protocol/command.h"
#include "serial/seriallink.h"

#include <QPointer>

#include <stdexcept>

PacedSender::PacedSender(SerialLink &link, QObject *parent) : QObject(parent), m_link(link) {}

bool PacedSender::sound(const PacedCommand &command)
{
    return Command::isLetter(command.letter) && !command.argument.contains(Protocol::kFrameEnd);
}

QByteArray PacedSender::frameOf(const PacedCommand &command)
{
    try {
        return Command::build(command.letter, command.argument);
    } catch (const std::invalid_argument &error) {
        // A malformed command is a fault in the program; it never goes on the line.
        qCritical("Refused to send a malformed command: %s", error.what());
        return QByteArray();
    }
}

void PacedSender::send(const PacedCommand &command)
{
    const QByteArray frame = frameOf(command);
    if (!frame.isEmpty())
        m_link.ComWrite(frame, command.pause, 0, 0);
}

bool PacedSender::sendHead(const CommandList &commands, Head &head)
{
    if (commands.isEmpty() || !m_link.portopen() || !sound(commands.first()) || shutdownRequested())
        return false;
    const QByteArray frame = frameOf(commands.first());
    if (frame.isEmpty())
        return false;
    head.failuresBefore = m_link.writeFailures();
    m_link.ComWrite(frame, 0, 0, 0, SerialLink::Yielding::WithoutEvents);
    head.written.start();
    return true;
}

PacedSender::Outcome PacedSender::sendRest(const CommandList &commands, const Head &head,
                                           QObject *caller)
{
    const bool guarded = caller != nullptr;
    const QPointer<QObject> guard(caller);
    const auto lineFailed
            = [&] { return !m_link.portopen() || m_link.writeFailures() != head.failuresBefore; };
    if (lineFailed())
        return Outcome::LineFailed;
    Delay(commands.first().pause, head.written);
    if ((guarded && !guard) || shutdownRequested())
        return Outcome::Stopped;
    if (lineFailed())
        return Outcome::LineFailed;
    return commands.size() == 1 ? Outcome::Complete : send(commands.mid(1), caller);
}

PacedSender::Outcome PacedSender::send(const CommandList &commands, QObject *caller,
                                       const BeforeEach &beforeEach, const StopBefore &stopBefore)
{
    const bool guarded = caller != nullptr;
    const QPointer<QObject> guard(caller);
    const auto callerGone = [&] { return guarded && !guard; };
    const auto stopped = [&] { return callerGone() || shutdownRequested(); };
    const int failuresBefore = m_link.writeFailures();
    // A run that began on an open port ends where the line fails (a failed write, the port
    // lost or closed); one that began without a port hands every command to the log as before.
    const bool hadPort = m_link.portopen();
    const auto lineFailed = [&] {
        return hadPort && (!m_link.portopen() || m_link.writeFailures() != failuresBefore);
    };
    bool complete = true;
    for (const PacedCommand &command : commands) {
        if (stopped() || (stopBefore && stopBefore(command)))
            return Outcome::Stopped;
        if (beforeEach) {
            beforeEach(command);
            if (stopped())
                return Outcome::Stopped;
        }
        if (lineFailed())
            return Outcome::LineFailed;
        if (!sound(command))
            complete = false;
        send(command);
        if (callerGone())
            return Outcome::Stopped;
        if (lineFailed())
            return Outcome::LineFailed;
        if (!m_link.portopen())
            complete = false;
    }
    if (stopped())
        return Outcome::Stopped;
    complete = complete && m_link.portopen() && m_link.writeFailures() == failuresBefore;
    return complete ? Outcome::Complete : Outcome::LineFailed;
}
