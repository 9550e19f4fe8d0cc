#include "font/fonteditorpanel.h"

#include "app/workbench.h"

FontEditorPanel::FontEditorPanel(Workbench &workbench, QWidget *parent) : QGroupBox(parent), m_workbench(workbench)
{
    setTitle(tr("UDC"));
}

void FontEditorPanel::resetSegmentLines() { }
