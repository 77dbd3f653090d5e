// Outside components that call back at awkward moments: notifications inside server calls,
// ExitApp from inside notifications and from the host's own OnAppExit handler, the window closed
// while a feature launch is under way.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "session/MMain.h"
#include "support/HostSession.h"

using automation::kTrue;

namespace {
// Plays the host and a user through one display; failures a host or user action meets are
// counted, not thrown.
int PlaySession(HostSession& s) {
    int failures = 0;
    auto act = [&](auto&& fn) { failures += automation::IgnoreFailure(fn) ? 0 : 1; };
    act([&] { s.Start(); });
    act([&] { s.Open(); });
    act([&] { s.platform->Advance(10000); });
    act([&] {
        if (MMain::MainWindow())
            if (auto item = MMain::MainWindow()->Find(u"mnuDevPI", 1)) item->Click.Raise();
    });
    act([&] {
        if (MMain::MainWindow()) MMain::MainWindow()->Get(u"mnuViews", 0)->Click.Raise();
    });
    act([&] { s.Exit(); });
    return failures;
}
}  // namespace

// The plug-in server may announce anything from inside any outside call, even one made while the
// window is being taken apart.
TEST(Reentrancy, NotificationsInsideEveryOutsideCall) {
    std::set<std::string> calls;
    {
        HostSession s;
        PlaySession(s);
        for (const auto& call : s.world->Log()) calls.insert(call.substr(0, call.find(' ')));
    }
    ASSERT_GT(calls.size(), 20u);
    for (const auto& call : calls) {
        HostSession s;
        s.world->OnCall(call, [&s] {
            auto server = s.PluginServer();
            if (!server) return;
            server->RaiseRequestUpload();
            server->RaiseRequestDownload();
            server->RaiseWorkspaceAvailable(HostSession::kWorkspaceProgId);
        });
        PlaySession(s);
        EXPECT_EQ(s.hostEvents.size(), 1u) << call;
        EXPECT_EQ(MMain::MainForm(), nullptr) << call;
        EXPECT_TRUE(s.Boxes().empty()) << call << ": upload and download succeed, nothing to report";
        s.world->ClearHooks();
    }
}

TEST(Reentrancy, ExitAppFromInsideAPluginNotification) {
    HostSession s;
    ASSERT_EQ(s.Start(), kTrue);
    // The server announces its workspace inside LoadDevice; the host closes the display right then.
    s.world->OnCall("Workspace.Create", [&s] { s.server->ExitApp(); });
    // The window went away under the call; the host may see a failure, never a crash.
    automation::IgnoreFailure([&] { s.Open(); });
    EXPECT_EQ(s.hostEvents.size(), 1u);
    EXPECT_EQ(MMain::MainForm(), nullptr);
    s.world->ClearHooks();
}

TEST(Reentrancy, ExitAppFromTheHostsOwnAppExitHandler) {
    OpenedSession s;
    int exits = 0;
    auto sub = s.server->OnAppExit.Subscribe([&] {
        ++exits;
        s.server->ExitApp();
        EXPECT_THROW(s.server->RunFullAppView(), automation::Error);
        EXPECT_EQ(s.server->StartApp(s.device, s.system, 3.2f, kTrue, u"x", u"y", s.cps, kTrue), automation::kFalse);
    });
    s.Exit();
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(s.hostEvents.size(), 1u);
}

TEST(Reentrancy, WindowClosedWhileAFeatureLaunchIsUnderWay) {
    OpenedSession s;
    s.world->OnCall("PluginServer.LaunchFeature", [&s] { s.platform->CloseWindow(*MMain::MainWindow()); });
    auto item = s.Control(u"mnuDevPI", 1);
    // The launch ends on a window that has gone; what matters is that nothing breaks.
    automation::IgnoreFailure([&] { item->Click.Raise(); });
    EXPECT_EQ(s.hostEvents.size(), 1u);
    EXPECT_EQ(MMain::MainForm(), nullptr);
    EXPECT_EQ(s.world->LivePluginServers(), 0);
    s.world->ClearHooks();
}

TEST(Reentrancy, PendingMessagesRunInsideSetStatusTimer) {
    OpenedSession s;
    int refreshes = 0;
    s.platform->Post([&] {
        ++refreshes;
        MMain::MainWindow()->Get(u"mnuViews", 0)->Click.Raise();
    });
    s.Form()->SetStatusTimer(kTrue);
    EXPECT_EQ(refreshes, 1) << "the click waiting in the queue ran inside the call";
    EXPECT_EQ(s.Status(), u"");
}
