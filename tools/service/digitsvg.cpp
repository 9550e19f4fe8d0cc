#include "digitsvg.h"

#include "font/segmentgeometry.h"

namespace DigitSvg {

QByteArray svg()
{
    const QRectF cell = SegmentGeometry::kCell;
    QByteArray text = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"%1 %2 "
                                     "%3 %4\" stroke-linecap=\"round\" stroke-width=\"%5\">\n")
                              .arg(cell.x())
                              .arg(cell.y())
                              .arg(cell.width())
                              .arg(cell.height())
                              .arg(SegmentGeometry::kLineWidth)
                              .toUtf8();
    int index = 0;
    for (const QLineF &line : SegmentGeometry::segments())
        text += QStringLiteral("<line id=\"s%1\" x1=\"%2\" y1=\"%3\" x2=\"%4\" y2=\"%5\"/>\n")
                        .arg(index++)
                        .arg(line.x1())
                        .arg(line.y1())
                        .arg(line.x2())
                        .arg(line.y2())
                        .toUtf8();
    return text + "</svg>\n";
}

} // namespace DigitSvg
