#include "font/segmentpainter.h"

#include "font/segmentcolours.h"
#include "font/segmentgeometry.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

double cellScale(const QRectF &target)
{
    return std::min(target.width() / SegmentGeometry::kCell.width(),
                    target.height() / SegmentGeometry::kCell.height());
}

QPointF cellOrigin(const QRectF &target)
{
    const double scale = cellScale(target);
    return QPointF(target.left() + (target.width() - SegmentGeometry::kCell.width() * scale) / 2,
                   target.top() + (target.height() - SegmentGeometry::kCell.height() * scale) / 2);
}

QLineF mapped(const QLineF &line, const QRectF &target)
{
    const double scale = cellScale(target);
    const QPointF origin = cellOrigin(target);
    return QLineF(origin + line.p1() * scale, origin + line.p2() * scale);
}

double distanceToSegment(const QLineF &line, const QPointF &point)
{
    const QPointF d = line.p2() - line.p1();
    const double lengthSquared = d.x() * d.x() + d.y() * d.y();
    double t = 0;
    if (lengthSquared > 0)
        t = std::clamp(QPointF::dotProduct(point - line.p1(), d) / lengthSquared, 0.0, 1.0);
    const QPointF nearest = line.p1() + d * t;
    return std::hypot(point.x() - nearest.x(), point.y() - nearest.y());
}

} // namespace

QLineF segmentLine(const QRectF &target, int k)
{
    return mapped(SegmentGeometry::segments()[static_cast<size_t>(k)], target);
}

QRectF segmentCellRect(const QRectF &target)
{
    const double scale = cellScale(target);
    return QRectF(cellOrigin(target), SegmentGeometry::kCell.size() * scale);
}

void paintSegments(QPainter &painter, const QRectF &target, const QString &pattern)
{
    const double scale = cellScale(target);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen pen;
    pen.setWidthF(SegmentGeometry::kLineWidth * scale);
    pen.setCapStyle(Qt::RoundCap);
    const auto &lines = SegmentGeometry::segments();
    for (int k = 0; k < SegmentGeometry::kSegments; ++k) {
        const bool on = k < pattern.size() && pattern.at(k) == QLatin1Char('1');
        pen.setColor(on ? SegmentGeometry::onColour() : SegmentGeometry::offColour());
        painter.setPen(pen);
        painter.drawLine(mapped(lines[static_cast<size_t>(k)], target));
    }
    painter.restore();
}

int segmentAt(const QRectF &target, const QPointF &point, double tolerance)
{
    const double scale = cellScale(target);
    const double reach = SegmentGeometry::kLineWidth * scale / 2 + tolerance;
    int best = -1;
    double bestDistance = reach;
    const auto &lines = SegmentGeometry::segments();
    for (int k = 0; k < SegmentGeometry::kSegments; ++k) {
        const double distance
                = distanceToSegment(mapped(lines[static_cast<size_t>(k)], target), point);
        if (distance <= bestDistance) {
            bestDistance = distance;
            best = k;
        }
    }
    return best;
}
