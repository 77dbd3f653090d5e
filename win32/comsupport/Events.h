#pragma once
// An object's outgoing dispatch interface: its connection point, and IProvideClassInfo2 naming it.
#include <ocidl.h>

#include <span>
#include <vector>

#include "win32/comsupport/ComBase.h"
#include "win32/comsupport/ComRef.h"

namespace win32 {

// Lives inside its container and shares the container's reference count.
class ConnectionPoint final : public IConnectionPoint {
public:
    // The enumerators it hands out count in `count`.
    explicit ConnectionPoint(IConnectionPointContainer* owner, REFIID iid = IID_NULL, LiveCount* count = nullptr)
        : owner_(owner), iid_(iid), count_(count) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    // The outgoing interface, when it is known only after construction (before any sink connects).
    void SetInterface(REFIID iid) { iid_ = iid; }
    const IID& Interface() const { return iid_; }
    std::size_t SinkCount() const { return sinks_.size(); }

    // Calls member `id` on each sink advised when the call begins, in order of advice, with the
    // arguments as DISPPARAMS holds them (last first). A sink's failure does not stop the others;
    // sinks may advise or unadvise meanwhile.
    void Fire(DISPID id, std::span<VARIANT> reversedArgs = {});

    // For the container: this point when asked for its interface, and the list of its points.
    HRESULT Find(REFIID iid, IConnectionPoint** out);
    HRESULT Enumerate(IEnumConnectionPoints** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

private:
    struct Sink {
        DWORD cookie;
        ComRef<IDispatch> dispatch;
    };
    IConnectionPointContainer* owner_;
    IID iid_;
    LiveCount* count_;
    std::vector<Sink> sinks_;
    DWORD nextCookie_ = 1;
};

// IProvideClassInfo2 of a class described by type information.
class ClassInfoProvider : public IProvideClassInfo2 {
public:
    using Interface = IProvideClassInfo2;

    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* out) override;

protected:
    // The coclass's type information, a new reference; `out` is null on entry.
    virtual HRESULT ClassTypeInfo(ITypeInfo** out) = 0;
    // Its default source interface; none for a class without notifications.
    virtual const IID* DefaultSource() const = 0;
};

}  // namespace win32
