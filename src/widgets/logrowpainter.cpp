#include "widgets/logrowpainter.h"

#include "core/linestore.h"
#include "widgets/shownlines.h"

#include <QPainter>
#include <QPalette>

namespace {
// Every match of the find text on screen, under the text, in light and dark themes alike.
const QColor kMatchColour(255, 200, 0, 110);
} // namespace

LogRowPainter::LogRowPainter(const ShownLines &lines, const QFontMetrics &metrics, int scrolledX)
    : m_lines(lines), m_metrics(metrics), m_scrolledX(scrolledX)
{}

int LogRowPainter::xAt(const QString &text, int column) const
{
    return kMargin - m_scrolledX + m_metrics.horizontalAdvance(text.left(column));
}

int LogRowPainter::columnAt(const QString &text, int x) const
{
    int left = xAt(text, 0);
    for (int column = 0; column < text.size(); ++column) {
        const int width = m_metrics.horizontalAdvance(text.at(column));
        if (x < left + width / 2)
            return column;
        left += width;
    }
    return static_cast<int>(text.size());
}

LogSelection::Position LogRowPainter::positionAt(const QPoint &point, int top) const
{
    const LineStore &store = m_lines.store();
    const int count = store.size();
    if (count == 0)
        return {store.firstNumber(), 0};
    const int row = point.y() >= 0 ? point.y() / m_metrics.lineSpacing() : -1;
    const int index = qBound(0, top + row, count - 1);
    return {store.firstNumber() + index, columnAt(m_lines.text(index), point.x())};
}

void LogRowPainter::paint(QPainter &painter, const QRect &area, const QPalette &palette, int top,
                          const QString &query, const LogSelection &selection) const
{
    painter.fillRect(area, palette.base());
    const int count = m_lines.store().size();
    if (count == 0)
        return;
    const int lineHeight = m_metrics.lineSpacing();
    const qint64 first = m_lines.store().firstNumber();
    LogSelection::Position start, end;
    const bool selected = selection.ordered(start, end);
    const QColor text = palette.color(QPalette::Text);
    const QColor greyed = palette.color(QPalette::Disabled, QPalette::Text);
    const int space = m_metrics.horizontalAdvance(QLatin1Char(' '));

    for (int row = qMax(0, area.top() / lineHeight); row <= area.bottom() / lineHeight; ++row) {
        const int index = top + row;
        if (index >= count)
            break;
        const ShownLines::Line line = m_lines.line(index);
        const qint64 number = first + index;
        const int y = row * lineHeight;
        if (!query.isEmpty()) {
            for (qsizetype at = line.text.indexOf(query, 0, Qt::CaseInsensitive); at >= 0;
                 at = line.text.indexOf(query, at + query.size(), Qt::CaseInsensitive)) {
                const int left = xAt(line.text, static_cast<int>(at));
                painter.fillRect(QRect(left, y,
                                       xAt(line.text, static_cast<int>(at + query.size())) - left,
                                       lineHeight),
                                 kMatchColour);
            }
        }
        // A line that did not happen as it reads (a command not sent) is greyed, note and all.
        painter.setPen(line.noteFrom < line.text.size() ? greyed : text);
        const int baseline = y + m_metrics.ascent();
        painter.drawText(xAt(line.text, 0), baseline, line.text);
        if (!selected || number < start.line || number > end.line)
            continue;
        const int from = number == start.line ? qMin<int>(start.column, line.text.size()) : 0;
        const int to = number == end.line ? qMin<int>(end.column, line.text.size())
                                          : static_cast<int>(line.text.size());
        // A selection that goes on to the next line covers this line's break too.
        const int left = xAt(line.text, from);
        const QRect band(left, y, xAt(line.text, to) - left + (number < end.line ? space : 0),
                         lineHeight);
        painter.fillRect(band, palette.highlight());
        painter.save();
        painter.setClipRect(band);
        painter.setPen(palette.color(QPalette::HighlightedText));
        painter.drawText(xAt(line.text, 0), baseline, line.text);
        painter.restore();
    }
}
