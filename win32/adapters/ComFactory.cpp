// Creating outside components through COM, and values crossing between VARIANT and automation::Variant.
#include <olectl.h>

#include <atomic>

#include "automation/ComponentFactory.h"
#include "commands/CIconPicture.h"
#include "outside/PluginServer.h"
#include "win32/adapters/Adapters.h"
#include "win32/adapters/Internal.h"

namespace win32::adapters {

using automation::BStr;
using automation::ObjectRef;
using automation::Variant;
namespace code = automation::code;

namespace {

std::atomic<long> g_liveComObjects{0};

CLSID ParseClsid(std::u16string_view text) {
    BStr copy(text);
    CLSID id{};
    if (SUCCEEDED(CLSIDFromString(reinterpret_cast<LPOLESTR>(copy.data()), &id))) return id;
    return GUID_NULL;
}

ObjectRef CreateByComId(std::u16string_view id) {
    BStr copy(id);
    auto* text = reinterpret_cast<LPOLESTR>(copy.data());
    CLSID clsid{};
    HRESULT hr = !copy.empty() && copy.front() == u'{' ? CLSIDFromString(text, &clsid) : CLSIDFromProgID(text, &clsid);
    if (FAILED(hr)) automation::Raise(code::kClassNotRegistered, u"Class not registered: " + copy);
    ComRef<IUnknown> unk;
    SetErrorInfo(0, nullptr);
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unk.PutVoid());
    if (FAILED(hr)) {
        // A class that refuses to be created may say why through IErrorInfo.
        ComRef<IErrorInfo> info;
        BSTR text = nullptr;
        if (hr != REGDB_E_CLASSNOTREG && GetErrorInfo(0, info.Put()) == S_OK && info && SUCCEEDED(info->GetDescription(&text)) &&
            SysStringLen(text) > 0) {
            BStr description = BstrText(text);
            SysFreeString(text);
            throw automation::Error(static_cast<std::int32_t>(hr), std::move(description));
        }
        SysFreeString(text);
        RaiseHresult(hr, nullptr, copy);
    }
    ComRef<IDispatch> disp;
    if (FAILED(unk->QueryInterface(IID_IDispatch, disp.PutVoid())) || !disp)
        automation::Raise(code::kNoInterface, u"No such interface supported: IDispatch of " + copy);
    if (clsid == ParseClsid(outside::kPluginServerClsid)) return WrapPluginServer(disp.Get());
    if (clsid == ParseClsid(outside::kNetServDeviceClsid)) return WrapNetServDevice(disp.Get());
    return WrapHostedControl(unk.Get());
}

BStr ErrorText(SCODE sc) {
    switch (sc) {
        case DISP_E_PARAMNOTFOUND: return u"Argument not optional";
        case DISP_E_TYPEMISMATCH: return u"Type mismatch";
        default: return u"Error value";
    }
}

}  // namespace

CountedComObject::CountedComObject() { ++g_liveComObjects; }
CountedComObject::~CountedComObject() { --g_liveComObjects; }
long LiveComObjects() { return g_liveComObjects.load(); }

void InstallComFactory() { automation::Components().SetFallback(CreateByComId); }

// An OLE picture of one of the DLL's icons, as a picture parameter expects; none when the
// icon cannot be loaded.
IDispatch* NewIconPicture(int resourceId) {
    // The icon is a resource of the module this code is linked into (the DLL).
    HMODULE module = nullptr;
    if (resourceId <= 0 ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&NewIconPicture), &module))
        return nullptr;
    HICON icon =
        static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(resourceId), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (!icon) return nullptr;
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.picType = PICTYPE_ICON;
    desc.icon.hicon = icon;
    IDispatch* picture = nullptr;
    // A shared icon belongs to the system: the picture must not destroy it.
    if (FAILED(OleCreatePictureIndirect(&desc, IID_IPictureDisp, FALSE, reinterpret_cast<void**>(&picture)))) return nullptr;
    return picture;
}

IDispatch* ToDispatch(const ObjectRef& obj) {
    if (!obj) return nullptr;
    if (auto* icon = dynamic_cast<CIconPicture*>(obj.get())) return NewIconPicture(icon->ResourceId());
    if (auto* adapter = dynamic_cast<ComAdapter*>(obj.get())) {
        IDispatch* d = adapter->Dispatch();
        if (d) d->AddRef();
        return d;
    }
    return NewSystemObjectDispatch(obj);
}

