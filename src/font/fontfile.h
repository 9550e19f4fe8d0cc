#pragma once

#include "protocol/chainprotocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class FontTable;
class QIODevice;

// The user-font file formats. The Load and Save file has 116 lines, one per code 10 to 125:
// "065 000000000100010" with CR LF. The start-up file named by the pointer file has either
// 126 bare lines (line k + 1 is slot k) or the Load and Save layout. Lines may end in CR LF or
// LF alone; text is in the local 8-bit encoding.
namespace FontFile {

inline constexpr int kPatternCount = Protocol::kLastUserCode - Protocol::kFirstUserCode + 1;
inline constexpr int kStartupLines = Protocol::kCodeSlots;

// Patterns read from a file for codes 10 to 125, or why they were refused.
struct Patterns
{
    QStringList patterns; // index 0 is code 10
    QString refusal;
    int line = 0; // the line the refusal is about, counted from 1; 0 for the whole file
    bool ok() const { return refusal.isEmpty(); }
    // The refusal for someone who named the file: "source: line 3: ...".
    QString refusalFrom(const QString &source) const;
};

// Reads the first 116 lines the way "Load" does: the pattern of each line is its second
// blank-separated field, taken in line order whatever the code in front says, and kept whole.
// Refuses with the status text for the user: an empty file, fewer than 116 lines, or a pattern
// with fewer than 15 characters or with a character other than "0"/"1" among its first 15.
Patterns readLoadFile(QIODevice &file);
Patterns readLoadFile(const QByteArray &bytes);

// The file "Save" writes: for every code 10 to 125 the code as three digits, a blank and the
// pattern as stored, each line ending in CR LF.
QByteArray saveFileBytes(const FontTable &table);

// What the start-up file gave (patterns 15 characters of "0"/"1", or empty where the slot keeps
// its default), or why it was refused.
struct StartupFont
{
    QStringList lowSlots; // slots 0 to 9 as read, only from the 126-line layout
    QStringList patterns; // codes 10 to 125
    int keptDefaults = 0; // lines that were no pattern, codes 13 and 33 not counted
    QString refusal;
    bool ok() const { return refusal.isEmpty(); }
};

// The status text of a start-up font that was not loaded, and why.
QString notLoadedText(const QString &reason);

// Reads the start-up file in the layout with more good lines, taking every good line; a file
// with no good line in either layout is refused with a short reason for the status line.
StartupFont readStartupFile(QIODevice &file);
StartupFont readStartupFile(const QByteArray &bytes);

} // namespace FontFile
