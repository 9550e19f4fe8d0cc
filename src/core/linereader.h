#pragma once

#include <QStringList>

class QIODevice;

// Longer lines are cut to this many bytes, so a huge file that is not a text file at all
// cannot exhaust memory.
inline constexpr int kMaxLineBytes = 65536;

// Up to maxLines lines of file, without their line ends (CR LF or LF alone) and cut to
// kMaxLineBytes, decoded from the local 8-bit encoding. A read error ends the lines early; the
// device's own error says so.
QStringList readBoundedLines(QIODevice &file, int maxLines);
