#include "sim/SimPluginServer.h"

#include "outside/Picture.h"
#include "sim/SimNetServDevice.h"

namespace sim {

namespace {

// The program id of the LNS device behind a device object; empty when it cannot be told.
BStr ProgramIdOf(const automation::ObjectRef& device) {
    auto netServ = std::dynamic_pointer_cast<SimNetServDevice>(automation::Query<outside::INetServDevice>(device));
    if (!netServ) return {};
    auto app = std::dynamic_pointer_cast<SimLnsAppDevice>(netServ->AppDevice());
    return app ? app->ProgramId() : BStr();
}

}  // namespace

SimPluginServer::SimPluginServer(const std::shared_ptr<SimWorld>& world) : SimComponent(world, "PluginServer") {}

void SimPluginServer::ForgetCurrent() {
    current_.reset();
    featureList_.reset();
    entry_.reset();
    device_.reset();
}

automation::VBool SimPluginServer::LoadDevice(const automation::Variant& device,
                                              std::shared_ptr<automation::Collection>& features, automation::VBool flag,
                                              automation::VBool isLnsPi) {
    auto keep = Enter("LoadDevice");
    lastLoadFlag_ = flag;
    lastLoadIsLnsPi_ = isLnsPi;
    ForgetCurrent();
    auto world = World();
    const automation::ObjectRef deviceObject = device.Type() == automation::VarType::Object ? device.AsObject() : nullptr;
    std::optional<PluginConfig> plugin;
    if (world && deviceObject) {
        const BStr programId = ProgramIdOf(deviceObject);
        if (!programId.empty()) plugin = world->FindPlugin(programId);
    }
    if (!plugin) return automation::kFalse;

    current_ = *plugin;
    device_ = deviceObject;
    featureList_ = std::make_shared<SimFeatureList>(world, plugin->features);
    entry_ = std::make_shared<SimPluginEntry>(world, *plugin);
    auto ids = std::make_shared<automation::Collection>();
    for (const auto& f : plugin->features) ids->Add(automation::Variant(f.id));
    features = std::move(ids);

    if (plugin->announceInsideLoadDevice) RaiseWorkspaceAvailable(plugin->workspaceProgId);
    return automation::ToVBool(plugin->acceptDevice);
}

void SimPluginServer::SetFeatureWindowAppearance(const BStr& caption, const automation::ObjectRef& icon) {
    auto keep = Enter("SetFeatureWindowAppearance");
    // Declared as a picture: anything else is refused, as a typed parameter refuses it.
    if (icon && !automation::Query<outside::IPictureDisp>(icon))
        automation::Raise(automation::code::kTypeMismatch, u"Type mismatch");
    featureWindowCaption_ = caption;
    featureWindowIcon_ = icon;
}

void SimPluginServer::LaunchFeature(std::int16_t featureId, std::int32_t ownerWindow) {
    auto keep = Enter("LaunchFeature");
    launches_.push_back(Launch{featureId, ownerWindow});
    auto world = World();
    if (world && world->launchOutcome == Outcome::Fail)
        automation::Raise(automation::code::kFail, u"The feature could not be launched: " + automation::DecimalText(featureId));
}

std::shared_ptr<outside::IFeatureList> SimPluginServer::FeatureList() {
    auto keep = Enter("FeatureList");
    if (!featureList_) featureList_ = std::make_shared<SimFeatureList>(World(), std::vector<FeatureConfig>{});
    return featureList_;
}

std::shared_ptr<outside::IPluginEntry> SimPluginServer::PluginForProgramID(const BStr& programId) {
    auto keep = Enter("PluginForProgramID");
    auto world = World();
    if (!world) return nullptr;
    auto plugin = world->FindPlugin(programId);
    if (!plugin) return nullptr;
    return std::make_shared<SimPluginEntry>(world, *plugin);
}

template <class Raise>
bool SimPluginServer::Deliver(Raise&& raise) {
    auto keep = weak_from_this().lock();
    try {
        raise();
        return true;
    } catch (const automation::Error&) {
        ++droppedErrors_;
        return false;
    }
}

bool SimPluginServer::RaiseRequestUpload() {
    return Deliver([this] { events_.RequestUpload.Raise(); });
}

bool SimPluginServer::RaiseRequestDownload() {
    return Deliver([this] { events_.RequestDownload.Raise(); });
}

bool SimPluginServer::RaiseWorkspaceAvailable(const BStr& workspaceProgId) {
    return Deliver([this, &workspaceProgId] { events_.WorkspaceAvailable.Raise(workspaceProgId); });
}

bool SimPluginServer::AnnounceWorkspace() {
    if (!current_) return false;
    const BStr progId = current_->workspaceProgId;
    return RaiseWorkspaceAvailable(progId);
}

SimFeature::SimFeature(const std::shared_ptr<SimWorld>& world, FeatureConfig config)
    : SimComponent(world, "Feature"), config_(std::move(config)) {}

SimFeatureList::SimFeatureList(const std::shared_ptr<SimWorld>& world, const std::vector<FeatureConfig>& features)
    : SimComponent(world, "FeatureList") {
    for (const auto& f : features) features_.push_back(std::make_shared<SimFeature>(world, f));
}

std::shared_ptr<outside::IFeature> SimFeatureList::Item(std::int16_t featureId) {
    auto keep = Enter("Item");
    for (const auto& f : features_)
        if (f->ConfiguredId() == featureId) return f;
    automation::Raise(automation::code::kElementNotFound, u"The plug-in has no feature " + automation::DecimalText(featureId));
}

SimPluginEntry::SimPluginEntry(const std::shared_ptr<SimWorld>& world, const PluginConfig& config)
    : SimComponent(world, "PluginEntry"), helpFile_(config.helpFile) {
    if (config.entryItems < 0) return;
    items_ = std::make_shared<automation::Collection>();
    for (std::int32_t i = 1; i <= config.entryItems; ++i) items_->Add(automation::Variant(i));
}

std::vector<std::shared_ptr<outside::IFeature>> SimFeatureList::Features() {
    auto keep = Enter("Features");
    return {features_.begin(), features_.end()};
}

}  // namespace sim
