#pragma once
// Late-bound calls as the tools and the bench make them: an object created by its ProgID, a
// member called by name, and the argument values for it.
#include <windows.h>
#include <oleauto.h>

#include <vector>

#include "win32/comsupport/ComRef.h"

namespace win32 {

inline VARIANT Str(const wchar_t* s) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(s);
    return v;
}
inline VARIANT I4(long i) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = i;
    return v;
}
inline VARIANT Bool(bool b) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

inline ComRef<IDispatch> CreateByProgId(const wchar_t* progId) {
    CLSID clsid;
    ComRef<IDispatch> d;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(d.Put()));
    return d;
}

// Calls `name` with `args` given left to right, and clears them; the result, if any, in *out.
inline HRESULT CallByName(IDispatch* d, const wchar_t* name, std::vector<VARIANT> args, WORD flags = DISPATCH_METHOD,
                          VARIANT* out = nullptr) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    const bool isPut = flags == DISPATCH_PROPERTYPUT;
    DISPPARAMS p{reversed.data(), isPut ? &put : nullptr, static_cast<UINT>(reversed.size()), isPut ? 1u : 0u};
    if (SUCCEEDED(hr)) hr = d->Invoke(id, IID_NULL, 0, flags, &p, out, nullptr, nullptr);
    for (auto& v : args) VariantClear(&v);
    return hr;
}

}  // namespace win32
