#pragma once

#include <QGroupBox>

class Workbench;

// The segment test: Start, Stop, the step pattern and its timer.
class SegmentTestPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit SegmentTestPanel(Workbench &workbench, QWidget *parent = nullptr);

private:
    Workbench &m_workbench;
};
