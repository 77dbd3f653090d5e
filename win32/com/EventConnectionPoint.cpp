#include "win32/com/EventConnectionPoint.h"

#include <olectl.h>

#include "win32/com/ComEnumerator.h"
#include "win32/com/ComRef.h"

namespace win32::com {

EventConnectionPoint::EventConnectionPoint(IConnectionPointContainer* owner) : owner_(owner) {}

EventConnectionPoint::~EventConnectionPoint() {
    auto sinks = std::move(sinks_);
    for (auto& s : sinks) s.dispatch->Release();
}

void EventConnectionPoint::Fire(DISPID dispid) {
    std::vector<ComRef<IDispatch>> snapshot;
    snapshot.reserve(sinks_.size());
    for (auto& s : sinks_) snapshot.push_back(ComRef<IDispatch>::Share(s.dispatch));
    // Only the snapshot is used from here on: a sink may release the container.
    for (auto& sink : snapshot) {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        try {
            sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
        } catch (...) {
            // A sink's own failure stays with the sink.
        }
    }
}

HRESULT EventConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG EventConnectionPoint::AddRef() { return owner_->AddRef(); }
ULONG EventConnectionPoint::Release() { return owner_->Release(); }

HRESULT EventConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = eventIid_;
    return S_OK;
}

HRESULT EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    owner_->AddRef();
    *container = owner_;
    return S_OK;
}

HRESULT EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    IDispatch* dispatch = nullptr;
    if (FAILED(sink->QueryInterface(eventIid_, reinterpret_cast<void**>(&dispatch))) || !dispatch) {
        dispatch = nullptr;
        if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) || !dispatch)
            return CONNECT_E_CANNOTCONNECT;
    }
    try {
        sinks_.push_back(Sink{nextCookie_, dispatch});
    } catch (...) {
        dispatch->Release();
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    return S_OK;
}

HRESULT EventConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->cookie != cookie) continue;
        IDispatch* dispatch = it->dispatch;
        sinks_.erase(it);
        dispatch->Release();
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT EventConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (!connections) return E_POINTER;
    *connections = nullptr;
    std::vector<CONNECTDATA> items;
    try {
        for (auto& s : sinks_) items.push_back(CONNECTDATA{s.dispatch, s.cookie});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return ComEnumerator<IEnumConnections, CONNECTDATA>::Create(items, IID_IEnumConnections, connections);
}

}  // namespace win32::com
