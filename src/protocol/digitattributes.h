#pragma once

#include "core/keyverdict.h"

#include <array>

// One per-digit attribute the chain keeps besides the character: the command letter that sets
// it, the keys its field takes, and the texts the message block shows for it.
struct DigitAttribute
{
    const char *name; // the field's object name
    char letter;
    KeyVerdict (*keyRule)(int code);
    const char *noun;    // what one character of the field is, in refusals: "a speed"
    const char *caption; // translated where it is shown
    const char *toolTip;
    const char *labelToolTip;
};

namespace DigitAttributes {

// The rows of the table, in the order the message block shows them.
enum Row : int { Fonts, Underscore, Effects, Speeds };
inline constexpr std::size_t kCount = Speeds + 1;

const std::array<DigitAttribute, kCount> &table();

// The row of the attribute command letter sets; -1 for any other letter (M and W included).
int rowOf(char letter);

} // namespace DigitAttributes
