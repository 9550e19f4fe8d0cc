#pragma once

#include "protocol/pacedcommand.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// The plain rules that turn any text into what each digit shows: whole characters, those the
// modules' built-in fonts draw, and for the others a user-font code holding the text font's
// glyph. Pure: no port, no timers; TextLayer keeps what the modules hold between texts.
namespace TextGlyphs {

// How a program takes lower case: as typed (the text font draws it) or upper-cased first.
enum class Case { AsTyped, Upper };
// "as-typed" (the default when none is given) or "upper"; what names the input in refusals.
Case caseOf(const QString &what, const std::optional<QString> &given);
QStringList caseNames();

// text in whole characters (an emoji is one), upper-cased first when asked. Refused, naming
// each character that has no glyph and its position (counted from 1), when one has none.
QStringList characters(const QString &what, const QString &text, Case textCase);
// Whole characters without checks (a text already checked).
QStringList split(const QString &text);

// Whether one character is drawn by the built-in fonts: the space, the digits, ": ; < = > ? @"
// and the capitals.
bool isBuiltIn(const QString &character);
// The distinct characters that need a user-font glyph, in their first order in text.
QStringList needingGlyphs(const QStringList &text);

// Cut to length, then filled with spaces, or with copies of the last character when padLast.
QStringList fitted(const QStringList &text, int length, bool padLast);

// Which code each character needing a glyph takes, and which of them must be written.
struct Assignment
{
    QHash<QString, int> codes;
    QList<int> writes; // codes whose glyph the modules do not hold yet, in order
    QString refusal;   // empty when every character found a code
};
// needed from free: a code already holding the character; else the character's own code when
// it is free and unused; else a code holding nothing; else one whose glyph is not busy (not
// on show and not in this text). held says what each code holds as far as known.
Assignment assign(const QStringList &needed, const QList<int> &free,
                  const QHash<int, QString> &held, const QSet<int> &busy);

// A window's fonts and codes: a built-in character in the digit's base font (its own code;
// in a base "U" the user's own font shows that code), any other in "U" with its code.
struct Frame
{
    QByteArray fonts;
    QByteArray codes;
};
Frame frame(const QStringList &window, const QByteArray &base, const QHash<QString, int> &codes);

// The W and M pair the upload sends for one code, holding character's glyph.
CommandList glyphWrite(int code, const QString &character);

} // namespace TextGlyphs
