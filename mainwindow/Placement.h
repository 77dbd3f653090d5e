#pragma once
// The window placement text "left,top,height,width,state" (twips and a window state).
#include <optional>
#include <string_view>

#include "automation/Types.h"

struct Placement {
    float left = 0, top = 0, height = 0, width = 0;
    automation::BStr state;  // as written; read as a number where it is used
};

// Splits at commas and reads each of the first four fields, blanks trimmed, as a 32-bit float.
// Fails (automation::Error) on fewer than five fields or a field that is not a number.
Placement ReadPlacement(std::u16string_view text);
