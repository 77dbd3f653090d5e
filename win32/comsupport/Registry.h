#pragma once
// Self-registration: string values under one root of the registry's classes.
#include <windows.h>

#include <initializer_list>
#include <string>

namespace win32 {

std::wstring GuidText(REFGUID guid);

class RegistryKeys {
public:
    // `subkey` of `root`, opened (created) for reading and writing; none: `root` itself.
    explicit RegistryKeys(HKEY root, const wchar_t* subkey = nullptr);
    ~RegistryKeys();
    RegistryKeys(const RegistryKeys&) = delete;
    RegistryKeys& operator=(const RegistryKeys&) = delete;

    explicit operator bool() const { return root_ != nullptr; }

    struct Value {
        std::wstring key;
        const wchar_t* name;  // nullptr: the key's default value
        std::wstring value;
    };
    // Writes the values in order, creating their keys; stops at the first failure.
    LSTATUS Set(std::initializer_list<Value> values);
    // An apartment-threaded in-process server class and its ProgID; `extra` a flag subkey
    // ("Programmable", "Control") or none.
    LSTATUS SetClass(REFCLSID clsid, const std::wstring& progId, const std::wstring& name, const std::wstring& server,
                     REFGUID libId, const std::wstring& version, const wchar_t* extra = nullptr);
    // Empty when the key or the value is missing or not a string.
    std::wstring Get(const std::wstring& key, const wchar_t* name = nullptr) const;
    void Remove(const std::wstring& key);
    bool HasSubkeys(const std::wstring& key) const;
    // Removes a key that holds nothing any more.
    void RemoveIfEmpty(const std::wstring& key);

private:
    HKEY root_ = nullptr;
    bool owned_ = false;
};

}  // namespace win32
