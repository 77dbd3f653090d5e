// Creating outside components through COM, and values crossing between VARIANT and automation::Variant.
#include <olectl.h>

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

LiveCount g_handedOut;

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

}  // namespace

LiveCount& HandedOut() { return g_handedOut; }
long LiveComObjects() { return g_handedOut.Now(); }

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

namespace {

ObjectRef ObjectIn(IUnknown* unk, bool dispatch) {
    if (dispatch) return WrapDispatch(static_cast<IDispatch*>(unk));
    if (auto own = UnwrapSystemObject(unk)) return own;
    ComRef<IDispatch> d;
    if (FAILED(unk->QueryInterface(IID_IDispatch, d.PutVoid())) || !d) automation::Raise(code::kTypeMismatch, u"Type mismatch");
    return WrapDispatch(d.Get());
}

void ObjectOut(const ObjectRef& obj, VARIANT* out) {
    V_VT(out) = VT_DISPATCH;
    V_DISPATCH(out) = ToDispatch(obj);
}

const ObjectBridge kObjects{ObjectIn, ObjectOut};

}  // namespace

Variant FromVariant(const VARIANT& v) { return win32::FromVariant(v, kObjects); }
void ToVariant(const Variant& in, VARIANT* out) { win32::ToVariant(in, out, kObjects); }

Var Var::Of(const Variant& v) {
    Var r;
    ToVariant(v, r.Ptr());
    return r;
}

}  // namespace win32::adapters
