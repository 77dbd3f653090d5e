#include "win32/com/HalvernServerObject.h"

#include <olectl.h>

#include <new>
#include <vector>

#include "host/IHalvernServer.h"
#include "win32/adapters/Adapters.h"
#include "win32/com/ComErrors.h"
#include "win32/com/ServerModule.h"
#include "win32/com/TraceSettings.h"
#include "win32/comsupport/Automation.h"
#include "win32/comsupport/TypeInfo.h"
#include "win32/com/TypedDispatch.h"
#include "win32/ui/Win32Platform.h"

namespace win32::com {
namespace {

HRESULT BadPointer() { return ReportFailure(E_POINTER, u"Invalid pointer", IID__IHalvernServer); }

}  // namespace

HRESULT HalvernServerObject::Create(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return GuardCall(IID__IHalvernServer, [&]() -> HRESULT {
        ServerModule::EnsurePlatform();
        ApplyTraceSettings();
        auto obj = ComRef<HalvernServerObject>::Adopt(new HalvernServerObject());
        HRESULT hr = obj->Init();
        if (FAILED(hr)) return hr;
        return obj->QueryInterface(riid, ppv);
    });
}

HalvernServerObject::HalvernServerObject()
    : counted_(&ServerModule::Objects()),
      events_(this, IID_NULL, &ServerModule::Objects()),
      server_(std::make_shared<IHalvernServer>()) {}

HalvernServerObject::~HalvernServerObject() {
    exitSubscription_.Reset();
    server_.reset();
}

HRESULT HalvernServerObject::Init() {
    ComRef<ITypeLib> lib;
    HRESULT hr = ServerModule::LoadTypeLibrary(lib.Put());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = lib->GetTypeInfoOfGuid(IID__IHalvernServer, dispatchInfo_.Put()))) return hr;
    if (FAILED(hr = lib->GetTypeInfoOfGuid(CLSID_IHalvernServer, classInfo_.Put()))) return hr;

    // A dual interface is stored as its dispatch view; the vtable view hangs off it.
    vtableInfo_ = VtableSide(dispatchInfo_);
    // The events are the class's default source interface.
    ComRef<ITypeInfo> eventInfo = DefaultSourceOf(classInfo_.Get());
    if (!vtableInfo_ || !eventInfo) return TYPE_E_ELEMENTNOTFOUND;
    TYPEATTR* attr = nullptr;
    if (FAILED(hr = eventInfo->GetTypeAttr(&attr))) return hr;
    eventIid_ = attr->guid;
    eventInfo->ReleaseTypeAttr(attr);
    OLECHAR name[] = L"OnAppExit";
    LPOLESTR names[] = {name};
    if (FAILED(hr = eventInfo->GetIDsOfNames(names, 1, &onAppExitId_))) return hr;

    events_.SetInterface(eventIid_);
    exitSubscription_ = server_->OnAppExit.Subscribe([this] { RaiseOnAppExit(); });
    return S_OK;
}

void HalvernServerObject::RaiseOnAppExit() {
    // A sink may release the last reference to this object while it is being told.
    auto self = ComRef<HalvernServerObject>::Share(this);
    events_.Fire(onAppExitId_);
}

HRESULT HalvernServerObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT HalvernServerObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    *info = ComRef<ITypeInfo>(dispatchInfo_).Detach();
    return S_OK;
}

HRESULT HalvernServerObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    return dispatchInfo_->GetIDsOfNames(names, count, ids);
}

HRESULT HalvernServerObject::Invoke(DISPID member, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO* excepInfo, UINT* argErr) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    auto self = ComRef<HalvernServerObject>::Share(this);
    try {
        return InvokeTyped(vtableInfo_.Get(), static_cast<_IHalvernServer*>(this), member, lcid, flags, params, result, excepInfo,
                           argErr);
    } catch (...) {
        return E_OUTOFMEMORY;  // only the argument bookkeeping can throw here
    }
}

HRESULT HalvernServerObject::StartApp(AppDevice** oLnsAppDevice, System** oLnsSystem, float* sLnsObjSvrVersion,
                                      VARIANT_BOOL* bSupportsFileType2Config, BSTR* sPlugInDescription,
                                      BSTR* sNVDeviceNameAddress, Collection** cCPsRefNVsCol, VARIANT_BOOL* bIsLNSPI,
                                      VARIANT_BOOL* pResult) {
    auto self = ComRef<HalvernServerObject>::Share(this);
    auto server = server_;
    return GuardCall(IID__IHalvernServer, [&]() -> HRESULT {
        if (!pResult) return BadPointer();
        *pResult = VARIANT_FALSE;
        if (!oLnsAppDevice || !oLnsSystem || !sLnsObjSvrVersion || !bSupportsFileType2Config || !sPlugInDescription ||
            !sNVDeviceNameAddress || !cCPsRefNVsCol || !bIsLNSPI)
            return BadPointer();
        auto device = win32::adapters::WrapAppDevice(*oLnsAppDevice);
        auto system = win32::adapters::WrapSystem(*oLnsSystem);
        auto properties = win32::adapters::WrapCollection(*cCPsRefNVsCol);
        *pResult = server->StartApp(device, system, *sLnsObjSvrVersion, *bSupportsFileType2Config, BstrText(*sPlugInDescription),
                                    BstrText(*sNVDeviceNameAddress), properties, *bIsLNSPI);
        return S_OK;
    });
}

HRESULT HalvernServerObject::RunFullAppView(LONG* pResult) {
    auto self = ComRef<HalvernServerObject>::Share(this);
    auto server = server_;
    return GuardCall(IID__IHalvernServer, [&]() -> HRESULT {
        if (!pResult) return BadPointer();
        *pResult = 0;
        *pResult = server->RunFullAppView();
        return S_OK;
    });
}

HRESULT HalvernServerObject::IsPlugInExist(BSTR* sProgramID, VARIANT_BOOL* pResult) {
    auto self = ComRef<HalvernServerObject>::Share(this);
    auto server = server_;
    return GuardCall(IID__IHalvernServer, [&]() -> HRESULT {
        if (!pResult) return BadPointer();
        *pResult = VARIANT_FALSE;
        if (!sProgramID) return BadPointer();
        *pResult = server->IsPlugInExist(BstrText(*sProgramID));
        return S_OK;
    });
}

HRESULT HalvernServerObject::ExitApp() {
    auto self = ComRef<HalvernServerObject>::Share(this);
    auto server = server_;
    return GuardCall(IID__IHalvernServer, [&]() -> HRESULT {
        server->ExitApp();
        return S_OK;
    });
}

HRESULT HalvernServerObject::ClassTypeInfo(ITypeInfo** info) {
    *info = classInfo_.AddRefed();
    return S_OK;
}

HRESULT HalvernServerObject::InterfaceSupportsErrorInfo(REFIID riid) { return riid == IID__IHalvernServer ? S_OK : S_FALSE; }

HRESULT HalvernServerObject::EnumConnectionPoints(IEnumConnectionPoints** points) { return events_.Enumerate(points); }

HRESULT HalvernServerObject::FindConnectionPoint(REFIID riid, IConnectionPoint** point) { return events_.Find(riid, point); }

HRESULT HalvernServerObject::LiveGdiObjects(LONG* count) {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(win32::LiveGdiObjects());
    return S_OK;
}

}  // namespace win32::com
