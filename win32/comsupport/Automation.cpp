#include "win32/comsupport/Automation.h"

#include <algorithm>
#include <string>

#include "win32/comsupport/ComRef.h"

namespace win32 {

using automation::BStr;
using automation::Variant;
namespace code = automation::code;

namespace {

[[noreturn]] void Mismatch() { automation::Raise(code::kTypeMismatch, u"Type mismatch"); }

BStr ErrorText(SCODE sc) {
    switch (sc) {
        case DISP_E_PARAMNOTFOUND: return u"Argument not optional";
        case DISP_E_TYPEMISMATCH: return u"Type mismatch";
        default: return u"Error value";
    }
}

Variant FromByteArray(SAFEARRAY* sa) {
    automation::ByteArray bytes;
    if (sa && SafeArrayGetDim(sa) != 1) Mismatch();
    LONG lo = 0, hi = -1;
    void* data = nullptr;
    if (sa && SUCCEEDED(SafeArrayGetLBound(sa, 1, &lo)) && SUCCEEDED(SafeArrayGetUBound(sa, 1, &hi)) && hi >= lo &&
        SUCCEEDED(SafeArrayAccessData(sa, &data))) {
        auto* b = static_cast<const std::uint8_t*>(data);
        bytes.assign(b, b + (hi - lo + 1));
        SafeArrayUnaccessData(sa);
    }
    return Variant(std::move(bytes));
}

SAFEARRAY* ToByteArray(const automation::ByteArray& bytes) {
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!sa) automation::Raise(code::kFail, u"Out of memory");
    void* data = nullptr;
    if (!bytes.empty() && SUCCEEDED(SafeArrayAccessData(sa, &data))) {
        std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(data));
        SafeArrayUnaccessData(sa);
    }
    return sa;
}

}  // namespace

BStr BstrText(BSTR b) {
    if (!b) return {};
    return BStr(reinterpret_cast<const char16_t*>(b), SysStringLen(b));
}

BSTR NewBstr(std::u16string_view s) noexcept { return SysAllocStringLen(s.empty() ? L"" : Wide(s), static_cast<UINT>(s.size())); }

Variant FromVariant(const VARIANT& v, const ObjectBridge& objects) {
    if (V_ISBYREF(&v)) {
        if (!V_BYREF(&v)) return {};
        VARIANT plain;
        VariantInit(&plain);
        if (FAILED(VariantCopyInd(&plain, const_cast<VARIANT*>(&v)))) Mismatch();
        struct Clear {
            VARIANT& v;
            ~Clear() { VariantClear(&v); }
        } clear{plain};
        return FromVariant(plain, objects);
    }
    switch (V_VT(&v)) {
        case VT_EMPTY:
        case VT_NULL: return {};
        case VT_ARRAY | VT_UI1: return FromByteArray(V_ARRAY(&v));
        case VT_BOOL: return Variant::FromBool(V_BOOL(&v) != VARIANT_FALSE);
        case VT_I2: return Variant(static_cast<std::int16_t>(V_I2(&v)));
        case VT_UI1: return Variant(static_cast<std::int16_t>(V_UI1(&v)));
        case VT_I1: return Variant(static_cast<std::int16_t>(V_I1(&v)));
        case VT_I4: return Variant(static_cast<std::int32_t>(V_I4(&v)));
        case VT_INT: return Variant(static_cast<std::int32_t>(V_INT(&v)));
        case VT_UI2: return Variant(static_cast<std::int32_t>(V_UI2(&v)));
        case VT_R4: return Variant(V_R4(&v));
        case VT_R8: return Variant(V_R8(&v));
        case VT_BSTR: return Variant(BstrText(V_BSTR(&v)));
        case VT_DISPATCH:
        case VT_UNKNOWN:
            if (!V_UNKNOWN(&v)) return Variant(automation::ObjectRef());
            return Variant(objects.in(V_UNKNOWN(&v), V_VT(&v) == VT_DISPATCH));
        case VT_ERROR: return Variant(automation::Error(V_ERROR(&v), ErrorText(V_ERROR(&v))));
        case VT_UI4:
        case VT_UINT:
        case VT_I8:
        case VT_UI8:
        case VT_CY:
        case VT_DATE:
        case VT_DECIMAL: {
            VARIANT d;
            VariantInit(&d);
            if (FAILED(VariantChangeType(&d, const_cast<VARIANT*>(&v), 0, VT_R8))) Mismatch();
            return Variant(V_R8(&d));
        }
        default: Mismatch();
    }
}

