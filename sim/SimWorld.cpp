#include "sim/SimWorld.h"

#include <algorithm>
#include <map>

#include "automation/ComponentFactory.h"
#include "sim/SimNetServDevice.h"
#include "sim/SimPluginServer.h"
#include "sim/SimWorkspaceControl.h"

namespace sim {

namespace {

constexpr char kFailedMark[] = " !";

// The world whose classes are registered in the process-wide factory now.
const SimWorld* g_registered = nullptr;

// Instances in creation order; the newest one still alive answers.
template <class T>
class Instances {
public:
    void Add(const std::shared_ptr<T>& p) {
        std::erase_if(all_, [](const std::weak_ptr<T>& w) { return w.expired(); });
        all_.push_back(p);
    }
    std::shared_ptr<T> Newest() const {
        for (auto it = all_.rbegin(); it != all_.rend(); ++it)
            if (auto p = it->lock()) return p;
        return nullptr;
    }

private:
    std::vector<std::weak_ptr<T>> all_;
};

// The configuration whose id, whatever its ASCII case, is `id`; none when absent.
template <class Config>
Config* ById(std::vector<Config>& all, BStr Config::*field, const BStr& id) {
    const BStr wanted = automation::UpperAscii(id);
    auto it = std::find_if(all.begin(), all.end(), [&](const Config& c) { return automation::UpperAscii(c.*field) == wanted; });
    return it == all.end() ? nullptr : &*it;
}

template <class I, class T, class U>
automation::ObjectRef Track(Instances<T>& instances, const std::shared_ptr<U>& p) {
    instances.Add(p);
    return std::static_pointer_cast<I>(p);
}

}  // namespace

struct SimWorld::Impl {
    std::vector<std::string> log;
    std::map<std::string, int> faults;  // remaining count; < 0: for ever
    std::map<std::string, std::function<void()>> hooks;
    std::set<std::string> runningHooks;
    std::map<std::string, int> live;

    std::vector<PluginConfig> plugins;
    std::vector<WorkspaceControlConfig> workspaces;
    bool fallbackInstalled = true;
    bool registered = false;
    std::vector<BStr> registeredIds;

    Instances<SimPluginServer> pluginServers;
    Instances<SimNetServDevice> netServDevices;
    Instances<SimWorkspaceControl> workspaceControls;
    Instances<SimQtyUnitsControl> unitsControls;

