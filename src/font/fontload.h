#pragma once

#include "font/fontfile.h"

class FontTable;

// A font file's patterns put into the user font, as "Load" does.
namespace FontLoad {

// Replaces the patterns of codes 10 to 125 of table with those read, in code order; a refused
// read changes nothing and answers false.
bool apply(const FontFile::Patterns &read, FontTable &table);
// Reads the font file at path as "Load" does and applies it to table. A file that cannot be
// opened is refused with the system's reason.
FontFile::Patterns load(const QString &path, FontTable &table);

} // namespace FontLoad
