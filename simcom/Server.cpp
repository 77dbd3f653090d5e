// The simulated plug-in server: picks the plug-in by the device's program id, hands out its
// features and entry, and announces its workspace control through its connection point.
#include "SimCom.h"

namespace qsim {

namespace {

constexpr DISPID kRequestDownload = 23;
constexpr DISPID kRequestUpload = 21;
constexpr DISPID kWorkspaceAvailable = 22;

template <class T>
HRESULT Hand(T* obj, REFIID iid, void** out) {
    HRESULT hr = obj->QueryInterface(iid, out);
    obj->Release();
    return hr;
}

#define QSIM_DUAL_QI(Itf)                                                                 \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {           \
        if (!out) return E_POINTER;                                                       \
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Itf)) {        \
            *out = static_cast<Itf*>(this);                                               \
            AddRef();                                                                     \
            return S_OK;                                                                  \
        }                                                                                 \
        *out = nullptr;                                                                   \
        return E_NOINTERFACE;                                                             \
    }

class Feature final : public Dual<ISimFeature>, public Counted {
public:
    Feature(short id, std::wstring caption) : id_(id), caption_(std::move(caption)) {}
    QSIM_COUNTED
    QSIM_DUAL_QI(ISimFeature)
    HRESULT STDMETHODCALLTYPE get_Id(short* value) override {
        if (!value) return E_POINTER;
        if (HRESULT hr = Enter(L"Feature.Id"); FAILED(hr)) return hr;
        *value = id_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* value) override {
        if (!value) return E_POINTER;
        if (HRESULT hr = Enter(L"Feature.Caption"); FAILED(hr)) return hr;
        *value = NewBstr(caption_);
        return S_OK;
    }
    short IdValue() const { return id_; }

private:
    short id_;
    std::wstring caption_;
};

class FeatureList final : public Dual<ISimFeatureList>, public Counted {
public:
    explicit FeatureList(const PluginConfig* plugin) {
        if (plugin)
            for (const auto& [id, caption] : plugin->features) features_.push_back(ComRef<Feature>::Adopt(new Feature(id, caption)));
    }
    QSIM_COUNTED
    QSIM_DUAL_QI(ISimFeatureList)
    HRESULT STDMETHODCALLTYPE get_Count(short* value) override {
        if (!value) return E_POINTER;
        if (HRESULT hr = Enter(L"FeatureList.Count"); FAILED(hr)) return hr;
        *value = static_cast<short>(features_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Item(short featureId, IDispatch** value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        if (HRESULT hr = Enter(L"FeatureList.Item"); FAILED(hr)) return hr;
        for (auto& f : features_) {
            if (f->IdValue() == featureId) {
                *value = static_cast<ISimFeature*>(f.AddRefed());
                return S_OK;
            }
        }
        return Failure(kElementNotFound, L"The plug-in has no feature " + std::to_wstring(featureId));
    }
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        if (HRESULT hr = Enter(L"FeatureList.Features"); FAILED(hr)) return hr;
        std::vector<VARIANT> items;
        for (auto& f : features_) items.push_back(DispatchValue(static_cast<ISimFeature*>(f.AddRefed())));
        *value = NewItemEnum(std::move(items));
        return S_OK;
    }
    // The feature ids as a new automation collection.
    IDispatch* IdCollection() {
        IDispatch* c = NewCollection();
        for (auto& f : features_) {
            VARIANT v;
            VariantInit(&v);
            V_VT(&v) = VT_I2;
            V_I2(&v) = f->IdValue();
            CollectionAdd(c, v);
        }
        return c;
    }

private:
    static VARIANT DispatchValue(IDispatch* d) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = d;
        return v;
    }
    std::vector<ComRef<Feature>> features_;
};

