#include "panels/fonteditorpanel.h"

#include "core/basicutilities.h"
#include "font/fontcommands.h"
#include "font/fontrules.h"
#include "font/segmentcolours.h"
#include "font/segmentgeometry.h"
#include "font/textfont.h"
#include "panels/commitbar.h"
#include "panels/workbench.h"
#include "protocol/coderules.h"
#include "protocol/messagecommands.h"
#include "widgets/filteredlineedit.h"
#include "widgets/segmentpreview.h"

#include <QAction>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using Pause::kLong;
using Pause::kShort;

FontEditorPanel::FontEditorPanel(Workbench &workbench, QWidget *parent)
    : QGroupBox(parent), m_workbench(workbench)
{
    setTitle(tr("UDC"));
    buildFields();
    buildButtons();
    buildLayout();

    m_workbench.attachCodeField(m_acc);
    m_workbench.setShowsegments([this] { showsegments(); });
    m_workbench.setCharacterShower([this](int code) { refreshEditor(code); });

    connectFields();
    connectButtons();
}

void FontEditorPanel::buildFields()
{
    m_asciiLabel = new QLabel(tr("ASCII"), this);
    m_asciiLabel->setToolTip(tr("ASCII character code"));
    m_acc = new FilteredLineEdit(QStringLiteral("acc"), this);
    m_acc->setText(QString::number(m_shownCode));
    m_acc->setToolTip(tr("Note that 13  (cr) and  33 (!) are not used as these are valid control "
                         "characters"));
    m_acc->setKeyFilter(&KeyVerdict::digits);
    m_acc->setMaximumWidth(60);
    m_asciiLabel->setBuddy(m_acc);

    m_udc = new FilteredLineEdit(QStringLiteral("udc"), this);
    m_udc->setMaxLength(1);
    m_udc->setText(QString(QChar(m_shownCode)));
    m_udc->setToolTip(
            tr("This is the charater input that points to the current user font character"));
    // Keys are handled in eventFilter; every other way of editing is refused so that the field
    // always holds exactly one character.
    m_udc->setKeyFilter([](int) { return KeyVerdict::swallow(); });
    m_udc->installEventFilter(this);
    m_udc->setMaximumWidth(30);

    m_udcpattern = new FilteredLineEdit(QStringLiteral("udcpattern"), this);
    m_udcpattern->setMaxLength(FontTable::kSegments);
    m_udcpattern->setTypingLimit(FontTable::kSegments);
    m_udcpattern->setText(FontTable::allOff());
    m_udcpattern->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_udcpattern->setKeyFilter(&FontRules::patternKey);
    m_udcpattern->installEventFilter(this);
    m_acc->installEventFilter(this);

    m_preview = new SegmentPreview(this);
    m_preview->setObjectName(QStringLiteral("segmentpreview"));
}

void FontEditorPanel::buildButtons()
{
    QPushButton *off = addButton(0, tr("Off"), tr("Turn all segments off"));
    QPushButton *on = addButton(1, tr("On"), tr("Turn all segments on"));
    QPushButton *def = addButton(8, tr("Def"),
                                 tr("Clear the user fonts in local memory to the default "
                                    "patterns. Ctrl+Z undoes this"));
    QPushButton *clr = addButton(13, tr("Clr"),
                                 tr("Clear the user fonts in local memory to all patterns off. "
                                    "Ctrl+Z undoes this"));
    QPushButton *previous = addButton(4, tr("<"),
                                      tr("Select previous location in local memory and send to "
                                         "first PIC in chain"));
    QPushButton *write = addButton(2, tr("Write"),
                                   tr("Write current pattern  to first PIC in chain and stay on "
                                      "this index"));
    QPushButton *writePlus = addButton(3, tr("Write+"),
                                       tr("Write current pattern  to first PIC in chain and go to "
                                          "next index"));
    QPushButton *next = addButton(5, tr(">"),
                                  tr("Select next location in local memory and send to first PIC "
                                     "in chain"));
    m_buttons = {off, on, def, clr, previous, write, writePlus, next};
    m_commitBar = new CommitBar(m_workbench, this);
}

