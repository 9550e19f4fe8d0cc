#pragma once

#include "protocol/pacedcommand.h"
#include "session/pacedsender.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// The one ordered way to the line when several clients share it: actions run one at a time
// through the paced sender, so the frames of one action stay together and actions never
// interleave. Added to an idle queue, an action's first frame goes out at once, so that it does
// not wait behind the requests that came with it; everything else (that frame's pause, the
// other frames, the actions behind it) goes on from the event loop, never inside the caller.
class ActionQueue : public QObject
{
    Q_OBJECT
public:
    // What one action sends: its commands, or a step that sends through the sender itself (an
    // upload job); name is for whoever watches the queue.
    struct Action
    {
        QString name;
        CommandList commands;
        std::function<void()> run;
    };
    using Step = std::function<void()>;

    explicit ActionQueue(PacedSender &sender, int capacity, QObject *parent = nullptr);

    // Adds action behind those waiting, or begins it when none runs or waits; false, and nothing
    // queued, when capacity are waiting.
    bool post(const Action &action);
    // The program's own follow-up (content returning, a runner retired): queued whatever the
    // length, and never run in the middle of another action or tick.
    void postAlways(const Action &action);
    // A periodic step (a mode's tick, a scroll step) runs at once when nothing runs or waits,
    // and is skipped otherwise, since its next tick comes anyway. Answers whether it ran.
    bool runIfIdle(const Step &step);
    // Drops every waiting action (the one running ends on its own).
    void clear();

    int waiting() const { return static_cast<int>(m_actions.size()); }
    bool busy() const { return m_running; }
    int capacity() const { return m_capacity; }

Q_SIGNALS:
    // The number of waiting actions changed.
    void lengthChanged(int waiting);
    void actionDone(const QString &name, PacedSender::Outcome outcome);

private:
    // An action whose first frame is out, waiting for the event loop to send the rest.
    struct Begun
    {
        Action action;
        PacedSender::Head head;
    };

    bool beginAtOnce(const Action &action);
    void scheduleDrain();
    void drain();

    PacedSender &m_sender;
    int m_capacity;
    QList<Action> m_actions;
    bool m_running = false;
    bool m_drainScheduled = false;
    std::optional<Begun> m_begun;
};
