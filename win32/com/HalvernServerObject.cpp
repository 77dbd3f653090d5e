#include "win32/com/HalvernServerObject.h"

#include <olectl.h>

#include <new>
#include <vector>

#include "host/IHalvernServer.h"
#include "win32/adapters/Adapters.h"
#include "win32/com/ComEnumerator.h"
#include "win32/com/ComErrors.h"
#include "win32/com/ComText.h"
#include "win32/com/ServerModule.h"
#include "win32/com/TraceSettings.h"
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

HalvernServerObject::HalvernServerObject() : events_(this), server_(std::make_shared<IHalvernServer>()) {
    ServerModule::ObjectCreated();
}

HalvernServerObject::~HalvernServerObject() {
    exitSubscription_.Reset();
    server_.reset();
    ServerModule::ObjectDestroyed();
}

HRESULT HalvernServerObject::Init() {
    ComRef<ITypeLib> lib;
    HRESULT hr = ServerModule::LoadTypeLibrary(lib.Put());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = lib->GetTypeInfoOfGuid(IID__IHalvernServer, dispatchInfo_.Put()))) return hr;
    if (FAILED(hr = lib->GetTypeInfoOfGuid(CLSID_IHalvernServer, classInfo_.Put()))) return hr;

    // A dual interface is stored as its dispatch view; the vtable view hangs off it.
    TYPEATTR* attr = nullptr;
    if (FAILED(hr = dispatchInfo_->GetTypeAttr(&attr))) return hr;
    const TYPEKIND kind = attr->typekind;
    dispatchInfo_->ReleaseTypeAttr(attr);
    if (kind == TKIND_DISPATCH) {
        HREFTYPE ref = 0;
        if (FAILED(hr = dispatchInfo_->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref))) return hr;
        if (FAILED(hr = dispatchInfo_->GetRefTypeInfo(ref, vtableInfo_.Put()))) return hr;
    } else {
        vtableInfo_ = dispatchInfo_;
    }

    // The events are the class's default source interface.
    if (FAILED(hr = classInfo_->GetTypeAttr(&attr))) return hr;
    const UINT implCount = attr->cImplTypes;
    classInfo_->ReleaseTypeAttr(attr);
    ComRef<ITypeInfo> eventInfo;
    for (UINT i = 0; i < implCount && !eventInfo; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        if (FAILED(classInfo_->GetImplTypeFlags(i, &flags))) continue;
        const INT wanted = IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
        if ((flags & wanted) != wanted) continue;
        if (SUCCEEDED(classInfo_->GetRefTypeOfImplType(i, &ref))) classInfo_->GetRefTypeInfo(ref, eventInfo.Put());
    }
    if (!eventInfo) return TYPE_E_ELEMENTNOTFOUND;
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

HRESULT HalvernServerObject::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__IHalvernServer) *ppv = static_cast<_IHalvernServer*>(this);
    else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2) *ppv = static_cast<IProvideClassInfo2*>(this);
    else if (riid == IID_ISupportErrorInfo) *ppv = static_cast<ISupportErrorInfo*>(this);
    else if (riid == IID_IConnectionPointContainer) *ppv = static_cast<IConnectionPointContainer*>(this);
    else if (riid == kIidQuilletDiagnostics) *ppv = static_cast<IQuilletDiagnostics*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG HalvernServerObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG HalvernServerObject::Release() {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
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
        *pResult = server->StartApp(device, system, *sLnsObjSvrVersion, *bSupportsFileType2Config, FromBstr(*sPlugInDescription),
                                    FromBstr(*sNVDeviceNameAddress), properties, *bIsLNSPI);
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
        *pResult = server->IsPlugInExist(FromBstr(*sProgramID));
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

HRESULT HalvernServerObject::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = ComRef<ITypeInfo>(classInfo_).Detach();
    return S_OK;
}

HRESULT HalvernServerObject::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = eventIid_;
    return S_OK;
}

HRESULT HalvernServerObject::InterfaceSupportsErrorInfo(REFIID riid) { return riid == IID__IHalvernServer ? S_OK : S_FALSE; }

HRESULT HalvernServerObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (!points) return E_POINTER;
    *points = nullptr;
    try {
        std::vector<IConnectionPoint*> items{&events_};
        return ComEnumerator<IEnumConnectionPoints, IConnectionPoint*>::Create(items, IID_IEnumConnectionPoints, points);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT HalvernServerObject::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (riid != eventIid_) return CONNECT_E_NOCONNECTION;
    events_.AddRef();
    *point = &events_;
    return S_OK;
}

HRESULT HalvernServerObject::LiveGdiObjects(LONG* count) {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(win32::LiveGdiObjects());
    return S_OK;
}

}  // namespace win32::com
