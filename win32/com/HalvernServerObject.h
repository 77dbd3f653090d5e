#pragma once
// The COM object of the creatable class IHalvernServer: the dual interface _IHalvernServer over the
// system's IHalvernServer, its events through a connection point, class information and rich
// error information.
#include <windows.h>
#include <ocidl.h>

#include <memory>

#include "automation/Event.h"
#include "win32/com/ComRef.h"
#include "win32/com/Diagnostics.h"
#include "win32/com/EventConnectionPoint.h"
#include "LNSQuilletVexaProxy_h.h"

class IHalvernServer;

namespace win32::com {

class HalvernServerObject final : public _IHalvernServer,
                                  public IProvideClassInfo2,
                                  public ISupportErrorInfo,
                                  public IConnectionPointContainer,
                                  public IQuilletDiagnostics {
public:
    // A new object answering `riid`, as IClassFactory::CreateInstance hands it out.
    static HRESULT Create(REFIID riid, void** ppv);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excepInfo, UINT* argErr) override;

    HRESULT STDMETHODCALLTYPE StartApp(AppDevice** oLnsAppDevice, System** oLnsSystem, float* sLnsObjSvrVersion,
                                       VARIANT_BOOL* bSupportsFileType2Config, BSTR* sPlugInDescription,
                                       BSTR* sNVDeviceNameAddress, Collection** cCPsRefNVsCol, VARIANT_BOOL* bIsLNSPI,
                                       VARIANT_BOOL* pResult) override;
    HRESULT STDMETHODCALLTYPE RunFullAppView(LONG* pResult) override;
    HRESULT STDMETHODCALLTYPE IsPlugInExist(BSTR* sProgramID, VARIANT_BOOL* pResult) override;
    HRESULT STDMETHODCALLTYPE ExitApp() override;

    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    HRESULT STDMETHODCALLTYPE LiveGdiObjects(LONG* count) override;

private:
    HalvernServerObject();
    ~HalvernServerObject();
    HalvernServerObject(const HalvernServerObject&) = delete;
    HalvernServerObject& operator=(const HalvernServerObject&) = delete;

    // Reads the type information from the embedded type library and connects to the events.
    HRESULT Init();
    void RaiseOnAppExit();

    LONG refs_ = 1;
    ComRef<ITypeInfo> dispatchInfo_;  // what GetTypeInfo hands out and names are looked up in
    ComRef<ITypeInfo> vtableInfo_;    // the vtable view the members are called through
    ComRef<ITypeInfo> classInfo_;
    IID eventIid_ = IID_NULL;
    DISPID onAppExitId_ = DISPID_UNKNOWN;
    EventConnectionPoint events_;
    std::shared_ptr<IHalvernServer> server_;
    automation::Subscription exitSubscription_;
};

}  // namespace win32::com
