#pragma once

#include "font/fonttable.h"
#include "protocol/pacedcommand.h"

#include <QGroupBox>
#include <QList>

#include <functional>

class CommitBar;
class FilteredLineEdit;
class QAction;
class QLabel;
class QPushButton;
class SegmentPreview;
class Workbench;

// The user-font editor: preview, character code, pattern and the buttons that write it.
class FontEditorPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit FontEditorPanel(Workbench &workbench, QWidget *parent = nullptr);

    // Start-up: every segment line drawn 7 units wide in the off colour.
    void resetSegmentLines();

    // Stores the pattern field at the current code and colours the preview from it.
    void showsegments();
    // End of start-up: the editor and the preview show the table's pattern of the current code,
    // so that the first showsegments stores what the table already holds.
    void showTablePattern();
    // Selects the user-font character whose code stands in the code field and shows it.
    void selectcode();
    // Types code into the code field and presses Enter: the editor and the first digit show
    // that character.
    void enterCode(int code);

    SegmentPreview *preview() const { return m_preview; }
    // Undo and redo of the font, with their keys; the window adds them so that the keys work
    // wherever the focus is.
    QList<QAction *> historyActions() const { return {m_undo, m_redo}; }
    // True while Commit is uploading the user font.
    bool committing() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The Command2 buttons of the editor.
    struct Buttons
    {
        QPushButton *off = nullptr;
        QPushButton *on = nullptr;
        QPushButton *def = nullptr;
        QPushButton *clr = nullptr;
        QPushButton *previous = nullptr;
        QPushButton *write = nullptr;
        QPushButton *writePlus = nullptr;
        QPushButton *next = nullptr;
    };

    void buildFields();
    void buildButtons();
    void buildLayout();
    void connectFields();
    void connectButtons();
    QPushButton *addButton(int index, const QString &caption, const QString &toolTip);
    // The current code with the code field's clamping applied, written back when it moved.
    int settledCode();
    // The character of udc when it holds a user-font character, otherwise that of code.
    QByteArray currentCharacter(int code) const;
    // Puts the character with code and its table pattern into the editor's fields.
    void refreshEditor(int code);

    // Off and On: the whole pattern field replaced, one undo step.
    void setWholePattern(const QString &pattern);
    // Undo (or redo) one change of the user font; shows the character it was at, sends nothing.
    void stepFontHistory(bool redo);
    void onSegmentClicked(int k);
    void onPatternEnter();
    void onPatternEdited();
    void onUdcEdited();
    void chooseCharacter(int code);
    // Resets the table with reset, shows the current character and reports status.
    void replaceFont(void (FontTable::*reset)(), const QString &status);
    // "Write" and Enter in the pattern field; then runs once the commands went out.
    void writePattern(int writePause, const std::function<void()> &then = {});
    // The command that shows the current character on the first digit.
    CommandList showCurrentCharacter(int code) const;
    void onWritePlus();
    void onStep(int code);

    Workbench &m_workbench;
    SegmentPreview *m_preview = nullptr;
    FilteredLineEdit *m_acc = nullptr;
    FilteredLineEdit *m_udc = nullptr;
    FilteredLineEdit *m_udcpattern = nullptr;
    // The code whose character and pattern the editor shows: the slot its edits change.
    int m_shownCode = 'A';
    QLabel *m_asciiLabel = nullptr;
    Buttons m_buttons;
    CommitBar *m_commitBar = nullptr;
    QAction *m_undo = nullptr;
    QAction *m_redo = nullptr;
};
