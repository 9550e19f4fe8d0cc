#include "session/actionqueue.h"

#include "core/basicutilities.h"
#include "core/reentryguard.h"

#include <QPointer>
#include <QTimer>

ActionQueue::ActionQueue(PacedSender &sender, int capacity, QObject *parent)
    : QObject(parent), m_sender(sender), m_capacity(capacity)
{}

bool ActionQueue::post(const Action &action)
{
    if (waiting() >= m_capacity)
        return false;
    postAlways(action);
    return true;
}

void ActionQueue::postAlways(const Action &action)
{
    if (beginAtOnce(action))
        return;
    m_actions.append(action);
    Q_EMIT lengthChanged(waiting());
    scheduleDrain();
}

bool ActionQueue::beginAtOnce(const Action &action)
{
    if (m_running || !m_actions.isEmpty() || action.run)
        return false;
    // Busy from the first frame on: a tick must not land in its pause.
    m_running = true;
    PacedSender::Head head;
    if (!m_sender.sendHead(action.commands, head)) {
        m_running = false;
        return false;
    }
    m_begun = Begun{action, head};
    scheduleDrain();
    return true;
}

bool ActionQueue::runIfIdle(const Step &step)
{
    if (m_running || !m_actions.isEmpty() || shutdownRequested())
        return false;
    const QPointer<ActionQueue> self(this);
    {
        const ReentryGuard guard(this, m_running);
        step();
    }
    // Actions posted while the step sent wait for no other tick.
    if (self && !m_actions.isEmpty())
        scheduleDrain();
    return true;
}

void ActionQueue::clear()
{
    if (m_actions.isEmpty())
        return;
    m_actions.clear();
    Q_EMIT lengthChanged(0);
}

void ActionQueue::scheduleDrain()
{
    // A running loop takes new actions itself; a begun action needs the loop to finish it.
    if (m_drainScheduled || (m_running && !m_begun))
        return;
    m_drainScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_drainScheduled = false;
        drain();
    });
}

void ActionQueue::drain()
{
    // Actions posted while one sends (the sender's waits run events) join the loop below.
    if (m_running && !m_begun)
        return;
    const QPointer<ActionQueue> self(this);
    const ReentryGuard guard(this, m_running);
    if (m_begun) {
        const Begun begun = *m_begun;
        m_begun.reset();
        const PacedSender::Outcome outcome
                = m_sender.sendRest(begun.action.commands, begun.head, this);
        if (!self)
            return;
        Q_EMIT actionDone(begun.action.name, outcome);
    }
    while (!m_actions.isEmpty() && !shutdownRequested()) {
        const Action action = m_actions.takeFirst();
        Q_EMIT lengthChanged(waiting());
        PacedSender::Outcome outcome = PacedSender::Outcome::Complete;
        if (action.run)
            action.run();
        else
            outcome = m_sender.send(action.commands, this);
        if (!self)
            return;
        Q_EMIT actionDone(action.name, outcome);
    }
}