class PluginEntry final : public Dual<ISimPluginEntry>, public Counted {
public:
    explicit PluginEntry(const PluginConfig& p) : programId_(p.programId), helpFile_(p.helpFile), items_(p.entryItems) {}
    QSIM_COUNTED
    QSIM_DUAL_QI(ISimPluginEntry)
    HRESULT STDMETHODCALLTYPE get_ProgramId(BSTR* value) override {
        if (!value) return E_POINTER;
        *value = NewBstr(programId_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR* value) override {
        if (!value) return E_POINTER;
        if (HRESULT hr = Enter(L"PluginEntry.HelpFile"); FAILED(hr)) return hr;
        *value = NewBstr(helpFile_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Items(IDispatch** value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        if (HRESULT hr = Enter(L"PluginEntry.Items"); FAILED(hr)) return hr;
        if (items_ < 0) return S_OK;
        IDispatch* c = NewCollection();
        for (long i = 1; i <= items_; ++i) {
            VARIANT v;
            VariantInit(&v);
            V_VT(&v) = VT_I4;
            V_I4(&v) = i;
            CollectionAdd(c, v);
        }
        *value = c;
        return S_OK;
    }

private:
    std::wstring programId_, helpFile_;
    long items_;
};

}  // namespace

class PluginServer final : public Dual<ISimPluginServer>, public IConnectionPointContainer, public IProvideClassInfo2, public Counted {
public:
    PluginServer() : source_(ComRef<Source>::Adopt(new Source(this, __uuidof(_ISimPluginServerEvents)))), features_(ComRef<FeatureList>::Adopt(new FeatureList(nullptr))) {
        World& w = TheWorld();
        ++w.liveServers;
        w.lastServer = this;
    }
    ~PluginServer() override {
        World& w = TheWorld();
        --w.liveServers;
        if (w.lastServer == this) w.lastServer = nullptr;
        source_->Orphan();
    }

    QSIM_COUNTED
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(ISimPluginServer))
            *out = static_cast<ISimPluginServer*>(this);
        else if (iid == IID_IConnectionPointContainer)
            *out = static_cast<IConnectionPointContainer*>(this);
        else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2)
            *out = static_cast<IProvideClassInfo2*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE LoadDevice(VARIANT device, IDispatch** features, VARIANT_BOOL, VARIANT_BOOL,
                                         VARIANT_BOOL* accepted) override {
        if (!accepted) return E_POINTER;
        if (HRESULT hr = Enter(L"PluginServer.LoadDevice"); FAILED(hr)) return hr;
        VARIANT plain;
        VariantInit(&plain);
        VariantCopyInd(&plain, &device);
        ComRef<IDispatch> dev;
        if (V_VT(&plain) == VT_DISPATCH) dev = ComRef<IDispatch>(V_DISPATCH(&plain));
        VariantClear(&plain);

        ForgetCurrent();
        *accepted = VARIANT_FALSE;
        const PluginConfig* plugin = TheWorld().PluginFor(StringByName(dev.Get(), L"ProgramId"));
        if (!plugin) return S_OK;
        const PluginConfig config = *plugin;  // announcing may run code that changes the world
        device_ = dev;
        TheWorld().lastLoadedDevice = dev;
        features_ = ComRef<FeatureList>::Adopt(new FeatureList(&config));
        plugin_ = ComRef<IDispatch>::Adopt(static_cast<ISimPluginEntry*>(new PluginEntry(config)));
        if (features) {
            if (*features) (*features)->Release();
            *features = features_->IdCollection();
        }
        *accepted = config.accept ? VARIANT_TRUE : VARIANT_FALSE;
        if (config.announceInsideLoadDevice) Announce(config.workspaceProgId);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFeatureWindowAppearance(BSTR caption, IDispatch*) override {
        if (HRESULT hr = Enter(L"PluginServer.SetFeatureWindowAppearance"); FAILED(hr)) return hr;
        TheWorld().featureWindowCaption = Text(caption);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LaunchFeature(short featureId, long ownerWindow) override {
        if (HRESULT hr = Enter(L"PluginServer.LaunchFeature"); FAILED(hr)) return hr;
        TheWorld().lastLaunchedFeature = featureId;
        TheWorld().lastLaunchOwner = ownerWindow;
        if (TheWorld().launch == Outcome::Fail)
            return Failure(kSimulatedFailure, L"The feature could not be launched: " + std::to_wstring(featureId));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_FeatureList(IDispatch** value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        if (HRESULT hr = Enter(L"PluginServer.FeatureList"); FAILED(hr)) return hr;
        *value = static_cast<ISimFeatureList*>(features_.AddRefed());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_CurrentPlugin(IDispatch** value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        if (HRESULT hr = Enter(L"PluginServer.CurrentPlugin"); FAILED(hr)) return hr;
        *value = plugin_.AddRefed();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_CurrentDevice(IDispatch** value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        if (HRESULT hr = Enter(L"PluginServer.CurrentDevice"); FAILED(hr)) return hr;
        *value = device_.AddRefed();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PluginForProgramID(BSTR programId, IDispatch** value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        if (HRESULT hr = Enter(L"PluginServer.PluginForProgramID"); FAILED(hr)) return hr;
        if (const PluginConfig* p = TheWorld().PluginFor(Text(programId))) *value = static_cast<ISimPluginEntry*>(new PluginEntry(*p));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        if (HRESULT hr = Enter(L"PluginServer.Reset"); FAILED(hr)) return hr;
        ForgetCurrent();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clear() override {
        if (HRESULT hr = Enter(L"PluginServer.Clear"); FAILED(hr)) return hr;
        ForgetCurrent();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override { return EnumPoints(source_.Get(), out); }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override { return FindPoint(source_.Get(), iid, out); }

    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = TypeInfoOf(kClsidPluginServer);
        if (!*out) return E_UNEXPECTED;
        (*out)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* out) override {
        if (!out) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *out = __uuidof(_ISimPluginServerEvents);
        return S_OK;
    }

    void Announce(const std::wstring& progId) {
        VARIANT arg;
        VariantInit(&arg);
        V_VT(&arg) = VT_BSTR;
        V_BSTR(&arg) = NewBstr(progId);
        source_->Fire(kWorkspaceAvailable, {arg});
    }
    void RequestUpload() { source_->Fire(kRequestUpload); }
    void RequestDownload() { source_->Fire(kRequestDownload); }

private:
    void ForgetCurrent() {
        features_ = ComRef<FeatureList>::Adopt(new FeatureList(nullptr));
        plugin_.Reset();
        device_.Reset();
    }

    ComRef<Source> source_;
    ComRef<FeatureList> features_;
    ComRef<IDispatch> plugin_;
    ComRef<IDispatch> device_;
};

void RaiseOnLastServer(int which, const std::wstring& progId) {
    PluginServer* s = TheWorld().lastServer;
    if (!s) return;
    ComRef<ISimPluginServer> keep(s);
    if (which == 0) s->RequestDownload();
    else if (which == 1) s->RequestUpload();
    else s->Announce(progId);
}

HRESULT CreateServer(REFCLSID clsid, REFIID iid, void** out) {
    if (clsid == kClsidPluginServer) return Hand(new PluginServer, iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace qsim
