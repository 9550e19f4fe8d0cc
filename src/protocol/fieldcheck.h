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

} // namespace FieldCheck
