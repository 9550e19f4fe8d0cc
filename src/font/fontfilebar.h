#pragma once

#include <QGroupBox>

class Workbench;

// The user-font file field with Load and Save, and the start-up font load.
class FontFileBar : public QGroupBox
{
    Q_OBJECT
public:
    explicit FontFileBar(Workbench &workbench, QWidget *parent = nullptr);

    // Start-up, first half: the pointer file "vk.ini" names the font file, put into fontfile.
    void readPointerFile();
    // Start-up, second half: the font named in fontfile is loaded.
    void loadStartupFont();

private:
    Workbench &m_workbench;
};
