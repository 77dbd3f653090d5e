#include "win32/adapters/LateBound.h"

#include <algorithm>
#include <cstdio>

namespace win32::adapters {

using automation::BStr;
using automation::Error;
namespace code = automation::code;

namespace {

[[noreturn]] void Mismatch() { automation::Raise(code::kTypeMismatch, u"Type mismatch"); }

// A plain value (references followed) that can be coerced; objects, arrays, errors and Null cannot.
Var Plain(const VARIANT& v) {
    Var copy;
    if (FAILED(VariantCopyInd(copy.Ptr(), const_cast<VARIANT*>(&v)))) Mismatch();
    VARTYPE t = V_VT(copy.Ptr());
    if ((t & VT_ARRAY) || t == VT_DISPATCH || t == VT_UNKNOWN || t == VT_ERROR || t == VT_NULL || t == VT_RECORD ||
        t == VT_VARIANT)
        Mismatch();
    return copy;
}

Var Coerced(const VARIANT& v, VARTYPE to) {
    Var plain = Plain(v);
    Var out;
    HRESULT hr = VariantChangeType(out.Ptr(), plain.Ptr(), 0, to);
    if (hr == DISP_E_OVERFLOW) automation::Raise(code::kOverflow, u"Overflow");
    if (FAILED(hr)) Mismatch();
    return out;
}

BStr Describe(HRESULT hr) {
    switch (hr) {
        case DISP_E_UNKNOWNNAME:
        case DISP_E_MEMBERNOTFOUND: return u"Object doesn't support this property or method";
        case DISP_E_TYPEMISMATCH: return u"Type mismatch";
        case DISP_E_BADPARAMCOUNT: return u"Wrong number of arguments or invalid property assignment";
        case DISP_E_PARAMNOTOPTIONAL: return u"Argument not optional";
        case DISP_E_OVERFLOW: return u"Overflow";
        case E_NOINTERFACE: return u"No such interface supported";
        case E_POINTER: return u"Invalid pointer";
        case E_NOTIMPL: return u"Not implemented";
        case E_OUTOFMEMORY: return u"Out of memory";
        case E_INVALIDARG: return u"Invalid procedure call or argument";
        case REGDB_E_CLASSNOTREG: return u"Class not registered";
        case CO_E_CLASSSTRING: return u"Invalid class string";
        case CO_E_NOTINITIALIZED: return u"CoInitialize has not been called";
        default: break;
    }
    char text[40];
    std::snprintf(text, sizeof text, "Automation error 0x%08lX", static_cast<unsigned long>(hr));
    return automation::FromUtf8(text);
}

}  // namespace

Var Var::Dispatch(IDispatch* d) {
    Var r;
    if (d) d->AddRef();
    V_VT(r.Ptr()) = VT_DISPATCH;
    V_DISPATCH(r.Ptr()) = d;
    return r;
}
Var Var::ByRef(VARTYPE type, void* where) {
    Var r;
    V_VT(r.Ptr()) = static_cast<VARTYPE>(type | VT_BYREF);
    V_BYREF(r.Ptr()) = where;
    return r;
}
Var Var::Missing() {
    Var r;
    V_VT(r.Ptr()) = VT_ERROR;
    V_ERROR(r.Ptr()) = DISP_E_PARAMNOTFOUND;
    return r;
}

automation::VBool ResultBool(const VARIANT& v) {
    Var b = Coerced(v, VT_BOOL);
    return V_BOOL(b.Ptr()) ? automation::kTrue : automation::kFalse;
}
std::int16_t ResultI2(const VARIANT& v) { return V_I2(Coerced(v, VT_I2).Ptr()); }
std::int32_t ResultI4(const VARIANT& v) { return V_I4(Coerced(v, VT_I4).Ptr()); }
BStr ResultStr(const VARIANT& v) {
    Var s = Coerced(v, VT_BSTR);
    return BstrText(V_BSTR(s.Ptr()));
}

ComRef<IDispatch> ResultDispatch(const VARIANT& v) {
    const VARIANT* p = &v;
    if (V_VT(p) == (VT_BYREF | VT_VARIANT)) {
        if (!V_VARIANTREF(p)) Mismatch();
        p = V_VARIANTREF(p);
    }
    switch (V_VT(p)) {
        case VT_EMPTY:
        case VT_NULL: return {};
        case VT_DISPATCH: return ComRef<IDispatch>(V_DISPATCH(p));
        case VT_DISPATCH | VT_BYREF: return V_DISPATCHREF(p) ? ComRef<IDispatch>(*V_DISPATCHREF(p)) : ComRef<IDispatch>();
        case VT_UNKNOWN:
        case VT_UNKNOWN | VT_BYREF: {
            IUnknown* u = V_VT(p) == VT_UNKNOWN ? V_UNKNOWN(p) : (V_UNKNOWNREF(p) ? *V_UNKNOWNREF(p) : nullptr);
            if (!u) return {};
            ComRef<IDispatch> d;
            if (FAILED(u->QueryInterface(IID_IDispatch, d.PutVoid())) || !d) Mismatch();
            return d;
        }
        default: Mismatch();
    }
}

void RaiseHresult(HRESULT hr, EXCEPINFO* info, std::u16string_view member) {
    std::int32_t c = static_cast<std::int32_t>(hr);
    BStr text;
    if (hr == DISP_E_EXCEPTION && info) {
        if (info->pfnDeferredFillIn) info->pfnDeferredFillIn(info);
        if (info->scode) c = static_cast<std::int32_t>(info->scode);
        else if (info->wCode) c = static_cast<std::int32_t>(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info->wCode));
        else c = code::kFail;
        text = BstrText(info->bstrDescription);
        SysFreeString(info->bstrSource);
        SysFreeString(info->bstrDescription);
        SysFreeString(info->bstrHelpFile);
        info->bstrSource = info->bstrDescription = info->bstrHelpFile = nullptr;
        if (text.empty()) text = Describe(c);
    } else {
        text = Describe(hr);
        if (!member.empty()) text += u": " + BStr(member);
    }
    if (c == static_cast<std::int32_t>(REGDB_E_CLASSNOTREG)) c = code::kClassNotRegistered;
    throw Error(c, std::move(text));
}

