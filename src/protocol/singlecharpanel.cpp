#include "protocol/singlecharpanel.h"

#include "app/workbench.h"

SingleCharPanel::SingleCharPanel(Workbench &workbench, QWidget *parent) : QGroupBox(parent), m_workbench(workbench)
{
    setTitle(tr(""));
}