void FontEditorPanel::buildLayout()
{
    const Buttons &b = m_buttons;
    auto *codeRow = new QHBoxLayout;
    codeRow->addWidget(m_asciiLabel);
    codeRow->addWidget(m_acc);
    codeRow->addWidget(m_udc);
    codeRow->addStretch();
    auto *editRow = new QHBoxLayout;
    for (QPushButton *button : {b.off, b.on, b.def, b.clr})
        editRow->addWidget(button);
    auto *writeRow = new QHBoxLayout;
    for (QPushButton *button : {b.previous, b.write, b.writePlus, b.next})
        writeRow->addWidget(button);
    auto *hintRow = new QHBoxLayout;
    hintRow->addWidget(new QLabel(tr("To view UDC"), this));
    hintRow->addWidget(new QLabel(tr("Set Fonts='U'"), this));
    hintRow->addStretch();

    auto *controls = new QVBoxLayout;
    controls->addLayout(codeRow);
    controls->addWidget(m_udcpattern);
    controls->addLayout(editRow);
    controls->addLayout(writeRow);
    controls->addWidget(m_commitBar);
    controls->addLayout(hintRow);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_preview, 0, Qt::AlignTop);
    layout->addLayout(controls);
}

void FontEditorPanel::connectFields()
{
    connect(m_acc, &FilteredLineEdit::enterPressed, this, &FontEditorPanel::selectcode);
    connect(m_acc, &FilteredLineEdit::focusLost, this, &FontEditorPanel::selectcode);
    connect(m_acc, &FilteredLineEdit::doubleClicked, this, [this] {
        m_acc->setText(QString::number(CodeRules::kFirstCode));
        selectcode();
    });
    connect(m_udc, &QLineEdit::textEdited, this, &FontEditorPanel::onUdcEdited);
    connect(m_udcpattern, &FilteredLineEdit::enterPressed, this, &FontEditorPanel::onPatternEnter);
    connect(m_udcpattern, &FilteredLineEdit::keyReleased, this, &FontEditorPanel::showsegments);
    connect(m_udcpattern, &QLineEdit::textEdited, this, &FontEditorPanel::onPatternEdited);
    connect(m_preview, &SegmentPreview::segmentClicked, this, &FontEditorPanel::onSegmentClicked);
}

void FontEditorPanel::connectButtons()
{
    const Buttons &b = m_buttons;
    connect(b.off, &QPushButton::clicked, this, [this] { setWholePattern(FontTable::allOff()); });
    connect(b.on, &QPushButton::clicked, this,
            [this] { setWholePattern(QString(FontTable::kSegments, '1')); });
    connect(b.def, &QPushButton::clicked, this, [this] {
        replaceFont(&FontTable::resetfont, QStringLiteral("Font array has been set to default"));
    });
    connect(b.clr, &QPushButton::clicked, this, [this] {
        replaceFont(&FontTable::clear, QStringLiteral("Font array has been cleared"));
    });
    connect(b.write, &QPushButton::clicked, this, [this] { writePattern(kShort); });
    connect(b.writePlus, &QPushButton::clicked, this, &FontEditorPanel::onWritePlus);
    connect(b.previous, &QPushButton::clicked, this,
            [this] { onStep(CodeRules::previousCode(settledCode())); });
    connect(b.next, &QPushButton::clicked, this,
            [this] { onStep(CodeRules::nextCode(settledCode())); });

    // Undo and redo of the font: in the segment editor's menu, and by their keys wherever the
    // focus is in the window that adds them too. A text field keeps the keys for itself; the
    // editor's own fields pass them to the font (see eventFilter).
    m_undo = new QAction(tr("Undo font change"), this);
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(m_undo, &QAction::triggered, this, [this] { stepFontHistory(false); });
    m_redo = new QAction(tr("Redo font change"), this);
    m_redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(m_redo, &QAction::triggered, this, [this] { stepFontHistory(true); });
    for (QAction *action : historyActions())
        action->setShortcutContext(Qt::WindowShortcut);
    m_preview->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_preview->addActions(historyActions());
    // The text font's shape of the character being edited, as one undoable change.
    auto *glyph = new QAction(tr("Text font glyph"), this);
    connect(glyph, &QAction::triggered, this, [this] {
        if (const auto shape = TextFont::glyph(static_cast<char32_t>(m_shownCode)))
            setWholePattern(*shape);
    });
    m_preview->addAction(glyph);
}

