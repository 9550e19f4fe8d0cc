#pragma once

#include "core/keyverdict.h"
#include "protocol/chainprotocol.h"

#include <QString>

// The rules of the character-code fields, free of any widget: which user-font code a text
// selects, how the navigation steps over the reserved codes, and what each field accepts.
namespace CodeRules {

inline constexpr int kFirstCode = Protocol::kFirstUserCode;
inline constexpr int kLastCode = Protocol::kLastUserCode;

// The user-font code a number selects: 13 and 33 move on to 14 and 34, anything below 10
// becomes 10 and anything above 125 becomes 125.
int clampCode(qint64 value);
// The code the text of the code field selects: its leading number, clamped.
int selectedCode(const QString &text);

// The next and the previous user-font code, stepping once more over 13 and 33 and staying put
// at the ends of the range. A code outside the range is clamped first.
int nextCode(int code);
int previousCode(int code);

// True for the characters the one-character field takes: 10 to 12, 14 to 32 and 34 to 125.
bool isUserFontCharacter(int code);

// The control code Ctrl with a key types: Ctrl+@ is 0, Ctrl+A is 1 … Ctrl+_ is 31 (key as Qt
// numbers it, which for these keys is their capital ASCII code); -1 for any other key.
int controlCharacter(int key);

KeyVerdict singlecharKey(int code);

// The last two characters of "00" followed by text: a shorter text filled with "0" on the left.
QString filledHexPair(const QString &text);

} // namespace CodeRules
