#include "fuzzcheck.h"

#include "font/fontfile.h"
#include "font/fonttable.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

// The start-up font on any file: either a refusal with a reason, or 116 slots, each exactly 15
// segment states or empty where the line was no pattern (and ten low slots from the 126-line
// layout). Every file "Load" accepts is accepted here with the same segments, and an accepted
// font saves and comes back whole.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const FontFile::StartupFont font = FontFile::readStartupFile(bytes);
    const FontFile::Patterns load = FontFile::readLoadFile(bytes);
    if (load.ok())
        require(font.ok());

    if (!font.ok()) {
        require(font.patterns.isEmpty() && font.lowSlots.isEmpty());
        return 0;
    }
    require(font.patterns.size() == FontFile::kPatternCount);
    require(font.lowSlots.isEmpty() || font.lowSlots.size() == FontTable::kFirstUserCode);
    // A slot whose line is no pattern comes back empty and keeps its default; only the codes
    // that can be shown count as kept.
    FontTable table;
    table.resetfont();
    int kept = 0;
    for (int i = 0; i < font.patterns.size(); ++i) {
        const int code = FontTable::kFirstUserCode + i;
        if (font.patterns.at(i).isEmpty()) {
            require(!load.ok() || !font.lowSlots.isEmpty());
            if (FontTable::isSelectableCode(code))
                ++kept;
            continue;
        }
        require(font.patterns.at(i).size() == FontTable::kSegments
                && startsWithSegmentPattern(font.patterns.at(i)));
        if (font.lowSlots.isEmpty() && load.ok())
            require(font.patterns.at(i) == load.patterns.at(i).left(FontTable::kSegments));
        table.setPattern(code, font.patterns.at(i));
    }
    require(kept == font.keptDefaults);

    const FontFile::StartupFont again = FontFile::readStartupFile(FontFile::saveFileBytes(table));
    require(again.ok());
    require(again.lowSlots.isEmpty());
    require(again.keptDefaults == 0);
    require(again.patterns.size() == FontFile::kPatternCount);
    for (int i = 0; i < again.patterns.size(); ++i)
        require(again.patterns.at(i) == table.pattern(FontTable::kFirstUserCode + i));
    return 0;
}
