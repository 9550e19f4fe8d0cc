#pragma once

#include <QGroupBox>

class Workbench;

// The message block: chain length, message, fonts, underscores, effects, speeds and Write all.
class MessagePanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit MessagePanel(Workbench &workbench, QWidget *parent = nullptr);

private:
    Workbench &m_workbench;
};
