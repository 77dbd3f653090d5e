// "QuilletSim.Control": how a test host configures the simulated world, injects faults and reads
// the call log.
#include "SimCom.h"

namespace qsim {

namespace {

class Control final : public Dual<ISimControl>, public Counted {
public:
    QSIM_COUNTED
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(ISimControl)) {
            *out = static_cast<ISimControl*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE Reset() override {
        TheWorld().Clear();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddPlugin(BSTR programId, BSTR helpFile, BSTR workspaceProgId, VARIANT_BOOL accept) override {
        PluginConfig p;
        p.programId = Text(programId);
        p.helpFile = Text(helpFile);
        p.workspaceProgId = Text(workspaceProgId);
        p.accept = accept != VARIANT_FALSE;
        auto& plugins = TheWorld().plugins;
        for (auto& existing : plugins)
            if (Upper(existing.programId) == Upper(p.programId)) {
                existing = p;
                return S_OK;
            }
        plugins.push_back(p);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddFeature(BSTR programId, short id, BSTR caption) override {
        PluginConfig* p = Find(programId);
        if (!p) return Failure(E_INVALIDARG, L"No plug-in for " + Text(programId));
        p->features.emplace_back(id, Text(caption));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetPluginOption(BSTR programId, BSTR option, VARIANT value) override {
        PluginConfig* p = Find(programId);
        if (!p) return Failure(E_INVALIDARG, L"No plug-in for " + Text(programId));
        std::wstring name = Upper(Text(option));
        VARIANT v;
        VariantInit(&v);
        if (name == L"ENTRYITEMS" && SUCCEEDED(VariantChangeType(&v, &value, 0, VT_I4))) {
            p->entryItems = V_I4(&v);
            return S_OK;
        }
        if (name == L"ANNOUNCEINSIDELOADDEVICE" && SUCCEEDED(VariantChangeType(&v, &value, 0, VT_BOOL))) {
            p->announceInsideLoadDevice = V_BOOL(&v) != VARIANT_FALSE;
            return S_OK;
        }
        return Failure(E_INVALIDARG, L"Unknown plug-in option " + Text(option));
    }
    HRESULT STDMETHODCALLTYPE ConfigureWorkspace(BSTR progId, VARIANT_BOOL needsUpload, VARIANT_BOOL unitsSupported,
                                                 VARIANT_BOOL uploadReturns) override {
        WorkspaceConfig c;
        c.needsUpload = needsUpload != VARIANT_FALSE;
        c.unitsSupported = unitsSupported != VARIANT_FALSE;
        c.uploadReturns = uploadReturns != VARIANT_FALSE;
        TheWorld().workspaces[Upper(Text(progId))] = c;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_FallbackInstalled(VARIANT_BOOL* value) override {
        if (!value) return E_POINTER;
        *value = TheWorld().fallbackInstalled ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_FallbackInstalled(VARIANT_BOOL value) override {
        TheWorld().fallbackInstalled = value != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetOutcome(BSTR operation, long outcome) override {
        if (outcome < 0 || outcome > 2) return Failure(E_INVALIDARG, L"Outcome is 0 (succeed), 1 (return false) or 2 (fail)");
        std::wstring op = Upper(Text(operation));
        World& w = TheWorld();
        Outcome o = static_cast<Outcome>(outcome);
        if (op == L"UPLOADDEVICE") w.upload = o;
        else if (op == L"DOWNLOADDEVICE") w.download = o;
        else if (op == L"LAUNCHFEATURE") w.launch = o;
        else return Failure(E_INVALIDARG, L"Unknown operation " + Text(operation));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Fail(BSTR call, long count) override {
        TheWorld().faults[Text(call)] = count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ClearFaults() override {
        TheWorld().faults.clear();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Log(BSTR* value) override {
        if (!value) return E_POINTER;
        std::wstring all;
        for (const auto& line : TheWorld().log) {
            if (!all.empty()) all += L"\n";
            all += line;
        }
        *value = NewBstr(all);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ClearLog() override {
        TheWorld().log.clear();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CountOf(BSTR call, long* value) override {
        if (!value) return E_POINTER;
        std::wstring c = Text(call);
        *value = 0;
        for (const auto& line : TheWorld().log)
            if (line == c) ++*value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MakeUnits(BSTR name, IDispatch** value) override {
        if (!value) return E_POINTER;
        *value = NewUnits(Text(name));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ApplyHandsBackUnits(VARIANT_BOOL* value) override {
        if (!value) return E_POINTER;
        *value = TheWorld().applyHandsBackUnits ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_ApplyHandsBackUnits(VARIANT_BOOL value) override {
        TheWorld().applyHandsBackUnits = value != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ApplyAsksToClose(VARIANT_BOOL* value) override {
        if (!value) return E_POINTER;
        *value = TheWorld().applyAsksToClose ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_ApplyAsksToClose(VARIANT_BOOL value) override {
        TheWorld().applyAsksToClose = value != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RaiseUnitsApplied(BSTR name) override {
        RaiseOnLastUnitsControl(true, Text(name));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RaiseCloseRequest() override {
        RaiseOnLastUnitsControl(false, {});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RaiseRequestUpload() override {
        RaiseOnLastServer(1, {});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RaiseRequestDownload() override {
        RaiseOnLastServer(0, {});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RaiseWorkspaceAvailable(BSTR progId) override {
        RaiseOnLastServer(2, Text(progId));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_LivePluginServers(long* value) override { return Put(value, TheWorld().liveServers); }
    HRESULT STDMETHODCALLTYPE get_LiveWorkspaceControls(long* value) override { return Put(value, TheWorld().liveWorkspaces); }
    HRESULT STDMETHODCALLTYPE get_LastAttachedLink(IDispatch** value) override {
        if (!value) return E_POINTER;
        *value = TheWorld().lastAttachedLink.AddRefed();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_LastAppliedUnits(IDispatch** value) override {
        if (!value) return E_POINTER;
        *value = TheWorld().lastAppliedUnits.AddRefed();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_LastLoadedDevice(IDispatch** value) override {
        if (!value) return E_POINTER;
        *value = TheWorld().lastLoadedDevice.AddRefed();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_LastWorkspaceText(BSTR* value) override {
        if (!value) return E_POINTER;
        *value = NewBstr(TheWorld().lastWorkspaceText);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_FeatureWindowCaption(BSTR* value) override {
        if (!value) return E_POINTER;
        *value = NewBstr(TheWorld().featureWindowCaption);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_LastLaunchedFeature(long* value) override {
        if (!value) return E_POINTER;
        *value = TheWorld().lastLaunchedFeature;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_LastLaunchOwner(long* value) override {
        if (!value) return E_POINTER;
        *value = TheWorld().lastLaunchOwner;
        return S_OK;
    }

private:
    static PluginConfig* Find(BSTR programId) {
        std::wstring key = Upper(Text(programId));
        for (auto& p : TheWorld().plugins)
            if (Upper(p.programId) == key) return &p;
        return nullptr;
    }
    static HRESULT Put(long* out, long v) {
        if (!out) return E_POINTER;
        *out = v;
        return S_OK;
    }
};

}  // namespace

HRESULT CreateConfig(REFCLSID clsid, REFIID iid, void** out) {
    if (clsid != kClsidControl) return CLASS_E_CLASSNOTAVAILABLE;
    auto* c = new Control;
    HRESULT hr = c->QueryInterface(iid, out);
    c->Release();
    return hr;
}

}  // namespace qsim
