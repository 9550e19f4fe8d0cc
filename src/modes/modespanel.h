#pragma once

#include <QGroupBox>

class Workbench;

// The animation, time, date and counter modes with their fields and timers.
class ModesPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit ModesPanel(Workbench &workbench, QWidget *parent = nullptr);

private:
    Workbench &m_workbench;
};
