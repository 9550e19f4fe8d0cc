#include "digitsvg.h"

#include "font/segmentgeometry.h"

namespace DigitSvg {

namespace {

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 6);
}

QByteArray colour(unsigned rgb)
{
    return '#' + QByteArray::number(rgb, 16).rightJustified(6, '0');
}

} // namespace

QByteArray svg()
{
    const QRectF &cell = SegmentGeometry::kCell;
    QByteArray text = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" + number(cell.x())
                      + ' ' + number(cell.y()) + ' ' + number(cell.width()) + ' '
                      + number(cell.height())
                      + "\">\n<style>.seg{stroke:" + colour(SegmentGeometry::kOffRgb)
                      + "}.seg.on{stroke:" + colour(SegmentGeometry::kOnRgb) + "}</style>\n";
    // Round caps, as the window's pen draws them.
    text += "<g fill=\"none\" stroke-linecap=\"round\" stroke-width=\""
            + number(SegmentGeometry::kLineWidth) + "\">\n";
    int k = 0;
    for (const QLineF &line : SegmentGeometry::segments())
        text += "<line id=\"s" + QByteArray::number(k++) + "\" class=\"seg\" x1=\""
                + number(line.x1()) + "\" y1=\"" + number(line.y1()) + "\" x2=\""
                + number(line.x2()) + "\" y2=\"" + number(line.y2()) + "\"/>\n";
    return text + "</g>\n</svg>\n";
}

} // namespace DigitSvg
