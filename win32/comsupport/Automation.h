#pragma once
// Automation values crossing COM: BSTR text, VARIANT <-> automation::Variant, and automation
// errors as HRESULTs, EXCEPINFO and error information. Objects cross through a bridge: each side
// of a boundary has its own wrappers.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string_view>

#include "automation/Error.h"
#include "automation/Variant.h"

namespace win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "BSTR code units are 16 bits");

// A null BSTR is the empty string.
automation::BStr BstrText(BSTR b);
// Owned by the caller; null when it cannot be allocated.
BSTR NewBstr(std::u16string_view s) noexcept;
inline const wchar_t* Wide(std::u16string_view s) { return reinterpret_cast<const wchar_t*>(s.data()); }

struct ObjectBridge {
    // The object for an interface pointer that came in (not null); `dispatch`: it came as VT_DISPATCH.
    automation::ObjectRef (*in)(IUnknown* unk, bool dispatch);
    // Sets an empty `out` to the COM object of `obj` (VT_DISPATCH, or VT_UNKNOWN for an object
    // without IDispatch); a new reference.
    void (*out)(const automation::ObjectRef& obj, VARIANT* out);
};

// References are followed; a value of no automation type is a type-mismatch error.
automation::Variant FromVariant(const VARIANT& v, const ObjectBridge& objects);
// `out` must be VariantInit'ed; what it held is cleared.
void ToVariant(const automation::Variant& in, VARIANT* out, const ObjectBridge& objects);

// GetIDsOfNames over a table of members (each with `name`, char16_t text, and `id`): the name is
// found whatever its ASCII case; named arguments are not known.
template <class Table>
HRESULT IdsOfNames(const Table& members, LPOLESTR* names, UINT count, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const automation::BStr wanted = automation::UpperAscii(reinterpret_cast<const char16_t*>(names[0]));
    for (const auto& m : members)
        if (automation::UpperAscii(m.name) == wanted) ids[0] = m.id;
    return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

// An error code as a failing HRESULT: a bare error number becomes an automation-runtime code.
HRESULT ToHresult(std::int32_t code);
// Sets the thread's error information and returns the code as an HRESULT.
HRESULT ReportError(std::int32_t code, std::u16string_view description, const wchar_t* source, REFIID iid = IID_NULL);
// A member's failure: EXCEPINFO filled and DISP_E_EXCEPTION when the caller gave one, else the code.
HRESULT ExcepInfoFrom(const automation::Error& e, EXCEPINFO* info, const wchar_t* source = nullptr);
// Moves the thread's error information into an EXCEPINFO for a failed member call.
void FillExcepInfo(HRESULT hr, EXCEPINFO* info);

}  // namespace win32
