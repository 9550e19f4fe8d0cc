#pragma once

#include "core/keyverdict.h"

#include <QString>

// The rules of the message block's fields, free of any widget: what each field accepts as
// the user types, how a text is fitted to the chain length, and what a length change resets.
namespace FieldRules {

// The most characters the user can type into a content field and into the length field.
inline constexpr int kContentTypingLimit = 10;
inline constexpr int kLengthTypingLimit = 2;

// text followed by twenty copies of its last character, cut to its first length characters.
// An empty text has no last character and comes back empty; a length below 1 gives "".
QString fitlength(const QString &text, int length);

// Key filters, one per field, given the character code of a typed key. Accepted characters
// are entered (upper-cased where the field says), Enter asks for the field's action,
// Backspace (8) and 127 pass as editing keys, and everything else is swallowed.
KeyVerdict sentenceKey(int code);
KeyVerdict fontsKey(int code);
KeyVerdict underscoreKey(int code);
KeyVerdict effectsKey(int code);
KeyVerdict speedsKey(int code);
// The length field lets "1" to "9" through, "0" only after a digit (before is the text left of
// where the key would go), and Delete, which may empty it; Backspace is swallowed.
KeyVerdict mlengthKey(int code, const QString &before);

// What the message field holds after leaving it or pressing Enter: fitted unless empty.
QString settledMessage(const QString &text, int length);
// What an attribute field holds after leaving it or pressing Enter: "0" when empty, fitted.
QString settledAttribute(const QString &text, int length);

// The texts a chain-length change writes: length copies of "A" into the message field and
// length copies of "0" into each attribute field.
QString resetMessage(int length);
QString resetAttribute(int length);

} // namespace FieldRules
