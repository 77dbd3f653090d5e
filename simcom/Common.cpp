#include <algorithm>
#include <cwctype>

#include "SimCom.h"

namespace qsim {

HINSTANCE g_module = nullptr;

namespace {

ITypeLib* Library() {
    static ITypeLib* lib = [] {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(g_module, path, MAX_PATH);
        ITypeLib* l = nullptr;
        if (FAILED(LoadTypeLibEx(path, REGKIND_NONE, &l))) l = nullptr;
        return l;
    }();
    return lib;
}

class PointEnum final : public IEnumConnectionPoints, public Counted {
public:
    PointEnum(ComRef<Source> source, ULONG pos) : source_(std::move(source)), pos_(pos) {}
    QSIM_COUNTED
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IEnumConnectionPoints) {
            *out = static_cast<IEnumConnectionPoints*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        if (count > 0 && pos_ == 0 && source_) {
            out[0] = source_.AddRefed();
            n = 1;
            pos_ = 1;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        if (count == 0) return S_OK;
        bool had = pos_ == 0;
        pos_ = 1;
        return had && count == 1 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        pos_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** out) override {
        if (!out) return E_POINTER;
        *out = new PointEnum(source_, pos_);
        return S_OK;
    }

private:
    ComRef<Source> source_;
    ULONG pos_;
};

}  // namespace

ITypeInfo* TypeInfoOf(REFGUID guid, bool vtableSide) {
    struct Entry {
        GUID guid;
        bool vtable;
        ITypeInfo* info;
    };
    static std::vector<Entry> cache;
    for (const auto& e : cache)
        if (e.guid == guid && e.vtable == vtableSide) return e.info;
    ITypeLib* lib = Library();
    if (!lib) return nullptr;
    ITypeInfo* info = nullptr;
    if (FAILED(lib->GetTypeInfoOfGuid(guid, &info))) return nullptr;
    if (vtableSide) {
        TYPEATTR* attr = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&attr))) {
            bool dual = attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL);
            info->ReleaseTypeAttr(attr);
            HREFTYPE ref = 0;
            ITypeInfo* side = nullptr;
            if (dual && SUCCEEDED(info->GetRefTypeOfImplType(-1, &ref)) && SUCCEEDED(info->GetRefTypeInfo(ref, &side))) {
                info->Release();
                info = side;
            }
        }
    }
    cache.push_back({guid, vtableSide, info});
    return info;
}

HRESULT Failure(HRESULT code, const std::wstring& text) {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
        create->SetSource(const_cast<LPOLESTR>(L"QuilletSim"));
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return code;
}

BSTR NewBstr(const std::wstring& s) { return SysAllocStringLen(s.data(), static_cast<UINT>(s.size())); }
std::wstring Text(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }
std::wstring Upper(std::wstring s) {
    for (auto& c : s)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return s;
}

bool GetByName(IDispatch* obj, const wchar_t* name, VARIANT* out) {
    VariantInit(out);
    if (!obj) return false;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    if (FAILED(obj->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id))) return false;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return SUCCEEDED(obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &none, out,
                                 nullptr, nullptr));
}

std::wstring StringByName(IDispatch* obj, const wchar_t* name) {
    VARIANT v;
    if (!GetByName(obj, name, &v)) return {};
    std::wstring s;
    if (SUCCEEDED(VariantChangeType(&v, &v, 0, VT_BSTR))) s = Text(V_BSTR(&v));
    VariantClear(&v);
    return s;
}

void Source::Fire(DISPID id, std::vector<VARIANT> args) {
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    // A sink may unadvise while it is called.
    std::vector<ComRef<IDispatch>> sinks;
    for (auto& [cookie, sink] : sinks_) sinks.push_back(sink);
    ComRef<Source> keep(this);
    for (auto& sink : sinks) {
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO info{};
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &info, nullptr);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        VariantClear(&result);
    }
    for (auto& a : args) VariantClear(&a);
}

HRESULT Source::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}
HRESULT Source::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}
HRESULT Source::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    *out = owner_;
    if (!owner_) return E_UNEXPECTED;
    owner_->AddRef();
    return S_OK;
}
HRESULT Source::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie) return E_POINTER;
    ComRef<IDispatch> d;
    if (FAILED(sink->QueryInterface(iid_, d.PutVoid())) || !d) {
        if (FAILED(sink->QueryInterface(IID_IDispatch, d.PutVoid())) || !d) return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = next_++;
    sinks_[*cookie] = std::move(d);
    return S_OK;
}
HRESULT Source::Unadvise(DWORD cookie) { return sinks_.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION; }
HRESULT Source::EnumConnections(IEnumConnections** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT FindPoint(Source* source, REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!source || iid != source->Iid()) return CONNECT_E_NOCONNECTION;
    source->AddRef();
    *out = source;
    return S_OK;
}

HRESULT EnumPoints(Source* source, IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    *out = new PointEnum(ComRef<Source>(source), 0);
    return S_OK;
}

const PluginConfig* World::PluginFor(const std::wstring& programId) const {
    std::wstring key = Upper(programId);
    for (const auto& p : plugins)
        if (Upper(p.programId) == key) return &p;
    return nullptr;
}

WorkspaceConfig World::WorkspaceFor(const std::wstring& progId) const {
    auto it = workspaces.find(Upper(progId));
    return it == workspaces.end() ? WorkspaceConfig{} : it->second;
}

void World::Clear() {
    plugins.clear();
    workspaces.clear();
    fallbackInstalled = true;
    upload = download = launch = Outcome::Succeed;
    applyHandsBackUnits = true;
    applyAsksToClose = true;
    faults.clear();
    log.clear();
    unitsMade = 0;
    lastAttachedLink.Reset();
    lastLoadedDevice.Reset();
    lastAppliedUnits.Reset();
    lastWorkspaceText.clear();
    featureWindowCaption.clear();
    lastLaunchedFeature = lastLaunchOwner = 0;
}

World& TheWorld() {
    // Never destroyed: objects may outlive static destruction at process exit.
    static World* world = new World;
    return *world;
}

HRESULT Enter(const wchar_t* call) {
    World& w = TheWorld();
    w.log.emplace_back(call);
    auto it = w.faults.find(call);
    if (it == w.faults.end() || it->second == 0) return S_OK;
    if (it->second > 0) --it->second;
    w.log.back() += L" !";
    return Failure(kSimulatedFailure, std::wstring(L"Simulated failure of ") + call);
}

}  // namespace qsim
