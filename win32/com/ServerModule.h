#pragma once
// What the DLL keeps for its whole life: its module handle, the count of live objects and server
// locks, and the one-time set-up of the platform the system draws on.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "win32/comsupport/ComBase.h"

namespace win32::com {

inline constexpr wchar_t kProgId[] = L"LNSQuilletVexaProxy.IHalvernServer";
// The source named in the error information of failed calls.
inline constexpr wchar_t kErrorSource[] = L"LNSQuilletVexaProxy.IHalvernServer";

class ServerModule {
public:
    static void SetInstance(HINSTANCE module);
    static HINSTANCE Instance();
    // Full path of the DLL file.
    static std::wstring Path();

    // Every COM object the DLL hands out counts itself while it lives; and the server locks.
    static LiveCount& Objects();
    static LiveCount& Locks();
    // No live object, no lock and no display still open (its window procedures live in this DLL).
    static bool CanUnload();
    // What DllCanUnloadNow answers. Objects of other DLLs and the platform's windows must not be
    // left for static destructors, which run under the loader lock when those DLLs may already be
    // gone: once nothing is in use they are let go of here, and the answer is yes only when
    // nothing is left. The next object starts from a fresh platform.
    static bool ReleaseIfUnused();

    // Once per process, before the first object: the Win32 platform and the COM component factory.
    // A failure propagates and the next creation tries again.
    static void EnsurePlatform();

    // The type library embedded in this DLL.
    static HRESULT LoadTypeLibrary(ITypeLib** lib);
};

}  // namespace win32::com
