// The server entry points: class objects and registration.
#include "SimCom.h"

namespace qsim {

const CLSID kClsidPluginServer = {0xA92F83C3, 0x5024, 0x4537, {0x8C, 0x26, 0x52, 0x26, 0xB0, 0xE2, 0x6A, 0x1C}};
const CLSID kClsidNetServDevice = {0xE0DC8C70, 0xB47A, 0x4809, {0x8F, 0x89, 0x52, 0x0F, 0x19, 0x9C, 0x5B, 0x48}};
const CLSID kClsidAppDevice = {0x93B45437, 0x2A25, 0x4EF4, {0xB0, 0xF5, 0x02, 0x44, 0xD0, 0xAA, 0x8B, 0xC5}};
const CLSID kClsidSystem = {0xE0A544EF, 0xF094, 0x4544, {0x9F, 0xB2, 0xFA, 0xE3, 0x57, 0x8B, 0xF2, 0x5D}};
const CLSID kClsidCollection = {0x7E6858C3, 0x8CBB, 0x4960, {0x88, 0x11, 0x94, 0xB1, 0xF7, 0x9A, 0x72, 0xFD}};
const CLSID kClsidControl = {0x3B5ACA94, 0xDC44, 0x4105, {0xB5, 0x85, 0x03, 0xA5, 0x6E, 0x7A, 0xB3, 0xBB}};
const CLSID kClsidWorkspace = {0xEB9EA913, 0x21C2, 0x4AB8, {0x91, 0x20, 0xC0, 0x89, 0x99, 0x7C, 0xC7, 0x7B}};
const CLSID kClsidUnitsWorkspace = {0xED4881EE, 0xC57C, 0x42A4, {0xA7, 0xE9, 0xBB, 0x76, 0x29, 0x37, 0x8E, 0x8E}};
const CLSID kClsidUnknownWorkspace = {0x0983BC9A, 0xEB03, 0x46B1, {0xA3, 0x46, 0xFF, 0xC5, 0x7B, 0x9E, 0x4D, 0xC7}};
const CLSID kClsidQtyUnits = {0x78F3F21A, 0xD911, 0x41F9, {0x86, 0x80, 0xCC, 0x71, 0xBA, 0x03, 0x55, 0xEA}};
const CLSID kClsidUnits = {0x7A612CCE, 0xFC87, 0x4288, {0x8A, 0xDF, 0x39, 0x25, 0xC9, 0x17, 0xAA, 0x2F}};

namespace {

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* progId;
    const wchar_t* name;
    bool control;
};

const ClassEntry kClasses[] = {
    {&kClsidPluginServer, L"QuilletSim.PluginServer", L"Simulated plug-in server", false},
    {&kClsidNetServDevice, L"QuilletSim.NetServDevice", L"Simulated network-services device", false},
    {&kClsidAppDevice, L"QuilletSim.AppDevice", L"Simulated LNS AppDevice", false},
    {&kClsidSystem, L"QuilletSim.System", L"Simulated LNS System", false},
    {&kClsidCollection, L"QuilletSim.Collection", L"Simulated automation collection", false},
    {&kClsidControl, L"QuilletSim.Control", L"Simulated world configuration", false},
    {&kClsidWorkspace, L"QuilletSim.Workspace", L"Simulated plug-in workspace", true},
    {&kClsidUnitsWorkspace, L"QuilletSim.UnitsWorkspace", L"Simulated plug-in workspace with units", true},
    {&kClsidUnknownWorkspace, L"CEAQuilletUnknownWS.Workspace", L"Simulated generic workspace", true},
    {&kClsidQtyUnits, L"QUCtl.QtyUnits", L"Simulated units control", true},
    {&kClsidUnits, L"QuilletSim.Units", L"Simulated units object", false},
};

const GUID kLibId = {0x3EB231A4, 0x59EF, 0x4E2A, {0xAC, 0x3A, 0xD6, 0xFF, 0x6D, 0xE4, 0xDB, 0x5B}};

HRESULT Create(REFCLSID clsid, REFIID iid, void** out) {
    for (auto creator : {CreateLns, CreateServer, CreateControl, CreateConfig}) {
        HRESULT hr = creator(clsid, iid, out);
        if (hr != CLASS_E_CLASSNOTAVAILABLE) return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

// Creation is a call of its own for the classes the system creates, so that it can be made to fail.
const wchar_t* CreationCall(const CLSID& clsid) {
    if (clsid == kClsidPluginServer) return L"PluginServer.Create";
    if (clsid == kClsidNetServDevice) return L"NetServDevice.Create";
    if (clsid == kClsidQtyUnits) return L"QtyUnits.Create";
    if (clsid == kClsidWorkspace || clsid == kClsidUnitsWorkspace || clsid == kClsidUnknownWorkspace) return L"Workspace.Create";
    return nullptr;
}

class Factory final : public IClassFactory, public Counted {
public:
    explicit Factory(const CLSID& clsid) : clsid_(clsid) {}
    QSIM_COUNTED
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (clsid_ == kClsidUnknownWorkspace && !TheWorld().fallbackInstalled) return REGDB_E_CLASSNOTREG;
        if (const wchar_t* call = CreationCall(clsid_)) {
            if (HRESULT hr = Enter(call); FAILED(hr)) return hr;
        }
        return Create(clsid_, iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    CLSID clsid_;
};

std::wstring GuidText(const GUID& g) {
    wchar_t text[64] = {};
    StringFromGUID2(g, text, 64);
    return text;
}

// Interfaces this library defines. The others in it carry the ids of the LNS object server, the
// automation runtime's collection, the plug-in server, its device object and its workspaces: their
// Interface keys belong to those products and are never written or removed here.
const IID kOwnedInterfaces[] = {
    {0xE644765E, 0x0419, 0x41B6, {0x98, 0x1C, 0x04, 0xFE, 0x4C, 0x35, 0xB2, 0xC8}},  // ISimFeature
    {0x8A2B841B, 0xC561, 0x429F, {0x99, 0x7E, 0x12, 0xEA, 0x1B, 0x08, 0x93, 0xD9}},  // ISimFeatureList
    {0xA647A858, 0x6042, 0x4C2B, {0xBD, 0x73, 0x19, 0xE4, 0x85, 0xDA, 0x1B, 0x76}},  // ISimPluginEntry
    {0x19909DC6, 0x5649, 0x4B78, {0x9B, 0xD0, 0x79, 0x80, 0xAA, 0x6E, 0x57, 0x93}},  // _ISimPluginServerEvents
    {0xAC2140FA, 0x111A, 0x41E6, {0xA4, 0x93, 0xD8, 0x35, 0xA2, 0x18, 0x8B, 0x72}},  // _ISimWorkspaceEvents
    {0x779963C7, 0xC5E0, 0x4A54, {0xA8, 0x52, 0x1B, 0x15, 0x84, 0xF5, 0x58, 0xF0}},  // ISimUnits
    {0x617CC2FE, 0x87C4, 0x4BBA, {0xBC, 0x4E, 0xD7, 0x6E, 0x3A, 0xCC, 0x4D, 0x3A}},  // ISimQtyUnits
    {0x83B9A4E2, 0x4961, 0x40F9, {0x92, 0x18, 0xCE, 0xD5, 0x3A, 0x79, 0x4A, 0x2A}},  // _ISimQtyUnitsEvents
    {0xBD822203, 0xF8CC, 0x47A1, {0xB9, 0xA1, 0x5B, 0x38, 0xA2, 0x03, 0xE2, 0xC8}},  // ISimControl
};

// The automation marshalers: pure dispatch interfaces and dual/oleautomation ones.
const wchar_t kPSDispatch[] = L"{00020420-0000-0000-C000-000000000046}";
const wchar_t kPSOAInterface[] = L"{00020424-0000-0000-C000-000000000046}";

const wchar_t* const kPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_module, path, MAX_PATH);
    return path;
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// HKEY_CURRENT_USER\Software\Classes, and nothing above it: a development machine may hold the
// real plug-in server and LNS software under the same class ids, machine-wide, and those keys must
// come through registering and unregistering the simulations untouched. Per-user keys shadow the
// machine's for this user only.
class UserClasses {
public:
    UserClasses() {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                            &root_, nullptr) != ERROR_SUCCESS)
            root_ = nullptr;
    }
    ~UserClasses() {
        if (root_) RegCloseKey(root_);
    }
    UserClasses(const UserClasses&) = delete;
    UserClasses& operator=(const UserClasses&) = delete;

    explicit operator bool() const { return root_ != nullptr; }

    bool Set(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
        HKEY k = nullptr;
        if (RegCreateKeyExW(root_, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS)
            return false;
        LONG r = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(k);
        return r == ERROR_SUCCESS;
    }

    // Empty when the key or the value is missing or not a string.
    std::wstring Get(const std::wstring& key, const wchar_t* name = nullptr) const {
        wchar_t value[1024] = {};
        DWORD size = sizeof(value) - sizeof(wchar_t);
        if (RegGetValueW(root_, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return {};
        return value;
    }

    void Remove(const std::wstring& key) { RegDeleteTreeW(root_, key.c_str()); }

    // Removes a key that holds nothing any more.
    void RemoveIfEmpty(const std::wstring& key) {
        HKEY k = nullptr;
        if (RegOpenKeyExW(root_, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
        DWORD subkeys = 0, values = 0;
        LONG r = RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                                  nullptr, nullptr);
        RegCloseKey(k);
        if (r == ERROR_SUCCESS && subkeys == 0 && values == 0) RegDeleteKeyW(root_, key.c_str());
    }

private:
    HKEY root_ = nullptr;
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
        if ((ours || server.empty()) && classes.Get(std::wstring(c.progId) + L"\\CLSID") == clsid)
            classes.Remove(c.progId);
    }
    const std::wstring lib = L"TypeLib\\" + GuidText(kLibId);
    if (SameFile(classes.Get(lib + L"\\1.0\\0\\" + kPlatform), path)) {
        classes.Remove(lib + L"\\1.0\\0\\" + kPlatform);
        classes.RemoveIfEmpty(lib + L"\\1.0\\0");
    }
    // The interfaces go with the last platform of the library: the other bitness may still use them.
    if (classes.Get(lib + L"\\1.0\\0\\win32").empty() && classes.Get(lib + L"\\1.0\\0\\win64").empty()) {
        for (const auto& iid : kOwnedInterfaces) {
            const std::wstring key = L"Interface\\" + GuidText(iid);
            if (classes.Get(key + L"\\TypeLib") == GuidText(kLibId)) classes.Remove(key);
        }
        classes.Remove(lib + L"\\1.0");
        classes.RemoveIfEmpty(lib);
    }
    for (const wchar_t* key : {L"CLSID", L"TypeLib", L"Interface"}) classes.RemoveIfEmpty(key);
    return S_OK;
}

HRESULT WriteForUser(UserClasses& classes, ITypeLib* lib, const std::wstring& path) {
    const std::wstring libId = GuidText(kLibId);
    for (const auto& c : kClasses) {
        std::wstring key = L"CLSID\\" + GuidText(*c.clsid);
        bool ok = classes.Set(key, nullptr, c.name) && classes.Set(key + L"\\InprocServer32", nullptr, path) &&
                  classes.Set(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
                  classes.Set(key + L"\\ProgID", nullptr, c.progId) && classes.Set(key + L"\\TypeLib", nullptr, libId) &&
                  classes.Set(key + L"\\Version", nullptr, L"1.0") && classes.Set(c.progId, nullptr, c.name) &&
                  classes.Set(std::wstring(c.progId) + L"\\CLSID", nullptr, GuidText(*c.clsid));
        if (ok && c.control) ok = classes.Set(key + L"\\Control", nullptr, L"");
        if (!ok) return SELFREG_E_CLASS;
    }

    BSTR doc = nullptr;
    lib->GetDocumentation(MEMBERID_NIL, nullptr, &doc, nullptr, nullptr);
    const std::wstring title = Text(doc);
    SysFreeString(doc);
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    const std::wstring libKey = L"TypeLib\\" + libId + L"\\1.0";
    if (!classes.Set(libKey, nullptr, title) || !classes.Set(libKey + L"\\FLAGS", nullptr, L"0") ||
        !classes.Set(libKey + L"\\HELPDIR", nullptr, folder) ||
        !classes.Set(libKey + L"\\0\\" + kPlatform, nullptr, path))
        return SELFREG_E_TYPELIB;

    for (const auto& iid : kOwnedInterfaces) {
        ITypeInfo* info = nullptr;
        if (FAILED(lib->GetTypeInfoOfGuid(iid, &info))) return SELFREG_E_TYPELIB;
        BSTR name = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        TYPEATTR* attr = nullptr;
        bool dispatchOnly = false;
        if (SUCCEEDED(info->GetTypeAttr(&attr))) {
            dispatchOnly = attr->typekind == TKIND_DISPATCH && !(attr->wTypeFlags & TYPEFLAG_FDUAL);
            info->ReleaseTypeAttr(attr);
        }
        info->Release();
        const std::wstring key = L"Interface\\" + GuidText(iid);
        const wchar_t* marshaler = dispatchOnly ? kPSDispatch : kPSOAInterface;
        bool ok = classes.Set(key, nullptr, Text(name)) && classes.Set(key + L"\\ProxyStubClsid", nullptr, marshaler) &&
                  classes.Set(key + L"\\ProxyStubClsid32", nullptr, marshaler) &&
                  classes.Set(key + L"\\TypeLib", nullptr, libId) &&
                  classes.Set(key + L"\\TypeLib", L"Version", L"1.0");
        SysFreeString(name);
        if (!ok) return SELFREG_E_TYPELIB;
    }
    return S_OK;
}

// The type library's keys are written by hand: RegisterTypeLib (and, under Wine, also
// RegisterTypeLibForUser) writes machine-wide, and for every interface of the library, the foreign
// ones included.
HRESULT RegisterForUser() {
    const std::wstring path = ModulePath();
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr)) return hr;
    UserClasses classes;
    hr = classes ? WriteForUser(classes, lib, path) : SELFREG_E_CLASS;
    lib->Release();
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
    for (const auto& c : kClasses) {
        if (*c.clsid == clsid) {
            auto* f = new Factory(clsid);
            HRESULT hr = f->QueryInterface(iid, out);
            f->Release();
            return hr;
        }
    }
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
    if (cmdLine && *cmdLine && CompareStringOrdinal(cmdLine, -1, L"user", -1, TRUE) != CSTR_EQUAL)
        return E_INVALIDARG;
    return install ? RegisterForUser() : UnregisterForUser();
}
