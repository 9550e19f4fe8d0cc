#pragma once

#include "core/keyverdict.h"

#include <QLineEdit>

// A one-line field whose every edit path (typing, paste, drop, input method) passes its key
// filter. The typed-character limit binds the user's input only, never text set by the program.
class FilteredLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit FilteredLineEdit(const QString &objectName, QWidget *parent = nullptr);

    void setKeyFilter(KeyFilter filter) { m_filter = std::move(filter); }
    // At most this many characters can be typed or pasted; 0 means no limit.
    void setTypingLimit(int limit) { m_typingLimit = limit; }
    int typingLimit() const { return m_typingLimit; }
    // Enter is handed on to the field after the enterPressed signal instead of being swallowed.
    void setEnterPassesOn(bool passes) { m_enterPassesOn = passes; }

    // Inserts the characters of text that the filter accepts, as typing would.
    void insertFiltered(const QString &text);

    // The character code a key types for a filter: 13 for Enter, 8 for Backspace, 127 for
    // Delete, else its one character of text; 0 for a key that types nothing or a shortcut.
    static int typedCode(const QKeyEvent *event);

Q_SIGNALS:
    void enterPressed();
    void focusLost();
    void keyReleased(int key);
    void doubleClicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    bool roomForTyping(int extra) const;
    // Whether Delete, Cut and the menu's Delete may remove the selection.
    bool deleteAllowed() const;

    KeyFilter m_filter;
    int m_typingLimit = 0;
    bool m_enterPassesOn = false;
};
