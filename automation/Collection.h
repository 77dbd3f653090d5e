#pragma once
// An automation collection: Count, Item by 1-based index or by key, Add, Remove, enumeration.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "automation/Variant.h"

namespace automation {

class Collection : public Object {
public:
    static constexpr std::u16string_view kIid = u"{A4C46780-499F-101B-BB78-00AA00383CBB}";

    virtual std::int32_t Count() const;
    // An integer index is 1-based; a string is a key. A missing item is an error.
    virtual Variant Item(const Variant& indexOrKey) const;
    // A duplicate key is an error.
    virtual void Add(Variant item, const BStr& key = {});
    virtual void Remove(const Variant& indexOrKey);
    virtual std::vector<Variant> Items() const;

private:
    std::size_t Position(const Variant& indexOrKey) const;
    struct Entry {
        Variant value;
        std::optional<BStr> key;
    };
    std::vector<Entry> entries_;
};

}  // namespace automation
