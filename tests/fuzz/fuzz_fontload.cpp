#include "core/linereader.h"
#include "fuzzcheck.h"

#include "font/fontfile.h"
#include "font/fonttable.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

// "Load" on any file: either a clean refusal, or 116 patterns whose first 15 characters are
// segment states; what was loaded saves and loads back unchanged, and the start-up loader
// takes the saved file too.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const FontFile::Patterns read = FontFile::readLoadFile(bytes);
    if (!read.ok()) {
        require(read.patterns.isEmpty());
        return 0;
    }
    require(read.patterns.size() == FontFile::kPatternCount);
    FontTable table;
    qsizetype longest = 0;
    for (int i = 0; i < read.patterns.size(); ++i) {
        require(startsWithSegmentPattern(read.patterns.at(i)));
        require(table.setPattern(FontTable::kFirstUserCode + i, read.patterns.at(i)));
        longest = qMax(longest, read.patterns.at(i).toLocal8Bit().size());
    }

    // Lines longer than the reader's limit are cut on the way back in, so only files whose
    // lines all fit can be compared.
    if (longest + 4 >= kMaxLineBytes)
        return 0;
    const QByteArray saved = FontFile::saveFileBytes(table);
    const FontFile::Patterns again = FontFile::readLoadFile(saved);
    require(again.ok());
    require(again.patterns == read.patterns);

    const FontFile::StartupFont startup = FontFile::readStartupFile(saved);
    require(startup.ok());
    require(startup.patterns.size() == FontFile::kPatternCount);
    for (int i = 0; i < startup.patterns.size(); ++i)
        require(startup.patterns.at(i) == read.patterns.at(i).left(FontTable::kSegments));
    return 0;
}
