#pragma once

#include <QGroupBox>

class FilteredLineEdit;
class Workbench;

// The two-digit hexadecimal character field and the button that blanks the display chain.
class SingleCharPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit SingleCharPanel(Workbench &workbench, QWidget *parent = nullptr);

private:
    void fillSinglechar();
    void sendCharacter();

    Workbench &m_workbench;
    FilteredLineEdit *m_singlechar = nullptr;
};
