// A C++ host of LNSQuilletVexaProxy.dll, bound early through _IHalvernServer as a Visual Basic-style
// host binds with a reference to the type library. Its application manifest (cpp_host.exe.manifest,
// embedded by cpp_host.rc) names the component's side-by-side assembly and the simulated
// components', so it runs in a folder holding the two DLLs and their .sxs.manifest files, with
// nothing registered.
//   cpp_host.exe     prints "[ OK ] step" or "[FAIL] step" for each step of one session
#include <windows.h>
#include <ocidl.h>

#include <initguid.h>

#include "ComTestSupport.h"  // the simulated devices; a real host has the LNS objects of its own
#include "LNSQuilletVexaProxy_h.h"
#include "TestHarness.h"

using qvtest::ComRef;

namespace {

bool g_insideExitApp = false;

TEST_CASE(WholeSessionByProgId) {
    qvtest::SimulatedWorld world(L"QV.HOST.DEVICE");

    // Created by ProgID and asked for the dual interface: the vtable a compiled host calls.
    CLSID clsid{};
    CHECK_HR(CLSIDFromProgID(L"LNSQuilletVexaProxy.IHalvernServer", &clsid), S_OK);
    ComRef<_IHalvernServer> server;
    CHECK_HR(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__IHalvernServer, reinterpret_cast<void**>(server.Put())),
             S_OK);
    if (!server) return;

    // OnAppExit arrives through the connection point of __IHalvernServer.
    ComRef<IConnectionPointContainer> container;
    ComRef<IConnectionPoint> point;
    server->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Put()));
    CHECK_HR(container->FindConnectionPoint(DIID___IHalvernServer, point.Put()), S_OK);
    auto sink = qvtest::EventSink::Create(DIID___IHalvernServer, &g_insideExitApp);
    DWORD cookie = 0;
    CHECK_HR(point->Advise(sink.Get(), &cookie), S_OK);

    // Every argument goes by reference; the object never writes them back.
    AppDevice* device = nullptr;
    System* system = nullptr;
    Collection* properties = nullptr;
    world.device->QueryInterface(IID_AppDevice, reinterpret_cast<void**>(&device));
    world.system->QueryInterface(IID_System, reinterpret_cast<void**>(&system));
    world.collection->QueryInterface(IID_Collection, reinterpret_cast<void**>(&properties));
    float version = 3.2f;
    VARIANT_BOOL fileType2 = VARIANT_TRUE, isLnsPlugIn = VARIANT_TRUE, started = VARIANT_FALSE;
    BSTR description = SysAllocString(L"Host Example Display");
    BSTR address = SysAllocString(L"Example Node 1/4");
    CHECK_HR(
        server->StartApp(&device, &system, &version, &fileType2, &description, &address, &properties, &isLnsPlugIn, &started),
        S_OK);
    CHECK_EQ(started, VARIANT_TRUE);

    LONG opened = 0;
    CHECK_HR(server->RunFullAppView(&opened), S_OK);
    CHECK_EQ(opened, -1);  // the plug-in server took the device

    // OnAppExit comes while ExitApp is still running.
    g_insideExitApp = true;
    CHECK_HR(server->ExitApp(), S_OK);
    g_insideExitApp = false;
    CHECK_EQ(sink->received.size(), 1u);
    CHECK(!sink->received.empty() && sink->received[0].id == 1 && sink->received[0].inside);

    CHECK_HR(point->Unadvise(cookie), S_OK);
    SysFreeString(description);
    SysFreeString(address);
    for (IUnknown* o : {static_cast<IUnknown*>(device), static_cast<IUnknown*>(system), static_cast<IUnknown*>(properties)})
        if (o) o->Release();
}

// Tools that read the type library by its id (object browsers, typelib marshalling) find it
// through the manifest too.
TEST_CASE(TypeLibraryByItsId) {
    ComRef<ITypeLib> library;
    CHECK_HR(LoadRegTypeLib(LIBID_LNSQuilletVexaProxy, 1, 0, LOCALE_NEUTRAL, library.Put()), S_OK);
    ComRef<ITypeInfo> info;
    if (library) CHECK_HR(library->GetTypeInfoOfGuid(IID__IHalvernServer, info.Put()), S_OK);
}

}  // namespace

int main() {
    // The component lives on the host's window thread: a single-threaded apartment.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    const int rc = qvtest::RunAll("cpp_host");
    CoUninitialize();
    return rc;
}
