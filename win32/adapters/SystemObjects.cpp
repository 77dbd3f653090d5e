// Automation wrappers that carry the system's own objects out to COM callers, and back.
#include <cwctype>

#include "win32/adapters/Adapters.h"
#include "win32/adapters/Internal.h"

namespace win32::adapters {

using automation::BStr;
using automation::ObjectRef;
using automation::Variant;

namespace {

// Answered only by our wrappers, so that an object that goes out and comes back is the same object.
const IID kWrappedObjectIid = {0x5d3c62a1, 0x7e40, 0x4f0b, {0x9c, 0x52, 0x1b, 0x8e, 0x6a, 0x20, 0x44, 0x17}};
// The automation runtime's collection interface; its vtable order is Item, Add, Count, Remove, _NewEnum.
const IID kCollectionIid = {0xA4C46780, 0x499F, 0x101B, {0xBB, 0x78, 0x00, 0xAA, 0x00, 0x38, 0x3C, 0xBB}};

struct IWrappedObject : public IUnknown {
    virtual const ObjectRef& Target() = 0;
};

struct ICollectionVtable : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Item(VARIANT* index, VARIANT* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Add(VARIANT* item, VARIANT* key, VARIANT* before, VARIANT* after) = 0;
    virtual HRESULT STDMETHODCALLTYPE Count(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove(VARIANT* index) = 0;
    virtual HRESULT STDMETHODCALLTYPE NewEnum(IUnknown** result) = 0;
};

HRESULT Fail(const automation::Error& e, EXCEPINFO* info) {
    if (info) {
        *info = EXCEPINFO{};
        info->scode = e.Code();
        const BStr& d = e.Description();
        info->bstrDescription = SysAllocStringLen(reinterpret_cast<const wchar_t*>(d.data()), static_cast<UINT>(d.size()));
        return DISP_E_EXCEPTION;
    }
    return e.Code() < 0 ? static_cast<HRESULT>(e.Code()) : E_FAIL;
}

bool Missing(const VARIANT* v) {
    return !v || (V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND) || V_VT(v) == VT_EMPTY;
}

class VariantEnum final : public IEnumVARIANT {
public:
    VariantEnum(std::shared_ptr<const std::vector<Variant>> items, std::size_t pos) : items_(std::move(items)), pos_(pos) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IEnumVARIANT) {
            *out = static_cast<IEnumVARIANT*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        try {
            for (; n < count && pos_ < items_->size(); ++n, ++pos_) {
                VariantInit(&out[n]);
                ToVariant((*items_)[pos_], &out[n]);
            }
        } catch (const automation::Error& e) {
            return Fail(e, nullptr);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        std::size_t left = items_->size() - pos_;
        pos_ += std::min<std::size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        pos_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        *out = new VariantEnum(items_, pos_);
        return S_OK;
    }

private:
    ~VariantEnum() = default;
    LONG refs_ = 1;
    std::shared_ptr<const std::vector<Variant>> items_;
    std::size_t pos_;
    CountedComObject counted_;
};

class SystemObjectDispatch final : public ICollectionVtable, public IWrappedObject {
public:
    explicit SystemObjectDispatch(ObjectRef obj)
        : obj_(std::move(obj)), collection_(std::dynamic_pointer_cast<automation::Collection>(obj_)) {}

    const ObjectRef& Target() override { return obj_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || (collection_ && iid == kCollectionIid))
            *out = static_cast<ICollectionVtable*>(this);
        else if (iid == kWrappedObjectIid) *out = static_cast<IWrappedObject*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

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
        if (!names || !ids) return E_POINTER;
        if (count == 0) return S_OK;
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        if (!collection_) return DISP_E_UNKNOWNNAME;
        static const struct {
            const wchar_t* name;
            DISPID id;
        } kMembers[] = {{L"Item", 0}, {L"Add", 1}, {L"Count", 2}, {L"Remove", 3}, {L"_NewEnum", DISPID_NEWENUM}};
        for (const auto& m : kMembers) {
            if (_wcsicmp(names[0], m.name) == 0) {
                ids[0] = m.id;
                return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
            }
        }
        return DISP_E_UNKNOWNNAME;
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
            auto items = std::make_shared<const std::vector<Variant>>(collection_->Items());
            *result = new VariantEnum(std::move(items), 0);
        });
    }

private:
    ~SystemObjectDispatch() = default;

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
            return Fail(e, info);
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

    LONG refs_ = 1;
    ObjectRef obj_;
    std::shared_ptr<automation::Collection> collection_;
    CountedComObject counted_;
};

}  // namespace

IDispatch* NewSystemObjectDispatch(const ObjectRef& obj) {
    if (!obj) return nullptr;
    return static_cast<ICollectionVtable*>(new SystemObjectDispatch(obj));
}

ObjectRef UnwrapSystemObject(IUnknown* unk) {
    if (!unk) return nullptr;
    IWrappedObject* wrapped = nullptr;
    if (FAILED(unk->QueryInterface(kWrappedObjectIid, reinterpret_cast<void**>(&wrapped))) || !wrapped) return nullptr;
    ObjectRef target = wrapped->Target();
    wrapped->Release();
    return target;
}

}  // namespace win32::adapters
