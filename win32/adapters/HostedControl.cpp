// The control object of a hosted ActiveX control: the plug-in workspace interfaces and the units
// control.
//
// IPluginWorkspace and IPluginWorkspaceUnits are answered only when the control gives
// {EBE98ECD-...} or {87CE42D9-...} through QueryInterface and type information describes it; their
// members are then called on that interface by position, never by name (a control that merely has
// members of those names on its default dispatch does not implement them).
// The units control is recognised by its type info holding the operation 0x6003000b; its two
// notifications are found by position in its default source interface.
#include "outside/Controls.h"
#include "win32/adapters/Adapters.h"
#include "win32/adapters/EarlyBound.h"
#include "win32/adapters/Internal.h"

namespace win32::adapters {

using automation::BStr;
using automation::ObjectRef;
using automation::Variant;

namespace {

const IID kWorkspaceIid = {0xEBE98ECD, 0xB43D, 0x11D4, {0x8D, 0xD5, 0x00, 0xC0, 0x4F, 0x5C, 0xAA, 0xEE}};
const IID kWorkspaceUnitsIid = {0x87CE42D9, 0x22ED, 0x436C, {0xB5, 0x99, 0xCC, 0x96, 0x9B, 0xB9, 0xAA, 0xDC}};

bool SameId(std::u16string_view a, std::u16string_view b) { return automation::UpperAscii(a) == automation::UpperAscii(b); }

// Passes an object by reference and takes back what the callee left there.
class ObjectSlot {
public:
    explicit ObjectSlot(const ObjectRef& obj) : passed_(ComRef<IDispatch>::Adopt(ToDispatch(obj))), slot_(passed_.AddRefed()) {}
    ~ObjectSlot() {
        if (slot_) slot_->Release();
    }
    ObjectSlot(const ObjectSlot&) = delete;
    ObjectSlot& operator=(const ObjectSlot&) = delete;
    Var Argument() { return Var::ByRef(VT_DISPATCH, &slot_); }
    // The object the caller holds afterwards: unchanged when the callee left the same one.
    void WriteBack(ObjectRef& obj) const {
        if (slot_ != passed_.Get()) obj = WrapDispatch(slot_);
    }

private:
    ComRef<IDispatch> passed_;
    IDispatch* slot_;
};

// Member positions after the dispatch members.
constexpr unsigned kNeedsUpload = 2, kAttachLink = 6, kUpload = 7;
constexpr unsigned kSupportsEngUnits = 0, kApplyEngUnits = 1;

// Calls a member that takes one object by reference; the callee may replace it.
Variant CallWithObject(EarlyBound& itf, unsigned position, ObjectRef& obj, std::u16string_view what) {
    ObjectSlot slot(obj);
    std::vector<Var> args;
    args.push_back(slot.Argument());
    Var result = itf.Call(position, std::move(args), what);
    slot.WriteBack(obj);
    return FromVariant(result.Ref());
}

class WorkspaceFacet final : public outside::IPluginWorkspace, public ComAdapter {
public:
    WorkspaceFacet(EarlyBound itf, ObjectRef owner) : itf_(std::move(itf)), owner_(std::move(owner)) {}
    automation::VBool NeedsUpload() override { return ResultBool(itf_.Call(kNeedsUpload, {}, u"NeedsUpload").Ref()); }
    Variant AttachLink(ObjectRef& link) override { return CallWithObject(itf_, kAttachLink, link, u"AttachLink"); }
    automation::VBool Upload() override { return ResultBool(itf_.Call(kUpload, {}, u"Upload").Ref()); }
    ObjectRef QueryInterface(std::u16string_view iid) override { return owner_->QueryInterface(iid); }
    IDispatch* Dispatch() const override { return itf_.Get(); }

private:
    EarlyBound itf_;
    ObjectRef owner_;
};

class UnitsFacet final : public outside::IPluginWorkspaceUnits, public ComAdapter {
public:
    UnitsFacet(EarlyBound itf, ObjectRef owner) : itf_(std::move(itf)), owner_(std::move(owner)) {}
    automation::VBool SupportsEngUnits() override {
        return ResultBool(itf_.Call(kSupportsEngUnits, {}, u"SupportsEngUnits").Ref());
    }
    Variant ApplyEngUnits(ObjectRef& units) override { return CallWithObject(itf_, kApplyEngUnits, units, u"ApplyEngUnits"); }
    ObjectRef QueryInterface(std::u16string_view iid) override { return owner_->QueryInterface(iid); }
    IDispatch* Dispatch() const override { return itf_.Get(); }

private:
    EarlyBound itf_;
    ObjectRef owner_;
};

ObjectRef WorkspaceInterface(IDispatch* control, std::u16string_view iid, const ObjectRef& owner) {
    if (SameId(iid, outside::IPluginWorkspace::kIid)) {
        if (auto itf = EarlyBound::Bind(control, kWorkspaceIid)) return std::make_shared<WorkspaceFacet>(std::move(*itf), owner);
    } else if (SameId(iid, outside::IPluginWorkspaceUnits::kIid)) {
        if (auto itf = EarlyBound::Bind(control, kWorkspaceUnitsIid)) return std::make_shared<UnitsFacet>(std::move(*itf), owner);
    }
    return nullptr;
}

class HostedControl final : public automation::Object,
                            public LateBoundAdapter,
                            public std::enable_shared_from_this<HostedControl> {
public:
    using LateBoundAdapter::LateBoundAdapter;
    ObjectRef QueryInterface(std::u16string_view iid) override { return WorkspaceInterface(d_.Get(), iid, shared_from_this()); }
};

class QtyUnitsControl final : public outside::IQtyUnitsControl,
                              public LateBoundAdapter,
                              public std::enable_shared_from_this<QtyUnitsControl> {
public:
    using LateBoundAdapter::LateBoundAdapter;

    void SetFlag(automation::VBool value) override { d_.PutId(kFlagDispId, Var::Bool(value != 0), u"0x68030000"); }
    void Apply() override { d_.CallId(kApplyDispId, {}, u"0x6003000b"); }

    ObjectRef QueryInterface(std::u16string_view iid) override { return WorkspaceInterface(d_.Get(), iid, shared_from_this()); }

    // The notifications are told apart by their position in the control's source interface.
    void ConnectEvents() {
        auto source = FindSourceInterface(d_.Get());
        if (!source || !source->typeInfo) return;
        auto members = EventMembers(source->typeInfo.Get());
        if (members.size() <= static_cast<std::size_t>(kCloseRequestEvent)) return;
        DISPID applied = members[kUnitsAppliedEvent].id;
        DISPID close = members[kCloseRequestEvent].id;
        std::weak_ptr<QtyUnitsControl> weak = shared_from_this();
        connection_ = EventConnection::Connect(d_.Get(), source->iid, [weak, applied, close](DISPID id, DISPPARAMS* params) {
            auto self = weak.lock();
            if (!self) return;
            if (id == applied) {
                ObjectRef units = EventArgument(params, 0).AsObject();
                self->UnitsApplied.Raise(units);
            } else if (id == close) {
                self->CloseRequest.Raise();
            }
        });
    }

private:
    std::unique_ptr<EventConnection> connection_;
};

bool HasMember(IDispatch* disp, MEMBERID id) {
    ComRef<ITypeInfo> info;
    if (FAILED(disp->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put())) || !info) return false;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr)) || !attr) return false;
    WORD count = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(i, &desc)) || !desc) continue;
        bool match = desc->memid == id;
        info->ReleaseFuncDesc(desc);
        if (match) return true;
    }
    return false;
}

}  // namespace

ObjectRef WrapHostedControl(IUnknown* unk) {
    if (!unk) return nullptr;
    ComRef<IDispatch> d;
    if (FAILED(unk->QueryInterface(IID_IDispatch, d.PutVoid())) || !d) return nullptr;
    if (HasMember(d.Get(), outside::IQtyUnitsControl::kApplyDispId)) {
        auto units = std::make_shared<QtyUnitsControl>(d);
        units->ConnectEvents();
        return units;
    }
    return std::make_shared<HostedControl>(std::move(d));
}

}  // namespace win32::adapters
