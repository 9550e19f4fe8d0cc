#pragma once

#include <QElapsedTimer>
#include <QString>

#include <utility>

class ShownLines;

// What is selected in a log pane, from an anchor to a cursor, by line numbers that outlast the
// oldest lines going; and the search that selects what it finds.
class LogSelection
{
public:
    // A place in the log: a line by its number (which it keeps while older lines go) and a
    // character of the line as shown.
    struct Position
    {
        qint64 line = 0;
        int column = 0;
    };

    explicit LogSelection(const ShownLines &lines);

    Position anchor() const { return m_anchor; }
    void select(const Position &anchor, const Position &cursor);
    // Selects every line; false when there is none.
    bool selectAll();
    // Selects nothing, at the cursor.
    void collapse() { m_anchor = m_cursor; }
    void clear() { m_anchor = m_cursor = Position(); }
    // Moves both ends along their lines, as the stamps before every line come or go.
    void shiftColumns(int by)
    {
        m_anchor.column = qMax(0, m_anchor.column + by);
        m_cursor.column = qMax(0, m_cursor.column + by);
    }
    // The selection from its start to its end, less the part on lines gone; false when empty.
    bool ordered(Position &start, Position &end) const;
    bool isEmpty() const;
    // The selected characters, lines parted by LF.
    QString text() const;
    // The word at a place (or the character, between words), as the start and end to select.
    std::pair<Position, Position> wordAt(const Position &at) const;

    // The mouse: a press starts a drag (from the anchor, extending), a third click soon after a
    // double-click takes the whole line, a double-click the word.
    void press(const Position &at, bool extend);
    bool dragging() const { return m_dragging; }
    void dragTo(const Position &at) { select(m_anchor, at); }
    void release() { m_dragging = false; }
    void doubleClick(const Position &at);
    // Selects the next match of text (the previous one when backward) after the current one, else
    // from line index fromIndex on; the index of its line, or -1 when there is none.
    int find(const QString &text, bool backward, int fromIndex);

private:
    const ShownLines &m_lines;
    Position m_anchor;
    Position m_cursor;
    bool m_dragging = false;
    QElapsedTimer m_sinceDoubleClick;
    qint64 m_doubleClickLine = -1;
};
