#pragma once

#include "session/modeinputs.h"

#include <QGroupBox>

#include <array>

class FilteredLineEdit;
class ModeRunner;
class QCheckBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class Workbench;

// The animation, time, date and counter modes: their boxes and fields, which the mode runner
// reads at every tick of its timers.
class ModesPanel : public QGroupBox, public ModeInputs
{
    Q_OBJECT
public:
    explicit ModesPanel(Workbench &workbench, QWidget *parent = nullptr);

    bool modeOn(Mode mode) const override;
    int chainLength() const override;
    QString startText() const override;
    QString stopText() const override;
    QString counterText() const override;
    void setCounterText(const QString &text) override;
    QString codeText() const override;
    // The code goes into the editor's code field and the editor shows its character.
    void showCode(int code) override;
    // The editor stores and paints its pattern before each command of an Animate step.
    void beforeAnimateCommand() override;
    // The line failed: the mode's box is cleared.
    void stopMode(Mode mode) override;

private:
    QHBoxLayout *buildEnablers();
    QGridLayout *buildFields();
    void enablerClicked(int index);
    void animationConfirmed(int index);
    void xcountEntered();
    void xcountLeft();

    Workbench &m_workbench;
    std::array<QCheckBox *, kModes> m_enabler{};
    std::array<FilteredLineEdit *, 3> m_animation{};
    std::array<QLabel *, 3> m_label{};
    FilteredLineEdit *m_xcount = nullptr;
    // Steps the modes; it and its timers (Timer1, Timer2) are children of this panel.
    ModeRunner *m_runner = nullptr;
};
