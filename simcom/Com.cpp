// The COM plumbing every class of the DLL shares: the member-table IDispatch, identity of the
// wrappers, automation values, errors, the connection point and enumerators.
#include <algorithm>

#include "SimCom.h"
#include "outside/Picture.h"

namespace qsim {

HINSTANCE g_module = nullptr;

namespace {

// Answered by our own objects only, with the ComObject itself.
const IID kIidComObject = {0x5F0C2A8E, 0x31B7, 0x4C52, {0x9D, 0x1E, 0x6A, 0x40, 0x77, 0x2B, 0xC3, 0x19}};

// What an object from outside the simulation holds: the object as it came.
struct ForeignRef {
    explicit ForeignRef(ComRef<IUnknown> u) : unk(std::move(u)) {}
    virtual ~ForeignRef() = default;
    ComRef<IUnknown> unk;
};

class Foreign final : public automation::Object, public ForeignRef {
public:
    using ForeignRef::ForeignRef;
};

// A picture from outside: what a parameter declared as a picture takes.
class ForeignPicture final : public outside::IPictureDisp, public ForeignRef {
public:
    ForeignPicture(ComRef<IUnknown> unk, ComRef<IPicture> picture) : ForeignRef(std::move(unk)), picture_(std::move(picture)) {}
    std::int16_t Type() override {
        SHORT type = PICTYPE_UNINITIALIZED;
        if (FAILED(picture_->get_Type(&type))) automation::Raise(automation::code::kFail, u"The picture has no type");
        return type;
    }

private:
    ComRef<IPicture> picture_;
};

// The live wrapper of each sim object, by the sim object's address: one COM identity for it.
std::map<const void*, ComObject*>& Wrappers() {
    static auto* wrappers = new std::map<const void*, ComObject*>;
    return *wrappers;
}

BStr Text(BSTR b) { return b ? BStr(reinterpret_cast<const char16_t*>(b), SysStringLen(b)) : BStr(); }

ITypeLib* Library() {
    static ITypeLib* lib = [] {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(g_module, path, MAX_PATH);
        ITypeLib* l = nullptr;
        return SUCCEEDED(LoadTypeLibEx(path, REGKIND_NONE, &l)) ? l : nullptr;
    }();
    return lib;
}

class ItemEnum final : public Counted<IEnumVARIANT> {
public:
    ItemEnum(std::shared_ptr<const std::vector<Variant>> items, ULONG pos) : items_(std::move(items)), pos_(pos) {}
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        for (; n < count && pos_ < items_->size(); ++n, ++pos_) {
            VariantInit(&out[n]);
            ToVariant((*items_)[pos_], &out[n]);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const ULONG left = static_cast<ULONG>(items_->size()) - pos_;
        pos_ += std::min(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        pos_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        *out = new ItemEnum(items_, pos_);
        return S_OK;
    }

private:
    std::shared_ptr<const std::vector<Variant>> items_;
    ULONG pos_;
};

}  // namespace

// One outgoing interface of an object; sinks are called through IDispatch::Invoke.
class Source final : public Counted<IConnectionPoint> {
public:
    Source(IConnectionPointContainer* owner, const IID& iid) : owner_(owner), iid_(iid) {}
    void Orphan() { owner_ = nullptr; }