void ToVariant(const Variant& in, VARIANT* out, const ObjectBridge& objects) {
    if (!out) return;
    VariantClear(out);
    using automation::VarType;
    // By VarType (Empty, Bool, I2, I4, R4, R8, Str, Object, Bytes, Error); the bridge types objects.
    static constexpr VARTYPE kTypes[] = {VT_EMPTY, VT_BOOL,           VT_I2,   VT_I4, VT_R4, VT_R8, VT_BSTR,
                                         VT_EMPTY, VT_ARRAY | VT_UI1, VT_ERROR};
    switch (in.Type()) {
        case VarType::Empty: break;
        case VarType::Bool: V_BOOL(out) = in.AsBool() ? VARIANT_TRUE : VARIANT_FALSE; break;
        case VarType::I2: V_I2(out) = in.AsI2(); break;
        case VarType::I4: V_I4(out) = in.AsI4(); break;
        case VarType::R4: V_R4(out) = in.AsR4(); break;
        case VarType::R8: V_R8(out) = in.AsR8(); break;
        case VarType::Str:
            V_BSTR(out) = NewBstr(in.AsStr());
            if (!V_BSTR(out)) automation::Raise(code::kFail, u"Out of memory");
            break;
        case VarType::Object: objects.out(in.AsObject(), out); return;
        case VarType::Bytes: V_ARRAY(out) = ToByteArray(in.AsBytes()); break;
        case VarType::Error: V_ERROR(out) = in.AsError().Code(); break;
    }
    V_VT(out) = kTypes[static_cast<int>(in.Type())];
}

HRESULT ToHresult(std::int32_t code) {
    HRESULT hr = static_cast<HRESULT>(code);
    if (FAILED(hr)) return hr;
    if (code == 0) return E_FAIL;
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, code & 0xFFFF);
}

HRESULT ReportError(std::int32_t code, std::u16string_view description, const wchar_t* source, REFIID iid) {
    const HRESULT hr = ToHresult(code);
    try {
        ComRef<ICreateErrorInfo> create;
        if (FAILED(CreateErrorInfo(create.Put()))) return hr;
        std::wstring text(description.begin(), description.end());
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(source));
        create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
        if (auto info = create.As<IErrorInfo>(IID_IErrorInfo)) SetErrorInfo(0, info.Get());
    } catch (...) {
        // Without memory for the text the caller still gets the code.
    }
    return hr;
}

HRESULT ExcepInfoFrom(const automation::Error& e, EXCEPINFO* info, const wchar_t* source) {
    if (!info) return ToHresult(e.Code());
    *info = EXCEPINFO{};
    info->scode = ToHresult(e.Code());
    info->bstrSource = source ? SysAllocString(source) : nullptr;
    info->bstrDescription = NewBstr(e.Description());
    return DISP_E_EXCEPTION;
}

void FillExcepInfo(HRESULT hr, EXCEPINFO* info) {
    if (!info) return;
    *info = EXCEPINFO{};
    info->scode = hr;
    ComRef<IErrorInfo> err;
    if (GetErrorInfo(0, err.Put()) != S_OK || !err) return;
    err->GetSource(&info->bstrSource);
    err->GetDescription(&info->bstrDescription);
    err->GetHelpFile(&info->bstrHelpFile);
    err->GetHelpContext(&info->dwHelpContext);
}

}  // namespace win32
