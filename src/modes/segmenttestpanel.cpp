#include "modes/segmenttestpanel.h"

#include "app/workbench.h"

SegmentTestPanel::SegmentTestPanel(Workbench &workbench, QWidget *parent) : QGroupBox(parent), m_workbench(workbench)
{
    setTitle(tr("Segment test"));
}
