// Every call the component makes on an outside component, made to fail in turn during a whole
// host session: nothing crashes, hangs or leaks, and each failure ends the way it is meant to.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "session/MMain.h"
#include "support/HostSession.h"

namespace {
const std::string kCannotCommunicate = "Cannot communicate with device - please check connections";

// What the host and the user met in one session.
struct Record {
    std::set<std::string> failedSteps;  // steps whose action raised to the host or user
    std::int32_t openResult = 99;
    bool deviceViewShown = false;  // right after RunFullAppView
    bool errorViewShown = false;
    std::vector<std::string> statusAfterTick;
    std::vector<std::string> boxes;  // titles
    int appExits = 0;
    std::int16_t menuItems = 0;
    std::vector<std::string> calls;  // every call the outside components received
};

Record Play(const std::function<void(sim::SimWorld&)>& arrange) {
    Record r;
    HostSession s;
    arrange(*s.world);
    auto act = [&](const char* step, auto&& fn) {
        if (!automation::IgnoreFailure(fn)) r.failedSteps.insert(step);
    };
    auto win = [] { return MMain::MainWindow(); };
    act("IsPlugInExist", [&] { s.server->IsPlugInExist(HostSession::kProgramId); });
    act("StartApp", [&] { s.Start(); });
    act("RunFullAppView", [&] { r.openResult = s.Open(); });
    if (win()) {
        r.deviceViewShown = win()->Get(u"FraWorkspace", 2)->Visible();
        r.errorViewShown = win()->Get(u"FraWorkspace", 3)->Visible();
        r.menuItems = static_cast<std::int16_t>(win()->Array(u"mnuDevPI").size() - 1);
    }
    act("Tick", [&] {
        s.platform->Advance(10000);
        if (win()) r.statusAfterTick.push_back(U8(s.Status()));
    });
    act("Feature", [&] {
        if (auto w = win())
            if (auto item = w->Find(u"mnuDevPI", 1)) item->Click.Raise();
    });
    act("Refresh", [&] {
        if (auto w = win()) w->Get(u"mnuViews", 0)->Click.Raise();
    });
    act("Help", [&] {
        if (auto w = win()) w->Get(u"mnuHelps", 0)->Click.Raise();
    });
    act("Units", [&] {
        if (auto w = win()) {
            s.platform->QueueModal([&s](ui::Window& dialog) {
                dialog.Get(u"CmdOK")->Click.Raise();
                s.world->AskToClose();
            });
            w->Get(u"mnuTools", 0)->Click.Raise();
        }
    });
    act("Requests", [&] {
        if (auto server = s.PluginServer()) {
            server->RaiseRequestUpload();
            server->RaiseRequestDownload();
        }
    });
    act("ExitApp", [&] { s.Exit(); });
    for (auto& b : s.platform->MessageBoxes()) r.boxes.push_back(U8(b.title));
    r.appExits = static_cast<int>(s.hostEvents.size());
    for (auto c : s.world->Log()) {
        if (c.size() > 2 && c.compare(c.size() - 2, 2, " !") == 0) c.resize(c.size() - 2);
        r.calls.push_back(c);
    }
    return r;
}

bool Has(const std::vector<std::string>& v, const std::string& x) { return std::find(v.begin(), v.end(), x) != v.end(); }
bool HasPrefix(const std::vector<std::string>& v, const std::string& p) {
    return std::any_of(v.begin(), v.end(), [&](const std::string& x) { return x.rfind(p, 0) == 0; });
}
const std::string kLaunchBox = "Quillet - ";
const std::string kUploadBox = "Quillet Plug-in Upload Error";
const std::string kDownloadBox = "Quillet Plug-in Download Error";

// What each failing call is meant to lead to.
const std::map<std::string, std::function<void(const Record&)>> kDesigned = {
    {"PluginServer.Create", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("StartApp")); }},
    {"PluginServer.PluginForProgramID", [](const Record& r) { EXPECT_FALSE(r.failedSteps.count("IsPlugInExist")); }},
    {"PluginEntry.Items", [](const Record& r) { EXPECT_FALSE(r.failedSteps.count("IsPlugInExist")); }},
    {"NetServDevice.Create", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("RunFullAppView")); }},
    {"NetServDevice.Initialize", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("RunFullAppView")); }},
    {"PluginServer.LoadDevice",
     [](const Record& r) {
         EXPECT_EQ(r.openResult, 0);
         EXPECT_FALSE(r.deviceViewShown);
     }},
    {"PluginServer.FeatureList", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("RunFullAppView")); }},
    {"FeatureList.Count", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("RunFullAppView")); }},
    {"FeatureList.Features", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("RunFullAppView")); }},
    {"Feature.Id", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("RunFullAppView")); }},
    {"Feature.Caption",
     [](const Record& r) {
         EXPECT_TRUE(r.failedSteps.count("RunFullAppView"));
         EXPECT_EQ(r.menuItems, 0) << "never a half-built menu";
     }},
    {"PluginServer.CurrentPlugin", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("RunFullAppView")); }},
    {"PluginEntry.HelpFile", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("RunFullAppView")); }},
    {"FeatureList.Item",
     [](const Record& r) { EXPECT_FALSE(HasPrefix(r.boxes, kLaunchBox)) << "a feature that cannot be read is a silent return"; }},
    {"Workspace.Create", [](const Record& r) { EXPECT_TRUE(r.errorViewShown); }},
    {"Workspace.AttachLink", [](const Record& r) { EXPECT_TRUE(r.errorViewShown); }},
    {"Workspace.Upload",
     [](const Record& r) {
         EXPECT_TRUE(r.errorViewShown);
         EXPECT_FALSE(r.deviceViewShown);
     }},
    {"Workspace.NeedsUpload", [](const Record& r) { EXPECT_TRUE(r.deviceViewShown); }},
    {"Workspace.SupportsEngUnits", [](const Record& r) { EXPECT_TRUE(r.deviceViewShown); }},
    {"Workspace.ApplyEngUnits", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("Units")); }},
    {"AppDevice.State", [](const Record& r) { EXPECT_EQ(r.statusAfterTick, std::vector<std::string>{kCannotCommunicate}); }},
    {"AppDevice.Name", [](const Record& r) { EXPECT_TRUE(HasPrefix(r.boxes, kLaunchBox)); }},
    {"PluginServer.CurrentDevice", [](const Record& r) { EXPECT_TRUE(HasPrefix(r.boxes, kLaunchBox)); }},
    {"PluginServer.SetFeatureWindowAppearance", [](const Record& r) { EXPECT_TRUE(HasPrefix(r.boxes, kLaunchBox)); }},
    {"PluginServer.LaunchFeature", [](const Record& r) { EXPECT_TRUE(HasPrefix(r.boxes, kLaunchBox)); }},
    {"NetServDevice.UploadDevice",
     [](const Record& r) {
         EXPECT_TRUE(HasPrefix(r.boxes, kLaunchBox));
         EXPECT_TRUE(Has(r.boxes, kUploadBox));
     }},
    {"NetServDevice.DownloadDevice", [](const Record& r) { EXPECT_TRUE(Has(r.boxes, kDownloadBox)); }},
    {"QtyUnits.Create", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("Units")); }},
    {"QtyUnits.SetFlag", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("Units")); }},
    {"QtyUnits.Apply", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("Units")); }},
    // Closing cannot be refused: the window goes and the host hears of it; ExitApp reports the failure.
    {"PluginServer.Reset", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("ExitApp")); }},
    {"PluginServer.Clear", [](const Record& r) { EXPECT_TRUE(r.failedSteps.count("ExitApp")); }},
};
}  // namespace

