#pragma once

#include "protocol/chainprotocol.h"

#include <QString>
#include <QStringList>

#include <array>

// The PC's copy of the user font: one segment pattern per character code 0 to 125.
class FontTable
{
public:
    static constexpr int kSlots = Protocol::kCodeSlots;
    static constexpr int kFirstUserCode = Protocol::kFirstUserCode;
    static constexpr int kLastUserCode = Protocol::kLastUserCode;
    static constexpr int kSegments = Protocol::kSegments;

    FontTable();

    static bool isValidIndex(int code) { return code >= 0 && code < kSlots; }
    // Codes the editor, the navigation and the upload use: 10 to 125 without 13 and 33.
    static bool isSelectableCode(int code) { return Protocol::isUserCode(code); }
    static QString allOff() { return QString(kSegments, QLatin1Char('0')); }
    // text padded with "0" or cut to 15 characters.
    static QString padded(const QString &text);

    // The pattern at code; an index outside 0 to 125 reads as empty.
    QString pattern(int code) const;
    // Stores text at code; an index outside 0 to 125 is refused (returns false).
    bool setPattern(int code, const QString &text);
    // Stores patterns from the first user code on, as a font file lists them; an empty entry
    // leaves its code as it is.
    void applyUserPatterns(const QStringList &patterns);

    // The default user font: all off, with the 19 built-in shapes at codes 58 to 76.
    void resetfont();
    // All patterns of codes 10 to 125 off.
    void clear();

    bool operator==(const FontTable &other) const { return m_slots == other.m_slots; }
    bool operator!=(const FontTable &other) const { return !(*this == other); }

private:
    std::array<QString, kSlots> m_slots;
};
