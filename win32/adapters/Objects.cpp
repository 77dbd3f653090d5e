// Adapters for the host's LNS objects, collections, the network-services device object and
// objects of no known kind.
#include "automation/ComponentFactory.h"
#include "outside/Controls.h"
#include "win32/adapters/Adapters.h"
#include "win32/adapters/Internal.h"

namespace win32::adapters {

using automation::BStr;
using automation::ObjectRef;
using automation::Variant;

namespace {

constexpr std::size_t kEnumerationLimit = 100000;

bool SameId(std::u16string_view a, std::u16string_view b) { return automation::UpperAscii(a) == automation::UpperAscii(b); }

IID ParseIid(std::u16string_view text) {
    BStr copy(text);
    IID iid{};
    if (FAILED(IIDFromString(reinterpret_cast<LPOLESTR>(copy.data()), &iid))) return GUID_NULL;
    return iid;
}

class AppDeviceAdapter final : public outside::ILnsAppDevice, public LateBoundAdapter {
public:
    using LateBoundAdapter::LateBoundAdapter;
    BStr Name() override { return ResultStr(d_.Get(u"Name").Ref()); }
    std::int16_t State() override { return ResultI2(d_.Get(u"State").Ref()); }
};

class SystemAdapter final : public outside::ILnsSystem, public LateBoundAdapter {
public:
    using LateBoundAdapter::LateBoundAdapter;
};

class CollectionAdapter final : public automation::Collection, public LateBoundAdapter {
public:
    using LateBoundAdapter::LateBoundAdapter;
    std::int32_t Count() const override { return ResultI4(d_.Get(u"Count").Ref()); }
    Variant Item(const Variant& indexOrKey) const override {
        std::vector<Var> args;
        args.emplace_back();
        ToVariant(indexOrKey, args.back().Ptr());
        return FromVariant(d_.Call(u"Item", std::move(args)).Ref());
    }
    void Add(Variant item, const BStr& key) override {
        std::vector<Var> args;
        args.emplace_back();
        ToVariant(item, args.back().Ptr());
        args.push_back(key.empty() ? Var::Missing() : Var::Str(key));
        d_.Call(u"Add", std::move(args));
    }
    void Remove(const Variant& indexOrKey) override {
        std::vector<Var> args;
        args.emplace_back();
        ToVariant(indexOrKey, args.back().Ptr());
        d_.Call(u"Remove", std::move(args));
    }
    std::vector<Variant> Items() const override {
        Var enumerator;
        bool haveEnum = automation::IgnoreFailure([&] { enumerator = d_.CallId(DISPID_NEWENUM, {}, u"_NewEnum"); });
        if (haveEnum) return Enumerate(enumerator.Ref());
        // Without an enumerator, walk the 1-based indexes.
        std::vector<Variant> items;
        std::int32_t n = Count();
        for (std::int32_t i = 1; i <= n; ++i) items.push_back(Item(Variant(i)));
        return items;
    }
};

class LinkAdapter final : public outside::INetServDeviceLink, public ComAdapter {
public:
    LinkAdapter(ComRef<IDispatch> link, ComRef<IDispatch> main) : link_(std::move(link)), main_(std::move(main)) {}
    ObjectRef QueryInterface(std::u16string_view iid) override {
        if (SameId(iid, outside::INetServDevice::kIid)) return WrapNetServDevice(main_.Get());
        return nullptr;
    }
    IDispatch* Dispatch() const override { return link_.Get(); }

private:
    ComRef<IDispatch> link_;
    ComRef<IDispatch> main_;
};

class NetServDeviceAdapter final : public outside::INetServDevice, public LateBoundAdapter {
public:
    using LateBoundAdapter::LateBoundAdapter;

    void Initialize(const std::shared_ptr<outside::ILnsAppDevice>& appDevice, const std::shared_ptr<outside::ILnsSystem>& system,
                    float& objSvrVersion, automation::VBool& supportsFileType2,
                    const std::shared_ptr<automation::Collection>& cpsRefNvs) override {
        float version = objSvrVersion;
        VARIANT_BOOL fileType2 = supportsFileType2 ? VARIANT_TRUE : VARIANT_FALSE;
        std::vector<Var> args;
        args.push_back(ObjectArgument(appDevice));
        args.push_back(ObjectArgument(system));
        args.push_back(Var::ByRef(VT_R4, &version));
        args.push_back(Var::ByRef(VT_BOOL, &fileType2));
        args.push_back(ObjectArgument(cpsRefNvs));
        d_.Call(u"Initialize", std::move(args));
        objSvrVersion = version;
        supportsFileType2 = fileType2 ? automation::kTrue : automation::kFalse;
    }
    automation::VBool UploadDevice() override { return ResultBool(d_.Call(u"UploadDevice").Ref()); }
    automation::VBool DownloadDevice() override { return ResultBool(d_.Call(u"DownloadDevice").Ref()); }

