#pragma once
// The standard enumerator (IEnumVARIANT, IEnumConnections, IEnumConnectionPoints) over a fixed
// list. Clones share the list; each element handed out is a new copy made by `put`.
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "win32/comsupport/ComBase.h"

namespace win32 {

template <class IEnum, class Elem, class Item>
class Enumerator final : public ComBase<IEnum> {
public:
    // Fills an element the caller owns; may throw.
    using Put = std::function<void(const Item&, Elem*)>;

    // A new reference.
    static IEnum* Create(std::vector<Item> items, Put put, LiveCount* count = nullptr) {
        return new Enumerator(std::make_shared<const Shared>(Shared{std::move(items), std::move(put), count}), 0);
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Elem* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        try {
            for (; n < count && pos_ < list_->items.size(); ++n, ++pos_) {
                out[n] = Elem{};
                list_->put(list_->items[pos_], &out[n]);
            }
        } catch (...) {
            return E_FAIL;  // an element that cannot be made ends the call; those made are the caller's
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const std::size_t left = list_->items.size() - pos_;
        pos_ += std::min<std::size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        pos_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnum** out) override {
        if (!out) return E_POINTER;
        *out = new Enumerator(list_, pos_);
        return S_OK;
    }

private:
    struct Shared {
        std::vector<Item> items;
        Put put;
        LiveCount* count;
    };
    Enumerator(std::shared_ptr<const Shared> list, std::size_t pos) : list_(std::move(list)), pos_(pos), counted_(list_->count) {}

    std::shared_ptr<const Shared> list_;
    std::size_t pos_;
    Counted counted_;
};

}  // namespace win32
