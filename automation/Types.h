#pragma once
// Value types that cross interfaces: automation strings, 16-bit booleans, ids.
#include <cstdint>
#include <string>
#include <string_view>

namespace automation {

using BStr = std::u16string;
using VBool = std::int16_t;

inline constexpr VBool kTrue = -1;
inline constexpr VBool kFalse = 0;

constexpr VBool ToVBool(bool b) noexcept { return b ? kTrue : kFalse; }
constexpr bool IsTrue(VBool b) noexcept { return b != 0; }

// Well-formed UTF-16 <-> UTF-8; lone surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view s);
BStr FromUtf8(std::string_view s);

// ASCII-only upper-casing, as used for file-name tests.
BStr UpperAscii(std::u16string_view s);

// Decimal text of an integer as an automation string.
BStr DecimalText(long long v);

}  // namespace automation
