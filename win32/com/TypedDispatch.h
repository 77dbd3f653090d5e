#pragma once
// IDispatch::Invoke for a dual interface, driven by its type information: the member, its parameters
// and its vtable slot come from the type library. Unlike ITypeInfo::Invoke, each argument is first
// taken out of by-reference variants and coerced to the declared type, so that a script's variables
// reach typed by-reference parameters. The member gets coerced copies: the caller's own variables
// are never written.
#include <windows.h>
#include <oaidl.h>

namespace win32::com {

// `info` describes the vtable interface of `object` (TKIND_INTERFACE, not the dispatch view).
// Answers as IDispatch::Invoke does: DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT,
// DISP_E_PARAMNOTFOUND, DISP_E_PARAMNOTOPTIONAL, DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW with
// *argErr naming the argument, DISP_E_EXCEPTION with *excepInfo filled from the member's error
// information when the member fails.
HRESULT InvokeTyped(ITypeInfo* info, void* object, DISPID member, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                    EXCEPINFO* excepInfo, UINT* argErr);

}  // namespace win32::com