    automation::ObjectRef attachedLink;
    automation::ObjectRef appliedUnits;
    int unitsMade = 0;
};

std::shared_ptr<SimWorld> SimWorld::Create() { return std::shared_ptr<SimWorld>(new SimWorld()); }

SimWorld::SimWorld() : impl_(std::make_unique<Impl>()) {}

SimWorld::~SimWorld() {
    if (g_registered != this) return;
    for (const auto& id : impl_->registeredIds) automation::Components().Unregister(id);
    g_registered = nullptr;
}

// ---- registration ----

void SimWorld::RegisterComponents() {
    impl_->registeredIds.clear();
    impl_->registered = true;
    g_registered = this;
    for (auto id : {outside::kPluginServerClsid, outside::kNetServDeviceClsid, outside::kQtyUnitsProgId}) Register(BStr(id));
    for (const auto& c : impl_->workspaces) Register(c.progId);
    if (impl_->fallbackInstalled) Register(BStr(outside::kFallbackWorkspaceProgId));
}

void SimWorld::Register(const BStr& id) {
    std::weak_ptr<SimWorld> weak = weak_from_this();
    automation::Components().Register(id, [weak, id]() -> automation::ObjectRef {
        auto w = weak.lock();
        return w ? w->CreateComponent(id) : nullptr;
    });
    impl_->registeredIds.push_back(id);
}

automation::ObjectRef SimWorld::CreateComponent(std::u16string_view classIdOrProgId) {
    const BStr id = automation::UpperAscii(classIdOrProgId);
    auto is = [&](std::u16string_view known) { return id == automation::UpperAscii(known); };
    const char* call = is(outside::kPluginServerClsid)    ? "PluginServer.Create"
                       : is(outside::kNetServDeviceClsid) ? "NetServDevice.Create"
                       : is(outside::kQtyUnitsProgId)     ? "QtyUnits.Create"
                                                          : "Workspace.Create";
    auto config = FindWorkspaceControl(id);
    if (call == std::string_view("Workspace.Create") && !config) return nullptr;  // not installed (or no more)
    Call(call);
    auto self = shared_from_this();
    Impl& im = *impl_;
    if (is(outside::kPluginServerClsid))
        return Track<outside::IPluginServer>(im.pluginServers, std::make_shared<SimPluginServer>(self));
    if (is(outside::kNetServDeviceClsid))
        return Track<outside::INetServDevice>(im.netServDevices, std::make_shared<SimNetServDevice>(self));
    if (is(outside::kQtyUnitsProgId))
        return Track<outside::IQtyUnitsControl>(im.unitsControls, std::make_shared<SimQtyUnitsControl>(self));
    if (config->supportsUnits)
        return Track<outside::IPluginWorkspace>(im.workspaceControls, std::make_shared<SimUnitsWorkspaceControl>(self, *config));
    auto control = std::make_shared<SimWorkspaceControl>(self, *config);
    Track<outside::IPluginWorkspace>(im.workspaceControls, control);
    if (config->binding == WorkspaceBinding::NoInterface) return std::make_shared<SimWorkspaceWithoutInterface>(control);
    return control;
}

void SimWorld::Reset() {
    Impl& im = *impl_;
    im.log.clear();
    im.faults.clear();
    im.hooks.clear();
    im.plugins.clear();
    im.workspaces.clear();
    im.fallbackInstalled = true;
    im.attachedLink.reset();
    im.appliedUnits.reset();
    im.unitsMade = 0;
    uploadOutcome = downloadOutcome = launchOutcome = Outcome::Succeed;
    applyHandsBackUnits = true;
    applyAsksToClose = false;
}

// ---- configuration ----

void SimWorld::AddPlugin(PluginConfig p) { impl_->plugins.push_back(std::move(p)); }

void SimWorld::AddWorkspaceControl(const WorkspaceControlConfig& c) {
    impl_->workspaces.push_back(c);
    if (impl_->registered) Register(c.progId);
}

void SimWorld::SetFallbackWorkspaceInstalled(bool installed) {
    impl_->fallbackInstalled = installed;
    if (!impl_->registered) return;
    const BStr id(outside::kFallbackWorkspaceProgId);
    if (installed) Register(id);
    else if (!FindWorkspaceControl(id)) automation::Components().Unregister(id);
}

bool SimWorld::FallbackWorkspaceInstalled() const { return impl_->fallbackInstalled; }

PluginConfig* SimWorld::Plugin(const BStr& programId) { return ById(impl_->plugins, &PluginConfig::programId, programId); }

WorkspaceControlConfig* SimWorld::WorkspaceControl(const BStr& progId) {
    return ById(impl_->workspaces, &WorkspaceControlConfig::progId, progId);
}

std::optional<PluginConfig> SimWorld::FindPlugin(const BStr& programId) const {
    const PluginConfig* p = const_cast<SimWorld*>(this)->Plugin(programId);
    return p ? std::optional<PluginConfig>(*p) : std::nullopt;
}

std::optional<WorkspaceControlConfig> SimWorld::FindWorkspaceControl(const BStr& progId) const {
    if (const WorkspaceControlConfig* c = const_cast<SimWorld*>(this)->WorkspaceControl(progId)) return *c;
    if (!impl_->fallbackInstalled || automation::UpperAscii(progId) != automation::UpperAscii(outside::kFallbackWorkspaceProgId))
        return std::nullopt;
    WorkspaceControlConfig fallback;
    fallback.progId = BStr(outside::kFallbackWorkspaceProgId);
    return fallback;
}

// ---- calls, faults, hooks, log ----

void SimWorld::Call(const std::string& call) {
    auto keep = weak_from_this().lock();
    Impl& im = *impl_;
    const std::size_t entry = im.log.size();
    im.log.push_back(call);
    auto markFailed = [&] {
        if (entry < im.log.size() && im.log[entry] == call) im.log[entry] += kFailedMark;
    };

    auto fault = im.faults.find(call);
    if (fault != im.faults.end()) {
        if (fault->second > 0 && --fault->second == 0) im.faults.erase(fault);
        markFailed();
        automation::Raise(automation::code::kFail, u"Simulated failure of " + automation::FromUtf8(call));
    }

    auto hook = im.hooks.find(call);
    if (hook == im.hooks.end() || im.runningHooks.count(call)) return;
    const std::function<void()> run = hook->second;  // the hook may replace itself
    im.runningHooks.insert(call);
    try {
        run();
    } catch (...) {
        impl_->runningHooks.erase(call);
        markFailed();
        throw;
    }
    impl_->runningHooks.erase(call);
}

void SimWorld::Fail(const std::string& call, int count) {
    if (count == 0) impl_->faults.erase(call);
    else impl_->faults[call] = count < 0 ? -1 : count;
}

void SimWorld::ClearFaults() { impl_->faults.clear(); }

void SimWorld::OnCall(const std::string& call, std::function<void()> hook) {
    if (hook) impl_->hooks[call] = std::move(hook);
    else impl_->hooks.erase(call);
}

void SimWorld::ClearHooks() { impl_->hooks.clear(); }

const std::vector<std::string>& SimWorld::Log() const { return impl_->log; }
void SimWorld::ClearLog() { impl_->log.clear(); }

std::vector<std::string> SimWorld::LogOf(const std::string& classPrefix) const {
    std::vector<std::string> out;
    for (const auto& e : impl_->log)
        if (e.starts_with(classPrefix)) out.push_back(e);
    return out;
}

int SimWorld::CountOf(const std::string& call) const {
    const std::string failed = call + kFailedMark;
    return static_cast<int>(
        std::count_if(impl_->log.begin(), impl_->log.end(), [&](const std::string& e) { return e == call || e == failed; }));
}

// ---- objects ----

std::shared_ptr<outside::ILnsAppDevice> SimWorld::MakeAppDevice(BStr name, BStr programId) {
    return std::make_shared<SimLnsAppDevice>(shared_from_this(), std::move(name), std::move(programId));
}

std::shared_ptr<outside::ILnsSystem> SimWorld::MakeSystem() { return std::make_shared<SimLnsSystem>(shared_from_this()); }

void SimWorld::SetAnswering(const std::shared_ptr<outside::ILnsAppDevice>& device, bool answering) {
    if (auto d = std::dynamic_pointer_cast<SimLnsAppDevice>(device)) d->SetAnswering(answering);
}

std::shared_ptr<outside::IPluginServer> SimWorld::LastPluginServer() const { return impl_->pluginServers.Newest(); }
std::shared_ptr<outside::INetServDevice> SimWorld::LastNetServDevice() const { return impl_->netServDevices.Newest(); }
std::shared_ptr<outside::IPluginWorkspace> SimWorld::LastWorkspaceControl() const { return impl_->workspaceControls.Newest(); }
std::shared_ptr<outside::IQtyUnitsControl> SimWorld::LastUnitsControl() const { return impl_->unitsControls.Newest(); }

int SimWorld::LiveCount(const std::string& className) const {
    auto it = impl_->live.find(className);
    return it == impl_->live.end() ? 0 : it->second;
}
int SimWorld::LivePluginServers() const { return LiveCount("PluginServer"); }
int SimWorld::LiveWorkspaceControls() const { return LiveCount("Workspace"); }
void SimWorld::NoteLive(const std::string& className, int delta) { impl_->live[className] += delta; }

automation::ObjectRef SimWorld::LastAttachedLink() const { return impl_->attachedLink; }
automation::ObjectRef SimWorld::LastAppliedUnits() const { return impl_->appliedUnits; }
void SimWorld::NoteAttachedLink(automation::ObjectRef link) { impl_->attachedLink = std::move(link); }
void SimWorld::NoteAppliedUnits(automation::ObjectRef units) { impl_->appliedUnits = std::move(units); }

// ---- units ----

automation::ObjectRef SimWorld::MakeUnits(BStr name) { return std::make_shared<SimUnits>(std::move(name)); }

BStr SimWorld::NextUnitsName() { return u"Units " + automation::DecimalText(++impl_->unitsMade); }

bool SimWorld::HandBackUnits(const automation::ObjectRef& units) {
    auto control = LastUnitsControl();
    if (!control) return false;
    control->UnitsApplied.Raise(units);
    return true;
}

bool SimWorld::AskToClose() {
    auto control = LastUnitsControl();
    if (!control) return false;
    control->CloseRequest.Raise();
    return true;
}

BStr UnitsName(const automation::ObjectRef& units) {
    auto u = std::dynamic_pointer_cast<SimUnits>(units);
    return u ? u->Name() : BStr();
}

SimComponent::SimComponent(const std::shared_ptr<SimWorld>& world, std::string className)
    : world_(world), className_(std::move(className)) {
    if (world) world->NoteLive(className_, +1);
}

SimComponent::~SimComponent() {
    if (auto w = world_.lock()) w->NoteLive(className_, -1);
}

std::shared_ptr<SimComponent> SimComponent::Enter(const char* member) {
    auto self = weak_from_this().lock();
    if (auto w = world_.lock()) w->Call(className_ + "." + member);
    return self;
}

}  // namespace sim
