#pragma once

#include <QByteArray>

// One digit's 15 segments as SVG, from the shared cell geometry in the window's colours, so the
// live page draws the chain as the window does without a copy of the shapes of its own.
namespace DigitSvg {

// The whole cell: segment k is <line id="sK" class="seg">, dark; the class "on" lights it.
QByteArray svg();

} // namespace DigitSvg
