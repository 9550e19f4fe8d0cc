#include "widgets/logselection.h"

#include "core/linestore.h"
#include "widgets/shownlines.h"

#include <QApplication>

#include <algorithm>
#include <climits>

namespace {
bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}
} // namespace

LogSelection::LogSelection(const ShownLines &lines) : m_lines(lines) {}

void LogSelection::select(const Position &anchor, const Position &cursor)
{
    m_anchor = anchor;
    m_cursor = cursor;
}

bool LogSelection::selectAll()
{
    const LineStore &store = m_lines.store();
    const int count = store.size();
    if (count == 0)
        return false;
    const qint64 first = store.firstNumber();
    select({first, 0}, {first + count - 1, static_cast<int>(m_lines.text(count - 1).size())});
    return true;
}

bool LogSelection::ordered(Position &start, Position &end) const
{
    const LineStore &store = m_lines.store();
    const int count = store.size();
    if (count == 0)
        return false;
    start = m_anchor;
    end = m_cursor;
    if (end.line < start.line || (end.line == start.line && end.column < start.column))
        std::swap(start, end);
    const qint64 first = store.firstNumber();
    // Lines that went since the selection was made take their part of it with them.
    if (end.line < first || start.line >= first + count)
        return false;
    if (start.line < first)
        start = {first, 0};
    return start.line != end.line || start.column != end.column;
}

bool LogSelection::isEmpty() const
{
    Position start, end;
    return !ordered(start, end);
}

QString LogSelection::text() const
{
    Position start, end;
    if (!ordered(start, end))
        return QString();
    const qint64 first = m_lines.store().firstNumber();
    QString text;
    for (qint64 line = start.line; line <= end.line; ++line) {
        const QString shown = m_lines.text(static_cast<int>(line - first));
        const int from = line == start.line ? qMin<int>(start.column, shown.size()) : 0;
        const int to = line == end.line ? qMin<int>(end.column, shown.size())
                                        : static_cast<int>(shown.size());
        text += QStringView(shown).mid(from, to - from);
        if (line != end.line)
            text += QLatin1Char('\n');
    }
    return text;
}

std::pair<LogSelection::Position, LogSelection::Position>
LogSelection::wordAt(const Position &at) const
{
    const QString text = m_lines.text(static_cast<int>(at.line - m_lines.store().firstNumber()));
    const int length = static_cast<int>(text.size());
    int from = qMin(at.column, length);
    if (from > 0 && (from == length || !isWordCharacter(text.at(from)))
        && isWordCharacter(text.at(from - 1)))
        --from;
    int to = qMin(from + 1, length);
    if (from < length && isWordCharacter(text.at(from))) {
        while (from > 0 && isWordCharacter(text.at(from - 1)))
            --from;
        while (to < length && isWordCharacter(text.at(to)))
            ++to;
    }
    return {{at.line, from}, {at.line, to}};
}

void LogSelection::press(const Position &at, bool extend)
{
    // A third click soon after a double-click selects its whole line.
    if (m_sinceDoubleClick.isValid()
        && m_sinceDoubleClick.elapsed() < QApplication::doubleClickInterval()
        && at.line == m_doubleClickLine) {
        m_sinceDoubleClick.invalidate();
        const int index = static_cast<int>(at.line - m_lines.store().firstNumber());
        select({at.line, 0}, {at.line, static_cast<int>(m_lines.text(index).size())});
        return;
    }
    m_dragging = true;
    select(extend ? m_anchor : at, at);
}

void LogSelection::doubleClick(const Position &at)
{
    const auto [from, to] = wordAt(at);
    m_dragging = false;
    m_sinceDoubleClick.start();
    m_doubleClickLine = at.line;
    select(from, to);
}

int LogSelection::find(const QString &text, bool backward, int fromIndex)
{
    const int count = m_lines.store().size();
    if (text.isEmpty() || count == 0)
        return -1;
    // From the current match (the selection) on, else from the top of the view.
    const qint64 first = m_lines.store().firstNumber();
    Position start, end;
    int index = fromIndex;
    int column = 0;
    if (ordered(start, end)) {
        const Position &from = backward ? start : end;
        index = static_cast<int>(std::clamp<qint64>(from.line - first, 0, count - 1));
        column = from.column;
    }
    // Round the whole log once, back to the start line's other part.
    for (int step = 0; step <= count; ++step) {
        const QString line = m_lines.text(index);
        qsizetype at = -1;
        if (!backward) {
            at = line.indexOf(text, column, Qt::CaseInsensitive);
        } else {
            // A match before the current one ends where that one begins, at the latest.
            const qsizetype last = qMin<qsizetype>(column, line.size()) - text.size();
            if (last >= 0)
                at = line.lastIndexOf(text, last, Qt::CaseInsensitive);
        }
        if (at >= 0) {
            select({first + index, static_cast<int>(at)},
                   {first + index, static_cast<int>(at + text.size())});
            return index;
        }
        index = backward ? (index + count - 1) % count : (index + 1) % count;
        column = backward ? INT_MAX : 0;
    }
    return -1;
}
