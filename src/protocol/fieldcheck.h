#pragma once

#include "core/keyverdict.h"

#include <QString>

// A text checked against a field's key rule, as if it were typed into the field: what the field
// would hold, or which character it would not take.
namespace FieldCheck {

struct Typed
{
    QString text;       // the characters entered, upper-cased where the field says
    int refusedAt = -1; // the index of the first character the field does not take; -1 for none
    QString refusal;    // that character and its position: character "~" at position 3
    bool ok() const { return refusedAt < 0; }
};

// Types text into a field with the key rule filter, stopping at the first character that is
// not entered (Enter, editing keys and swallowed characters alike).
Typed typed(const QString &text, const KeyFilter &filter);

// A message as its Enter sends it on a chain of length digits; the refusal goes on to say the
// character cannot be shown.
Typed message(const QString &text, int length);
// A field of the digit attribute table (its row) as its Enter sends it on a chain of length
// digits; the refusal goes on to say what the character is not ("is not a speed").
Typed attribute(int row, const QString &text, int length);

// The user-font code text names, or -1 when it names none.
int userCode(const QString &text);
// What userCode takes, for refusals: the range and the reserved codes.
QString userCodeRange();

} // namespace FieldCheck
