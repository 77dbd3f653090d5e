#pragma once
// BSTR <-> automation strings. wchar_t is 16 bits on Windows, so the code units carry over as they are.
#include <oleauto.h>

#include <new>
#include <string_view>

#include "automation/Types.h"

namespace win32::com {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "BSTR code units are 16 bits");

// A null BSTR is the empty string.
inline automation::BStr FromBstr(BSTR s) {
    if (!s) return {};
    return automation::BStr(reinterpret_cast<const char16_t*>(s), SysStringLen(s));
}

// Owned by the caller; throws std::bad_alloc when the string cannot be allocated.
inline BSTR ToBstr(std::u16string_view s) {
    const OLECHAR* data = s.empty() ? L"" : reinterpret_cast<const OLECHAR*>(s.data());
    BSTR b = SysAllocStringLen(data, static_cast<UINT>(s.size()));
    if (!b) throw std::bad_alloc();
    return b;
}

}  // namespace win32::com
