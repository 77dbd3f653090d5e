#pragma once
// The one owning COM interface pointer of the Win32 code and its hosts. Not Microsoft::WRL::ComPtr:
// the <wrl/client.h> of MinGW-w64 10 AddRefs in Attach (so every adopted object leaks), copies on
// move assignment and pulls in the WinRT headers.
#include <unknwn.h>

#include <cstddef>
#include <utility>

namespace win32 {

template <class T>
class ComRef {
public:
    ComRef() = default;
    ComRef(std::nullptr_t) {}
    // Takes a reference of its own.
    explicit ComRef(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComRef(const ComRef& o) : ComRef(o.p_) {}
    ComRef(ComRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComRef& operator=(ComRef o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComRef() { Reset(); }

    // Takes over a reference the caller owns.
    static ComRef Adopt(T* p) {
        ComRef r;
        r.p_ = p;
        return r;
    }
    static ComRef Share(T* p) { return ComRef(p); }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For an out-parameter: releases what is held first.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // Gives the reference away without releasing it.
    T* Detach() { return std::exchange(p_, nullptr); }
    // A new reference, for an out-parameter.
    T* AddRefed() const {
        if (p_) p_->AddRef();
        return p_;
    }

    template <class U>
    ComRef<U> As(REFIID iid) const {
        ComRef<U> r;
        if (p_) p_->QueryInterface(iid, r.PutVoid());
        return r;
    }
    template <class U>
    ComRef<U> As() const {
        return As<U>(__uuidof(U));
    }

private:
    T* p_ = nullptr;
};

}  // namespace win32
