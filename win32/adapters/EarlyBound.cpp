#include "win32/adapters/EarlyBound.h"

#include <ocidl.h>

#include <cwchar>
#include <string>

#include "win32/comsupport/TypeInfo.h"

namespace win32::adapters {

namespace {

constexpr unsigned kDispatchSlots = 7;  // IUnknown's three and IDispatch's four

ComRef<ITypeLib> OwnTypeLibrary(IUnknown* object) {
    ComRef<IProvideClassInfo> provider;
    if (FAILED(object->QueryInterface(IID_IProvideClassInfo, provider.PutVoid())) || !provider) return {};
    ComRef<ITypeInfo> cls;
    if (FAILED(provider->GetClassInfo(cls.Put())) || !cls) return {};
    ComRef<ITypeLib> lib;
    UINT index = 0;
    if (FAILED(cls->GetContainingTypeLib(lib.Put(), &index))) return {};
    return lib;
}

ComRef<ITypeLib> RegisteredTypeLibrary(REFIID iid) {
    wchar_t iidText[40] = {};
    if (!StringFromGUID2(iid, iidText, 40)) return {};
    const std::wstring key = std::wstring(L"Interface\\") + iidText + L"\\TypeLib";
    wchar_t libText[40] = {}, version[16] = {};
    DWORD size = sizeof libText;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, libText, &size) != ERROR_SUCCESS) return {};
    size = sizeof version;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), L"Version", RRF_RT_REG_SZ, nullptr, version, &size) != ERROR_SUCCESS)
        wcscpy(version, L"1.0");
    GUID libId{};
    if (FAILED(CLSIDFromString(libText, &libId))) return {};
    unsigned major = 1, minor = 0;
    swscanf(version, L"%x.%x", &major, &minor);
    ComRef<ITypeLib> lib;
    if (FAILED(LoadRegTypeLib(libId, static_cast<WORD>(major), static_cast<WORD>(minor), LOCALE_NEUTRAL, lib.Put()))) return {};
    return lib;
}

ComRef<ITypeInfo> Describe(IUnknown* object, REFIID iid) {
    for (auto lib : {OwnTypeLibrary(object), RegisteredTypeLibrary(iid)}) {
        ComRef<ITypeInfo> info;
        if (lib && SUCCEEDED(lib->GetTypeInfoOfGuid(iid, info.Put())))
            if (auto side = VtableSide(std::move(info))) return side;
    }
    return {};
}

}  // namespace

std::optional<EarlyBound> EarlyBound::Bind(IUnknown* object, REFIID iid) {
    if (!object) return std::nullopt;
    EarlyBound b;
    if (FAILED(object->QueryInterface(iid, b.itf_.PutVoid())) || !b.itf_) return std::nullopt;
    b.info_ = Describe(object, iid);
    if (!b.info_) return std::nullopt;
    return b;
}

Var EarlyBound::Call(unsigned position, std::vector<Var> args, std::u16string_view what) {
    TYPEATTR* attr = nullptr;
    Check(info_->GetTypeAttr(&attr), what);
    const WORD count = attr->cFuncs;
    info_->ReleaseTypeAttr(attr);
    const SHORT slot = static_cast<SHORT>((kDispatchSlots + position) * sizeof(void*));
    MEMBERID member = MEMBERID_NIL;
    INVOKEKIND kind = INVOKE_FUNC;
    for (UINT i = 0; i < count && member == MEMBERID_NIL; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info_->GetFuncDesc(i, &desc)) || !desc) continue;
        if (desc->oVft == slot) {
            member = desc->memid;
            kind = desc->invkind;
        }
        info_->ReleaseFuncDesc(desc);
    }
    if (member == MEMBERID_NIL) RaiseHresult(DISP_E_MEMBERNOTFOUND, nullptr, what);

    std::vector<VARIANT> raw;  // right to left; `args` keeps owning the values
    raw.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it) raw.push_back(*it->Ptr());
    DISPPARAMS params{raw.empty() ? nullptr : raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
    Var result;
    EXCEPINFO info{};
    UINT argErr = 0;
    SetErrorInfo(0, nullptr);
    HRESULT hr = info_->Invoke(itf_.Get(), member, static_cast<WORD>(kind), &params, result.Ptr(), &info, &argErr);
    if (FAILED(hr) && hr != DISP_E_EXCEPTION) {
        // A failing member leaves its text in the thread's error information.
        ComRef<IErrorInfo> error;
        if (GetErrorInfo(0, error.Put()) == S_OK && error) {
            info.scode = hr;
            error->GetDescription(&info.bstrDescription);
            hr = DISP_E_EXCEPTION;
        }
    }
    if (FAILED(hr)) RaiseHresult(hr, &info, what);
    return result;
}

}  // namespace win32::adapters
