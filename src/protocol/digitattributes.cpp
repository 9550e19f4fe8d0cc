#include "protocol/digitattributes.h"

#include "protocol/fieldrules.h"

namespace DigitAttributes {

namespace {

const char kDigitsTip[] = "Valid inputs are 0-9 and ! (!=Skip this location)";

const std::array<DigitAttribute, kCount> kTable{{
        {"fonts", 'F', FieldRules::fontsKey, "a font", "Fonts",
         "Valid inputs are 0-9,u,U and ! (U selects the User fonts and !=Skip this location)",
         "Set the fonts for each digit,  length should be equal to the number of digits.  Valid "
         "charaters are 0-9, U and !."},
        {"underscore", 'U', FieldRules::underscoreKey, "an underscore (0, 1 or !)", "Underscore",
         "Valid inputs are 0,1 and ! (!=Skip this location)",
         "Display underscore for each digit, length should be equal to the number of digits.  "
         "Valid charaters are 0,1 and !."},
        {"effects", 'E', FieldRules::effectsKey, "an effect", "Effects", kDigitsTip,
         "Set the transition effects for each digit, length should be equal to the number of "
         "digits.  Valid charaters are 0-9 and !."},
        {"speeds", 'S', FieldRules::speedsKey, "a speed", "Speeds", kDigitsTip,
         "Set the transition effect speed for each digit, length should be equal to the number "
         "of digits.  Valid charaters are 0-9 and !. (0 is fast/9 is slow)"},
}};

} // namespace

const std::array<DigitAttribute, kCount> &table()
{
    return kTable;
}

int rowOf(char letter)
{
    for (std::size_t row = 0; row < kCount; ++row) {
        if (kTable[row].letter == letter)
            return static_cast<int>(row);
    }
    return -1;
}

} // namespace DigitAttributes
