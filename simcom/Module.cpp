// The server entry points: class objects and registration.
#include "SimCom.h"
#include "win32/comsupport/Registry.h"

namespace qsim {

namespace {

using win32::GuidText;

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* progId;
    const wchar_t* name;
    bool control;
};

const ClassEntry kClasses[] = {
    {&__uuidof(::PluginServer), L"QuilletSim.PluginServer", L"Simulated plug-in server", false},
    {&__uuidof(::NetServDevice), L"QuilletSim.NetServDevice", L"Simulated network-services device", false},
    {&__uuidof(::AppDevice), L"QuilletSim.AppDevice", L"Simulated LNS AppDevice", false},
    {&__uuidof(::System), L"QuilletSim.System", L"Simulated LNS System", false},
    {&__uuidof(::Collection), L"QuilletSim.Collection", L"Simulated automation collection", false},
    {&__uuidof(::Control), L"QuilletSim.Control", L"Simulated world configuration", false},
    {&__uuidof(::Workspace), L"QuilletSim.Workspace", L"Simulated plug-in workspace", true},
    {&__uuidof(::UnitsWorkspace), L"QuilletSim.UnitsWorkspace", L"Simulated plug-in workspace with units", true},
    {&__uuidof(::UnknownWorkspace), L"CEAQuilletUnknownWS.Workspace", L"Simulated generic workspace", true},
    {&__uuidof(::VbWorkspace), L"QuilletSim.VbWorkspace", L"Simulated workspace, names from its default interface", true},
    {&__uuidof(::NamelessWorkspace), L"QuilletSim.NamelessWorkspace", L"Simulated workspace without names", true},
    {&__uuidof(::NamesOnlyWorkspace), L"QuilletSim.NamesOnlyWorkspace", L"Simulated control with workspace names only", true},
    {&__uuidof(::QtyUnits), L"QUCtl.QtyUnits", L"Simulated units control", true},
};

const GUID kLibId = {0x3EB231A4, 0x59EF, 0x4E2A, {0xAC, 0x3A, 0xD6, 0xFF, 0x6D, 0xE4, 0xDB, 0x5B}};

// A new object of the class, over a new sim object. The classes the system creates by their own
// ids come from the world's factory, so that their creation is a call of its own that can fail.
IDispatch* NewInstance(const ClassEntry& c) {
    if (*c.clsid == __uuidof(::AppDevice)) return NewWrapper(World().MakeAppDevice({}, {}));
    if (*c.clsid == __uuidof(::System)) return NewWrapper(World().MakeSystem());
    if (*c.clsid == __uuidof(::Collection)) return NewWrapper(std::make_shared<automation::Collection>());
    if (*c.clsid == __uuidof(::Control)) return NewConfiguration();
    const std::wstring id = c.control ? c.progId : GuidText(*c.clsid);
    ObjectRef obj = World().CreateComponent(reinterpret_cast<const char16_t*>(id.c_str()));
    if (!obj) automation::Raise(REGDB_E_CLASSNOTREG, u"Class not registered");
    return c.control ? NewControl(obj, *c.clsid) : NewWrapper(obj);
}

HRESULT Create(const ClassEntry& c, REFIID iid, void** out) {
    try {
        ComRef<IDispatch> made = ComRef<IDispatch>::Adopt(NewInstance(c));
        return made ? made->QueryInterface(iid, out) : E_UNEXPECTED;
    } catch (const automation::Error& e) {
        return Report(e);
    }
}

// The interfaces this library defines, all dispatch interfaces of ids of our own: the simulated
// objects stand in for other products under those products' ids, which the library leaves alone.
const std::pair<IID, const wchar_t*> kOwnedInterfaces[] = {
    {__uuidof(_ISimPluginServerEvents), L"_ISimPluginServerEvents"},
    {__uuidof(ISimQtyUnits), L"ISimQtyUnits"},
    {__uuidof(_ISimQtyUnitsEvents), L"_ISimQtyUnitsEvents"},
};
const wchar_t kPSDispatch[] = L"{00020420-0000-0000-C000-000000000046}";  // their marshaler

const wchar_t* const kPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";

bool SameFile(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// HKEY_CURRENT_USER\Software\Classes, and nothing above it: a development machine may hold the
// real plug-in server and LNS software under the same class ids, machine-wide, and those keys must
// come through registering and unregistering the simulations untouched. Per-user keys shadow the
// machine's for this user only.
struct UserClasses : win32::RegistryKeys {
    UserClasses() : RegistryKeys(HKEY_CURRENT_USER, L"Software\\Classes") {}
};

// Removes what this DLL, at this path, wrote for the current user; keys that now name another file
// (another build registered since) stay.
HRESULT UnregisterForUser() {
    UserClasses classes;
    if (!classes) return S_OK;
    const std::wstring path = ModulePath();
    for (const auto& c : kClasses) {
        const std::wstring clsid = GuidText(*c.clsid);
        const std::wstring key = L"CLSID\\" + clsid;
        const std::wstring server = classes.Get(key + L"\\InprocServer32");
        const bool ours = SameFile(server, path);
        if (ours) classes.Remove(key);
        if ((ours || server.empty()) && classes.Get(std::wstring(c.progId) + L"\\CLSID") == clsid) classes.Remove(c.progId);
    }
    const std::wstring lib = L"TypeLib\\" + GuidText(kLibId);
    if (SameFile(classes.Get(lib + L"\\1.0\\0\\" + kPlatform), path)) {
        classes.Remove(lib + L"\\1.0\\0\\" + kPlatform);
        classes.RemoveIfEmpty(lib + L"\\1.0\\0");
    }
    // The interfaces go with the last platform of the library: the other bitness may still use them.
    if (classes.Get(lib + L"\\1.0\\0\\win32").empty() && classes.Get(lib + L"\\1.0\\0\\win64").empty()) {
        for (const auto& [iid, name] : kOwnedInterfaces) {
            const std::wstring key = L"Interface\\" + GuidText(iid);
            if (classes.Get(key + L"\\TypeLib") == GuidText(kLibId)) classes.Remove(key);
        }
        classes.Remove(lib + L"\\1.0");
        classes.RemoveIfEmpty(lib);
    }
    for (const wchar_t* key : {L"CLSID", L"TypeLib", L"Interface"}) classes.RemoveIfEmpty(key);
    return S_OK;
}

HRESULT WriteForUser(UserClasses& classes, const std::wstring& path) {
    const std::wstring libId = GuidText(kLibId);
    for (const auto& c : kClasses)
        if (classes.SetClass(*c.clsid, c.progId, c.name, path, kLibId, L"1.0", c.control ? L"Control" : nullptr) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    const std::wstring libKey = L"TypeLib\\" + libId + L"\\1.0";
    LSTATUS st = classes.Set({{libKey, nullptr, L"Quillet simulated outside components"},
                              {libKey + L"\\FLAGS", nullptr, L"0"},
                              {libKey + L"\\HELPDIR", nullptr, path.substr(0, path.find_last_of(L'\\'))},
                              {libKey + L"\\0\\" + kPlatform, nullptr, path}});
    for (const auto& [iid, name] : kOwnedInterfaces) {
        const std::wstring key = L"Interface\\" + GuidText(iid);
        if (st == ERROR_SUCCESS)
            st = classes.Set({{key, nullptr, name},
                              {key + L"\\ProxyStubClsid", nullptr, kPSDispatch},
                              {key + L"\\ProxyStubClsid32", nullptr, kPSDispatch},
                              {key + L"\\TypeLib", nullptr, libId},
                              {key + L"\\TypeLib", L"Version", L"1.0"}});
    }
    return st == ERROR_SUCCESS ? S_OK : SELFREG_E_TYPELIB;
}

// The type library's keys are written by hand: RegisterTypeLib (and, under Wine, also
// RegisterTypeLibForUser) writes machine-wide.
HRESULT RegisterForUser() {
    UserClasses classes;
    const HRESULT hr = classes ? WriteForUser(classes, ModulePath()) : SELFREG_E_CLASS;
    if (FAILED(hr)) UnregisterForUser();
    return hr;
}

}  // namespace

}  // namespace qsim

using namespace qsim;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const auto& c : kClasses)
        if (*c.clsid == clsid) return win32::ClassFactory::Serve([&c](REFIID i, void** o) { return Create(c, i, o); }, iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

// The simulated world lives as long as the process: the DLL stays loaded.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }

// Registration is per user only, whichever way it is asked for:
//   regsvr32 /n /i:user QuilletSimComponents.dll     (and regsvr32 /u /n /i:user to remove it)
//   regsvr32 QuilletSimComponents.dll                (the same per-user registration)
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return RegisterForUser(); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return UnregisterForUser(); }

// "user" (or nothing) is the only scope: there is no machine-wide registration to ask for.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR cmdLine) {
    if (cmdLine && *cmdLine && CompareStringOrdinal(cmdLine, -1, L"user", -1, TRUE) != CSTR_EQUAL) return E_INVALIDARG;
    return install ? RegisterForUser() : UnregisterForUser();
}
