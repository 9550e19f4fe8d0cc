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
    m_actions.append(action);
    Q_EMIT lengthChanged(waiting());
    scheduleDrain();
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
    if (m_drainScheduled || m_running)
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
    if (m_running)
        return;
    const QPointer<ActionQueue> self(this);
    const ReentryGuard guard(this, m_running);
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
