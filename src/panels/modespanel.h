#pragma once

#include <QDateTime>
#include <QGroupBox>

#include <array>
#include <functional>

class FilteredLineEdit;
class QCheckBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QTimer;
class Workbench;

// The animation, time, date and counter modes: their boxes and fields, and the two timers
// that feed the chosen mode to the chain and keep the mode timer's interval valid.
class ModesPanel : public QGroupBox
{
    Q_OBJECT
public:
    enum Mode { Animate = 0, Time = 1, Date = 2, Count = 3 };
    static constexpr int kModes = 4;

    explicit ModesPanel(Workbench &workbench, QWidget *parent = nullptr);

    // The handlers of the three timers' ticks and of a click on a mode box, public so that tests
    // can drive them without waiting.
    void stepActiveMode();
    void repairModeInterval();
    void enablerClicked(int index);

    // Timer1's interval as last set, also when it is below 1 and the timer does not tick.
    int timer1Interval() const { return m_timer1Interval; }
    QString lastclock() const { return m_lastclock; }

    // Test seams: where the local time comes from, the formats the time and date are written
    // in (system locale's by default), and whether the timers' timeouts tick the panel.
    void setClockSource(std::function<QDateTime()> clock);
    void setClockFormats(const QString &timeFormat, const QString &dateFormat);
    void setAutomaticTicks(bool automatic) { m_automaticTicks = automatic; }

private:
    QHBoxLayout *buildEnablers();
    QGridLayout *buildFields();
    void startTimers();
    void setTimer1Interval(int interval);
    void animationConfirmed(int index);
    void xcountEntered();
    void xcountLeft();

    void animateStep();
    // Time (date false) or Date: the six digits, sent when they changed since the last tick.
    void clockStep(bool date);
    void countStep();
    QString clockText(bool date) const;

    Workbench &m_workbench;
    std::array<QCheckBox *, kModes> m_enabler{};
    std::array<FilteredLineEdit *, 3> m_animation{};
    std::array<QLabel *, 3> m_label{};
    FilteredLineEdit *m_xcount = nullptr;
    QTimer *m_timer1 = nullptr;
    QTimer *m_timer2 = nullptr;
    int m_timer1Interval = 100;
    QString m_lastclock;
    bool m_steppingMode = false;
    bool m_automaticTicks = true;
    std::function<QDateTime()> m_clock;
    QString m_timeFormat;
    QString m_dateFormat;
};
