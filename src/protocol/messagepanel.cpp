#include "protocol/messagepanel.h"

#include "app/workbench.h"

MessagePanel::MessagePanel(Workbench &workbench, QWidget *parent) : QGroupBox(parent), m_workbench(workbench)
{
    setObjectName(QStringLiteral("Frame2"));
    setTitle(tr("Vornik Controller"));
}
