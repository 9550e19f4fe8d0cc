#pragma once

#include "font/fontfile.h"

#include <QByteArray>
#include <QString>

class FontTable;

// Fonts in the forms people keep 14-segment fonts in, to and from the user font: a C array of
// 16-bit values and a JSON object from character to pattern. A character's code is its place in
// the user font (10 to 125), the same code as in ASCII.
//
// The 14-segment bit order: 0 A top, 1 B upper right, 2 C lower right, 3 D bottom, 4 E lower
// left, 5 F upper left, 6 G1 middle left, 7 G2 middle right, 8 H upper-left diagonal, 9 J upper
// centre, 10 K upper-right diagonal, 11 L lower-left diagonal, 12 M lower centre, 13 N
// lower-right diagonal, 14 DP decimal point. Our segments 0 to 13 are A to N one to one; the
// modules have no decimal point, so DP becomes segment 14, the underscore, the closest mark
// they have, and the underscore goes out as DP: every pattern goes both ways unchanged.
namespace FontExchange {

// A pattern (15 characters "0"/"1", segment 0 first) as a 14-segment value, and back.
quint16 toSegmentBits(const QString &pattern);
QString fromSegmentBits(quint16 bits);

// Reads a C array: values 0x.., decimal (or octal, as C reads them) with comments and a trailing
// comma, with or without a wrapper such as "const uint16_t name[] = { ... };". 96 values run
// from the space (0x20), 128 from code 0; values for codes outside 10 to 125 are left out.
// The patterns are those of codes 10 to 125, empty where the array gives none.
FontFile::Patterns readCArray(const QByteArray &text);
// Reads a JSON object whose keys are single characters with codes 10 to 125 and whose values
// are patterns ("000000000100010") or 14-segment numbers (0 to 32767).
FontFile::Patterns readJson(const QByteArray &text);
// Either form: a JSON object begins with "{" and a quoted key (or is "{}").
FontFile::Patterns read(const QByteArray &text);

// The user font as a C array of 128 values, one per code 0 to 127 (0 outside 10 to 125).
QByteArray cArrayBytes(const FontTable &table, const QString &name = QStringLiteral("vornik_font"));
// The user font as a JSON object from each character of codes 10 to 125 to its pattern.
QByteArray jsonBytes(const FontTable &table);

} // namespace FontExchange
