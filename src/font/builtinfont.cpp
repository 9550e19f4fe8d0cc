#include "font/builtinfont.h"

#include "font/segmentgeometry.h"

#include <initializer_list>

namespace {

struct Shape
{
    char character;
    std::initializer_list<int> segments;
};

// Segments: 0 top, 1/2 right verticals, 3 bottom, 4/5 left verticals, 6/8 upper diagonals,
// 7/11 centre verticals, 9/13 middle bars, 10/12 lower diagonals.
const Shape kShapes[] = {
        {' ', {}},
        {'0', {0, 1, 2, 3, 4, 5, 8, 12}},
        {'1', {1, 2, 8}},
        {'2', {0, 1, 3, 4, 9, 13}},
        {'3', {0, 1, 2, 3, 9}},
        {'4', {1, 2, 5, 9, 13}},
        {'5', {0, 3, 5, 10, 13}},
        {'6', {0, 2, 3, 4, 5, 9, 13}},
        {'7', {0, 1, 2}},
        {'8', {0, 1, 2, 3, 4, 5, 9, 13}},
        {'9', {0, 1, 2, 3, 5, 9, 13}},
        {':', {7, 11}},
        {';', {7, 12}},
        {'<', {8, 10}},
        {'=', {3, 9, 13}},
        {'>', {6, 12}},
        {'?', {0, 1, 9, 11}},
        {'@', {0, 1, 3, 4, 5, 7, 9}},
        {'A', {0, 1, 2, 4, 5, 9, 13}},
        {'B', {0, 1, 2, 3, 7, 9, 11}},
        {'C', {0, 3, 4, 5}},
        {'D', {0, 1, 2, 3, 7, 11}},
        {'E', {0, 3, 4, 5, 13}},
        {'F', {0, 4, 5, 13}},
        {'G', {0, 2, 3, 4, 5, 9}},
        {'H', {1, 2, 4, 5, 9, 13}},
        {'I', {0, 3, 7, 11}},
        {'J', {1, 2, 3, 4}},
        {'K', {4, 5, 8, 10, 13}},
        {'L', {3, 4, 5}},
        {'M', {1, 2, 4, 5, 6, 8}},
        {'N', {1, 2, 4, 5, 6, 10}},
        {'O', {0, 1, 2, 3, 4, 5}},
        {'P', {0, 1, 4, 5, 9, 13}},
        {'Q', {0, 1, 2, 3, 4, 5, 10}},
        {'R', {0, 1, 4, 5, 9, 10, 13}},
        {'S', {0, 2, 3, 5, 9, 13}},
        {'T', {0, 7, 11}},
        {'U', {1, 2, 3, 4, 5}},
        {'V', {4, 5, 8, 12}},
        {'W', {1, 2, 4, 5, 10, 12}},
        {'X', {6, 8, 10, 12}},
        {'Y', {6, 8, 11}},
        {'Z', {0, 3, 8, 12}},
};

} // namespace

namespace BuiltinFont {

QByteArray characters()
{
    QByteArray list;
    for (const Shape &shape : kShapes)
        list.append(shape.character);
    return list;
}

QString pattern(char character)
{
    for (const Shape &shape : kShapes) {
        if (shape.character != character)
            continue;
        QString states(SegmentGeometry::kSegments, QLatin1Char('0'));
        for (const int segment : shape.segments)
            states[segment] = QLatin1Char('1');
        return states;
    }
    return QString();
}

} // namespace BuiltinFont
