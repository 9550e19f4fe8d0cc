#pragma once

#include <QGroupBox>

class Workbench;

// The single character field and the Send character button.
class SingleCharPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit SingleCharPanel(Workbench &workbench, QWidget *parent = nullptr);

private:
    Workbench &m_workbench;
};
