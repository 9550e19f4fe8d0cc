#include "session/segmenttestrunner.h"

#include "core/basicutilities.h"
#include "core/reentryguard.h"
#include "serial/seriallink.h"
#include "session/pacedsender.h"

#include <QTimer>

SegmentTestRunner::SegmentTestRunner(PacedSender &sender, std::function<int()> chainLength,
                                     QObject *timerParent)
    : QObject(timerParent), m_sender(sender), m_chainLength(std::move(chainLength))
{
    m_timer3 = new QTimer(timerParent);
    m_timer3->setObjectName(QStringLiteral("Timer3"));
    connect(m_timer3, &QTimer::timeout, this, [this] {
        if (!m_automaticTicks)
            return;
        if (m_tickRoute)
            m_tickRoute([this] { runTestStep(); });
        else
            runTestStep();
    });
    m_timer3->start(SegmentTest::kTickInterval);
    // The end commands go out on the first tick that finds a port again.
    connect(&m_sender.link(), &SerialLink::writeFailed, this, [this] {
        if (!m_test.testrequest())
            return;
        m_test.requestStop();
        Q_EMIT stoppedByFailedLine();
    });
}

void SegmentTestRunner::runTestStep()
{
    // The start sequence pauses longer than a tick period; a tick that begins while the last
    // one is still sending would interleave two sequences on the line.
    if (m_inTick || shutdownRequested())
        return;
    const ReentryGuard guard(this, m_inTick);
    const SegmentTest::Tick tick = m_test.tick(m_sender.link().portopen(), m_chainLength());
    if (!tick.showChanged)
        return; // no port: nothing shown, nothing sent
    Q_EMIT runningShown(tick.running);
    if (tick.showAt >= tick.commands.size())
        Q_EMIT patternShown(tick.pattern);
    int next = 0;
    m_sender.send(tick.commands, this, [this, &tick, &next](const PacedCommand &) {
        if (next++ == tick.showAt)
            Q_EMIT patternShown(tick.pattern);
    });
    if (m_stopAsked && !m_test.testactive() && !m_test.testrequest()) {
        m_stopAsked = false;
        Q_EMIT ended();
    }
}
