#include "font/fontfilebar.h"

#include "app/workbench.h"

FontFileBar::FontFileBar(Workbench &workbench, QWidget *parent) : QGroupBox(parent), m_workbench(workbench)
{
    setTitle(tr(""));
}

void FontFileBar::readPointerFile() { }

void FontFileBar::loadStartupFont() { }
