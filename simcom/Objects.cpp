// The COM face of the simulated LNS objects, collections, the network-services device object, the
// plug-in server with its features and entries, units objects, and the configuration object
// "QuilletSim.Control" through which a test host sets up the one world of the process.
#include "SimCom.h"
#include "sim/SimPluginServer.h"
#include "sim/SimNetServDevice.h"
#include "sim/SimWorkspaceControl.h"

namespace qsim {

using namespace sim;

namespace {

// A property of the object: read, or written when the call is a put.
#define QSIM_PROP(T, get, set) QSIM_ON(T, if (!a.put) return get; set; return {};)

const Member kAppDevice[] = {
    {u"Name", 1, QSIM_PROP(SimLnsAppDevice, s.Name(), s.SetName(a.Str(0)))},
    {u"State", 2, QSIM_ON(SimLnsAppDevice, return s.State();)},
    {u"ProgramId", 3, QSIM_PROP(SimLnsAppDevice, s.ProgramId(), s.SetProgramId(a.Str(0)))},
    {u"Answering", 4, QSIM_PROP(SimLnsAppDevice, Variant::FromBool(s.Answering()), s.SetAnswering(a.Bool(0)))},
};

// The automation runtime's collection, in its member order.
const Member kCollection[] = {
    {u"Item", 0, QSIM_ON(automation::Collection, return s.Item(a[0]);)},
    {u"Add", 1, QSIM_ON(automation::Collection, s.Add(a[0], a.Str(1)); return {};)},
    {u"Count", 2, QSIM_ON(automation::Collection, return s.Count();)},
    {u"Remove", 3, QSIM_ON(automation::Collection, s.Remove(a[0]); return {};)},
    {u"_NewEnum", DISPID_NEWENUM, QSIM_ON(automation::Collection, return Enumerator(s.Items());)},
};

const Member kNetServDevice[] = {
    {u"Initialize", 1,
     QSIM_ON(SimNetServDevice, float version = a[2].AsR4(); automation::VBool fileType2 = a[3].AsBool(); s.Initialize(
         std::dynamic_pointer_cast<outside::ILnsAppDevice>(a.Obj(0)), std::dynamic_pointer_cast<outside::ILnsSystem>(a.Obj(1)),
         version, fileType2, std::dynamic_pointer_cast<automation::Collection>(a.Obj(4)));
             return {};)},
    {u"UploadDevice", 2, QSIM_ON(SimNetServDevice, return Bool(s.UploadDevice());)},
    {u"DownloadDevice", 3, QSIM_ON(SimNetServDevice, return Bool(s.DownloadDevice());)},
    // What the test host reads back: the LNS device it was given and, on the link, its name.
    {u"AppDevice", 4, QSIM_ON(SimNetServDevice, return ObjectRef(s.AppDevice());)},
    {u"DeviceName", 5, QSIM_ON(SimNetServDevice, return DeviceNameOf(self_.Target());)},
};

constexpr DISPID kRequestUpload = 21;
constexpr DISPID kWorkspaceAvailable = 22;
constexpr DISPID kRequestDownload = 23;

const Member kPluginServer[] = {
    {u"LoadDevice", 1,
     QSIM_ON(SimPluginServer, auto features = std::dynamic_pointer_cast<automation::Collection>(a.Obj(1));
             const auto passed = features;
             const automation::VBool taken = s.LoadDevice(a[0], features, a[2].AsBool(), a[3].AsBool());
             if (features != passed) a.Replace(1, features); return Bool(taken);)},
    {u"SetFeatureWindowAppearance", 2, QSIM_ON(SimPluginServer, s.SetFeatureWindowAppearance(a.Str(0), a.Obj(1)); return {};)},
    {u"LaunchFeature", 3, QSIM_ON(SimPluginServer, s.LaunchFeature(a[0].AsI2(), a[1].AsI4()); return {};)},
    {u"FeatureList", 4, QSIM_ON(SimPluginServer, return ObjectRef(s.FeatureList());)},
    {u"CurrentPlugin", 5, QSIM_ON(SimPluginServer, return ObjectRef(s.CurrentPlugin());)},
    {u"CurrentDevice", 6, QSIM_ON(SimPluginServer, return ObjectRef(s.CurrentDevice());)},
    {u"PluginForProgramID", 7, QSIM_ON(SimPluginServer, return ObjectRef(s.PluginForProgramID(a.Str(0)));)},
    {u"Reset", 8, QSIM_ON(SimPluginServer, s.Reset(); return {};)},
    {u"Clear", 9, QSIM_ON(SimPluginServer, s.Clear(); return {};)},
};

const Member kFeatureList[] = {
    {u"Item", 0, QSIM_ON(SimFeatureList, return ObjectRef(s.Item(a[0].AsI2()));)},
    {u"Count", 1, QSIM_ON(SimFeatureList, return s.Count();)},
    {u"_NewEnum", DISPID_NEWENUM,
     QSIM_ON(SimFeatureList, std::vector<Variant> items; for (auto& f
                                                              : s.Features()) items.emplace_back(ObjectRef(f));
             return Enumerator(std::move(items));)},
};

const Member kFeature[] = {
    {u"Id", 1, QSIM_ON(SimFeature, return s.Id();)},
    {u"Caption", 2, QSIM_ON(SimFeature, return s.Caption();)},
};

const Member kPluginEntry[] = {
    {u"HelpFile", 1, QSIM_ON(SimPluginEntry, return s.HelpFile();)},
    {u"Items", 2, QSIM_ON(SimPluginEntry, return ObjectRef(s.Items());)},
};

const Member kUnits[] = {{u"Name", 0, QSIM_ON(SimUnits, return s.Name();)}};

const Kind kPluginServerKind{
    {outside::IPluginServer::kIid}, kPluginServer, &__uuidof(_ISimPluginServerEvents), &__uuidof(::PluginServer)};

template <class T>
bool Is(automation::Object* p) {
    return dynamic_cast<T*>(p) != nullptr;
}

const struct {
    bool (*is)(automation::Object*);
    Kind kind;
} kKinds[] = {
    {Is<SimLnsAppDevice>, {{outside::ILnsAppDevice::kIid}, kAppDevice}},
    {Is<SimLnsSystem>, {{outside::ILnsSystem::kIid}, {}}},
    {Is<automation::Collection>, {{automation::Collection::kIid}, kCollection}},
    {Is<SimNetServDevice>, {{outside::INetServDevice::kIid, outside::INetServDeviceLink::kIid}, kNetServDevice}},
    {Is<SimFeatureList>, {{}, kFeatureList}},
    {Is<SimFeature>, {{}, kFeature}},
    {Is<SimPluginEntry>, {{}, kPluginEntry}},
    {Is<SimUnits>, {{}, kUnits}},
};

// ---- the configuration object ----

std::shared_ptr<SimPluginServer> LastServer() { return std::dynamic_pointer_cast<SimPluginServer>(World().LastPluginServer()); }

PluginConfig& PluginOf(const BStr& programId) {
    if (PluginConfig* p = World().Plugin(programId)) return *p;
    automation::Raise(E_INVALIDARG, u"No plug-in for " + programId);
}

#define QSIM_WORLD(...)                              \
    [](ComObject&, Args& a) -> Variant {             \
        [[maybe_unused]] sim::SimWorld& w = World(); \
        (void)a;                                     \
        __VA_ARGS__                                  \
    }
#define QSIM_FLAG(field) QSIM_WORLD(if (!a.put) return Variant::FromBool(w.field); w.field = a.Bool(0); return {};)

const Member kControl[] = {
    {u"Reset", 1, QSIM_WORLD(ResetWorld(); return {};)},
    {u"AddPlugin", 2,
     QSIM_WORLD(PluginConfig p; p.programId = a.Str(0); p.helpFile = a.Str(1); p.workspaceProgId = a.Str(2);
                p.acceptDevice = a.Bool(3); if (PluginConfig* existing = w.Plugin(p.programId))* existing = p;
                else w.AddPlugin(p); return {};)},
    {u"AddFeature", 3, QSIM_WORLD(PluginOf(a.Str(0)).features.push_back({a[1].AsI2(), a.Str(2)}); return {};)},
    {u"SetPluginOption", 4,
     QSIM_WORLD(PluginConfig& p = PluginOf(a.Str(0)); const BStr option = automation::UpperAscii(a.Str(1));
                if (option == u"ENTRYITEMS") p.entryItems = a[2].AsI4();
                else if (option == u"ANNOUNCEINSIDELOADDEVICE") p.announceInsideLoadDevice = a.Bool(2);
                else automation::Raise(E_INVALIDARG, u"Unknown plug-in option " + a.Str(1)); return {};)},
    {u"ConfigureWorkspace", 5,
     QSIM_WORLD(WorkspaceControlConfig* c = w.WorkspaceControl(a.Str(0));
                if (!c) automation::Raise(E_INVALIDARG, u"No workspace control " + a.Str(0)); c->needsUpload = a.Bool(1);
                c->unitsSupported = a.Bool(2); c->uploadReturns = a.Bool(3); return {};)},
    {u"FallbackInstalled", 6,
     QSIM_WORLD(if (!a.put) return Variant::FromBool(w.FallbackWorkspaceInstalled()); w.SetFallbackWorkspaceInstalled(a.Bool(0));
                return {};)},
    {u"SetOutcome", 7,
     QSIM_WORLD(const BStr op = automation::UpperAscii(a.Str(0)); Outcome* o = op == u"UPLOADDEVICE"     ? &w.uploadOutcome
                                                                               : op == u"DOWNLOADDEVICE" ? &w.downloadOutcome
                                                                               : op == u"LAUNCHFEATURE"  ? &w.launchOutcome
                                                                                                         : nullptr;
                const std::int32_t n = a[1].AsI4(); if (!o) automation::Raise(E_INVALIDARG, u"Unknown operation " + a.Str(0));
                if (n < 0 || n > 2) automation::Raise(E_INVALIDARG, u"Outcome is 0 (succeed), 1 (return false) or 2 (fail)");
                *o = static_cast<Outcome>(n); return {};)},
    {u"Fail", 8, QSIM_WORLD(w.Fail(automation::ToUtf8(a.Str(0)), a[1].AsI4()); return {};)},
    {u"ClearFaults", 9, QSIM_WORLD(w.ClearFaults(); return {};)},
    {u"Log", 10,
     QSIM_WORLD(std::string all; for (const auto& e
                                      : w.Log()) all += (all.empty() ? "" : "\n") + e;
                return automation::FromUtf8(all);)},
    {u"ClearLog", 11, QSIM_WORLD(w.ClearLog(); return {};)},
    {u"CountOf", 12, QSIM_WORLD(return static_cast<std::int32_t>(w.CountOf(automation::ToUtf8(a.Str(0))));)},
    {u"MakeUnits", 13, QSIM_WORLD(return w.MakeUnits(a.Str(0));)},
    {u"ApplyHandsBackUnits", 14, QSIM_FLAG(applyHandsBackUnits)},
    {u"RaiseUnitsApplied", 15, QSIM_WORLD(w.HandBackUnits(w.MakeUnits(a.Str(0))); return {};)},
    {u"RaiseCloseRequest", 16, QSIM_WORLD(w.AskToClose(); return {};)},
    {u"RaiseRequestUpload", 17, QSIM_WORLD(if (auto s = LastServer()) s->RaiseRequestUpload(); return {};)},
    {u"RaiseRequestDownload", 18, QSIM_WORLD(if (auto s = LastServer()) s->RaiseRequestDownload(); return {};)},
    {u"RaiseWorkspaceAvailable", 19, QSIM_WORLD(if (auto s = LastServer()) s->RaiseWorkspaceAvailable(a.Str(0)); return {};)},
    {u"LivePluginServers", 20, QSIM_WORLD(return static_cast<std::int32_t>(w.LivePluginServers());)},
    {u"LiveWorkspaceControls", 21, QSIM_WORLD(return static_cast<std::int32_t>(w.LiveWorkspaceControls());)},
    {u"LastAttachedLink", 22, QSIM_WORLD(return w.LastAttachedLink();)},
    {u"LastAppliedUnits", 23, QSIM_WORLD(return w.LastAppliedUnits();)},
    {u"LastWorkspaceText", 24, QSIM_WORLD(return WorkspaceText(w.LastWorkspaceControl());)},
    {u"FeatureWindowCaption", 25, QSIM_WORLD(auto s = LastServer(); return s ? s->FeatureWindowCaption() : BStr();)},
    {u"ApplyAsksToClose", 26, QSIM_FLAG(applyAsksToClose)},
    {u"LastLoadedDevice", 27, QSIM_WORLD(auto s = LastServer(); return s ? s->Device() : ObjectRef();)},
    {u"LastLaunchedFeature", 28,
     QSIM_WORLD(auto s = LastServer();
                return static_cast<std::int32_t>(s && !s->Launches().empty() ? s->Launches().back().featureId : 0);)},
    {u"LastLaunchOwner", 29,
     QSIM_WORLD(auto s = LastServer();
                return static_cast<std::int32_t>(s && !s->Launches().empty() ? s->Launches().back().ownerWindow : 0);)},
};

const Kind kControlKind{{}, kControl};

// The workspace classes of this DLL, under their ProgIDs; ConfigureWorkspace changes them.
void AddOwnWorkspaces(SimWorld& w) {
    for (bool units : {false, true}) {
        WorkspaceControlConfig c;
        c.progId = units ? u"QuilletSim.UnitsWorkspace" : u"QuilletSim.Workspace";
        c.supportsUnits = units;
        w.AddWorkspaceControl(c);
    }
    const std::pair<const char16_t*, sim::WorkspaceBinding> awkward[] = {
        {u"QuilletSim.VbWorkspace", sim::WorkspaceBinding::NamesFromDefault},
        {u"QuilletSim.NamelessWorkspace", sim::WorkspaceBinding::NoNames},
        {u"QuilletSim.NamesOnlyWorkspace", sim::WorkspaceBinding::NoInterface},
    };
    for (const auto& [progId, binding] : awkward) {
        WorkspaceControlConfig c;
        c.progId = progId;
        c.binding = binding;
        w.AddWorkspaceControl(c);
    }
}

}  // namespace

SimWorld& World() {
    // Never destroyed: objects may outlive static destruction at process exit.
    static SimWorld* world = [] {
        auto* w = new std::shared_ptr<SimWorld>(SimWorld::Create());
        AddOwnWorkspaces(**w);
        return w->get();
    }();
    return *world;
}

void ResetWorld() {
    World().Reset();
    AddOwnWorkspaces(World());
}

BStr DeviceNameOf(const ObjectRef& deviceOrLink) {
    auto device = std::dynamic_pointer_cast<SimNetServDevice>(deviceOrLink);
    auto app = device ? std::dynamic_pointer_cast<SimLnsAppDevice>(device->AppDevice()) : nullptr;
    return app ? app->CurrentName() : BStr();
}

IDispatch* NewWrapper(const ObjectRef& obj) {
    if (auto server = std::dynamic_pointer_cast<SimPluginServer>(obj)) {
        auto* o = new ComObject(obj, kPluginServerKind);
        auto& events = server->Events();
        o->Keep(events.RequestDownload.Subscribe([o] { o->Fire(kRequestDownload); }));
        o->Keep(events.RequestUpload.Subscribe([o] { o->Fire(kRequestUpload); }));
        o->Keep(
            events.WorkspaceAvailable.Subscribe([o](const BStr& progId) { o->Fire(kWorkspaceAvailable, {Variant(progId)}); }));
        return o;
    }
    for (const auto& [is, kind] : kKinds)
        if (is(obj.get())) return new ComObject(obj, kind);
    return nullptr;
}

IDispatch* NewConfiguration() { return new ComObject(nullptr, kControlKind); }

}  // namespace qsim
