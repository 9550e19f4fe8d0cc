#pragma once

#include "font/segmentgeometry.h"

#include <QColor>

// The colours of a lit and a dark segment as the window paints them, from their RGB values.
namespace SegmentGeometry {

inline QColor onColour()
{
    return QColor(QRgb(kOnRgb));
}
inline QColor offColour()
{
    return QColor(QRgb(kOffRgb));
}

} // namespace SegmentGeometry
