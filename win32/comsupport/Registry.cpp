#include "win32/comsupport/Registry.h"

#include <objbase.h>

namespace win32 {

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

RegistryKeys::RegistryKeys(HKEY root, const wchar_t* subkey) : root_(subkey ? nullptr : root), owned_(subkey != nullptr) {
    if (subkey && RegCreateKeyExW(root, subkey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &root_, nullptr) != ERROR_SUCCESS)
        root_ = nullptr;
}

RegistryKeys::~RegistryKeys() {
    if (owned_ && root_) RegCloseKey(root_);
}

LSTATUS RegistryKeys::Set(std::initializer_list<Value> values) {
    for (const auto& v : values) {
        const LSTATUS st = RegSetKeyValueW(root_, v.key.c_str(), v.name, REG_SZ, v.value.c_str(),
                                           static_cast<DWORD>((v.value.size() + 1) * sizeof(wchar_t)));
        if (st != ERROR_SUCCESS) return st;
    }
    return ERROR_SUCCESS;
}

LSTATUS RegistryKeys::SetClass(REFCLSID clsid, const std::wstring& progId, const std::wstring& name, const std::wstring& server,
                               REFGUID libId, const std::wstring& version, const wchar_t* extra) {
    const std::wstring id = GuidText(clsid), key = L"CLSID\\" + id;
    const LSTATUS st = Set({{key, nullptr, name},
                            {key + L"\\InprocServer32", nullptr, server},
                            {key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
                            {key + L"\\ProgID", nullptr, progId},
                            {key + L"\\Version", nullptr, version},
                            {key + L"\\TypeLib", nullptr, GuidText(libId)},
                            {progId, nullptr, name},
                            {progId + L"\\CLSID", nullptr, id}});
    return st != ERROR_SUCCESS || !extra ? st : Set({{key + L"\\" + extra, nullptr, L""}});
}

std::wstring RegistryKeys::Get(const std::wstring& key, const wchar_t* name) const {
    wchar_t value[1024] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(root_, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return {};
    return value;
}

void RegistryKeys::Remove(const std::wstring& key) { RegDeleteTreeW(root_, key.c_str()); }

bool RegistryKeys::HasSubkeys(const std::wstring& key) const {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root_, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    DWORD subkeys = 0;
    RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(k);
    return subkeys > 0;
}

void RegistryKeys::RemoveIfEmpty(const std::wstring& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root_, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    const LSTATUS r =
        RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(k);
    if (r == ERROR_SUCCESS && subkeys == 0 && values == 0) RegDeleteKeyW(root_, key.c_str());
}

}  // namespace win32
