// The COM plumbing every class of the DLL shares: the member-table IDispatch, identity of the
// wrappers, how objects cross, errors and enumerators.
#include <algorithm>

#include "SimCom.h"
#include "outside/Picture.h"
#include "win32/comsupport/Enumerator.h"

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

ITypeLib* Library() {
    static ITypeLib* lib = [] {
        ITypeLib* l = nullptr;
        return SUCCEEDED(LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &l)) ? l : nullptr;
    }();
    return lib;
}

ObjectRef ObjectIn(IUnknown* unk, bool) { return FromCom(unk); }

void ObjectOut(const ObjectRef& obj, VARIANT* out) {
    V_VT(out) = VT_DISPATCH;
    V_DISPATCH(out) = ToCom(obj);
    auto f = dynamic_cast<ForeignRef*>(obj.get());
    if (f && !V_DISPATCH(out)) {  // an enumerator, say
        V_VT(out) = VT_UNKNOWN;
        V_UNKNOWN(out) = f->unk.AddRefed();
    }
}

const win32::ObjectBridge kObjects{ObjectIn, ObjectOut};

}  // namespace

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_module, path, MAX_PATH);
    return path;
}

HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** out) {
    if (out) *out = nullptr;
    return !out ? E_POINTER : Library() ? Library()->GetTypeInfoOfGuid(guid, out) : TYPE_E_CANTLOADLIBRARY;
}

const Variant& Args::operator[](std::size_t i) const {
    static const Variant empty;
    return i < in.size() ? in[i] : empty;
}

ComObject::ComObject(ObjectRef target, const Kind& kind)
    : target_(std::move(target)), kind_(kind), iids_(kind.iids), events_(this, kind.source ? *kind.source : IID_NULL) {
    if (target_) Wrappers()[dynamic_cast<const void*>(target_.get())] = this;
}

ComObject::~ComObject() {
    subscriptions_.clear();
    if (target_) {
        auto it = Wrappers().find(dynamic_cast<const void*>(target_.get()));
        if (it != Wrappers().end() && it->second == this) Wrappers().erase(it);
    }
}

void ComObject::Fire(DISPID id, std::vector<Variant> args) {
    if (!kind_.source) return;
    ComRef<IDispatch> keep(this);  // a sink may let go of us
    std::vector<VARIANT> reversed(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        VariantInit(&reversed[args.size() - 1 - i]);
        ToVariant(args[i], &reversed[args.size() - 1 - i]);
    }
    events_.Fire(id, reversed);
    for (auto& v : reversed) VariantClear(&v);
}

void* ComObject::Find(REFIID iid) {
    if (iid == kIidComObject) return this;
    wchar_t text[40] = {};
    StringFromGUID2(iid, text, 40);
    const BStr id = automation::UpperAscii(reinterpret_cast<const char16_t*>(text));
    const bool named = std::any_of(iids_.begin(), iids_.end(), [&](auto v) { return automation::UpperAscii(v) == id; });
    if (iid == IID_IUnknown || iid == IID_IDispatch || named) return static_cast<IDispatch*>(this);
    return kind_.source ? ComBase::Find(iid) : Extra(iid);
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
    return win32::IdsOfNames(kind_.members, names, count, ids);
}

HRESULT ComObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info, UINT*) {
    return Call(kind_.members, id, flags, params, result, info);
}

HRESULT ComObject::Call(std::span<const Member> members, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* info) {
    auto member = std::find_if(members.begin(), members.end(), [&](const Member& m) { return m.id == id; });
    if (member == members.end()) return DISP_E_MEMBERNOTFOUND;
    ComRef<IDispatch> keep(this);  // a listener to a notification may let go of us
    const UINT n = params ? params->cArgs : 0;
    try {
        Args a;
        a.put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        for (UINT i = n; i-- > 0;) {
            a.in.push_back(FromVariant(params->rgvarg[i]));
            // A left-out optional argument comes as an error value.
            if (a.in.back().Type() == automation::VarType::Error) a.in.back() = {};
        }
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

HRESULT ComObject::EnumConnectionPoints(IEnumConnectionPoints** out) { return events_.Enumerate(out); }

HRESULT ComObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) { return events_.Find(iid, out); }

HRESULT ComObject::ClassTypeInfo(ITypeInfo** out) { return TypeInfoOf(*kind_.clsid, out); }

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

Variant FromVariant(const VARIANT& v) { return win32::FromVariant(v, kObjects); }
void ToVariant(const Variant& in, VARIANT* out) { win32::ToVariant(in, out, kObjects); }

ObjectRef Enumerator(std::vector<Variant> items) {
    auto* e = win32::Enumerator<IEnumVARIANT, VARIANT, Variant>::Create(std::move(items), ToVariant);
    return std::make_shared<Foreign>(ComRef<IUnknown>::Adopt(e));
}

HRESULT Report(const automation::Error& e, EXCEPINFO* info) {
    const HRESULT hr = win32::ReportError(e.Code(), e.Description(), L"QuilletSim");
    return info ? win32::ExcepInfoFrom(e, info, L"QuilletSim") : hr;
}

}  // namespace qsim
