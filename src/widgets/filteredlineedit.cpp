#include "widgets/filteredlineedit.h"

#include "widgets/inputhold.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

FilteredLineEdit::FilteredLineEdit(const QString &objectName, QWidget *parent) : QLineEdit(parent)
{
    setObjectName(objectName);
}

bool FilteredLineEdit::roomForTyping(int extra) const
{
    if (m_typingLimit <= 0)
        return true;
    return text().size() - selectedText().size() + extra <= m_typingLimit;
}

void FilteredLineEdit::insertFiltered(const QString &text)
{
    if (isReadOnly())
        return;
    // One character at a time, as typing goes: a filter that reads the field (the length field
    // refuses only a leading 0) sees the text grow.
    for (const QChar c : text) {
        const KeyVerdict verdict = m_filter ? m_filter(c.unicode()) : KeyVerdict::insert(c);
        if (verdict.kind == KeyVerdict::Insert && roomForTyping(1))
            insert(QString(verdict.character));
    }
}

int FilteredLineEdit::typedCode(const QKeyEvent *event)
{
    const QString text = event->text();
    // AltGr arrives as Ctrl+Alt on Windows and with many X layouts, so a printable character
    // counts whatever is held; with a modifier, anything else is a shortcut.
    const bool printable = text.size() == 1 && text.at(0).isPrint();
    if ((event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        && !printable)
        return 0;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return 13;
    if (event->key() == Qt::Key_Backspace)
        return 8;
    if (event->key() == Qt::Key_Delete)
        return 127;
    return text.size() == 1 ? text.at(0).unicode() : 0;
}

bool FilteredLineEdit::deleteAllowed() const
{
    return !m_filter || m_filter(127).kind == KeyVerdict::Pass;
}

void FilteredLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Paste) {
        insertFiltered(QApplication::clipboard()->text());
        event->accept();
        return;
    }
    if (event == QKeySequence::Cut) {
        // Cut removes the selection as Delete does, so it follows the filter's verdict for Delete.
        if (deleteAllowed())
            QLineEdit::keyPressEvent(event);
        else
            event->accept();
        return;
    }
    if (event == QKeySequence::Copy || event == QKeySequence::SelectAll) {
        QLineEdit::keyPressEvent(event);
        return;
    }

    const int code = typedCode(event);
    if (code == 0) {
        // Other shortcuts (undo, redo, yank) could bring back text the field does not accept,
        // so they are ignored; keys that type nothing (arrows, Home, End, Tab) keep their
        // usual meaning.
        if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            event->accept();
        else
            QLineEdit::keyPressEvent(event);
        return;
    }

    const KeyVerdict verdict = m_filter ? m_filter(code) : KeyVerdict::pass();
    switch (verdict.kind) {
    case KeyVerdict::Insert:
        if (!isReadOnly() && roomForTyping(1))
            insert(QString(verdict.character));
        event->accept();
        return;
    case KeyVerdict::Enter:
        Q_EMIT enterPressed();
        if (m_enterPassesOn)
            QLineEdit::keyPressEvent(event);
        else
            event->accept();
        return;
    case KeyVerdict::Pass:
        QLineEdit::keyPressEvent(event);
        return;
    case KeyVerdict::Swallow:
        event->accept();
        return;
    }
}

void FilteredLineEdit::keyReleaseEvent(QKeyEvent *event)
{
    QLineEdit::keyReleaseEvent(event);
    Q_EMIT keyReleased(event->key());
}

void FilteredLineEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // A popup menu or another application taking over does not count as leaving the field.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) {
        // The leaving action may send and wait; a click landing meanwhile acts after it.
        const InputHold hold(window());
        Q_EMIT focusLost();
    }
}

void FilteredLineEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    QLineEdit::mouseDoubleClickEvent(event);
    Q_EMIT doubleClicked();
}

void FilteredLineEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // The middle button pastes the X11 selection; it goes through the filter like any paste.
    if (event->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection()) {
        insertFiltered(QApplication::clipboard()->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void FilteredLineEdit::inputMethodEvent(QInputMethodEvent *event)
{
    if (!event->commitString().isEmpty()) {
        const QString committed = event->commitString();
        QInputMethodEvent stripped(event->preeditString(), event->attributes());
        QLineEdit::inputMethodEvent(&stripped);
        insertFiltered(committed);
        return;
    }
    QLineEdit::inputMethodEvent(event);
}

void FilteredLineEdit::dropEvent(QDropEvent *event)
{
    if (event->mimeData()->hasText() && !isReadOnly()) {
        setFocus(Qt::OtherFocusReason);
        insertFiltered(event->mimeData()->text());
        event->acceptProposedAction();
        return;
    }
    event->ignore();
}

namespace {
// Qt 6.4 names none of the standard menu's entries; their texts are QLineEdit's own.
bool isEntry(const QAction *action, const char *name, const char *text)
{
    return action->objectName() == QLatin1String(name)
           || action->text().section(QLatin1Char('\t'), 0, 0) == QLineEdit::tr(text);
}
} // namespace

void FilteredLineEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    // Route the menu's Paste through the filter; Cut and Delete follow the Delete key's rule.
    for (QAction *action : menu->actions()) {
        if (isEntry(action, "edit-paste", "&Paste")) {
            disconnect(action, nullptr, nullptr, nullptr);
            connect(action, &QAction::triggered, this,
                    [this] { insertFiltered(QApplication::clipboard()->text()); });
        } else if (isEntry(action, "edit-undo", "&Undo") || isEntry(action, "edit-redo", "&Redo")) {
            action->setEnabled(false);
        } else if ((isEntry(action, "edit-cut", "Cu&t") || isEntry(action, "edit-delete", "Delete"))
                   && !deleteAllowed()) {
            action->setEnabled(false);
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
