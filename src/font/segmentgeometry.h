#pragma once

#include "protocol/chainprotocol.h"

#include <QLineF>
#include <QRectF>

#include <array>

// The 15-segment character cell: where each segment's line runs.
namespace SegmentGeometry {

inline constexpr int kSegments = Protocol::kSegments;
// Line width of a segment, in the cell's units (twips).
inline constexpr double kLineWidth = 105.0;
// The cell's extent in twips: every segment lies inside it, with a margin.
inline constexpr QRectF kCell(0.0, 0.0, 1680.0, 2400.0);
// The colours of a lit and a dark segment as 0xRRGGBB, here without QtGui so that programs
// without a window draw digits in the window's colours.
inline constexpr unsigned kOnRgb = 0xff8000;
inline constexpr unsigned kOffRgb = 0xc0c0c0;

// Segment k runs from p1 to p2, in twips, y growing downwards.
inline const std::array<QLineF, kSegments> &segments()
{
    static const std::array<QLineF, kSegments> lines = {
            QLineF(300, 240, 1380, 240),    // 0 top bar
            QLineF(1500, 360, 1500, 1020),  // 1 upper right vertical
            QLineF(1500, 1260, 1500, 1980), // 2 lower right vertical
            QLineF(300, 2100, 1380, 2100),  // 3 bottom bar
            QLineF(180, 1260, 180, 1980),   // 4 lower left vertical
            QLineF(180, 360, 180, 1080),    // 5 upper left vertical
            QLineF(300, 360, 720, 1020),    // 6 upper-left diagonal
            QLineF(840, 360, 840, 1020),    // 7 upper centre vertical
            QLineF(1380, 360, 960, 1020),   // 8 upper-right diagonal
            QLineF(960, 1140, 1440, 1140),  // 9 middle right bar
            QLineF(960, 1320, 1380, 1980),  // 10 lower-right diagonal
            QLineF(840, 1260, 840, 1980),   // 11 lower centre vertical
            QLineF(720, 1320, 300, 1980),   // 12 lower-left diagonal
            QLineF(720, 1140, 300, 1140),   // 13 middle left bar
            QLineF(180, 2280, 1500, 2280),  // 14 underscore
    };
    return lines;
}

} // namespace SegmentGeometry
