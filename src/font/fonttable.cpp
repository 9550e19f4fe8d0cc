#include "font/fonttable.h"

namespace {
struct DefaultPattern
{
    int code;
    const char *pattern;
};

// Punctuation shapes, plus eight frames of a bar spinning round the centre at "E" to "L".
constexpr DefaultPattern kDefaults[] = {
        {58, "000000010001000"}, {59, "011000000000000"}, {60, "000000001010000"},
        {61, "000100000100010"}, {62, "000000100000100"}, {63, "110001000101000"},
        {64, "111110000001010"}, {65, "000000000100010"}, {66, "000000010101010"},
        {67, "000000000010100"}, {68, "000000101000000"}, {69, "000000111000000"},
        {70, "000000011100000"}, {71, "000000001110000"}, {72, "000000000111000"},
        {73, "000000000011100"}, {74, "000000000001110"}, {75, "000000100000110"},
        {76, "000000110000010"},
};
} // namespace

FontTable::FontTable() = default;

QString FontTable::padded(const QString &text)
{
    return (text + allOff()).left(kSegments);
}

QString FontTable::pattern(int code) const
{
    return isValidIndex(code) ? m_slots[static_cast<size_t>(code)] : QString();
}

bool FontTable::setPattern(int code, const QString &text)
{
    if (!isValidIndex(code))
        return false;
    m_slots[static_cast<size_t>(code)] = text;
    return true;
}

void FontTable::applyUserPatterns(const QStringList &patterns)
{
    for (int i = 0; i < patterns.size(); ++i) {
        if (!patterns.at(i).isEmpty())
            setPattern(kFirstUserCode + i, patterns.at(i));
    }
}

void FontTable::clear()
{
    for (int code = kFirstUserCode; code <= kLastUserCode; ++code)
        m_slots[static_cast<size_t>(code)] = allOff();
}

void FontTable::resetfont()
{
    clear();
    for (const DefaultPattern &entry : kDefaults)
        m_slots[static_cast<size_t>(entry.code)] = QString::fromLatin1(entry.pattern);
}
