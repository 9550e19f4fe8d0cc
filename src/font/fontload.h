#pragma once

#include "font/fontfile.h"

class FontTable;

// A font file's patterns put into the user font, as "Load" does.
namespace FontLoad {

// Replaces the patterns of codes 10 to 125 of table with those read, in code order; a refused
// read changes nothing and answers false.
bool apply(const FontFile::Patterns &read, FontTable &table);
// Reads the font file at path as "Load" does and applies it to table. A file that cannot be
// opened is refused with the system's reason. A FIFO or a pipe (process substitution,
// /dev/stdin) is read as it comes, with the bounds and checks of a file; "-" is standard input.
// The window opens only regular files, where waiting for a writer would freeze it.
FontFile::Patterns load(const QString &path, FontTable &table);
// How refusals name path: "standard input" for "-".
QString sourceName(const QString &path);

} // namespace FontLoad
