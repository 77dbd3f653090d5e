#pragma once
// Shared pieces of the simulated COM components: reference counting, type-library-driven
// dispatch, errors, connection points and the process-wide simulated world.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <map>
#include <string>
#include <vector>

#include "QuilletSim.h"
#include "win32/adapters/ComRef.h"

namespace qsim {

using win32::ComRef;

extern HINSTANCE g_module;

// The type info of an interface or class of our library; dual interfaces give their vtable side.
ITypeInfo* TypeInfoOf(REFGUID guid, bool vtableSide = false);

// Reports a failure with its description through IErrorInfo and returns the code.
HRESULT Failure(HRESULT code, const std::wstring& text);
// The codes the Linux simulation raises, so that both builds fail alike.
inline constexpr HRESULT kSimulatedFailure = E_FAIL;
inline constexpr HRESULT kElementNotFound = static_cast<HRESULT>(0x800A8B09);
inline constexpr HRESULT kObjectNotSet = static_cast<HRESULT>(0x800A005B);

BSTR NewBstr(const std::wstring& s);
std::wstring Text(BSTR b);
std::wstring Upper(std::wstring s);

// Reads a property of any automation object by name; false when it cannot.
bool GetByName(IDispatch* obj, const wchar_t* name, VARIANT* out);
std::wstring StringByName(IDispatch* obj, const wchar_t* name);

class Counted {
public:
    virtual ~Counted() = default;

protected:
    ULONG Up() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG Down() {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

private:
    LONG refs_ = 1;
};

#define QSIM_COUNTED                                                 \
    ULONG STDMETHODCALLTYPE AddRef() override { return Up(); }       \
    ULONG STDMETHODCALLTYPE Release() override { return Down(); }

// IDispatch of one dual interface, driven by its type info.
template <class Itf>
class Dual : public Itf {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        ITypeInfo* ti = TypeInfoOf(__uuidof(Itf));
        if (!ti) return E_UNEXPECTED;
        ti->AddRef();
        *info = ti;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        ITypeInfo* ti = TypeInfoOf(__uuidof(Itf), true);
        if (!ti) return E_UNEXPECTED;
        return DispGetIDsOfNames(ti, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT* argErr) override {
        ITypeInfo* ti = TypeInfoOf(__uuidof(Itf), true);
        if (!ti) return E_UNEXPECTED;
        return DispInvoke(static_cast<Itf*>(this), ti, id, flags, params, result, info, argErr);
    }
};

// One outgoing interface of an object; sinks are called through IDispatch::Invoke.
class Source final : public IConnectionPoint, public Counted {
public:
    Source(IConnectionPointContainer* owner, const IID& iid) : owner_(owner), iid_(iid) {}
    void Orphan() { owner_ = nullptr; }
    const IID& Iid() const { return iid_; }
    // Arguments in declaration order.
    void Fire(DISPID id, std::vector<VARIANT> args = {});

    QSIM_COUNTED
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

private:
    IConnectionPointContainer* owner_;
    IID iid_;
    DWORD next_ = 1;
    std::map<DWORD, ComRef<IDispatch>> sinks_;
};

// Answers FindConnectionPoint and EnumConnectionPoints for one source.
HRESULT FindPoint(Source* source, REFIID iid, IConnectionPoint** out);
HRESULT EnumPoints(Source* source, IEnumConnectionPoints** out);

// Configuration and record of everything the simulated components do.
enum class Outcome { Succeed = 0, ReturnFalse = 1, Fail = 2 };

struct PluginConfig {
    std::wstring programId;
    std::wstring helpFile;
    std::wstring workspaceProgId;
    std::vector<std::pair<short, std::wstring>> features;
    long entryItems = 2;  // < 0: the entry has no collection
    bool accept = true;
    bool announceInsideLoadDevice = true;
};

struct WorkspaceConfig {
    bool needsUpload = true;
    bool unitsSupported = true;
    bool uploadReturns = true;
};

class PluginServer;
class QtyUnitsControl;

struct World {
    std::vector<PluginConfig> plugins;
    std::map<std::wstring, WorkspaceConfig> workspaces;  // by upper-cased ProgID
    bool fallbackInstalled = true;
    Outcome upload = Outcome::Succeed;
    Outcome download = Outcome::Succeed;
    Outcome launch = Outcome::Succeed;
    bool applyHandsBackUnits = true;
    bool applyAsksToClose = true;  // as a real units control does once OK has applied the units
    std::map<std::wstring, long> faults;  // call -> remaining count (< 0: always)
    std::vector<std::wstring> log;
    long liveServers = 0;
    long liveWorkspaces = 0;
    int unitsMade = 0;
    PluginServer* lastServer = nullptr;        // not owned; cleared when it goes
    QtyUnitsControl* lastUnitsControl = nullptr;
    ComRef<IDispatch> lastAttachedLink;
    ComRef<IDispatch> lastLoadedDevice;  // the device object last handed to LoadDevice
    ComRef<IDispatch> lastAppliedUnits;
    std::wstring lastWorkspaceText;
    std::wstring featureWindowCaption;
    long lastLaunchedFeature = 0;  // the arguments of the last LaunchFeature call
    long lastLaunchOwner = 0;

    const PluginConfig* PluginFor(const std::wstring& programId) const;
    WorkspaceConfig WorkspaceFor(const std::wstring& progId) const;
    void Clear();
};

World& TheWorld();

// Logs a call and answers the fault configured for it (S_OK when none).
HRESULT Enter(const wchar_t* call);

// Object makers used across the files.
IDispatch* NewUnits(const std::wstring& name);
IDispatch* NewCollection();
IEnumVARIANT* NewItemEnum(std::vector<VARIANT> items);  // takes the values
HRESULT CollectionAdd(IDispatch* collection, VARIANT item);
// Creators by class id; CLASS_E_CLASSNOTAVAILABLE for a class not theirs.
HRESULT CreateLns(REFCLSID clsid, REFIID iid, void** out);
HRESULT CreateServer(REFCLSID clsid, REFIID iid, void** out);
HRESULT CreateControl(REFCLSID clsid, REFIID iid, void** out);
HRESULT CreateConfig(REFCLSID clsid, REFIID iid, void** out);
void RaiseOnLastServer(int which, const std::wstring& progId);  // 0 download, 1 upload, 2 workspace
void RaiseOnLastUnitsControl(bool applied, const std::wstring& name);

// Class ids of our own classes.
extern const CLSID kClsidPluginServer, kClsidNetServDevice, kClsidAppDevice, kClsidSystem, kClsidCollection,
    kClsidControl, kClsidWorkspace, kClsidUnitsWorkspace, kClsidUnknownWorkspace, kClsidQtyUnits, kClsidUnits;

}  // namespace qsim
