#pragma once

#include "modes/segmenttest.h"
#include "session/tickroute.h"

#include <QObject>
#include <QString>

#include <functional>

class PacedSender;
class QTimer;

// The segment test over time: Timer3 ticks the test's state machine and sends what each tick
// asks for; Start and Stop only record a request that the next tick acts on; a failed line
// stops the test.
class SegmentTestRunner : public QObject
{
    Q_OBJECT
public:
    // chainLength is read at every tick. Timer3 is made a child of timerParent.
    SegmentTestRunner(PacedSender &sender, std::function<int()> chainLength, QObject *timerParent);

    void requestStart() { m_test.requestStart(); }
    void requestStop()
    {
        m_test.requestStop();
        m_stopAsked = true;
    }

    // A program's test: its blanks cover the whole chain (the window's are six digits).
    void setWholeChain(bool whole) { m_test.setWholeChain(whole); }
    // What the test sends when it ends, for a program that ends it at once.
    CommandList endCommands() const { return m_test.endCommands(m_chainLength()); }

    // Timer3's tick.
    void runTestStep();

    const SegmentTest &state() const { return m_test; }

    // Test seam: whether Timer3's timeouts tick the test.
    void setAutomaticTicks(bool automatic) { m_automaticTicks = automatic; }
    // Timer3's ticks go through route instead of running at once.
    void setTickRoute(TickRoute route) { m_tickRoute = std::move(route); }

Q_SIGNALS:
    // A tick with an open port: whether a test runs, told before anything is sent.
    void runningShown(bool running);
    // The step's pattern, told as the step's write goes out.
    void patternShown(const QString &pattern);
    // The line failed while a test was asked for; it has been stopped.
    void stoppedByFailedLine();
    // After a stop was asked for, a tick found the test over: its end commands have gone out.
    void ended();

private:
    PacedSender &m_sender;
    std::function<int()> m_chainLength;
    SegmentTest m_test;
    QTimer *m_timer3 = nullptr;
    bool m_inTick = false;
    bool m_automaticTicks = true;
    TickRoute m_tickRoute;
    bool m_stopAsked = false;
};