QPushButton *FontEditorPanel::addButton(int index, const QString &caption, const QString &toolTip)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QStringLiteral("Command2_%1").arg(index));
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    return button;
}

void FontEditorPanel::resetSegmentLines()
{
    m_preview->resetLines();
}

void FontEditorPanel::showTablePattern()
{
    const int code = m_workbench.currentCode();
    if (!FontTable::isValidIndex(code))
        return;
    refreshEditor(code);
    showsegments();
}

int FontEditorPanel::settledCode()
{
    const int code = CodeRules::selectedCode(m_acc->text());
    const QString text = QString::number(code);
    if (m_acc->text() != text)
        m_acc->setText(text);
    return code;
}

QByteArray FontEditorPanel::currentCharacter(int code) const
{
    const QString text = m_udc->text();
    if (text.size() == 1 && CodeRules::isUserFontCharacter(text.at(0).unicode()))
        return text.toLatin1();
    return QByteArray(1, static_cast<char>(CodeRules::clampCode(code)));
}

void FontEditorPanel::refreshEditor(int code)
{
    // Typing at another character is another undo step.
    m_workbench.fonthistory.endTyping();
    m_shownCode = code;
    m_udc->setText(QString(QChar(code)));
    // A slot read unchecked from a file may hold other characters; the field shows them as off.
    m_udcpattern->setText(FontRules::cleanedPattern(m_workbench.fontarray.pattern(code)));
}

void FontEditorPanel::showsegments()
{
    const QString pattern = FontRules::storedPattern(m_udcpattern->text());
    // The slot on show, not a code still being typed into acc; a reserved one is left alone.
    const int code = m_shownCode;
    if (FontTable::isSelectableCode(code)) {
        const FontTable before = m_workbench.fontarray;
        m_workbench.fontarray.setPattern(code, pattern);
        m_workbench.fonthistory.record(before, m_workbench.fontarray, code, true);
    }
    m_preview->showPattern(pattern);
}

void FontEditorPanel::selectcode()
{
    if (shutdownRequested())
        return;
    const int code = CodeRules::selectedCode(m_acc->text());
    m_acc->setText(QString::number(code));
    refreshEditor(code);
    // The editor shows the character before it goes out.
    m_workbench.sendAll(this, MessageCommands::showCharacter(code, kShort),
                        [this](const PacedCommand &) { showsegments(); });
}

void FontEditorPanel::enterCode(int code)
{
    m_acc->setText(QString::number(code));
    selectcode();
}

bool FontEditorPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QGroupBox::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    // Ctrl+Z in the other fields undoes a font change, not the field's own typing; in udc,
    // Ctrl with a letter chooses a control code.
    if (watched != m_udc) {
        const Qt::KeyboardModifiers modifiers
                = key->modifiers()
                  & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
        if (key->key() != Qt::Key_Z
            || (modifiers != Qt::ControlModifier
                && modifiers != (Qt::ControlModifier | Qt::ShiftModifier)))
            return QGroupBox::eventFilter(watched, event);
        stepFontHistory(modifiers & Qt::ShiftModifier);
        return true;
    }
    const Qt::KeyboardModifiers held
            = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    // Ctrl with a letter chooses its control code (Ctrl+J is 10) whatever text comes with it.
    int code = held == Qt::ControlModifier ? CodeRules::controlCharacter(key->key()) : -1;
    if (code < 0)
        code = FilteredLineEdit::typedCode(key);
    // Everything else (Enter, Backspace, Delete, Copy, Select All) goes on to the field, which
    // refuses every key that could change its text.
    if (!CodeRules::isUserFontCharacter(code))
        return false;
    chooseCharacter(code);
    return true;
}

void FontEditorPanel::chooseCharacter(int code)
{
    m_acc->setText(QString::number(code));
    refreshEditor(code);
    m_workbench.sendAll(this, showCurrentCharacter(code),
                        [this](const PacedCommand &) { showsegments(); });
}

void FontEditorPanel::onUdcEdited()
{
    // Only reached by an edit that bypassed the key handling (a middle-button paste): keep one
    // user-font character in the field whatever came in.
    const QString text = m_udc->text();
    if (text.size() == 1 && CodeRules::isUserFontCharacter(text.at(0).unicode())) {
        chooseCharacter(text.at(0).unicode());
        return;
    }
    m_udc->setText(QString(QChar(CodeRules::selectedCode(m_acc->text()))));
}