    ObjectRef QueryInterface(std::u16string_view iid) override {
        if (SameId(iid, outside::INetServDeviceLink::kIid)) {
            auto link = InterfaceOf(d_.Get(), ParseIid(iid));
            if (!link) return nullptr;
            return std::make_shared<LinkAdapter>(std::move(link), ComRef<IDispatch>(d_.Get()));
        }
        return nullptr;
    }

private:
    template <class T>
    static Var ObjectArgument(const std::shared_ptr<T>& obj) {
        Var v;
        V_VT(v.Ptr()) = VT_DISPATCH;
        V_DISPATCH(v.Ptr()) = ToDispatch(obj);
        return v;
    }
};

// An object whose kind is not known: it answers Query for the contracts it can serve.
class DispatchObject final : public automation::Object, public LateBoundAdapter {
public:
    using LateBoundAdapter::LateBoundAdapter;

    ObjectRef QueryInterface(std::u16string_view iid) override {
        IID id = ParseIid(iid);
        IDispatch* d = d_.Get();
        if (SameId(iid, outside::ILnsAppDevice::kIid)) {
            if (auto p = InterfaceOf(d, id, u"State")) return WrapAppDevice(p.Get());
        } else if (SameId(iid, outside::ILnsSystem::kIid)) {
            if (auto p = InterfaceOf(d, id)) return WrapSystem(p.Get());
        } else if (SameId(iid, automation::Collection::kIid)) {
            if (auto p = InterfaceOf(d, id, u"Count")) return WrapCollection(p.Get());
        } else if (SameId(iid, outside::INetServDevice::kIid)) {
            if (auto p = InterfaceOf(d, id, u"Initialize")) return WrapNetServDevice(p.Get());
        } else if (SameId(iid, outside::INetServDeviceLink::kIid)) {
            if (auto p = InterfaceOf(d, id)) return std::make_shared<LinkAdapter>(std::move(p), ComRef<IDispatch>(d));
        } else if (SameId(iid, outside::IPluginServer::kIid)) {
            if (auto p = InterfaceOf(d, id, u"LoadDevice")) return WrapPluginServer(p.Get());
        } else if (SameId(iid, outside::IPluginWorkspace::kIid) || SameId(iid, outside::IPluginWorkspaceUnits::kIid)) {
            if (auto hosted = WrapHostedControl(d)) return hosted->QueryInterface(iid);
        }
        return nullptr;
    }
};

}  // namespace

ComRef<IDispatch> InterfaceOf(IDispatch* disp, REFIID iid, std::u16string_view member) {
    if (!disp) return {};
    if (iid != GUID_NULL) {
        ComRef<IUnknown> p;
        if (SUCCEEDED(disp->QueryInterface(iid, p.PutVoid())) && p)
            // Interfaces reached this way are dispatch-based (dual): the pointer is an IDispatch.
            return ComRef<IDispatch>(reinterpret_cast<IDispatch*>(p.Get()));
    }
    if (!member.empty()) {
        LateBound probe{ComRef<IDispatch>(disp)};
        if (probe.Knows(member)) return ComRef<IDispatch>(disp);
    }
    return {};
}

ObjectRef WrapDispatch(IDispatch* disp) {
    if (!disp) return nullptr;
    if (auto own = UnwrapSystemObject(disp)) return own;
    return std::make_shared<DispatchObject>(ComRef<IDispatch>(disp));
}

std::shared_ptr<outside::ILnsAppDevice> WrapAppDevice(IDispatch* disp) { return Wrap<AppDeviceAdapter>(disp); }

std::shared_ptr<outside::ILnsSystem> WrapSystem(IDispatch* disp) { return Wrap<SystemAdapter>(disp); }

std::shared_ptr<automation::Collection> WrapCollection(IDispatch* disp) {
    if (!disp) return nullptr;
    if (auto own = std::dynamic_pointer_cast<automation::Collection>(UnwrapSystemObject(disp))) return own;
    return std::make_shared<CollectionAdapter>(ComRef<IDispatch>(disp));
}

std::shared_ptr<outside::INetServDevice> WrapNetServDevice(IDispatch* disp) { return Wrap<NetServDeviceAdapter>(disp); }

std::vector<Variant> Enumerate(const VARIANT& enumerator) {
    std::vector<Variant> items;
    Var plain;
    if (FAILED(VariantCopyInd(plain.Ptr(), const_cast<VARIANT*>(&enumerator))))
        automation::Raise(automation::code::kTypeMismatch, u"Type mismatch");
    IUnknown* unk = nullptr;
    if (V_VT(plain.Ptr()) == VT_UNKNOWN) unk = V_UNKNOWN(plain.Ptr());
    else if (V_VT(plain.Ptr()) == VT_DISPATCH) unk = V_DISPATCH(plain.Ptr());
    else automation::Raise(automation::code::kTypeMismatch, u"Type mismatch");
    if (!unk) automation::RaiseObjectNotSet(u"_NewEnum");
    ComRef<IEnumVARIANT> e;
    Check(unk->QueryInterface(IID_IEnumVARIANT, e.PutVoid()), u"_NewEnum");
    while (items.size() < kEnumerationLimit) {
        Var item;
        ULONG got = 0;
        HRESULT hr = e->Next(1, item.Ptr(), &got);
        if (FAILED(hr)) RaiseHresult(hr, nullptr, u"_NewEnum");
        if (hr != S_OK || got == 0) break;
        items.push_back(FromVariant(item.Ref()));
    }
    return items;
}

}  // namespace win32::adapters
