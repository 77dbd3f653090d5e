// The four entry points of an in-process COM server.
#include <windows.h>
#include <objbase.h>

#include "win32/com/HalvernServerObject.h"
#include "win32/com/Registration.h"
#include "win32/com/ServerModule.h"
#include "LNSQuilletVexaProxy_h.h"

using win32::com::ServerModule;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    // Thread notifications stay on: the statically linked runtime keeps thread-local data.
    if (reason == DLL_PROCESS_ATTACH) ServerModule::SetInstance(module);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_IHalvernServer) return CLASS_E_CLASSNOTAVAILABLE;
    return win32::ClassFactory::Serve(win32::com::HalvernServerObject::Create, riid, ppv, &ServerModule::Objects(),
                                      &ServerModule::Locks());
}

STDAPI DllCanUnloadNow() { return ServerModule::ReleaseIfUnused() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return win32::com::RegisterServer(); }

STDAPI DllUnregisterServer() { return win32::com::UnregisterServer(); }
