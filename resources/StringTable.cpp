#include "resources/StringTable.h"

#include <algorithm>
#include <iterator>

namespace resources {
namespace {
struct Entry {
    std::int32_t id;
    const char16_t* text;
};
constexpr Entry kEntries[] = {
#include "StringTable.inc"
};
}  // namespace

const char16_t* FindString(std::int32_t id) {
    auto it = std::find_if(std::begin(kEntries), std::end(kEntries), [id](const Entry& e) { return e.id == id; });
    return it == std::end(kEntries) ? nullptr : it->text;
}

std::vector<std::int32_t> AllStringIds() {
    std::vector<std::int32_t> ids;
    for (const auto& e : kEntries) ids.push_back(e.id);
    return ids;
}

}  // namespace resources
