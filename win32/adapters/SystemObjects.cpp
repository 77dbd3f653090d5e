// Automation wrappers that carry the system's own objects out to COM callers, and back.
#include <cwctype>
#include <span>

#include "win32/adapters/Adapters.h"
#include "win32/adapters/Internal.h"
#include "win32/comsupport/Enumerator.h"

namespace win32::adapters {

using automation::BStr;
using automation::ObjectRef;
using automation::Variant;

namespace {

// Answered only by our wrappers, so that an object that goes out and comes back is the same object.
struct IWrappedObject : public IUnknown {
    static constexpr IID kIid = {0x5d3c62a1, 0x7e40, 0x4f0b, {0x9c, 0x52, 0x1b, 0x8e, 0x6a, 0x20, 0x44, 0x17}};
    virtual const ObjectRef& Target() = 0;
};

// The automation runtime's collection interface (vtable order Item, Add, Count, Remove, _NewEnum),
// answered by wrappers of collections.
struct ICollectionVtable : public IDispatch {
    static constexpr IID kIid = {0xA4C46780, 0x499F, 0x101B, {0xBB, 0x78, 0x00, 0xAA, 0x00, 0x38, 0x3C, 0xBB}};
    virtual HRESULT STDMETHODCALLTYPE Item(VARIANT* index, VARIANT* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Add(VARIANT* item, VARIANT* key, VARIANT* before, VARIANT* after) = 0;
    virtual HRESULT STDMETHODCALLTYPE Count(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove(VARIANT* index) = 0;
    virtual HRESULT STDMETHODCALLTYPE NewEnum(IUnknown** result) = 0;
};

struct NamedMember {
    const char16_t* name;
    DISPID id;
};
const NamedMember kCollectionMembers[] = {
    {u"Item", 0}, {u"Add", 1}, {u"Count", 2}, {u"Remove", 3}, {u"_NewEnum", DISPID_NEWENUM}};

bool Missing(const VARIANT* v) {
    return !v || (V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND) || V_VT(v) == VT_EMPTY;
}

class SystemObjectDispatch final : public ComBase<ICollectionVtable, IWrappedObject> {
public:
    explicit SystemObjectDispatch(ObjectRef obj)
        : obj_(std::move(obj)), collection_(std::dynamic_pointer_cast<automation::Collection>(obj_)) {}

    const ObjectRef& Target() override { return obj_; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return IdsOfNames(collection_ ? std::span(kCollectionMembers) : std::span<const NamedMember>(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                                     UINT*) override {
        if (!collection_) return DISP_E_MEMBERNOTFOUND;
        UINT n = params ? params->cArgs - params->cNamedArgs : 0;
        auto arg = [&](UINT i) -> VARIANT* { return i < n ? &params->rgvarg[params->cArgs - 1 - i] : nullptr; };
        Var scratch;
        if (!result) result = scratch.Ptr();
        switch (id) {
            case DISPID_VALUE:
                return n < 1 ? DISP_E_BADPARAMCOUNT : Run(info, [&] { Set(result, collection_->Item(FromVariant(*arg(0)))); });
            case 1:
                if (n < 1) return DISP_E_BADPARAMCOUNT;
                return Run(info, [&] {
                    collection_->Add(FromVariant(*arg(0)), Missing(arg(1)) ? BStr() : FromVariant(*arg(1)).AsStr());
                });
            case 2: return Run(info, [&] { Set(result, Variant(collection_->Count())); });
            case 3: return n < 1 ? DISP_E_BADPARAMCOUNT : Run(info, [&] { collection_->Remove(FromVariant(*arg(0))); });
            case DISPID_NEWENUM: {
                IUnknown* e = nullptr;
                HRESULT hr = NewEnum(&e);
                if (SUCCEEDED(hr)) {
                    VariantClear(result);
                    V_VT(result) = VT_UNKNOWN;
                    V_UNKNOWN(result) = e;
                }
                return hr;
            }
            default: return DISP_E_MEMBERNOTFOUND;
        }
    }

    HRESULT STDMETHODCALLTYPE Item(VARIANT* index, VARIANT* result) override {
        if (!index || !result) return E_POINTER;
        VariantInit(result);
        return Run(nullptr, [&] { Set(result, collection_->Item(FromVariant(*index))); });
    }
    HRESULT STDMETHODCALLTYPE Add(VARIANT* item, VARIANT* key, VARIANT*, VARIANT*) override {
        if (!item) return E_POINTER;
        return Run(nullptr, [&] { collection_->Add(FromVariant(*item), Missing(key) ? BStr() : FromVariant(*key).AsStr()); });
    }
    HRESULT STDMETHODCALLTYPE Count(LONG* count) override {
        if (!count) return E_POINTER;
        return Run(nullptr, [&] { *count = collection_->Count(); });
    }
    HRESULT STDMETHODCALLTYPE Remove(VARIANT* index) override {
        if (!index) return E_POINTER;
        return Run(nullptr, [&] { collection_->Remove(FromVariant(*index)); });
    }
    HRESULT STDMETHODCALLTYPE NewEnum(IUnknown** result) override {
        if (!result) return E_POINTER;
        *result = nullptr;
        return Run(nullptr, [&] {
            *result = Enumerator<IEnumVARIANT, VARIANT, Variant>::Create(
                collection_->Items(), [](const Variant& v, VARIANT* out) { ToVariant(v, out); }, &HandedOut());
        });
    }

private:
    ~SystemObjectDispatch() override = default;

    void* Find(REFIID iid) override { return collection_ || iid != ICollectionVtable::kIid ? ComBase::Find(iid) : nullptr; }

    static void Set(VARIANT* out, const Variant& v) {
        VariantClear(out);
        ToVariant(v, out);
    }
    template <class F>
    static HRESULT Run(EXCEPINFO* info, F&& f) {
        try {
            f();
            return S_OK;
        } catch (const automation::Error& e) {
            return ExcepInfoFrom(e, info);
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

    ObjectRef obj_;
    std::shared_ptr<automation::Collection> collection_;
    Counted counted_{&HandedOut()};
};

}  // namespace

IDispatch* NewSystemObjectDispatch(const ObjectRef& obj) {
    if (!obj) return nullptr;
    return static_cast<ICollectionVtable*>(new SystemObjectDispatch(obj));
}

ObjectRef UnwrapSystemObject(IUnknown* unk) {
    if (!unk) return nullptr;
    IWrappedObject* wrapped = nullptr;
    if (FAILED(unk->QueryInterface(IWrappedObject::kIid, reinterpret_cast<void**>(&wrapped))) || !wrapped) return nullptr;
    ObjectRef target = wrapped->Target();
    wrapped->Release();
    return target;
}

}  // namespace win32::adapters
