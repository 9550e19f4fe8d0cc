#pragma once

#include <QByteArray>

// One digit's 15 segments as SVG, drawn from the shared segment geometry: each segment a line
// with id "s0" to "s14", for the live page to light.
namespace DigitSvg {

QByteArray svg();

} // namespace DigitSvg
