#pragma once
// Simulated outside components: the LNS AppDevice and System, the network-services device object,
// the plug-in server with its plug-ins, features and notifications, workspace controls and the
// units control. One SimWorld holds their configuration, a log of every call any of them receives
// (in order) and the faults to inject. The Linux tests and the demo drive these objects directly;
// QuilletSimComponents.dll (simcom/) hands the same objects to COM clients under Wine.
//
// Log entries ("Class.Member"); each can be made to fail with Fail() and hooked with OnCall():
//   AppDevice.Name, AppDevice.State
//   NetServDevice.Create, NetServDevice.Initialize, NetServDevice.UploadDevice,
//   NetServDevice.DownloadDevice
//   PluginServer.Create, PluginServer.LoadDevice, PluginServer.SetFeatureWindowAppearance,
//   PluginServer.LaunchFeature, PluginServer.FeatureList, PluginServer.CurrentPlugin,
//   PluginServer.CurrentDevice, PluginServer.PluginForProgramID, PluginServer.Reset,
//   PluginServer.Clear
//   FeatureList.Count, FeatureList.Item, FeatureList.Features
//   Feature.Id, Feature.Caption
//   PluginEntry.HelpFile, PluginEntry.Items
//   Workspace.Create, Workspace.NeedsUpload, Workspace.AttachLink, Workspace.Upload,
//   Workspace.SupportsEngUnits, Workspace.ApplyEngUnits   (every workspace control, fallback too)
//   QtyUnits.Create, QtyUnits.SetFlag, QtyUnits.Apply
// "X.Create" is logged when the component factory creates the object; a fault there makes the
// creation fail. Subscribing to notifications (Events(), the units control's events) is not a
// call. Notifications the simulation raises are not logged either.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "automation/Collection.h"
#include "outside/Controls.h"
#include "outside/Lns.h"
#include "outside/NetServDevice.h"
#include "outside/PluginServer.h"

namespace sim {

using automation::BStr;

struct FeatureConfig {
    std::int16_t id = 0;
    BStr caption;  // may hold "&"
};

// How a device-object operation ends.
enum class Outcome { Succeed, ReturnFalse, Fail };

struct PluginConfig {
    BStr programId;  // the device program id this plug-in serves
    BStr helpFile;   // empty: none
    std::vector<FeatureConfig> features;
    BStr workspaceProgId;                  // announced by WorkspaceAvailable; empty announces an empty id
    std::int32_t entryItems = 2;           // count of the entry's collection; < 0: the entry has no collection
    bool acceptDevice = true;              // LoadDevice's answer
    bool announceInsideLoadDevice = true;  // raise WorkspaceAvailable from inside LoadDevice
};

// How a workspace control lets a client reach its members. Controls made with a classic Visual
// Basic-style runtime implement the workspace interface as a secondary interface whose IDispatch
// answers names from the control's default interface, where those members are not.
enum class WorkspaceBinding {
    Standard,          // the interface, and names that work on it
    NamesFromDefault,  // the interface; its IDispatch knows only the default interface's names
    NoNames,           // the interface; its IDispatch knows no names at all
    NoInterface,       // no interface, but members of those names on the default IDispatch
};

struct WorkspaceControlConfig {
    BStr progId;
    bool needsUpload = true;
    bool supportsUnits = false;  // implements IPluginWorkspaceUnits
    bool unitsSupported = true;  // its SupportsEngUnits answer
    bool uploadReturns = true;   // Upload's (unused) boolean answer
    WorkspaceBinding binding = WorkspaceBinding::Standard;
};

class SimWorld : public std::enable_shared_from_this<SimWorld> {
public:
    static std::shared_ptr<SimWorld> Create();
    ~SimWorld();
    SimWorld(const SimWorld&) = delete;
    SimWorld& operator=(const SimWorld&) = delete;

    // Registers every simulated class in automation::Components() under its real class id or
    // ProgID: the plug-in server, the network-services device object, "QUCtl.QtyUnits", the
    // fallback workspace "CEAQuilletUnknownWS.Workspace" and every configured workspace ProgID.
    // The world that registered last unregisters them again when it goes.
    void RegisterComponents();
    // What the factory runs: the simulated object for a class id or ProgID, after its "X.Create"
    // call; none for an id the world does not know (or a workspace control not installed).
    automation::ObjectRef CreateComponent(std::u16string_view classIdOrProgId);

    // Back to a new world's configuration and an empty log; live objects stay and keep counting.
    void Reset();

    // Configuration.
    void AddPlugin(PluginConfig p);
    void AddWorkspaceControl(const WorkspaceControlConfig& c);  // registers it too when already registered
    void SetFallbackWorkspaceInstalled(bool installed);         // default true
    bool FallbackWorkspaceInstalled() const;
    // The configuration of that plug-in or workspace control, to change in place; none when absent.
    PluginConfig* Plugin(const BStr& programId);
    WorkspaceControlConfig* WorkspaceControl(const BStr& progId);
    Outcome uploadOutcome = Outcome::Succeed;    // NetServDevice.UploadDevice
    Outcome downloadOutcome = Outcome::Succeed;  // NetServDevice.DownloadDevice
    Outcome launchOutcome = Outcome::Succeed;    // PluginServer.LaunchFeature (ReturnFalse = Succeed)

