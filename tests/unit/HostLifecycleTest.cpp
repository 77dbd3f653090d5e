// The host's view of the component: IHalvernServer's life cycle, the session values and OnAppExit.
#include <gtest/gtest.h>

#include "session/MMain.h"
#include "support/HostSession.h"
#include "tree/CTreeViewActive.h"

using automation::kFalse;
using automation::kTrue;

namespace {
// RunFullAppView's failure as the host sees it: the error number and the start of its text.
std::string OpenFailure(HostSession& s) {
    try {
        s.Open();
    } catch (const automation::Error& e) {
        return std::to_string(e.Code() & 0xFFFF) + " " + U8(e.Description()).substr(0, 23);
    }
    return "no failure";
}
const std::string kNotSet = "91 Object variable not set";
}  // namespace

TEST(HostLifecycle, FullSessionFromStartToAppExit) {
    HostSession s;
    EXPECT_EQ(MMain::LnsObjSvrVersion(), -1.0f);
    EXPECT_EQ(s.Start(), kTrue);
    auto& w = s.Window();
    EXPECT_FALSE(w.IsShown()) << "StartApp loads the window without showing it";
    EXPECT_EQ(MMain::LnsObjSvrVersion(), 3.2f);
    EXPECT_EQ(MMain::PlugInDescription(), u"Fan Controller");
    EXPECT_EQ(MMain::NVDeviceNameAddress(), u"Fan Coil 1/nvoStatus");
    EXPECT_EQ(MMain::LnsAppDevice(), s.device);
    EXPECT_EQ(MMain::CPsRefNVsCol(), s.cps);
    EXPECT_EQ(MMain::PluginServerLink(), nullptr) << "no link before the first LoadDevicePlugin";
    EXPECT_EQ(s.Form()->InHalvern(), kTrue);

    // Shown and repainted at once, before the device goes to the plug-in server.
    int repaintsAtHandOver = -1;
    s.world->OnCall("NetServDevice.Create", [&] { repaintsAtHandOver = w.RepaintCount(); });
    const int repaintsBefore = w.RepaintCount();
    EXPECT_EQ(s.Open(), -1);
    EXPECT_EQ(repaintsAtHandOver, repaintsBefore + 1);
    EXPECT_TRUE(w.IsShown());
    EXPECT_EQ(w.Caption(), u"Fan Controller");
    EXPECT_EQ(s.Form()->HalvernPIOnly(), kFalse);
    EXPECT_NE(MMain::PluginServerLink(), nullptr);
    EXPECT_TRUE(s.Control(u"FraWorkspace", 2)->Visible()) << s.Dump();
    ASSERT_NE(w.Find(u"ctlWorkspace"), nullptr) << s.Dump();

    // What the host can read from inside its OnAppExit handler.
    std::string seenAtAppExit;
    auto sub = s.server->OnAppExit.Subscribe([&] {
        seenAtAppExit = std::string(MMain::MainForm() ? "MainForm set" : "MainForm empty") +
                        (MMain::MainWindow() ? ", MainWindow set" : ", MainWindow empty") + ", version " +
                        std::to_string(MMain::LnsObjSvrVersion());
    });
    s.Exit();
    EXPECT_EQ(s.hostEvents, std::vector<std::string>{"OnAppExit"});
    EXPECT_EQ(seenAtAppExit, "MainForm empty, MainWindow empty, version -1.000000");
    EXPECT_EQ(MMain::PlugInDescription(), u"Fan Controller") << "other values stay until the next StartApp";
    EXPECT_EQ(s.world->LivePluginServers(), 0);
    EXPECT_EQ(s.world->LiveWorkspaceControls(), 0);
}

TEST(HostLifecycle, StateTableCreatedStartedClosed) {
    HostSession s;
    // Created: RunFullAppView fails, ExitApp does nothing.
    EXPECT_EQ(OpenFailure(s), kNotSet);
    s.Exit();
    EXPECT_TRUE(s.hostEvents.empty());

    // Started: a second StartApp returns false and changes nothing.
    ASSERT_EQ(s.Start(), kTrue);
    auto form = MMain::MainForm();
    auto other = s.world->MakeAppDevice(u"Other", u"9000000000000000");
    EXPECT_EQ(s.server->StartApp(other, s.system, 4.0f, kFalse, u"Other", u"x", nullptr, kFalse), kFalse);
    EXPECT_EQ(MMain::MainForm(), form);
    EXPECT_EQ(MMain::LnsAppDevice(), s.device);
    EXPECT_EQ(MMain::PlugInDescription(), u"Fan Controller");
    EXPECT_EQ(s.Open(), -1);
    EXPECT_EQ(s.Open(), -1) << "opening again populates again";

    // Started -> Closed; ExitApp twice closes once and raises OnAppExit once.
    s.Exit();
    s.Exit();
    EXPECT_EQ(s.hostEvents.size(), 1u);
    EXPECT_FALSE(s.server->Started());
    EXPECT_EQ(s.Start(), kFalse) << "a session is used once";
    EXPECT_EQ(OpenFailure(s), kNotSet);
}

