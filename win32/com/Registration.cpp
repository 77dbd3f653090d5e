#include "win32/com/Registration.h"

#include <objbase.h>
#include <oleauto.h>

#include <cwchar>
#include <string>

#include "win32/com/ServerModule.h"
#include "win32/comsupport/ComRef.h"
#include "win32/comsupport/Registry.h"
#include "LNSQuilletVexaProxy_h.h"

namespace win32::com {
namespace {

#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

// Registry keys of a type library write the version and locale in hex.
std::wstring Hex(unsigned long v) {
    wchar_t buf[16] = {};
    swprintf(buf, 16, L"%lx", v);
    return buf;
}

std::wstring Directory(const std::wstring& path) {
    auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

HRESULT LoadOwnLibrary(ComRef<ITypeLib>& lib, TLIBATTR& attr) {
    HRESULT hr = ServerModule::LoadTypeLibrary(lib.Put());
    if (FAILED(hr)) return hr;
    TLIBATTR* a = nullptr;
    if (FAILED(hr = lib->GetLibAttr(&a))) return hr;
    attr = *a;
    lib->ReleaseTLibAttr(a);
    return S_OK;
}

HRESULT Register() {
    const std::wstring path = ServerModule::Path();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    ComRef<ITypeLib> lib;
    TLIBATTR attr{};
    HRESULT hr = LoadOwnLibrary(lib, attr);
    if (FAILED(hr)) return hr;

    const std::wstring version = std::to_wstring(attr.wMajorVerNum) + L"." + std::to_wstring(attr.wMinorVerNum);
    const LSTATUS st = RegistryKeys(HKEY_CLASSES_ROOT)
                           .SetClass(CLSID_IHalvernServer, kProgId, kProgId, path, attr.guid, version, L"Programmable");
    if (st != ERROR_SUCCESS) return HRESULT_FROM_WIN32(st);
    std::wstring helpDir = Directory(path);
    return RegisterTypeLib(lib.Get(), const_cast<LPOLESTR>(path.c_str()),
                           helpDir.empty() ? nullptr : const_cast<LPOLESTR>(helpDir.c_str()));
}

}  // namespace

HRESULT RegisterServer() {
    HRESULT hr;
    try {
        hr = Register();
    } catch (...) {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr)) UnregisterServer();
    return hr;
}

HRESULT UnregisterServer() {
    try {
        RegistryKeys classes(HKEY_CLASSES_ROOT);
        ComRef<ITypeLib> lib;
        TLIBATTR attr{};
        if (SUCCEEDED(LoadOwnLibrary(lib, attr))) {
            UnRegisterTypeLib(attr.guid, attr.wMajorVerNum, attr.wMinorVerNum, attr.lcid, kSysKind);
            // Left over when no other platform's registration remains under the version.
            const std::wstring libKey = L"TypeLib\\" + GuidText(attr.guid);
            const std::wstring versionKey = libKey + L"\\" + Hex(attr.wMajorVerNum) + L"." + Hex(attr.wMinorVerNum);
            const std::wstring lcidKey = versionKey + L"\\" + Hex(attr.lcid);
            if (!classes.HasSubkeys(lcidKey)) {
                classes.Remove(versionKey);
                if (!classes.HasSubkeys(libKey)) classes.Remove(libKey);
            }
        }
        classes.Remove(L"CLSID\\" + GuidText(CLSID_IHalvernServer));
        classes.Remove(kProgId);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace win32::com
