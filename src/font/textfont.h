#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringView>

#include <optional>

// The text font: a 15-segment glyph for every character a text on the chain may hold, read from
// data/textfont.txt (built into the font library), so that a text can be shown through the user
// font. The characters of the built-in fonts keep the modules' own shapes.
namespace TextFont {

// One character of a text as a reader sees it: a letter with its accents, a whole emoji (with
// its modifiers and joiners), never half a surrogate pair.
struct Character
{
    QString text;
    qsizetype position = 0; // counted in characters from 0
    qsizetype offset = 0;   // where it starts in the text, in UTF-16 units
};

// The glyphs a data file gives, or why it was refused.
struct Table
{
    QMap<char32_t, QString> glyphs;
    QString refusal;
    int line = 0; // the line the refusal is about, counted from 1
    bool ok() const { return refusal.isEmpty(); }
};

// Reads the data file's layout: "U+00B0 ° 110001100000000  # comment", blank and "#" lines
// skipped. The character field is the character itself, or a name such as SP for one that
// cannot be seen. Refuses a malformed line, a repeated code point, a character field that names
// another character, and a pattern that lights the underscore.
Table parse(const QByteArray &bytes);

// The characters the data file draws, in code point order.
QList<char32_t> characters();

// The pattern of character (15 characters "0"/"1", the underscore off). A character the file
// does not draw is shown as its base letter when its compatibility decomposition is one drawn
// character with accents (é as e, Ä as A, a full-width A as A); otherwise there is none.
std::optional<QString> glyph(char32_t character);
// The pattern of one whole character as split() gives it.
std::optional<QString> glyphOf(QStringView character);

// text cut into whole characters.
QList<Character> split(QStringView text);
// The characters of text that have no glyph, in text order.
QList<Character> covers(QStringView text);

} // namespace TextFont
