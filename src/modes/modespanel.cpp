#include "modes/modespanel.h"

#include "app/workbench.h"

ModesPanel::ModesPanel(Workbench &workbench, QWidget *parent) : QGroupBox(parent), m_workbench(workbench)
{
    setTitle(tr("Modes"));
}