    // A sink's failure goes back to the source, which drops it; a sink may unadvise while called.
    void Fire(DISPID id, std::vector<VARIANT>& reversedArgs) {
        DISPPARAMS params{reversedArgs.data(), nullptr, static_cast<UINT>(reversedArgs.size()), 0};
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
    }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        if (!iid) return E_POINTER;
        *iid = iid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
        if (!out) return E_POINTER;
        *out = owner_;
        if (!owner_) return E_UNEXPECTED;
        owner_->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        if (!sink || !cookie) return E_POINTER;
        ComRef<IDispatch> d;
        if (FAILED(sink->QueryInterface(iid_, d.PutVoid())) || !d)
            if (FAILED(sink->QueryInterface(IID_IDispatch, d.PutVoid())) || !d) return CONNECT_E_CANNOTCONNECT;
        *cookie = next_++;
        sinks_[*cookie] = std::move(d);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override { return sinks_.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION; }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

private:
    IConnectionPointContainer* owner_;
    IID iid_;
    DWORD next_ = 1;
    std::map<DWORD, ComRef<IDispatch>> sinks_;
};

const wchar_t* W(const BStr& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** out) {
    if (out) *out = nullptr;
    return !out ? E_POINTER : Library() ? Library()->GetTypeInfoOfGuid(guid, out) : TYPE_E_CANTLOADLIBRARY;
}

const Variant& Args::operator[](std::size_t i) const {
    static const Variant empty;
    return i < in.size() ? in[i] : empty;
}

ComObject::ComObject(ObjectRef target, const Kind& kind) : target_(std::move(target)), kind_(kind), iids_(kind.iids) {
    if (kind.source) source_ = ComRef<Source>::Adopt(new Source(this, *kind.source));
    if (target_) Wrappers()[dynamic_cast<const void*>(target_.get())] = this;
}

ComObject::~ComObject() {
    subscriptions_.clear();
    if (target_) {
        auto it = Wrappers().find(dynamic_cast<const void*>(target_.get()));
        if (it != Wrappers().end() && it->second == this) Wrappers().erase(it);
    }
    if (source_) source_->Orphan();
}

void ComObject::Fire(DISPID id, std::vector<Variant> args) {
    if (!source_) return;
    ComRef<IDispatch> keep(this);  // a sink may let go of us
    std::vector<VARIANT> reversed(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        VariantInit(&reversed[args.size() - 1 - i]);
        ToVariant(args[i], &reversed[args.size() - 1 - i]);
    }
    source_->Fire(id, reversed);
    for (auto& v : reversed) VariantClear(&v);
}

HRESULT ComObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    wchar_t text[40] = {};
    StringFromGUID2(iid, text, 40);
    const BStr id = automation::UpperAscii(reinterpret_cast<const char16_t*>(text));
    const bool named = std::any_of(iids_.begin(), iids_.end(), [&](auto v) { return automation::UpperAscii(v) == id; });
    if (iid == IID_IUnknown || iid == IID_IDispatch || named) *out = static_cast<IDispatch*>(this);
    else if (iid == kIidComObject) *out = this;
    else if (kind_.source && iid == IID_IConnectionPointContainer) *out = static_cast<IConnectionPointContainer*>(this);
    else if (kind_.source && (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2))
        *out = static_cast<IProvideClassInfo2*>(this);
    else *out = Extra(iid);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG ComObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG ComObject::Release() {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT ComObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = kind_.typeInfo ? 1 : 0;
    return S_OK;
}

HRESULT ComObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    return index != 0 || !kind_.typeInfo ? DISP_E_BADINDEX : TypeInfoOf(*kind_.typeInfo, info);
}

HRESULT ComObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const BStr wanted = automation::UpperAscii(reinterpret_cast<const char16_t*>(names[0]));
    for (const auto& m : kind_.members)
        if (automation::UpperAscii(m.name) == wanted) ids[0] = m.id;
    return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT ComObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info, UINT*) {
    auto member = std::find_if(kind_.members.begin(), kind_.members.end(), [&](const Member& m) { return m.id == id; });
    if (member == kind_.members.end()) return DISP_E_MEMBERNOTFOUND;
    ComRef<IDispatch> keep(this);  // a listener to a notification may let go of us
    const UINT n = params ? params->cArgs : 0;
    try {
        Args a;
        a.put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        for (UINT i = n; i-- > 0;) a.in.push_back(FromVariant(params->rgvarg[i]));
        Variant r = member->run(*this, a);
        for (UINT i = 0; i < n; ++i) {
            VARIANT& v = params->rgvarg[n - 1 - i];
            if (V_VT(&v) != (VT_BYREF | VT_DISPATCH) || a.in[i].Type() != automation::VarType::Object) continue;
            ComRef<IDispatch> now = ComRef<IDispatch>::Adopt(ToCom(a.in[i].AsObject()));
            if (now.Get() == *V_DISPATCHREF(&v)) continue;
            if (*V_DISPATCHREF(&v)) (*V_DISPATCHREF(&v))->Release();
            *V_DISPATCHREF(&v) = now.Detach();
        }
        Called();
        if (result) {
            VariantInit(result);
            ToVariant(r, result);
        }
        return S_OK;
    } catch (const automation::Error& e) {
        Called();
        return Report(e, info);
    }
}

HRESULT ComObject::EnumConnectionPoints(IEnumConnectionPoints** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT ComObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!source_ || iid != *kind_.source) return CONNECT_E_NOCONNECTION;
    *out = source_.AddRefed();
    return S_OK;
}

HRESULT ComObject::GetClassInfo(ITypeInfo** out) { return TypeInfoOf(*kind_.clsid, out); }

HRESULT ComObject::GetGUID(DWORD kind, GUID* out) {
    if (!out) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    if (!kind_.source) return E_FAIL;
    *out = *kind_.source;
    return S_OK;
}

IDispatch* ToCom(const ObjectRef& obj) {
    if (!obj) return nullptr;
    if (auto f = dynamic_cast<ForeignRef*>(obj.get())) {
        IDispatch* d = nullptr;
        f->unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
        return d;
    }
    auto it = Wrappers().find(dynamic_cast<const void*>(obj.get()));
    if (it == Wrappers().end()) return NewWrapper(obj);
    it->second->AddRef();
    return it->second;
}

