#pragma once
// The compiled-in copy of the string table (the Windows build also carries it as a resource).
#include <cstdint>
#include <string_view>
#include <vector>

#include "StringIds.h"

namespace resources {

inline constexpr int kIconId = 101;

// The text of an id, or nullptr when the table has no entry.
const char16_t* FindString(std::int32_t id);
std::vector<std::int32_t> AllStringIds();

}  // namespace resources
