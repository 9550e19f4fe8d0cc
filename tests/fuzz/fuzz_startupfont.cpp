#include "fuzzcheck.h"

#include "font/fontfile.h"
#include "font/fonttable.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

// The start-up font on any file: either a refusal with a reason, or 116 patterns of exactly
// 15 segment states (and ten low slots from the 126-line layout). Every file "Load" accepts
// is accepted here with the same segments, and an accepted font saves and comes back whole.
namespace {

bool isExactSegmentPattern(const QString &pattern)
{
    return pattern.size() == FontTable::kSegments && startsWithSegmentPattern(pattern);
}

} // namespace

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
    FontTable table;
    for (int i = 0; i < font.patterns.size(); ++i) {
        require(isExactSegmentPattern(font.patterns.at(i)));
        if (font.lowSlots.isEmpty() && load.ok())
            require(font.patterns.at(i) == load.patterns.at(i).left(FontTable::kSegments));
        table.setPattern(FontTable::kFirstUserCode + i, font.patterns.at(i));
    }

    const FontFile::StartupFont again = FontFile::readStartupFile(FontFile::saveFileBytes(table));
    require(again.ok());
    require(again.lowSlots.isEmpty());
    require(again.patterns == font.patterns);
    return 0;
}
