#pragma once

#include <QByteArray>
#include <QString>

// The chain's own 15-segment shapes for the built-in fonts: space, "0" to "9", ":" to "@" and
// "A" to "Z".
namespace BuiltinFont {

// The characters the table has a shape for, in code order.
QByteArray characters();

// The 15-state pattern of character (segment 14, the underscore, always off), or an empty
// text for a character without a shape.
QString pattern(char character);

} // namespace BuiltinFont
