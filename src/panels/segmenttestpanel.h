#pragma once

#include "modes/segmenttest.h"

#include <QGroupBox>

class QLineEdit;
class QPushButton;
class QTimer;
class Workbench;

// The segment test: Start, Stop, the field showing the current step's pattern, and the timer
// whose ticks run the test and send its commands.
class SegmentTestPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit SegmentTestPanel(Workbench &workbench, QWidget *parent = nullptr);

    // The tick handler of Timer3, public so that tests can drive it without waiting.
    void runTestStep();

    const SegmentTest &state() const { return m_test; }

    // Test seam: whether Timer3's timeouts tick the panel.
    void setAutomaticTicks(bool automatic) { m_automaticTicks = automatic; }

private:
    void showRunning(bool running);

    Workbench &m_workbench;
    SegmentTest m_test;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QLineEdit *m_testrunning = nullptr;
    QTimer *m_timer3 = nullptr;
    bool m_inTick = false;
    bool m_automaticTicks = true;
};
