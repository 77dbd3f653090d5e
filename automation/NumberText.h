#pragma once
// The lenient numeric reader of automation text and the shortest single-precision writer.
#include <string_view>

#include "automation/Types.h"

namespace automation {

struct NumberRead {
    double value = 0;       // 0 when the text has no leading number
    bool complete = false;  // the whole text (blanks aside) was one number
};

// Skips blanks, tabs and line feeds anywhere; "&H" and "&O" select hexadecimal and octal digits;
// otherwise a sign, digits, one decimal point and an exponent; stops at the first character that
// cannot continue the number.
NumberRead ReadNumber(std::u16string_view text);

// A float as decimal text with at most seven significant digits, no trailing zeros, no exponent
// for ordinary magnitudes: 1800, 2640.189, 0.5.
BStr SingleText(float f);

}  // namespace automation
