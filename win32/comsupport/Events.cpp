#include "win32/comsupport/Events.h"

#include <olectl.h>

#include "win32/comsupport/Enumerator.h"

namespace win32 {

void ConnectionPoint::Fire(DISPID id, std::span<VARIANT> reversedArgs) {
    std::vector<ComRef<IDispatch>> snapshot;
    snapshot.reserve(sinks_.size());
    for (auto& s : sinks_) snapshot.push_back(s.dispatch);
    DISPPARAMS params{reversedArgs.empty() ? nullptr : reversedArgs.data(), nullptr, static_cast<UINT>(reversedArgs.size()), 0};
    // Only the snapshot is used from here on: a sink may release the container.
    for (auto& sink : snapshot) {
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO info{};
        try {
            sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &info, nullptr);
        } catch (...) {
            // A sink's own failure stays with the sink.
        }
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        VariantClear(&result);
    }
}

HRESULT ConnectionPoint::Find(REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != iid_) return CONNECT_E_NOCONNECTION;
    AddRef();
    *out = this;
    return S_OK;
}

HRESULT ConnectionPoint::Enumerate(IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    using Points = Enumerator<IEnumConnectionPoints, IConnectionPoint*, ComRef<IConnectionPoint>>;
    try {
        *out = Points::Create(
            {ComRef<IConnectionPoint>(this)}, [](const ComRef<IConnectionPoint>& p, IConnectionPoint** e) { *e = p.AddRefed(); },
            count_);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = iid == IID_IUnknown || iid == IID_IConnectionPoint ? static_cast<IConnectionPoint*>(this) : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    owner_->AddRef();
    *out = owner_;
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    ComRef<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(iid_, dispatch.PutVoid())) || !dispatch)
        if (FAILED(sink->QueryInterface(IID_IDispatch, dispatch.PutVoid())) || !dispatch) return CONNECT_E_CANNOTCONNECT;
    try {
        sinks_.push_back(Sink{nextCookie_, std::move(dispatch)});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->cookie != cookie) continue;
        auto gone = std::move(it->dispatch);  // released after the list is consistent again
        sinks_.erase(it);
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    using Connections = Enumerator<IEnumConnections, CONNECTDATA, Sink>;
    try {
        *out = Connections::Create(
            {sinks_.begin(), sinks_.end()},
            [](const Sink& s, CONNECTDATA* c) {
                *c = CONNECTDATA{s.dispatch.AddRefed(), s.cookie};
            },
            count_);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ClassInfoProvider::GetClassInfo(ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return ClassTypeInfo(out);
}

HRESULT ClassInfoProvider::GetGUID(DWORD kind, GUID* out) {
    if (!out) return E_POINTER;
    *out = GUID_NULL;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    const IID* source = DefaultSource();
    if (!source) return E_FAIL;
    *out = *source;
    return S_OK;
}

}  // namespace win32
