// Hosts that end: each case is a whole host process that drives LNSQuilletVexaProxy.dll over the
// simulated components, lets go of everything, uninitializes COM and returns. The process's exit
// code is the verdict (tools/windows/windows.sh runs one process per case): a fault while the
// DLLs unload ends it with another code.
//   exit_host_test.exe list      the case names, one a line
//   exit_host_test.exe NAME      runs one case
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <olectl.h>

#include <initguid.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ComTestSupport.h"
#include "LNSQuilletVexaProxy_h.h"
#include "TestHarness.h"

using namespace qvtest;

namespace {

constexpr wchar_t kDll[] = L"LNSQuilletVexaProxy.dll";
constexpr wchar_t kDescription[] = L"Quillet Exit Test";
constexpr DISPID kOnAppExit = 1;
// "Object variable not set", as the automation runtime reports it.
constexpr HRESULT kObjectNotSet = static_cast<HRESULT>(0x800A005B);

// Checks that can only be made once COM is gone.
std::vector<std::function<void()>> g_afterUninitialize;
// Set when main returns: what is released after that is released by static destructors while
// the DLLs detach, under the loader lock, when the DLL an object lives in may already be gone.
bool g_processEnding = false;

void Note(const std::string& s) {
    std::printf("    %s\n", s.c_str());
    std::fflush(stdout);
}

// The host's own object standing in for another: counts the references it is given and answers
// every call through the object it stands for.
class CountedStandIn final : public OwnDispatch {
public:
    static ComRef<CountedStandIn> Create(IDispatch* inner, const IID& extra) {
        return ComRef<CountedStandIn>::Adopt(new CountedStandIn(inner, extra));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        if (g_processEnding) {
            std::printf("    FAULT: an object of another component was released while the process ended\n");
            std::fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        return OwnDispatch::Release();
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return inner_->GetTypeInfoCount(n); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override { return inner_->GetTypeInfo(i, l, t); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d) override {
        return inner_->GetIDsOfNames(r, n, c, l, d);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e,
                                     UINT* a) override {
        return inner_->Invoke(id, r, l, f, p, v, e, a);
    }
    // References held by others than the host's one.
    ULONG HeldByOthers() const { return refs_ - 1; }

private:
    CountedStandIn(IDispatch* inner, const IID& extra) : OwnDispatch(extra), inner_(ComRef<IDispatch>::Share(inner)) {}
    ComRef<IDispatch> inner_;
};

bool Responds(HWND w) {
    DWORD_PTR answer = 0;
    return w && SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) != 0;
}

// The simulated world, with the configuration-property collection handed over through a
// stand-in that shows who still holds it.
struct World : SimulatedWorld {
    ComRef<CountedStandIn> properties;
    World() : SimulatedWorld(L"QV.EXIT.DEVICE") {
        if (collection) properties = CountedStandIn::Create(collection.Get(), IID_Collection);
    }
    // Drops what the simulation keeps of the last session (its last loaded device among it),
    // so that what is left is held by the component alone; the plug-in stays configured.
    void ForgetLastSession() {
        Args none;
        CHECK_HR(CallByName(control.Get(), L"Reset", none), S_OK);
        AddPlugin(L"QV.EXIT.DEVICE", L"", L"QuilletSim.Workspace");
    }
};

bool g_insideNotification = false;

// One host session with an event sink on the object.
struct Session : HostSession {
    Session() : HostSession(&g_insideNotification) {}
    bool Start(World& w) { return w.Start(server.Get(), kDescription, L"Exit Node (1/9)", w.properties.Get()); }
};

// A session after an odd ending works as the first did.
void NextSessionWorks(World& world) {
    Session s;
    if (!s.Start(world)) return;
    HWND main = s.Open(kDescription);
    CHECK(main && TopLevel(L"QuilletVexaForm") == main);
    CHECK(Responds(main));
    CHECK_HR(s.server->ExitApp(), S_OK);
    CHECK_EQ(s.AppExits(), 1u);
    CHECK(FindShownWindow(kDescription) == nullptr);
}

// After the session: the component keeps the session's objects while anything of it is in use,
// lets go of them when COM asks whether it can be unloaded, and then says yes.
void ExpectHeldUntilAsked(World& world, ULONG heldDuringSession) {
    Pump(50);
    world.ForgetLastSession();
    const ULONG held = world.properties ? world.properties->HeldByOthers() : 0;
    Note("collection references held by the component after the session: " + std::to_string(held));
    CHECK(held > 0);
    CHECK(held <= heldDuringSession);
    CHECK_HR(CanUnloadNow(), S_OK);
    CHECK_EQ(world.properties ? world.properties->HeldByOthers() : 99u, 0u);
}

// ---- the cases -------------------------------------------------------------------------------

// A whole session ended by ExitApp; the host uninitializes COM and ends without asking the DLL
// whether it can go. (Under Wine, atl.dll's AtlAxWinInit initializes OLE once more and never
// uninitializes it, so CoUninitialize does not ask either and the DLLs detach at process exit.)
// The component still holds the session's objects then, and must leave them alone.
void SessionEndsAndTheProcessExits() {
    // The component's DLL is loaded before the simulation's, so it detaches after it.
    ComRef<IClassFactory> factory;
    CHECK_HR(CoGetClassObject(CLSID_IHalvernServer, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                              reinterpret_cast<void**>(factory.Put())),
             S_OK);
    factory.Reset();
    World world;
    ULONG heldOpen = 0;
    {
        Session s;
        if (!s.Start(world)) return;
        HWND main = s.Open(kDescription);
        heldOpen = world.properties->HeldByOthers();
        CHECK_HR(CanUnloadNow(), S_FALSE);
        CHECK_EQ(world.properties->HeldByOthers(), heldOpen);
        CHECK_HR(s.server->ExitApp(), S_OK);
        CHECK_EQ(s.AppExits(), 1u);
        CHECK(!main || !IsWindow(main) || !IsWindowVisible(main));
        CHECK_HR(CanUnloadNow(), S_FALSE);  // the object is still held
    }
    Pump(50);
    world.ForgetLastSession();
    const ULONG held = world.properties->HeldByOthers();
    Note("collection references held by the component after the object was released: " + std::to_string(held));
    CHECK(held > 0);
    auto properties = world.properties;
    g_afterUninitialize.push_back([properties, held] {
        const bool loaded = GetModuleHandleW(kDll) != nullptr;
        const ULONG now = properties->HeldByOthers();
        Note(std::string("after CoUninitialize the DLL is ") + (loaded ? "still loaded" : "unloaded") +
             "; collection references held by the component: " + std::to_string(now));
        // Asked and unloaded, it let go of everything; not asked, it keeps what it held.
        CHECK_EQ(now, loaded ? held : 0u);
        // The host keeps its reference past the end of main: released by nobody.
        properties->AddRef();
    });
}

// After a session, CoFreeUnusedLibraries unloads the DLL; the next object loads it afresh and a
// second session works as the first did.
void FreeUnusedLibrariesThenASecondSession() {
    World world;
    ULONG heldOpen = 0;
    const HMODULE first = [&] {
        Session s;
        if (!s.Start(world)) return HMODULE{};
        s.Open(kDescription);
        heldOpen = world.properties->HeldByOthers();
        CHECK_HR(CanUnloadNow(), S_FALSE);
        CHECK_HR(s.server->ExitApp(), S_OK);
        CHECK_EQ(s.AppExits(), 1u);
        return GetModuleHandleW(kDll);
    }();
    CHECK(first != nullptr);
    ExpectHeldUntilAsked(world, heldOpen);
    CoFreeUnusedLibrariesEx(0, 0);
    CHECK(GetModuleHandleW(kDll) == nullptr);

    // Loaded again: its window classes and platform are made anew.
    NextSessionWorks(world);
    LONG gdi = -1;
    if (auto diagnostics = NewDiagnostics()) diagnostics->LiveGdiObjects(&gdi);
    CHECK_EQ(gdi, 0L);
    ExpectHeldUntilAsked(world, heldOpen);
}

// The host lets go of the object while the display is shown: the window stays and works; the
// user closes it later, and the host ends.
void ReleasedWhileDisplayOpenThenClosed() {
    World world;
    HWND main = nullptr;
    ULONG heldOpen = 0;
    {
        Session s;
        if (!s.Start(world)) return;
        main = s.Open(kDescription);
        heldOpen = world.properties->HeldByOthers();
    }
    CHECK(main != nullptr);
    if (!main) return;
    Pump(100);
    CHECK(IsWindow(main) && IsWindowVisible(main));
    CHECK(Responds(main));
    // A menu command still runs. Releasing the object cleared the LNS device for the whole
    // component, so View > Refresh finds no device to ask and says so on the status bar.
    const UINT refresh = GetMenu(main) ? MenuCommand(GetMenu(main), L"&Refresh") : 0;
    CHECK(refresh != 0);
    CHECK_EQ(StatusText(main), std::wstring());
    if (refresh) SendMessageW(main, WM_COMMAND, MAKEWPARAM(refresh, 0), 0);
    Pump(50);
    CHECK_EQ(StatusText(main), std::wstring(L"Cannot communicate with device - please check connections"));
    CHECK_HR(CanUnloadNow(), S_FALSE);
    CHECK_EQ(world.properties->HeldByOthers(), heldOpen);
    CoFreeUnusedLibrariesEx(0, 0);
    CHECK(GetModuleHandleW(kDll) != nullptr);
    CHECK(Responds(main));

    PostMessageW(main, WM_CLOSE, 0, 0);
    Pump(200);
    CHECK(!IsWindow(main));
    ExpectHeldUntilAsked(world, heldOpen);
}

// The window is closed before the host opens the display: RunFullAppView fails as on a window
// that is gone, and the host goes on with a new object.
void ClosedBeforeRunFullAppView() {
    World world;
    // Through the dual interface, then through IDispatch as script hosts call it.
    for (bool dispatch : {false, true}) {
        Session s;
        if (!s.Start(world)) return;
        HWND loaded = TopLevel(L"QuilletVexaForm", {}, false);
        CHECK(loaded && !IsWindowVisible(loaded));
        if (loaded) PostMessageW(loaded, WM_CLOSE, 0, 0);
        Args none;
        Invoked run;
        LONG value = 7;
        if (dispatch) Call(run, s.server.Get(), kRunFullAppView, none);
        else run.excep.scode = run.hr = s.server->RunFullAppView(&value);
        Note(std::string("RunFullAppView after WM_CLOSE was posted (") + (dispatch ? "IDispatch" : "dual interface") +
             "): " + Hr(run.hr) + ", scode " + Hr(run.excep.scode) + ", " + Show(run.Description()) + ", OnAppExit " +
             std::to_string(s.AppExits()) + " time(s)");
        CHECK_HR(run.hr, dispatch ? DISP_E_EXCEPTION : kObjectNotSet);
        CHECK_HR(run.excep.scode, kObjectNotSet);
        Pump(100);
        CHECK(s.AppExits() <= 1u);
        CHECK(!loaded || !IsWindow(loaded) || !IsWindowVisible(loaded));
        CHECK_HR(s.server->ExitApp(), S_OK);
        CHECK(s.AppExits() <= 1u);
    }
    NextSessionWorks(world);
    ExpectHeldUntilAsked(world, ~0u);
}

// The host's code runs inside a plug-in server notification and ends the session there: the
// plug-in server asks for an upload, the upload fails, the component tells the user in a message
// box, and the host's timer, running in that box's loop, calls ExitApp.
void ExitAppInsideAPluginNotification() {
    World world;
    {
        Session s;
        if (!s.Start(world)) return;
        HWND main = s.Open(kDescription);
        if (!main) return;
        Args outcome;
        outcome.Str(L"UploadDevice").I4(1);
        CHECK_HR(CallByName(world.control.Get(), L"SetOutcome", outcome), S_OK);

        bool sawBox = false;
        HRESULT exitHr = E_PENDING, raised = E_PENDING;
        Args none;
        {
            ModalScript inside(L"#32770", L"", [&](HWND box) {
                sawBox = true;
                exitHr = s.server->ExitApp();
                // The box goes with its owner; one of no owner is the host's to close.
                if (IsWindow(box)) PostMessageW(box, WM_COMMAND, IDOK, 0);
                return true;
            });
            g_insideNotification = true;
            raised = CallByName(world.control.Get(), L"RaiseRequestUpload", none);
            g_insideNotification = false;
        }
        Note("RaiseRequestUpload: " + Hr(raised) + "; message box seen: " + (sawBox ? "yes" : "no") +
             "; ExitApp inside it: " + Hr(exitHr) + "; OnAppExit " + std::to_string(s.AppExits()) + " time(s)");
        CHECK_HR(raised, S_OK);
        CHECK(sawBox);
        CHECK_HR(exitHr, S_OK);
        CHECK_EQ(s.AppExits(), 1u);
        for (const auto& e : s.sink->received) CHECK(e.id == kOnAppExit && e.inside);
        CHECK_EQ(world.CountOf(L"NetServDevice.UploadDevice"), 1);
        Pump(100);
        CHECK(!IsWindow(main) || !IsWindowVisible(main));
        CHECK(TopLevel(L"#32770") == nullptr);

        // The object stays closed and answers as a closed one.
        CHECK_HR(s.server->ExitApp(), S_OK);
        CHECK_EQ(s.AppExits(), 1u);
        LONG value = 0;
        CHECK(FAILED(s.server->RunFullAppView(&value)));
        // The plug-in server of the closed window is gone: a further notification reaches nobody.
        CHECK_HR(CallByName(world.control.Get(), L"RaiseRequestUpload", none), S_OK);
        CHECK_EQ(world.CountOf(L"NetServDevice.UploadDevice"), 1);
    }
    Args outcome;
    outcome.Str(L"UploadDevice").I4(0);
    CHECK_HR(CallByName(world.control.Get(), L"SetOutcome", outcome), S_OK);
    NextSessionWorks(world);
    ExpectHeldUntilAsked(world, ~0u);
}

// The shipped DLL exports the four entry points of an in-process server and nothing else; the
// test hosts' graphics-object count comes through a private interface outside the type library.
void ExportsOnlyTheServerEntryPoints() {
    HMODULE dll = LoadLibraryW(kDll);
    CHECK(dll != nullptr);
    if (!dll) return;
    const auto* base = reinterpret_cast<const BYTE*>(dll);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::vector<std::string> names;
    DWORD functions = 0;
    if (dir.VirtualAddress) {
        const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
        const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
        for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.emplace_back(reinterpret_cast<const char*>(base + nameRvas[i]));
        functions = exports->NumberOfFunctions;
    }
    std::string list;
    for (const auto& n : names) list += (list.empty() ? "" : ", ") + n;
    Note("exports (" + std::string(sizeof(void*) == 8 ? "64" : "32") + "-bit): " + list + "; " + std::to_string(functions) +
         " functions");
    std::sort(names.begin(), names.end());
    CHECK(names ==
          (std::vector<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"}));
    CHECK_EQ(functions, 4u);

    ComRef<IDispatch> object = NewServer();
    auto diagnostics = As<win32::com::IQuilletDiagnostics>(object.Get(), win32::com::kIidQuilletDiagnostics);
    LONG live = -1;
    if (diagnostics) CHECK_HR(diagnostics->LiveGdiObjects(&live), S_OK);
    CHECK(live >= 0);
    ComRef<IProvideClassInfo> classInfo;
    if (object) object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(classInfo.Put()));
    ComRef<ITypeInfo> info;
    ComRef<ITypeLib> lib;
    UINT index = 0;
    if (classInfo && SUCCEEDED(classInfo->GetClassInfo(info.Put())) && info) info->GetContainingTypeLib(lib.Put(), &index);
    CHECK(lib);
    ComRef<ITypeInfo> privateInfo;
    if (lib) CHECK_HR(lib->GetTypeInfoOfGuid(win32::com::kIidQuilletDiagnostics, privateInfo.Put()), TYPE_E_ELEMENTNOTFOUND);
    diagnostics.Reset();
    object.Reset();
    FreeLibrary(dll);
}

struct NamedCase {
    const char* name;
    void (*run)();
};

const NamedCase kCases[] = {
    {"SessionEndsAndTheProcessExits", &SessionEndsAndTheProcessExits},
    {"FreeUnusedLibrariesThenASecondSession", &FreeUnusedLibrariesThenASecondSession},
    {"ReleasedWhileDisplayOpenThenClosed", &ReleasedWhileDisplayOpenThenClosed},
    {"ClosedBeforeRunFullAppView", &ClosedBeforeRunFullAppView},
    {"ExitAppInsideAPluginNotification", &ExitAppInsideAPluginNotification},
    {"ExportsOnlyTheServerEntryPoints", &ExportsOnlyTheServerEntryPoints},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "list") == 0) {
        for (const auto& c : kCases) std::printf("%s\n", c.name);
        return argc < 2 ? 2 : 0;
    }
    const NamedCase* chosen = nullptr;
    for (const auto& c : kCases)
        if (std::strcmp(argv[1], c.name) == 0) chosen = &c;
    if (!chosen) {
        std::printf("no case %s\n", argv[1]);
        return 2;
    }
    CHECK_HR(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CHECK(SUCCEEDED(OleInitialize(nullptr)));
    if (!SimulatedWorld::Available()) {
        Note("QuilletSimComponents.dll is not registered");
        ++Failures();
    } else {
        try {
            chosen->run();
        } catch (...) {
            Fail("unexpected exception", 0);
        }
    }
    Pump(50);
    OleUninitialize();
    CoUninitialize();
    for (auto& check : g_afterUninitialize) check();
    g_afterUninitialize.clear();
    std::printf("%s: %s\n", chosen->name, Failures() == 0 ? "checks passed" : "checks failed");
    std::fflush(stdout);
    g_processEnding = true;
    return Failures() == 0 ? 0 : 1;
}
