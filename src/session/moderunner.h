#pragma once

#include "session/modeinputs.h"
#include "session/tickroute.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class PacedSender;
class QTimer;

// The animation, time, date and counter modes over time: Timer1 steps the chosen mode at its
// interval, Timer2 repairs an interval that fell out of range, a failed line turns the running
// modes off. The steps themselves are the mode rules; the inputs are read at every tick.
class ModeRunner : public QObject
{
    Q_OBJECT
public:
    using Mode = ModeInputs::Mode;

    // The timers are made children of timerParent, so they live and die with it.
    ModeRunner(PacedSender &sender, ModeInputs &inputs, QObject *timerParent);

    // Timer1's tick: one step of every mode that is on.
    void stepActiveMode();
    // Timer2's tick: an interval below 1 goes back to the clock's.
    void repairModeInterval();
    // A mode was chosen: Animate and Count step at delay, Time and Date poll the clock and send
    // at once.
    void modeChosen(Mode mode, const QString &delay);
    // The delay field was confirmed.
    void delayChanged(const QString &delay);

    // Timer1's interval as last set, also when it is below 1 and the timer does not tick.
    int timer1Interval() const { return m_timer1Interval; }
    QString lastclock() const { return m_lastclock; }

    // Test seams: where the local time comes from, the formats the time and date are written
    // in (the system locale's by default), and whether the timers' timeouts step the modes.
    void setClockSource(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    void setClockFormats(const QString &timeFormat, const QString &dateFormat);
    void setAutomaticTicks(bool automatic) { m_automaticTicks = automatic; }
    // Timer1's steps go through route instead of running at once.
    void setTickRoute(TickRoute route) { m_tickRoute = std::move(route); }

Q_SIGNALS:
    void statusMessage(const QString &text);
    // The line failed while mode was on; the mode has been turned off.
    void stoppedByFailedLine(Mode mode);

private:
    void stopOnFailedLine();
    void setTimer1Interval(int interval);
    void animateStep();
    // Time (date false) or Date: the six digits, sent when they changed since the last tick.
    void clockStep(bool date);
    void countStep();
    QString clockText(bool date) const;

    PacedSender &m_sender;
    ModeInputs &m_inputs;
    QTimer *m_timer1 = nullptr;
    QTimer *m_timer2 = nullptr;
    int m_timer1Interval = 0;
    QString m_lastclock;
    bool m_stepping = false;
    bool m_automaticTicks = true;
    TickRoute m_tickRoute;
    std::function<QDateTime()> m_clock;
    QString m_timeFormat;
    QString m_dateFormat;
};
