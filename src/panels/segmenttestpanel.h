#pragma once

#include <QGroupBox>

class QLineEdit;
class QPushButton;
class SegmentTestRunner;
class Workbench;

// The segment test: Start, Stop, and the field showing the current step's pattern, green while
// a test runs; the runner's Timer3 (a child of this panel) runs the test.
class SegmentTestPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit SegmentTestPanel(Workbench &workbench, QWidget *parent = nullptr);

private:
    void showRunning(bool running);

    SegmentTestRunner *m_runner = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QLineEdit *m_testrunning = nullptr;
};
