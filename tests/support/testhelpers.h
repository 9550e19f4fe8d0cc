#pragma once

#include "protocol/pacedcommand.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Helpers below the widgets. Each group lives in a file of the layer it needs (testhelpers.cpp
// QtCore, fontpatterns.cpp the font's constants, onwire.cpp the protocol), so that a test links
// only what its own layer provides.

// Files on disk: the whole content of path ("<unreadable>" when it cannot be read), and
// writing bytes to path (false when that failed).
QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);

// A different valid 15-segment pattern for every code.
QString distinctPattern(int code);
// The 116 lines Save writes for codes 10 to 125, each with its distinctPattern: "065 0101...".
QStringList savedFontLines();
// The frames of commands as the chain receives them, each followed by its pause: "$B7MA\r(5)".
QString onWire(const CommandList &commands);
// lines joined with end, also after the last one.
QByteArray joinLines(const QStringList &lines, const QByteArray &end = "\r\n");
// What a service sends when it opens a chain of digits it knows nothing of: the default
// attributes and blanks, whole.
QByteArray freshChainPaint(int digits);
