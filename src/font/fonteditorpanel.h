#pragma once

#include <QGroupBox>

class Workbench;

// The user-font editor: preview, character code, pattern and the buttons that write it.
class FontEditorPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit FontEditorPanel(Workbench &workbench, QWidget *parent = nullptr);

    // Start-up: every segment line drawn 7 units wide in the off colour.
    void resetSegmentLines();

private:
    Workbench &m_workbench;
};
