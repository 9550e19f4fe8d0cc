#pragma once

#include "font/fonttable.h"

#include <QString>

#include <cstdlib>

// Property checks shared by the fuzz targets: a failed check aborts, which libFuzzer reports
// as a crash and keeps the input that caused it.
inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

// True when the first 15 characters of pattern are segment states "0" or "1".
inline bool startsWithSegmentPattern(const QString &pattern)
{
    if (pattern.size() < FontTable::kSegments)
        return false;
    for (int i = 0; i < FontTable::kSegments; ++i) {
        if (pattern.at(i) != QLatin1Char('0') && pattern.at(i) != QLatin1Char('1'))
            return false;
    }
    return true;
}
