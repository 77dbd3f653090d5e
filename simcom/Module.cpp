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

bool SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return r == ERROR_SUCCESS;
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

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_module, path, MAX_PATH);
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(path, REGKIND_REGISTER, &lib);
    if (FAILED(hr)) return hr;
    lib->Release();
    std::wstring libId = GuidText(kLibId);
    for (const auto& c : kClasses) {
        std::wstring key = L"CLSID\\" + GuidText(*c.clsid);
        bool ok = SetValue(key, nullptr, c.name) && SetValue(key + L"\\InprocServer32", nullptr, path) &&
                  SetValue(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
                  SetValue(key + L"\\ProgID", nullptr, c.progId) && SetValue(key + L"\\TypeLib", nullptr, libId) &&
                  SetValue(key + L"\\Version", nullptr, L"1.0") && SetValue(c.progId, nullptr, c.name) &&
                  SetValue(std::wstring(c.progId) + L"\\CLSID", nullptr, GuidText(*c.clsid));
        if (ok && c.control) ok = SetValue(key + L"\\Control", nullptr, L"");
        if (!ok) return SELFREG_E_CLASS;
    }
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    for (const auto& c : kClasses) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(*c.clsid)).c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, c.progId);
    }
    UnRegisterTypeLib(kLibId, 1, 0, LOCALE_NEUTRAL, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    return S_OK;
}
