#pragma once

#include <QColor>

// The colours of a lit and a dark segment, wherever a digit is drawn.
namespace SegmentGeometry {

inline QColor onColour()
{
    return QColor(255, 128, 0);
}
inline QColor offColour()
{
    return QColor(192, 192, 192);
}

} // namespace SegmentGeometry
