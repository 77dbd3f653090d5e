#pragma once
// The reference count and QueryInterface of our COM objects. ComBase<I1, I2, ...> answers IUnknown
// (through I1), each Ii and the interfaces each Ii extends among IDispatch, IProvideClassInfo and
// IOleWindow. An interface of our own states its id as kIid; a mix-in that implements an interface
// names it as `Interface`. A class with ids known only at run time answers them in Extra.
#include <ole2.h>
#include <ocidl.h>

#include <atomic>
#include <functional>
#include <type_traits>

namespace win32 {

// The objects of a DLL that keep it in use.
class LiveCount {
public:
    long Now() const { return n_.load(); }
    void Add() { ++n_; }
    void Drop() { --n_; }

private:
    std::atomic<long> n_{0};
};

// A member of an object that counts it in a LiveCount while it lives; none counts nothing.
class Counted {
public:
    explicit Counted(LiveCount* count = nullptr) : count_(count) {
        if (count_) count_->Add();
    }
    ~Counted() {
        if (count_) count_->Drop();
    }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;

private:
    LiveCount* count_;
};

template <class T>
const IID& IidOf() {
    if constexpr (requires { T::kIid; }) return T::kIid;
    else if constexpr (requires { typename T::Interface; }) return __uuidof(typename T::Interface);
    else return __uuidof(T);
}

template <class T>
bool Answers(REFIID iid) {
    return iid == IidOf<T>() || (std::is_base_of_v<IDispatch, T> && iid == IID_IDispatch) ||
           (std::is_base_of_v<IProvideClassInfo, T> && iid == IID_IProvideClassInfo) ||
           (std::is_base_of_v<IOleWindow, T> && iid == IID_IOleWindow);
}

template <class First, class... Rest>
class ComBase : public First, public Rest... {
public:
    ComBase() = default;
    ComBase(const ComBase&) = delete;
    ComBase& operator=(const ComBase&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = Find(iid);
        if (!*out) return E_NOINTERFACE;
        static_cast<First*>(this)->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

protected:
    virtual ~ComBase() = default;
    // Interfaces beyond the listed ones; not AddRef'ed.
    virtual void* Extra(REFIID) { return nullptr; }
    // What QueryInterface hands out; a class that answers by its state overrides it.
    virtual void* Find(REFIID iid) {
        void* found = iid == IID_IUnknown || Answers<First>(iid) ? static_cast<First*>(this) : nullptr;
        ((found = found ? found : Answers<Rest>(iid) ? static_cast<Rest*>(this) : nullptr), ...);
        return found ? found : Extra(iid);
    }

private:
    LONG refs_ = 1;
};

// The class object of one class; it and the server locks count in the DLL's counts.
class ClassFactory final : public ComBase<IClassFactory> {
public:
    using Create = std::function<HRESULT(REFIID iid, void** out)>;

    // What DllGetClassObject answers.
    static HRESULT Serve(Create create, REFIID iid, void** out, LiveCount* objects = nullptr, LiveCount* locks = nullptr) {
        auto* factory = new ClassFactory(std::move(create), objects, locks);
        const HRESULT hr = factory->QueryInterface(iid, out);
        factory->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (locks_) lock ? locks_->Add() : locks_->Drop();
        return S_OK;
    }

private:
    ClassFactory(Create create, LiveCount* objects, LiveCount* locks)
        : create_(std::move(create)), locks_(locks), counted_(objects) {}

    Create create_;
    LiveCount* locks_;
    Counted counted_;
};

}  // namespace win32
