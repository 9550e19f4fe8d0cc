#pragma once

#include <QFontMetrics>
#include <QString>

#include "widgets/logselection.h"

class QPainter;
class QPalette;
class QPoint;
class QRect;
class ShownLines;

// Where a log pane's characters fall on screen, and the painting of its rows: the find matches
// under the text, the greyed lines, the selection.
class LogRowPainter
{
public:
    // Room between the pane's edge and the text, as a text document leaves it.
    static constexpr int kMargin = 4;

    // A view scrolled scrolledX pixels to the right.
    LogRowPainter(const ShownLines &lines, const QFontMetrics &metrics, int scrolledX);

    int xAt(const QString &text, int column) const;
    int columnAt(const QString &text, int x) const;
    // The place in the log at point, the first row showing line index top.
    LogSelection::Position positionAt(const QPoint &point, int top) const;
    // Paints the rows in area, the first row showing line index top.
    void paint(QPainter &painter, const QRect &area, const QPalette &palette, int top,
               const QString &query, const LogSelection &selection) const;

private:
    const ShownLines &m_lines;
    QFontMetrics m_metrics;
    int m_scrolledX;
};
