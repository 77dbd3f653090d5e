#pragma once
// The COM object of the creatable class IHalvernServer: the dual interface _IHalvernServer over the
// system's IHalvernServer, its events through a connection point, class information and rich
// error information.
#include <windows.h>
#include <ocidl.h>

#include <memory>

#include "automation/Event.h"
#include "win32/com/Diagnostics.h"
#include "win32/comsupport/ComRef.h"
#include "win32/comsupport/Events.h"
#include "LNSQuilletVexaProxy_h.h"

class IHalvernServer;

namespace win32::com {

class HalvernServerObject final
    : public ComBase<_IHalvernServer, ClassInfoProvider, ISupportErrorInfo, IConnectionPointContainer, IQuilletDiagnostics> {
public:
    // A new object answering `riid`, as IClassFactory::CreateInstance hands it out.
    static HRESULT Create(REFIID riid, void** ppv);

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

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    HRESULT STDMETHODCALLTYPE LiveGdiObjects(LONG* count) override;

private:
    HalvernServerObject();
    ~HalvernServerObject() override;

    HRESULT ClassTypeInfo(ITypeInfo** info) override;
    const IID* DefaultSource() const override { return &eventIid_; }

    // Reads the type information from the embedded type library and connects to the events.
    HRESULT Init();
    void RaiseOnAppExit();

    Counted counted_;
    ComRef<ITypeInfo> dispatchInfo_;  // what GetTypeInfo hands out and names are looked up in
    ComRef<ITypeInfo> vtableInfo_;    // the vtable view the members are called through
    ComRef<ITypeInfo> classInfo_;
    IID eventIid_ = IID_NULL;
    DISPID onAppExitId_ = DISPID_UNKNOWN;
    ConnectionPoint events_;
    std::shared_ptr<IHalvernServer> server_;
    automation::Subscription exitSubscription_;
};

}  // namespace win32::com
