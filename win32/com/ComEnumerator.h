#pragma once
// The standard enumerator over a fixed list of references (IEnumConnections, IEnumConnectionPoints).
#include <ocidl.h>

#include <new>
#include <vector>

#include "win32/com/ServerModule.h"

namespace win32::com {

inline void AddItemRef(CONNECTDATA& c) {
    if (c.pUnk) c.pUnk->AddRef();
}
inline void ReleaseItem(CONNECTDATA& c) {
    if (c.pUnk) c.pUnk->Release();
}
inline void AddItemRef(IConnectionPoint* p) {
    if (p) p->AddRef();
}
inline void ReleaseItem(IConnectionPoint* p) {
    if (p) p->Release();
}

template <class IEnum, class Item>
class ComEnumerator final : public IEnum {
public:
    // The enumerator holds its own reference to each item.
    static HRESULT Create(const std::vector<Item>& items, REFIID iid, IEnum** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        auto* e = new (std::nothrow) ComEnumerator(iid);
        if (!e) return E_OUTOFMEMORY;
        try {
            e->items_ = items;
        } catch (...) {
            e->Release();
            return E_OUTOFMEMORY;
        }
        for (auto& item : e->items_) AddItemRef(item);
        *out = e;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == iid_) {
            *ppv = static_cast<IEnum*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && pos_ < items_.size(); ++n, ++pos_) {
            out[n] = items_[pos_];
            AddItemRef(out[n]);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        size_t left = items_.size() - pos_;
        if (count > left) {
            pos_ = items_.size();
            return S_FALSE;
        }
        pos_ += count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        pos_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnum** out) override {
        HRESULT hr = Create(items_, iid_, out);
        if (SUCCEEDED(hr)) static_cast<ComEnumerator*>(*out)->pos_ = pos_;
        return hr;
    }

private:
    explicit ComEnumerator(REFIID iid) : iid_(iid) { ServerModule::ObjectCreated(); }
    ~ComEnumerator() {
        for (auto& item : items_) ReleaseItem(item);
        ServerModule::ObjectDestroyed();
    }

    LONG refs_ = 1;
    IID iid_;
    std::vector<Item> items_;
    size_t pos_ = 0;
};

}  // namespace win32::com