Variant FromVariant(const VARIANT& v) {
    if (V_ISBYREF(&v)) {
        if (!V_BYREF(&v)) return {};
        Var plain;
        if (FAILED(VariantCopyInd(plain.Ptr(), const_cast<VARIANT*>(&v))))
            automation::Raise(code::kTypeMismatch, u"Type mismatch");
        return FromVariant(plain.Ref());
    }
    if (V_VT(&v) == (VT_ARRAY | VT_UI1)) {
        SAFEARRAY* sa = V_ARRAY(&v);
        automation::ByteArray bytes;
        if (sa && SafeArrayGetDim(sa) == 1) {
            LONG lo = 0, hi = -1;
            SafeArrayGetLBound(sa, 1, &lo);
            SafeArrayGetUBound(sa, 1, &hi);
            void* data = nullptr;
            if (hi >= lo && SUCCEEDED(SafeArrayAccessData(sa, &data))) {
                auto* b = static_cast<const std::uint8_t*>(data);
                bytes.assign(b, b + (hi - lo + 1));
                SafeArrayUnaccessData(sa);
            }
        } else if (sa) {
            automation::Raise(code::kTypeMismatch, u"Type mismatch");
        }
        return Variant(std::move(bytes));
    }
    switch (V_VT(&v)) {
        case VT_EMPTY:
        case VT_NULL: return {};
        case VT_BOOL: return Variant::FromBool(V_BOOL(&v) != VARIANT_FALSE);
        case VT_I2: return Variant(static_cast<std::int16_t>(V_I2(&v)));
        case VT_UI1: return Variant(static_cast<std::int16_t>(V_UI1(&v)));
        case VT_I1: return Variant(static_cast<std::int16_t>(V_I1(&v)));
        case VT_I4: return Variant(static_cast<std::int32_t>(V_I4(&v)));
        case VT_INT: return Variant(static_cast<std::int32_t>(V_INT(&v)));
        case VT_UI2: return Variant(static_cast<std::int32_t>(V_UI2(&v)));
        case VT_R4: return Variant(V_R4(&v));
        case VT_R8: return Variant(V_R8(&v));
        case VT_BSTR: return Variant(BstrText(V_BSTR(&v)));
        case VT_DISPATCH: return Variant(WrapDispatch(V_DISPATCH(&v)));
        case VT_UNKNOWN: {
            IUnknown* u = V_UNKNOWN(&v);
            if (!u) return Variant(ObjectRef());
            if (auto own = UnwrapSystemObject(u)) return Variant(own);
            ComRef<IDispatch> d;
            if (FAILED(u->QueryInterface(IID_IDispatch, d.PutVoid())) || !d)
                automation::Raise(code::kTypeMismatch, u"Type mismatch");
            return Variant(WrapDispatch(d.Get()));
        }
        case VT_ERROR: return Variant(automation::Error(V_ERROR(&v), ErrorText(V_ERROR(&v))));
        case VT_UI4:
        case VT_UINT:
        case VT_I8:
        case VT_UI8:
        case VT_CY:
        case VT_DATE:
        case VT_DECIMAL: {
            Var d;
            if (FAILED(VariantChangeType(d.Ptr(), const_cast<VARIANT*>(&v), 0, VT_R8)))
                automation::Raise(code::kTypeMismatch, u"Type mismatch");
            return Variant(V_R8(d.Ptr()));
        }
        default: automation::Raise(code::kTypeMismatch, u"Type mismatch");
    }
}

void ToVariant(const Variant& in, VARIANT* out) {
    if (!out) return;
    VariantClear(out);
    switch (in.Type()) {
        case automation::VarType::Empty: break;
        case automation::VarType::Bool:
            V_VT(out) = VT_BOOL;
            V_BOOL(out) = in.AsBool() ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case automation::VarType::I2:
            V_VT(out) = VT_I2;
            V_I2(out) = in.AsI2();
            break;
        case automation::VarType::I4:
            V_VT(out) = VT_I4;
            V_I4(out) = in.AsI4();
            break;
        case automation::VarType::R4:
            V_VT(out) = VT_R4;
            V_R4(out) = in.AsR4();
            break;
        case automation::VarType::R8:
            V_VT(out) = VT_R8;
            V_R8(out) = in.AsR8();
            break;
        case automation::VarType::Str: {
            BStr s = in.AsStr();
            BSTR b = SysAllocStringLen(reinterpret_cast<const wchar_t*>(s.data()), static_cast<UINT>(s.size()));
            if (!b) automation::Raise(code::kFail, u"Out of memory");
            V_VT(out) = VT_BSTR;
            V_BSTR(out) = b;
            break;
        }
        case automation::VarType::Object:
            V_VT(out) = VT_DISPATCH;
            V_DISPATCH(out) = ToDispatch(in.AsObject());
            break;
        case automation::VarType::Bytes: {
            const auto& bytes = in.AsBytes();
            SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
            if (!sa) automation::Raise(code::kFail, u"Out of memory");
            void* data = nullptr;
            if (!bytes.empty() && SUCCEEDED(SafeArrayAccessData(sa, &data))) {
                std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(data));
                SafeArrayUnaccessData(sa);
            }
            V_VT(out) = VT_ARRAY | VT_UI1;
            V_ARRAY(out) = sa;
            break;
        }
        case automation::VarType::Error:
            V_VT(out) = VT_ERROR;
            V_ERROR(out) = in.AsError().Code();
            break;
    }
}

}  // namespace win32::adapters
