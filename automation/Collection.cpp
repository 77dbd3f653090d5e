#include "automation/Collection.h"

namespace automation {

std::int32_t Collection::Count() const { return static_cast<std::int32_t>(entries_.size()); }

std::size_t Collection::Position(const Variant& indexOrKey) const {
    if (indexOrKey.Type() == VarType::Str) {
        const BStr key = UpperAscii(indexOrKey.AsStr());
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].key && UpperAscii(*entries_[i].key) == key) return i;
        Raise(code::kInvalidProcedureCall, u"Invalid procedure call or argument");
    }
    std::int32_t i = indexOrKey.AsI4();
    if (i < 1 || i > Count()) Raise(code::kSubscriptOutOfRange, u"Subscript out of range");
    return static_cast<std::size_t>(i - 1);
}

Variant Collection::Item(const Variant& indexOrKey) const { return entries_[Position(indexOrKey)].value; }

void Collection::Add(Variant item, const BStr& key) {
    if (!key.empty()) {
        const BStr upper = UpperAscii(key);
        for (const auto& e : entries_)
            if (e.key && UpperAscii(*e.key) == upper)
                Raise(code::kKeyNotUnique, u"This key is already associated with an element of this collection");
    }
    entries_.push_back(Entry{std::move(item), key.empty() ? std::nullopt : std::optional<BStr>(key)});
}

void Collection::Remove(const Variant& indexOrKey) {
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(Position(indexOrKey)));
}

std::vector<Variant> Collection::Items() const {
    std::vector<Variant> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_) out.push_back(e.value);
    return out;
}

}  // namespace automation