TEST(FaultSweep, EveryOutsideCallFailingInTurn) {
    const Record reference = Play([](sim::SimWorld&) {});
    ASSERT_TRUE(reference.failedSteps.empty()) << *reference.failedSteps.begin();
    ASSERT_TRUE(reference.deviceViewShown);
    ASSERT_EQ(reference.appExits, 1);
    std::set<std::string> calls(reference.calls.begin(), reference.calls.end());
    for (const auto& call : calls) {
        SCOPED_TRACE(call);
        auto designed = kDesigned.find(call);
        ASSERT_NE(designed, kDesigned.end()) << "no designed outcome written down for " << call;
        const Record r = Play([&](sim::SimWorld& w) { w.Fail(call); });
        designed->second(r);
        // Whatever failed, a started session ends with the window gone and the host told once.
        if (!r.failedSteps.count("StartApp")) {
            EXPECT_EQ(r.appExits, 1);
        }
        EXPECT_EQ(MMain::MainForm(), nullptr);
    }
}

TEST(FaultSweep, NothingOutlivesAFailedSession) {
    for (const char* call : {"Workspace.Upload", "PluginServer.Reset", "QtyUnits.Apply", "NetServDevice.Initialize"}) {
        std::weak_ptr<sim::SimWorld> world;
        int servers = -1, controls = -1, devices = -1;
        {
            HostSession s;
            world = s.world;
            s.world->Fail(call);
            automation::IgnoreFailure([&] { s.StartAndOpen(); });
            automation::IgnoreFailure([&] { s.Exit(); });
            s.server.reset();
            // The session keeps the last device link until the next StartApp; nothing else may.
            MMain::SetPluginServerLink(nullptr);
            servers = s.world->LivePluginServers();
            controls = s.world->LiveWorkspaceControls();
            // The simulation itself remembers the link the workspace control was given.
            devices = s.world->LiveCount("NetServDevice") - (s.world->LastAttachedLink() ? 1 : 0);
        }
        EXPECT_EQ(servers, 0) << call;
        EXPECT_EQ(controls, 0) << call;
        EXPECT_EQ(devices, 0) << call;
        EXPECT_TRUE(world.expired()) << call;
    }
}
