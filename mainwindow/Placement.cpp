#include "mainwindow/Placement.h"

#include <cmath>
#include <vector>

#include "automation/Error.h"
#include "automation/Variant.h"

Placement ReadPlacement(std::u16string_view text) {
    std::vector<std::u16string_view> parts;
    std::size_t start = 0;
    for (;;) {
        auto comma = text.find(u',', start);
        parts.push_back(text.substr(start, comma == std::u16string_view::npos ? std::u16string_view::npos : comma - start));
        if (comma == std::u16string_view::npos) break;
        start = comma + 1;
    }
    if (parts.size() < 5) automation::Raise(automation::code::kSubscriptOutOfRange, u"Subscript out of range");
    auto number = [](std::u16string_view field) {
        float v = automation::Variant(automation::BStr(field)).AsR4();
        // A field beyond even a double's range reads as infinity; it overflows like 1e39 does.
        if (!std::isfinite(v)) automation::Raise(automation::code::kOverflow, u"Overflow");
        return v;
    };
    Placement p;
    p.left = number(parts[0]);
    p.top = number(parts[1]);
    p.height = number(parts[2]);
    p.width = number(parts[3]);
    p.state = automation::BStr(parts[4]);
    return p;
}
