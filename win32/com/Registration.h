#pragma once
// Self-registration of the DLL: the class with its ProgID and the embedded type library.
#include <windows.h>

namespace win32::com {

// Writes the class key (in-process server, apartment threading, ProgID, type library), the ProgID
// and the type library. A failure removes what was written and is returned.
HRESULT RegisterServer();

// Removes the class, the ProgID and the type library; what is already gone is no failure.
HRESULT UnregisterServer();

}  // namespace win32::com
