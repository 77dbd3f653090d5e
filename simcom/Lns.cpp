// Simulated LNS objects, the automation collection, units objects and the network-services device.
#include <cwctype>

#include "SimCom.h"

namespace qsim {

namespace {

template <class T>
HRESULT Hand(T* obj, REFIID iid, void** out) {
    HRESULT hr = obj->QueryInterface(iid, out);
    obj->Release();
    return hr;
}

HRESULT PutString(BSTR* out, const std::wstring& s) {
    if (!out) return E_POINTER;
    *out = NewBstr(s);
    return S_OK;
}

class AppDevice final : public Dual<ISimAppDevice>, public Counted {
public:
    QSIM_COUNTED
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(ISimAppDevice)) {
            *out = static_cast<ISimAppDevice*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override {
        if (HRESULT hr = Enter(L"AppDevice.Name"); FAILED(hr)) return hr;
        return PutString(value, name_);
    }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR value) override {
        name_ = Text(value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_State(short* value) override {
        if (!value) return E_POINTER;
        if (HRESULT hr = Enter(L"AppDevice.State"); FAILED(hr)) return hr;
        if (!answering_) return Failure(kSimulatedFailure, L"The device did not respond: " + name_);
        *value = 4;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ProgramId(BSTR* value) override { return PutString(value, programId_); }
    HRESULT STDMETHODCALLTYPE put_ProgramId(BSTR value) override {
        programId_ = Text(value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Answering(VARIANT_BOOL* value) override {
        if (!value) return E_POINTER;
        *value = answering_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Answering(VARIANT_BOOL value) override {
        answering_ = value != VARIANT_FALSE;
        return S_OK;
    }

private:
    std::wstring name_ = L"Device 1";
    std::wstring programId_;
    bool answering_ = true;
};

class System final : public Dual<ISimSystem>, public Counted {
public:
    QSIM_COUNTED
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(ISimSystem)) {
            *out = static_cast<ISimSystem*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override { return PutString(value, name_); }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR value) override {
        name_ = Text(value);
        return S_OK;
    }

private:
    std::wstring name_ = L"Network 1";
};

class Units final : public Dual<ISimUnits>, public Counted {
public:
    explicit Units(std::wstring name) : name_(std::move(name)) {}
    QSIM_COUNTED
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(ISimUnits)) {
            *out = static_cast<ISimUnits*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override { return PutString(value, name_); }

private:
    std::wstring name_;
};

class ItemEnum final : public IEnumVARIANT, public Counted {
public:
    ItemEnum(std::vector<VARIANT> items, ULONG pos) : items_(std::move(items)), pos_(pos) {}
    ~ItemEnum() override {
        for (auto& v : items_) VariantClear(&v);
    }
    QSIM_COUNTED
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
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        for (; n < count && pos_ < items_.size(); ++n, ++pos_) {
            VariantInit(&out[n]);
            VariantCopy(&out[n], &items_[pos_]);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        ULONG left = static_cast<ULONG>(items_.size()) - pos_;
        pos_ += std::min(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        pos_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        std::vector<VARIANT> copy(items_.size());
        for (std::size_t i = 0; i < items_.size(); ++i) {
            VariantInit(&copy[i]);
            VariantCopy(&copy[i], &items_[i]);
        }
        *out = new ItemEnum(std::move(copy), pos_);
        return S_OK;
    }

private:
    std::vector<VARIANT> items_;
    ULONG pos_;
};

// Items with optional string keys; 1-based indexes. Its IDispatch is written out so that plain
// values reach the VARIANT* parameters of the collection's members.
class Collection final : public ISimCollection, public Counted {
public:
    ~Collection() override {
        for (auto& e : entries_) VariantClear(&e.value);
    }
    QSIM_COUNTED
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(ISimCollection)) {
            *out = static_cast<ISimCollection*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = index == 0 ? TypeInfoOf(__uuidof(ISimCollection)) : nullptr;
        if (!*info) return DISP_E_BADINDEX;
        (*info)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        ITypeInfo* ti = TypeInfoOf(__uuidof(ISimCollection), true);
        return ti ? DispGetIDsOfNames(ti, names, count, ids) : E_UNEXPECTED;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT*) override {
        UINT n = params ? params->cArgs - params->cNamedArgs : 0;
        auto arg = [&](UINT i) -> VARIANT* { return i < n ? &params->rgvarg[params->cArgs - 1 - i] : nullptr; };
        VARIANT scratch;
        VariantInit(&scratch);
        if (!result) result = &scratch;
        HRESULT hr;
        switch (id) {
            case 0: hr = n < 1 ? DISP_E_BADPARAMCOUNT : Item(arg(0), result); break;
            case 1: hr = n < 1 ? DISP_E_BADPARAMCOUNT : Add(arg(0), arg(1), arg(2), arg(3)); break;
            case 2: {
                LONG c = 0;
                hr = Count(&c);
                V_VT(result) = VT_I4;
                V_I4(result) = c;
                break;
            }
            case 3: hr = n < 1 ? DISP_E_BADPARAMCOUNT : Remove(arg(0)); break;
            case DISPID_NEWENUM: {
                IUnknown* e = nullptr;
                hr = _NewEnum(&e);
                if (SUCCEEDED(hr)) {
                    V_VT(result) = VT_UNKNOWN;
                    V_UNKNOWN(result) = e;
                }
                break;
            }
            default: return DISP_E_MEMBERNOTFOUND;
        }
        VariantClear(&scratch);
        if (FAILED(hr) && info && hr != DISP_E_BADPARAMCOUNT) {
            *info = EXCEPINFO{};
            info->scode = hr;
            IErrorInfo* ei = nullptr;
            if (GetErrorInfo(0, &ei) == S_OK && ei) {
                ei->GetDescription(&info->bstrDescription);
                ei->Release();
            }
            return DISP_E_EXCEPTION;
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Item(VARIANT* index, VARIANT* value) override {
        if (!index || !value) return E_POINTER;
        VariantInit(value);
        std::size_t pos = 0;
        if (HRESULT hr = Position(index, &pos); FAILED(hr)) return hr;
        return VariantCopy(value, &entries_[pos].value);
    }
    HRESULT STDMETHODCALLTYPE Add(VARIANT* item, VARIANT* key, VARIANT*, VARIANT*) override {
        if (!item) return E_POINTER;
        Entry e;
        VariantInit(&e.value);
        if (HRESULT hr = VariantCopyInd(&e.value, item); FAILED(hr)) return hr;
        if (key && !(V_VT(key) == VT_ERROR && V_ERROR(key) == DISP_E_PARAMNOTFOUND) && V_VT(key) != VT_EMPTY) {
            VARIANT k;
            VariantInit(&k);
            if (FAILED(VariantChangeType(&k, key, 0, VT_BSTR))) {
                VariantClear(&e.value);
                return DISP_E_TYPEMISMATCH;
            }
            e.key = Upper(Text(V_BSTR(&k)));
            e.hasKey = true;
            VariantClear(&k);
            for (const auto& other : entries_) {
                if (other.hasKey && other.key == e.key) {
                    VariantClear(&e.value);
                    return Failure(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 457),
                                   L"This key is already associated with an element of this collection");
                }
            }
        }
        entries_.push_back(e);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Count(LONG* value) override {
        if (!value) return E_POINTER;
        *value = static_cast<LONG>(entries_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Remove(VARIANT* index) override {
        std::size_t pos = 0;
        if (HRESULT hr = Position(index, &pos); FAILED(hr)) return hr;
        VariantClear(&entries_[pos].value);
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown** value) override {
        if (!value) return E_POINTER;
        std::vector<VARIANT> items(entries_.size());
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            VariantInit(&items[i]);
            VariantCopy(&items[i], &entries_[i].value);
        }
        *value = new ItemEnum(std::move(items), 0);
        return S_OK;
    }

private:
    struct Entry {
        VARIANT value;
        std::wstring key;
        bool hasKey = false;
    };
    HRESULT Position(VARIANT* index, std::size_t* pos) {
        if (!index) return E_POINTER;
        VARIANT v;
        VariantInit(&v);
        if (FAILED(VariantCopyInd(&v, index))) return DISP_E_TYPEMISMATCH;
        HRESULT hr = S_OK;
        if (V_VT(&v) == VT_BSTR) {
            std::wstring key = Upper(Text(V_BSTR(&v)));
            hr = DISP_E_BADINDEX;
            for (std::size_t i = 0; i < entries_.size(); ++i)
                if (entries_[i].hasKey && entries_[i].key == key) {
                    *pos = i;
                    hr = S_OK;
                }
        } else if (SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4))) {
            LONG i = V_I4(&v);
            if (i < 1 || static_cast<std::size_t>(i) > entries_.size()) hr = DISP_E_BADINDEX;
            else *pos = static_cast<std::size_t>(i - 1);
        } else {
            hr = DISP_E_TYPEMISMATCH;
        }
        VariantClear(&v);
        if (hr == DISP_E_BADINDEX)
            return Failure(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 5), L"Invalid procedure call or argument");
        return hr;
    }
    std::vector<Entry> entries_;
};

class NetServDevice final : public Dual<ISimNetServDevice>, public Dual<ISimDeviceLink>, public Counted {
public:
    QSIM_COUNTED
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(ISimNetServDevice))
            *out = static_cast<ISimNetServDevice*>(this);
        else if (iid == __uuidof(ISimDeviceLink))
            *out = static_cast<ISimDeviceLink*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Initialize(IDispatch* appDevice, IDispatch* system, float* version,
                                         VARIANT_BOOL* fileType2, IDispatch* cps) override {
        if (HRESULT hr = Enter(L"NetServDevice.Initialize"); FAILED(hr)) return hr;
        app_ = ComRef<IDispatch>(appDevice);
        system_ = ComRef<IDispatch>(system);
        cps_ = ComRef<IDispatch>(cps);
        if (version) version_ = *version;
        if (fileType2) fileType2_ = *fileType2 != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UploadDevice(VARIANT_BOOL* value) override {
        return Run(L"NetServDevice.UploadDevice", TheWorld().upload, value, L"The device upload failed");
    }
    HRESULT STDMETHODCALLTYPE DownloadDevice(VARIANT_BOOL* value) override {
        return Run(L"NetServDevice.DownloadDevice", TheWorld().download, value, L"The device download failed");
    }
    HRESULT STDMETHODCALLTYPE get_AppDevice(IDispatch** value) override {
        if (!value) return E_POINTER;
        *value = app_.AddRefed();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ProgramId(BSTR* value) override { return PutString(value, StringByName(app_.Get(), L"ProgramId")); }
    HRESULT STDMETHODCALLTYPE get_DeviceName(BSTR* value) override { return PutString(value, StringByName(app_.Get(), L"Name")); }
    HRESULT STDMETHODCALLTYPE get_ObjSvrVersion(float* value) override {
        if (!value) return E_POINTER;
        *value = version_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Device(IDispatch** value) override {
        if (!value) return E_POINTER;
        *value = static_cast<ISimNetServDevice*>(this);
        AddRef();
        return S_OK;
    }

private:
    static HRESULT Run(const wchar_t* call, Outcome outcome, VARIANT_BOOL* value, const wchar_t* failure) {
        if (!value) return E_POINTER;
        if (HRESULT hr = Enter(call); FAILED(hr)) return hr;
        if (outcome == Outcome::Fail) return Failure(kSimulatedFailure, failure);
        *value = outcome == Outcome::Succeed ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    ComRef<IDispatch> app_, system_, cps_;
    float version_ = 0;
    bool fileType2_ = false;
};

}  // namespace

IDispatch* NewUnits(const std::wstring& name) { return static_cast<ISimUnits*>(new Units(name)); }
IDispatch* NewCollection() { return static_cast<ISimCollection*>(new Collection); }
IEnumVARIANT* NewItemEnum(std::vector<VARIANT> items) { return new ItemEnum(std::move(items), 0); }

HRESULT CollectionAdd(IDispatch* collection, VARIANT item) {
    ComRef<ISimCollection> c;
    if (!collection || FAILED(collection->QueryInterface(__uuidof(ISimCollection), c.PutVoid()))) return E_NOINTERFACE;
    return c->Add(&item, nullptr, nullptr, nullptr);
}

HRESULT CreateLns(REFCLSID clsid, REFIID iid, void** out) {
    if (clsid == kClsidAppDevice) return Hand(new AppDevice, iid, out);
    if (clsid == kClsidSystem) return Hand(new System, iid, out);
    if (clsid == kClsidCollection) return Hand(new Collection, iid, out);
    if (clsid == kClsidNetServDevice) return Hand(new NetServDevice, iid, out);
    if (clsid == kClsidUnits) return Hand(new Units(L"Units"), iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace qsim
