#include "outside/Traced.h"

#include <string>
#include <vector>

#include "automation/ComponentFactory.h"
#include "outside/Controls.h"
#include "outside/PluginServer.h"

namespace outside {

using automation::BStr;
using automation::ObjectRef;
using automation::Variant;
using automation::VBool;
namespace trace = automation::trace;

namespace {

// What each wrapper has: the component's label, the object as it was made (other interfaces are
// asked of it) and the interface it is wrapped as.
class Wrapped {
public:
    virtual ~Wrapped() = default;
    const ObjectRef& Made() const { return made_; }

protected:
    Wrapped(std::string label, ObjectRef made) : label_(std::move(label)), made_(std::move(made)) {}

    template <class F>
    auto Call(std::string_view member, std::string_view args, F&& call) {
        return trace::Traced(trace::Kind::Call, label_, member, args, std::forward<F>(call));
    }
    template <class F>
    void Notify(std::string_view member, std::string_view args, F&& deliver) {
        trace::Traced(trace::Kind::Notification, label_, member, args, std::forward<F>(deliver));
    }
    ObjectRef Other(std::u16string_view iid) const;

    std::string label_;
    ObjectRef made_;
};

// A wrapped object goes back unwrapped into the components, which may know their own kind.
ObjectRef Unwrap(const ObjectRef& o) {
    auto* w = dynamic_cast<Wrapped*>(o.get());
    return w ? w->Made() : o;
}
template <class I>
std::shared_ptr<I> UnwrapAs(const std::shared_ptr<I>& o) {
    return o ? automation::Query<I>(Unwrap(o)) : o;
}
Variant Unwrap(const Variant& v) { return v.Type() == automation::VarType::Object ? Variant(Unwrap(v.AsObject())) : v; }

template <class W, class I>
std::shared_ptr<I> Wrap(const std::string& label, std::shared_ptr<I> inner, ObjectRef made = nullptr) {
    if (!inner || dynamic_cast<Wrapped*>(inner.get())) return inner;
    if (!made) made = inner;
    return std::make_shared<W>(label, std::move(inner), std::move(made));
}

template <class I>
class WrapperOf : public I, public Wrapped {
public:
    WrapperOf(std::string label, std::shared_ptr<I> inner, ObjectRef made)
        : Wrapped(std::move(label), std::move(made)), in_(std::move(inner)) {}
    ObjectRef QueryInterface(std::u16string_view iid) override { return Other(iid); }

protected:
    // A member whose arguments go to the component as they came.
    template <class R, class... P, class... A>
    R Pass(std::string_view member, R (I::*call)(P...), A&&... args) {
        return Call(member, trace::List(args...), [&] { return ((*in_).*call)(std::forward<A>(args)...); });
    }

