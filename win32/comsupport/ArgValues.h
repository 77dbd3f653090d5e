#pragma once
// Argument values for late-bound calls made by the tools: the caller owns each VARIANT and clears it.
#include <windows.h>
#include <oleauto.h>

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

}  // namespace win32