    // Faults: a call named "Class.Member" (as it appears in the log) raises an automation::Error.
    // count < 0: every call from now on; otherwise the next count calls (0 removes the fault).
    void Fail(const std::string& call, int count = -1);
    void ClearFaults();

    // Runs inside a named call, after it is logged and before the component acts on it
    // (re-entrancy tests); an empty hook removes it. A call that fails by an injected fault does
    // not run its hook, and a hook does not run again inside itself. An error the hook raises
    // becomes the call's failure. A hook must not hold the world by shared reference (a cycle).
    void OnCall(const std::string& call, std::function<void()> hook);
    void ClearHooks();

    // The log: "Class.Member" entries, in call order. Entries for a call that raised end in " !".
    const std::vector<std::string>& Log() const;
    void ClearLog();
    std::vector<std::string> LogOf(const std::string& classPrefix) const;  // entries starting with it
    int CountOf(const std::string& call) const;                            // calls received under that name, failed ones too

    // Objects the host hands over.
    std::shared_ptr<outside::ILnsAppDevice> MakeAppDevice(BStr name, BStr programId);
    std::shared_ptr<outside::ILnsSystem> MakeSystem();
    // Makes a device stop (false) or start (true) answering its state read.
    void SetAnswering(const std::shared_ptr<outside::ILnsAppDevice>& device, bool answering);

    // The most recently created instances still alive (created through the component factory),
    // for tests that drive them; none when every such instance has gone.
    std::shared_ptr<outside::IPluginServer> LastPluginServer() const;
    std::shared_ptr<outside::INetServDevice> LastNetServDevice() const;
    std::shared_ptr<outside::IPluginWorkspace> LastWorkspaceControl() const;
    std::shared_ptr<outside::IQtyUnitsControl> LastUnitsControl() const;
    int LivePluginServers() const;  // instances not yet destroyed
    int LiveWorkspaceControls() const;
    int LiveCount(const std::string& className) const;  // by log class name, e.g. "NetServDevice"

    // What the last workspace control was given and asked (kept after the control has gone).
    automation::ObjectRef LastAttachedLink() const;
    automation::ObjectRef LastAppliedUnits() const;

    // Units control: makes the last units control hand back a new units object (event 9) or ask
    // to close (event 10). Apply() on the control hands back a units object too when this is set.
    automation::ObjectRef MakeUnits(BStr name);
    bool applyHandsBackUnits = true;
    // Apply() then asks to close as well, as a real units control does once OK has applied.
    bool applyAsksToClose = false;
    // Raise the last units control's notifications; false when no units control is alive.
    bool HandBackUnits(const automation::ObjectRef& units);
    bool AskToClose();

    // Internal: every simulated call goes through this (log, faults, hooks).
    void Call(const std::string& call);
    // Internal: what the simulated classes read and report.
    std::optional<PluginConfig> FindPlugin(const BStr& programId) const;
    std::optional<WorkspaceControlConfig> FindWorkspaceControl(const BStr& progId) const;
    void NoteAttachedLink(automation::ObjectRef link);
    void NoteAppliedUnits(automation::ObjectRef units);
    void NoteLive(const std::string& className, int delta);
    BStr NextUnitsName();

private:
    SimWorld();
    void Register(const BStr& id);
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Name of a units object made by MakeUnits or by the units control; empty for anything else.
BStr UnitsName(const automation::ObjectRef& units);

// What every simulated component shares: a weak link to its world (the world never owns its
// components, so no cycle) and the entry step of each of its calls.
class SimComponent : public std::enable_shared_from_this<SimComponent> {
public:
    SimComponent(const SimComponent&) = delete;
    SimComponent& operator=(const SimComponent&) = delete;

    const std::string& ClassName() const { return className_; }

protected:
    SimComponent(const std::shared_ptr<SimWorld>& world, std::string className);
    ~SimComponent();

    // Logs "Class.member", raises an injected fault, runs the hook. The answer keeps this object
    // alive to the end of the call, whatever a hook or a notification subscriber releases.
    std::shared_ptr<SimComponent> Enter(const char* member);
    // A call whose whole work is `body`, after the entry step.
    template <class Body>
    auto Call(const char* member, Body&& body) {
        auto keep = Enter(member);
        return body();
    }
    // A call that answers a stored value: read after the entry step, which may change it.
    template <class T>
    T Get(const char* member, const T& value) {
        auto keep = Enter(member);
        return value;
    }
    std::shared_ptr<SimWorld> World() const { return world_.lock(); }
    // An object that implements several contracts: this object as the one of Contracts whose id is `iid`.
    template <class Self, class... Contracts>
    automation::ObjectRef Answer(std::u16string_view iid) {
        auto self = std::static_pointer_cast<Self>(weak_from_this().lock());
        const BStr id = automation::UpperAscii(iid);
        automation::ObjectRef found;
        auto match = [&]<class C>() {
            if (!found && self && id == automation::UpperAscii(C::kIid)) found = std::static_pointer_cast<C>(self);
        };
        (match.template operator()<Contracts>(), ...);
        return found;
    }

private:
    std::weak_ptr<SimWorld> world_;
    std::string className_;
};

}  // namespace sim
