#pragma once
// A counted COM interface reference: AddRef on copy, Release on reset.
#include <unknwn.h>

#include <utility>

namespace win32 {

template <class T>
class ComRef {
public:
    ComRef() = default;
    ComRef(std::nullptr_t) {}
    // Takes a new reference of p.
    explicit ComRef(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComRef(const ComRef& o) : ComRef(o.p_) {}
    ComRef(ComRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComRef& operator=(const ComRef& o) {
        ComRef(o).Swap(*this);
        return *this;
    }
    ComRef& operator=(ComRef&& o) noexcept {
        ComRef(std::move(o)).Swap(*this);
        return *this;
    }
    ~ComRef() { Reset(); }

    // Adopts a reference the caller already owns.
    static ComRef Adopt(T* p) {
        ComRef r;
        r.p_ = p;
        return r;
    }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Releases what is held and gives the slot to an out-parameter.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // Gives away the reference without releasing it.
    T* Detach() { return std::exchange(p_, nullptr); }
    // A new reference for an out-parameter.
    T* AddRefed() const {
        if (p_) p_->AddRef();
        return p_;
    }
    void Swap(ComRef& o) noexcept { std::swap(p_, o.p_); }

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
