#pragma once

#include <QLineF>
#include <QRectF>
#include <QString>

class QPainter;

// Draws a 15-segment character cell from a pattern: "1" segments in the on colour, all others
// in the off colour, scaled to fit target while keeping the cell's proportions.
void paintSegments(QPainter &painter, const QRectF &target, const QString &pattern);

// The transform's scale and origin used by paintSegments for target.
QRectF segmentCellRect(const QRectF &target);

// Where segment k's line runs when the cell is drawn into target.
QLineF segmentLine(const QRectF &target, int k);

// The segment nearest to point (in target's coordinates) within tolerance pixels, or -1.
int segmentAt(const QRectF &target, const QPointF &point, double tolerance);
