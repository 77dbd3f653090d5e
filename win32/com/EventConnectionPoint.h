#pragma once
// The connection point of an outgoing dispatch interface. It lives inside its container and
// shares the container's reference count.
#include <ocidl.h>

#include <vector>

namespace win32::com {

class EventConnectionPoint final : public IConnectionPoint {
public:
    explicit EventConnectionPoint(IConnectionPointContainer* owner);
    EventConnectionPoint(const EventConnectionPoint&) = delete;
    EventConnectionPoint& operator=(const EventConnectionPoint&) = delete;
    ~EventConnectionPoint();

    // The outgoing interface, read from the class's type information before any sink connects.
    void SetInterface(REFIID eventIid) { eventIid_ = eventIid; }

    // Calls the argument-less member `dispid` on each sink advised when the call begins, in order
    // of advice. A sink's failure does not stop the others. Sinks may advise or unadvise meanwhile.
    void Fire(DISPID dispid);
    size_t SinkCount() const { return sinks_.size(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

private:
    struct Sink {
        DWORD cookie;
        IDispatch* dispatch;  // owned
    };
    IConnectionPointContainer* owner_;
    IID eventIid_ = IID_NULL;
    std::vector<Sink> sinks_;
    DWORD nextCookie_ = 1;
};

}  // namespace win32::com