    std::shared_ptr<I> in_;
};

class TracedFeature final : public WrapperOf<IFeature> {
public:
    using WrapperOf::WrapperOf;
    std::int16_t Id() override { return Pass("Id", &IFeature::Id); }
    BStr Caption() override { return Pass("Caption", &IFeature::Caption); }
};

class TracedFeatureList final : public WrapperOf<IFeatureList> {
public:
    using WrapperOf::WrapperOf;
    std::int16_t Count() override { return Pass("Count", &IFeatureList::Count); }
    std::shared_ptr<IFeature> Item(std::int16_t id) override {
        return Wrap<TracedFeature>("Feature", Pass("Item", &IFeatureList::Item, id));
    }
    std::vector<std::shared_ptr<IFeature>> Features() override {
        auto all = Pass("Features", &IFeatureList::Features);
        for (auto& f : all) f = Wrap<TracedFeature>("Feature", f);
        return all;
    }
};

class TracedPluginEntry final : public WrapperOf<IPluginEntry> {
public:
    using WrapperOf::WrapperOf;
    BStr HelpFile() override { return Pass("HelpFile", &IPluginEntry::HelpFile); }
    std::shared_ptr<automation::Collection> Items() override { return Pass("Items", &IPluginEntry::Items); }
};

class TracedDevice final : public WrapperOf<ILnsAppDevice> {
public:
    using WrapperOf::WrapperOf;
    BStr Name() override { return Pass("Name", &ILnsAppDevice::Name); }
    std::int16_t State() override { return Pass("State", &ILnsAppDevice::State); }
};

class TracedNetServDevice final : public WrapperOf<INetServDevice> {
public:
    using WrapperOf::WrapperOf;
    void Initialize(const std::shared_ptr<ILnsAppDevice>& appDevice, const std::shared_ptr<ILnsSystem>& system, float& version,
                    VBool& fileType2, const std::shared_ptr<automation::Collection>& cps) override {
        Call("Initialize", trace::List(appDevice, system, version, fileType2, cps),
             [&] { in_->Initialize(UnwrapAs(appDevice), system, version, fileType2, cps); });
    }
    VBool UploadDevice() override { return Pass("UploadDevice", &INetServDevice::UploadDevice); }
    VBool DownloadDevice() override { return Pass("DownloadDevice", &INetServDevice::DownloadDevice); }
};

class TracedPluginServer final : public WrapperOf<IPluginServer> {
public:
    using WrapperOf::WrapperOf;
    void Subscribe() {
        auto& from = in_->Events();
        subs_[0] =
            from.RequestDownload.Subscribe([this] { Notify("RequestDownload", "", [&] { events_.RequestDownload.Raise(); }); });
        subs_[1] = from.RequestUpload.Subscribe([this] { Notify("RequestUpload", "", [&] { events_.RequestUpload.Raise(); }); });
        subs_[2] = from.WorkspaceAvailable.Subscribe([this](const BStr& progId) {
            Notify("WorkspaceAvailable", trace::Show(progId), [&] { events_.WorkspaceAvailable.Raise(progId); });
        });
    }
    VBool LoadDevice(const Variant& device, std::shared_ptr<automation::Collection>& features, VBool flag,
                     VBool isLnsPi) override {
        return Call("LoadDevice", trace::List(device, features, flag, isLnsPi),
                    [&] { return in_->LoadDevice(Unwrap(device), features, flag, isLnsPi); });
    }
    void SetFeatureWindowAppearance(const BStr& caption, const ObjectRef& icon) override {
        Pass("SetFeatureWindowAppearance", &IPluginServer::SetFeatureWindowAppearance, caption, icon);
    }
    void LaunchFeature(std::int16_t id, std::int32_t owner) override {
        Pass("LaunchFeature", &IPluginServer::LaunchFeature, id, owner);
    }
    std::shared_ptr<IFeatureList> FeatureList() override {
        return Wrap<TracedFeatureList>("FeatureList", Pass("FeatureList", &IPluginServer::FeatureList));
    }
    std::shared_ptr<IPluginEntry> CurrentPlugin() override {
        return Wrap<TracedPluginEntry>("PluginEntry", Pass("CurrentPlugin", &IPluginServer::CurrentPlugin));
    }
    std::shared_ptr<INetServDevice> CurrentDevice() override {
        return Wrap<TracedNetServDevice>("NetServDevice", Pass("CurrentDevice", &IPluginServer::CurrentDevice));
    }
    std::shared_ptr<IPluginEntry> PluginForProgramID(const BStr& programId) override {
        return Wrap<TracedPluginEntry>("PluginEntry", Pass("PluginForProgramID", &IPluginServer::PluginForProgramID, programId));
    }
    void Reset() override { Pass("Reset", &IPluginServer::Reset); }
    void Clear() override { Pass("Clear", &IPluginServer::Clear); }
    PluginServerEvents& Events() override { return events_; }

private:
    PluginServerEvents events_;
    automation::Subscription subs_[3];
};

class TracedWorkspace final : public WrapperOf<IPluginWorkspace> {
public:
    using WrapperOf::WrapperOf;
    VBool NeedsUpload() override { return Pass("NeedsUpload", &IPluginWorkspace::NeedsUpload); }
    Variant AttachLink(ObjectRef& link) override { return Pass("AttachLink", &IPluginWorkspace::AttachLink, link); }
    VBool Upload() override { return Pass("Upload", &IPluginWorkspace::Upload); }
};

class TracedWorkspaceUnits final : public WrapperOf<IPluginWorkspaceUnits> {
public:
    using WrapperOf::WrapperOf;
    VBool SupportsEngUnits() override { return Pass("SupportsEngUnits", &IPluginWorkspaceUnits::SupportsEngUnits); }
    Variant ApplyEngUnits(ObjectRef& units) override {
        return Pass("ApplyEngUnits", &IPluginWorkspaceUnits::ApplyEngUnits, units);
    }
};

class TracedQtyUnits final : public WrapperOf<IQtyUnitsControl> {
public:
    using WrapperOf::WrapperOf;
    void Subscribe() {
        subs_[0] = in_->UnitsApplied.Subscribe(
            [this](const ObjectRef& units) { Notify("UnitsApplied", trace::List(units), [&] { UnitsApplied.Raise(units); }); });
        subs_[1] = in_->CloseRequest.Subscribe([this] { Notify("CloseRequest", "", [&] { CloseRequest.Raise(); }); });
    }
    void SetFlag(VBool value) override { Pass("SetFlag", &IQtyUnitsControl::SetFlag, value); }
    void Apply() override { Pass("Apply", &IQtyUnitsControl::Apply); }

private:
    automation::Subscription subs_[2];
};

ObjectRef Wrapped::Other(std::u16string_view iid) const {
    using automation::Query;
    if (iid == IPluginWorkspace::kIid) return Wrap<TracedWorkspace>(label_, Query<IPluginWorkspace>(made_), made_);
    if (iid == IPluginWorkspaceUnits::kIid) return Wrap<TracedWorkspaceUnits>(label_, Query<IPluginWorkspaceUnits>(made_), made_);
    if (iid == INetServDeviceLink::kIid) return Query<INetServDeviceLink>(made_);
    return made_->QueryInterface(iid);
}

ObjectRef Decorate(std::u16string_view id, ObjectRef made) {
    using automation::Query;
    if (dynamic_cast<Wrapped*>(made.get())) return made;
    if (auto server = std::dynamic_pointer_cast<IPluginServer>(made)) {
        auto w = std::make_shared<TracedPluginServer>("PluginServer", server, made);
        w->Subscribe();
        return w;
    }
    if (auto device = std::dynamic_pointer_cast<INetServDevice>(made)) return Wrap<TracedNetServDevice>("NetServDevice", device);
    const std::string label = automation::ToUtf8(id);
    if (auto units = std::dynamic_pointer_cast<IQtyUnitsControl>(made)) {
        auto w = std::make_shared<TracedQtyUnits>(label, units, made);
        w->Subscribe();
        return w;
    }
    if (auto ws = Query<IPluginWorkspace>(made)) return Wrap<TracedWorkspace>(label, ws, made);
    if (auto units = Query<IPluginWorkspaceUnits>(made)) return Wrap<TracedWorkspaceUnits>(label, units, made);
    return made;
}

}  // namespace

void EnableTrace(trace::Sink sink, trace::Clock clock) {
    trace::Enable(std::move(sink), std::move(clock));
    automation::Components().SetDecorator(trace::On() ? Decorate : automation::ComponentFactory::Decorator());
}

void DisableTrace() {
    trace::Disable();
    automation::Components().SetDecorator(nullptr);
}

std::shared_ptr<ILnsAppDevice> TracedAppDevice(std::shared_ptr<ILnsAppDevice> device) {
    if (!trace::On()) return device;
    return Wrap<TracedDevice>("AppDevice", std::move(device));
}

}  // namespace outside