void Check(HRESULT hr, std::u16string_view what) {
    if (FAILED(hr)) RaiseHresult(hr, nullptr, what);
}

DISPID LateBound::Id(std::u16string_view name) {
    if (!disp_) automation::RaiseObjectNotSet(name);
    BStr key = automation::UpperAscii(name);
    if (auto it = ids_.find(key); it != ids_.end()) return it->second;
    BStr copy(name);
    LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(copy.data())};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = disp_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) RaiseHresult(hr, nullptr, name);
    ids_.emplace(std::move(key), id);
    return id;
}

bool LateBound::Knows(std::u16string_view name) noexcept {
    try {
        Id(name);
        return true;
    } catch (...) {
        return false;
    }
}

Var LateBound::Invoke(DISPID id, WORD flags, std::vector<Var>& args, std::u16string_view what) {
    if (!disp_) automation::RaiseObjectNotSet(what);
    // Dispatch arguments go right to left.
    std::vector<VARIANT> raw;
    raw.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it) raw.push_back(*it->Ptr());
    DISPPARAMS params{raw.empty() ? nullptr : raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
    DISPID named = DISPID_PROPERTYPUT;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    Var result;
    EXCEPINFO info{};
    UINT argErr = 0;
    HRESULT hr =
        disp_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                      (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) ? nullptr : result.Ptr(), &info, &argErr);
    // `raw` holds shallow copies: `args` still owns and clears the values.
    if (FAILED(hr)) RaiseHresult(hr, &info, what);
    return result;
}

Var LateBound::Call(std::u16string_view name, std::vector<Var> args) {
    return Invoke(Id(name), DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, name);
}
Var LateBound::CallId(DISPID id, std::vector<Var> args, std::u16string_view what) {
    return Invoke(id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, what);
}
Var LateBound::Get(std::u16string_view name, std::vector<Var> args) {
    return Invoke(Id(name), DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, name);
}
void LateBound::Put(std::u16string_view name, Var value) { PutId(Id(name), std::move(value), name); }
void LateBound::PutId(DISPID id, Var value, std::u16string_view what) {
    std::vector<Var> args;
    args.push_back(std::move(value));
    Invoke(id, DISPATCH_PROPERTYPUT, args, what);
}

}  // namespace win32::adapters
