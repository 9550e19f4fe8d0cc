#pragma once

#include "protocol/pacedcommand.h"

#include <QString>

class FontTable;

// The commands that write user-font patterns to the modules, as the font editor sends them.
namespace FontCommands {

// "Write" (writePause 5) and Enter in the pattern field (writePause 10): the cleaned pattern
// to the first module, then the character shown.
CommandList writePattern(const QByteArray &character, const QString &pattern, int writePause);
// "Commit": the fonts field, then for every upload code its stored pattern and the character.
CommandList upload(const QByteArray &fonts, const FontTable &table);

} // namespace FontCommands