void FontEditorPanel::onPatternEdited()
{
    if (m_workbench.refusedDuringUpload()) {
        m_udcpattern->setText(
                FontRules::cleanedPattern(m_workbench.fontarray.pattern(m_shownCode)));
        return;
    }
    // Typing and pasting already pass the key filter; this catches any edit that did not.
    const QString kept = FontRules::editablePattern(m_udcpattern->text());
    if (kept != m_udcpattern->text())
        m_udcpattern->setText(kept);
    showsegments();
}

void FontEditorPanel::onPatternEnter()
{
    m_udcpattern->setText(FontTable::padded(m_udcpattern->text()));
    writePattern(kLong);
}

void FontEditorPanel::writePattern(int writePause, const std::function<void()> &then)
{
    const QByteArray character = currentCharacter(m_workbench.currentCode());
    m_workbench.sendAll(this,
                        FontCommands::writePattern(character, m_udcpattern->text(), writePause), {},
                        [then](bool) {
                            if (then)
                                then();
                        });
}

CommandList FontEditorPanel::showCurrentCharacter(int code) const
{
    return MessageCommands::showCharacter(static_cast<unsigned char>(currentCharacter(code).at(0)),
                                          kShort);
}

void FontEditorPanel::onSegmentClicked(int k)
{
    if (m_workbench.refusedDuringUpload())
        return;
    // The click edits the character on show; a code typed into acc but not confirmed gives way.
    if (m_acc->text() != QString::number(m_shownCode))
        m_acc->setText(QString::number(m_shownCode));
    const bool wasOff = m_preview->lineColour(k) == SegmentGeometry::offColour();
    m_preview->setLineColour(k,
                             wasOff ? SegmentGeometry::onColour() : SegmentGeometry::offColour());
    const QString pattern = m_preview->linePattern();
    m_udcpattern->setText(pattern);
    const int code = m_shownCode;
    if (FontTable::isSelectableCode(code)) {
        const FontTable before = m_workbench.fontarray;
        m_workbench.fontarray.setPattern(code, pattern);
        m_workbench.fonthistory.record(before, m_workbench.fontarray, code);
    }
}

void FontEditorPanel::setWholePattern(const QString &pattern)
{
    if (m_workbench.refusedDuringUpload())
        return;
    FontHistory &history = m_workbench.fonthistory;
    history.endTyping();
    m_udcpattern->setText(pattern);
    showsegments();
    history.endTyping();
}

void FontEditorPanel::stepFontHistory(bool redo)
{
    if (m_workbench.refusedDuringUpload())
        return;
    FontTable &table = m_workbench.fontarray;
    const FontTable before = table;
    const std::optional<int> code
            = redo ? m_workbench.fonthistory.redo(table) : m_workbench.fonthistory.undo(table);
    if (!code)
        return;
    m_workbench.tellFontStep(redo, *code, before);
    m_acc->setText(QString::number(*code));
    refreshEditor(*code);
    m_preview->showPattern(FontRules::storedPattern(m_udcpattern->text()));
}

void FontEditorPanel::replaceFont(void (FontTable::*reset)(), const QString &status)
{
    if (m_workbench.refusedDuringUpload())
        return;
    const FontTable before = m_workbench.fontarray;
    (m_workbench.fontarray.*reset)();
    const int code = settledCode();
    m_workbench.fonthistory.record(before, m_workbench.fontarray, code);
    refreshEditor(code);
    m_workbench.sendAll(this, showCurrentCharacter(code), {}, [this, status](bool) {
        m_workbench.setStatus(status);
        showsegments();
    });
}

void FontEditorPanel::onWritePlus()
{
    writePattern(kShort, [this] {
        const int code = CodeRules::nextCode(settledCode());
        m_acc->setText(QString::number(code));
        refreshEditor(code);
        showsegments();
    });
}

void FontEditorPanel::onStep(int code)
{
    m_acc->setText(QString::number(code));
    refreshEditor(code);
    m_workbench.sendAll(this, showCurrentCharacter(code), {}, [this](bool) { showsegments(); });
}

bool FontEditorPanel::committing() const
{
    return m_commitBar->committing();
}