TEST(HostLifecycle, WindowClosedByUserLeavesFlagSet) {
    OpenedSession s;
    s.platform->CloseWindow(s.Window());
    EXPECT_EQ(s.hostEvents, std::vector<std::string>{"OnAppExit"});
    EXPECT_EQ(MMain::MainForm(), nullptr);
    EXPECT_EQ(MMain::LnsObjSvrVersion(), -1.0f);
    EXPECT_TRUE(s.server->Started()) << "the started flag is not cleared by the window's end";
    EXPECT_EQ(s.Start(), kFalse);
    EXPECT_EQ(OpenFailure(s), kNotSet) << "the relay is gone";
    s.Exit();
    EXPECT_FALSE(s.server->Started());
    EXPECT_EQ(s.hostEvents.size(), 1u);
}

TEST(HostLifecycle, AppExitArrivesInsideExitAppAndHostMayReleaseTheServer) {
    OpenedSession s;
    bool insideExit = false, exiting = false;
    auto sub = s.server->OnAppExit.Subscribe([&] {
        insideExit = exiting;
        s.server.reset();  // the host lets go of the component from its handler
    });
    auto keep = s.server;
    exiting = true;
    keep->ExitApp();
    exiting = false;
    EXPECT_TRUE(insideExit);
    sub.Reset();
    keep.reset();
    EXPECT_EQ(MMain::LnsAppDevice(), nullptr) << "destruction clears the device";
    EXPECT_EQ(MMain::LnsObjSvrVersion(), -1.0f);
}

TEST(HostLifecycle, ExitAppOfAnObjectNeverStartedLeavesTheDisplayOpen) {
    OpenedSession s;
    auto other = std::make_shared<IHalvernServer>();
    other->ExitApp();
    EXPECT_NE(MMain::MainForm(), nullptr);
    EXPECT_FALSE(s.Window().IsUnloaded());
    EXPECT_TRUE(s.hostEvents.empty());
}

TEST(HostLifecycle, RunFullAppViewReturnsThePluginServersAnswer) {
    HostSession s(false);
    s.world->AddPlugin(
        {.programId = HostSession::kProgramId, .helpFile = {}, .features = {}, .workspaceProgId = u"", .acceptDevice = false});
    ASSERT_EQ(s.Start(), kTrue);
    EXPECT_EQ(s.Open(), 0);
    EXPECT_TRUE(s.Window().IsShown());
}

TEST(HostLifecycle, StartAppFailureGoesToHostAndLeavesObjectNotStarted) {
    HostSession s;
    s.world->Fail("PluginServer.Create", 1);
    EXPECT_THROW(s.Start(), automation::Error);
    EXPECT_FALSE(s.server->Started());
}

TEST(HostLifecycle, IsPlugInExistCountsMoreThanOne) {
    HostSession s(false);
    auto add = [&](const char16_t* id, std::int32_t items) {
        s.world->AddPlugin({.programId = id, .helpFile = {}, .features = {}, .workspaceProgId = {}, .entryItems = items});
    };
    add(u"A", 2);
    add(u"B", 1);
    add(u"C", -1);
    add(u"D", 5);
    EXPECT_EQ(s.server->IsPlugInExist(u"A"), kTrue);
    EXPECT_EQ(s.server->IsPlugInExist(u"D"), kTrue);
    EXPECT_EQ(s.server->IsPlugInExist(u"B"), kFalse) << "exactly one item is not enough";
    EXPECT_EQ(s.server->IsPlugInExist(u"C"), kFalse) << "no collection";
    EXPECT_EQ(s.server->IsPlugInExist(u"Z"), kFalse) << "no entry";
    s.world->Fail("PluginServer.PluginForProgramID");
    EXPECT_EQ(s.server->IsPlugInExist(u"A"), kFalse) << "failures give false";
    s.world->ClearFaults();
    s.world->Fail("PluginServer.Create");
    EXPECT_EQ(s.server->IsPlugInExist(u"A"), kFalse);
    EXPECT_EQ(s.world->LivePluginServers(), 0) << "the short-lived server is released";
}

TEST(SessionValues, ComponentLoadStartsFromTheInitialValues) {
    OpenedSession s;
    s.Exit();
    MMain::ResetForComponentLoad();
    EXPECT_EQ(MMain::LnsObjSvrVersion(), 0.0f);
    EXPECT_EQ(MMain::SupportsFileType2Config(), kFalse);
    EXPECT_EQ(MMain::IsLNSPI(), kFalse);
    EXPECT_EQ(MMain::PlugInDescription(), u"");
    EXPECT_EQ(MMain::NVDeviceNameAddress(), u"");
    EXPECT_FALSE(MMain::HoldsOutsideObjects());
}

TEST(SessionValues, ObjectServerVersionTestAndSharedValues) {
    HostSession s;
    auto at = [](float v) {
        MMain::SetLnsObjSvrVersion(v);
        return MMain::IsObjSvrVersionAtLeast32();
    };
    EXPECT_EQ(at(3.2f), kTrue);
    EXPECT_EQ(at(4.0f), kTrue);
    EXPECT_EQ(at(3.19f), kFalse);
    EXPECT_EQ(at(0.0f), kFalse);
    EXPECT_EQ(at(-1.0f), kFalse);
    EXPECT_EQ(at(static_cast<float>(3.2)), kTrue);

    ASSERT_EQ(s.Start(), kTrue);
    auto second = std::make_shared<IHalvernServer>();
    EXPECT_EQ(MMain::LnsAppDevice(), nullptr) << "a second object clears the shared values";
    EXPECT_EQ(MMain::LnsSystem(), nullptr);
    EXPECT_EQ(MMain::LnsObjSvrVersion(), -1.0f);
    EXPECT_NE(MMain::MainForm(), nullptr);
}