ObjectRef FromCom(IUnknown* unk) {
    if (!unk) return nullptr;
    ComObject* ours = nullptr;
    if (SUCCEEDED(unk->QueryInterface(kIidComObject, reinterpret_cast<void**>(&ours))) && ours) {
        ObjectRef target = ours->Target();
        ours->Release();
        return target;
    }
    ComRef<IPicture> picture;
    if (SUCCEEDED(unk->QueryInterface(IID_IPicture, picture.PutVoid())) && picture)
        return std::make_shared<ForeignPicture>(ComRef<IUnknown>(unk), std::move(picture));
    return std::make_shared<Foreign>(ComRef<IUnknown>(unk));
}

Variant FromVariant(const VARIANT& in) {
    VARIANT v;
    VariantInit(&v);
    if (FAILED(VariantCopyInd(&v, const_cast<VARIANT*>(&in))))
        automation::Raise(automation::code::kTypeMismatch, u"Type mismatch");
    Variant out;
    switch (V_VT(&v)) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_ERROR: break;  // a left-out optional argument comes as an error
        case VT_BOOL: out = Variant::FromBool(V_BOOL(&v) != VARIANT_FALSE); break;
        case VT_I2: out = Variant(static_cast<std::int16_t>(V_I2(&v))); break;
        case VT_R4: out = Variant(V_R4(&v)); break;
        case VT_R8: out = Variant(V_R8(&v)); break;
        case VT_BSTR: out = Variant(Text(V_BSTR(&v))); break;
        case VT_DISPATCH:
        case VT_UNKNOWN: out = Variant(FromCom(V_UNKNOWN(&v))); break;
        default:
            if (FAILED(VariantChangeType(&v, &v, 0, VT_I4))) {
                VariantClear(&v);
                automation::Raise(automation::code::kTypeMismatch, u"Type mismatch");
            }
            out = Variant(static_cast<std::int32_t>(V_I4(&v)));
    }
    VariantClear(&v);
    return out;
}

void ToVariant(const Variant& in, VARIANT* out) {
    using automation::VarType;
    switch (in.Type()) {
        case VarType::Bool:
            V_VT(out) = VT_BOOL;
            V_BOOL(out) = in.AsBool() ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VarType::I2:
            V_VT(out) = VT_I2;
            V_I2(out) = in.AsI2();
            break;
        case VarType::I4:
            V_VT(out) = VT_I4;
            V_I4(out) = in.AsI4();
            break;
        case VarType::R4:
            V_VT(out) = VT_R4;
            V_R4(out) = in.AsR4();
            break;
        case VarType::R8:
            V_VT(out) = VT_R8;
            V_R8(out) = in.AsR8();
            break;
        case VarType::Error:
            V_VT(out) = VT_ERROR;
            V_ERROR(out) = in.AsError().Code();
            break;
        case VarType::Str: {
            const BStr s = in.AsStr();
            V_VT(out) = VT_BSTR;
            V_BSTR(out) = SysAllocStringLen(W(s), static_cast<UINT>(s.size()));
            break;
        }
        case VarType::Object: {
            const ObjectRef obj = in.AsObject();
            V_VT(out) = VT_DISPATCH;
            V_DISPATCH(out) = ToCom(obj);
            auto f = dynamic_cast<ForeignRef*>(obj.get());
            if (f && !V_DISPATCH(out)) {  // an enumerator, say
                V_VT(out) = VT_UNKNOWN;
                V_UNKNOWN(out) = f->unk.AddRefed();
            }
            break;
        }
        default: break;  // Empty; byte arrays do not cross here
    }
}

ObjectRef Enumerator(std::vector<Variant> items) {
    auto shared = std::make_shared<const std::vector<Variant>>(std::move(items));
    return std::make_shared<Foreign>(ComRef<IUnknown>::Adopt(new ItemEnum(std::move(shared), 0)));
}

HRESULT Report(const automation::Error& e, EXCEPINFO* info) {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetDescription(const_cast<LPOLESTR>(W(e.Description())));
        create->SetSource(const_cast<LPOLESTR>(L"QuilletSim"));
        ComRef<IErrorInfo> error;
        create->QueryInterface(IID_IErrorInfo, error.PutVoid());
        SetErrorInfo(0, error.Get());
        create->Release();
    }
    if (!info) return e.Code();
    *info = EXCEPINFO{};
    info->scode = e.Code();
    info->bstrSource = SysAllocString(L"QuilletSim");
    info->bstrDescription = SysAllocString(W(e.Description()));
    return DISP_E_EXCEPTION;
}

}  // namespace qsim
