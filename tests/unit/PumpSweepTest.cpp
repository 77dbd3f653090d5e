// At every point where messages run (found by watching the platform's pump) and inside every call
// to an outside component, something happens in turn: the user closes the window, the host calls
// ExitApp, the host drops its last reference to the object, or the plug-in server sends its
// notifications from a message of its own. Nothing crashes or leaks, the
// session ends as designed, and a new object's display works afterwards.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "session/MMain.h"
#include "support/HostSession.h"

namespace {

enum class Action { Close, ExitApp, Drop, Announce };
const char* Name(Action a) { return std::array{"close", "ExitApp", "drop", "announce"}.at(static_cast<std::size_t>(a)); }

struct Outcome {
    std::vector<std::string> points;  // every point met, in order
    std::string firedAt;
    int appExits = 0;
    bool windowLoadedAtFire = false;
    bool windowStayedAfterDrop = false;  // still loaded and working when the sweep came to close it
    bool windowGoneAtEnd = false;
    bool sessionValuesCleared = false;
    automation::VBool freshStarted = automation::kFalse;
    std::int32_t freshOpened = 0;
    int freshAppExits = 0;
    bool freshWindowGone = false;
    int livePluginServers = -1, liveWorkspaceControls = -1;
    std::vector<std::string> calls;  // the outside calls made, by name
};

// The host or the user met an error: that is an allowed ending of any step here.
void Quietly(const std::function<void()>& fn) { automation::IgnoreFailure(fn); }

// One host session with a user who uses every part of the display; at point `target` (counted
// over the whole session) the action runs. target < 0 only records the points.
Outcome Play(Action action, int target, const std::set<std::string>& hookedCalls) {
    Outcome o;
    HostSession s(false);
    s.AddFanPlugin({{1, u"&Configure"}, {2, u"&Monitor"}}, u"FanCtl.chm", true);

    std::shared_ptr<ui::Window> window;  // the session's window, once there is one
    bool exiting = false;                // the host's ExitApp is under way
    int n = 0;
    auto fire = [&](const std::string& where) {
        o.points.push_back(where);
        if (n++ != target) return;
        o.firedAt = where;
        o.windowLoadedAtFire = !exiting && MMain::MainWindow() && !MMain::MainWindow()->IsUnloaded();
        switch (action) {
            case Action::Close:
                if (auto w = MMain::MainWindow()) Quietly([&] { s.platform->CloseWindow(*w); });
                break;
            case Action::ExitApp:
                if (s.server) Quietly([&] { s.server->ExitApp(); });
                break;
            case Action::Drop: s.server.reset(); break;
            case Action::Announce:
                if (auto server = s.PluginServer()) {
                    server->RaiseRequestUpload();
                    server->RaiseWorkspaceAvailable(HostSession::kWorkspaceProgId);
                    server->RaiseRequestDownload();
                }
                break;
        }
    };
    s.platform->ObservePumps([&fire](ui::PumpPoint where) { fire(ui::PumpPointName(where)); });
    for (const auto& call : hookedCalls) s.world->OnCall(call, [&fire, call] { fire(call); });

    auto win = [] { return MMain::MainWindow(); };
    auto click = [&](const char16_t* name, int index) {
        Quietly([&] {
            if (auto w = win())
                if (auto c = w->Find(name, index)) c->Click.Raise();
        });
    };
    auto plugin = [&] { return s.PluginServer(); };

    Quietly([&] {
        if (s.server) s.server->IsPlugInExist(HostSession::kProgramId);
    });
    Quietly([&] {
        if (s.server) s.Start();
    });
    window = win();
    Quietly([&] {
        if (s.server) s.Open();
    });
    Quietly([&] { s.platform->Advance(10000); });  // device answering: the view refreshes
    s.world->SetAnswering(s.device, false);
    Quietly([&] { s.platform->Advance(10000); });  // device silent: the tick waits
    s.world->SetAnswering(s.device, true);
    click(u"mnuDevPI", 1);
    s.world->launchOutcome = sim::Outcome::Fail;
    click(u"cmdDevice", 2);  // the failure box
    s.world->launchOutcome = sim::Outcome::Succeed;
    click(u"mnuViews", 0);
    s.platform->QueueModal([](ui::Window& dialog) {
        if (auto ok = dialog.Find(u"CmdOK")) ok->Click.Raise();
    });
    click(u"mnuTools", 0);
    click(u"mnuHelps", 0);
    s.world->uploadOutcome = sim::Outcome::Fail;
    Quietly([&] {
        if (auto server = plugin()) server->RaiseRequestUpload();
    });
    s.world->uploadOutcome = sim::Outcome::Succeed;
    Quietly([&] {
        auto other = ui::Window::Create(u"HostForm");
        if (auto w = win()) {
            s.platform->ActivateWindow(*other);
            s.platform->ActivateWindow(*w);
        }
        other->Unload();
    });
    Quietly([&] {
        if (auto w = win()) w->SetWindowState(ui::state::kMinimized);
    });
    if (s.server) {
        exiting = true;
        Quietly([&] { s.Exit(); });
    } else if (window && !window->IsUnloaded()) {
        // Still the user's: its menu works, the status timer ticks, then the user closes it.
        o.windowStayedAfterDrop = automation::IgnoreFailure([&] {
            window->Get(u"mnuViews", 0)->Click.Raise();
            s.platform->Advance(10000);
        });
        Quietly([&] { s.platform->CloseWindow(*window); });
    }

    s.platform->ObservePumps(nullptr);
    s.world->ClearHooks();
    for (auto c : s.world->Log()) {
        if (c.size() > 2 && c.compare(c.size() - 2, 2, " !") == 0) c.resize(c.size() - 2);
        o.calls.push_back(c);
    }
    o.appExits = static_cast<int>(s.hostEvents.size());
    o.windowGoneAtEnd = (!window || window->IsUnloaded());
    o.sessionValuesCleared = !MMain::MainForm() && !MMain::MainWindow();

    // A new object on the same component opens and closes a display as usual.
    auto fresh = std::make_shared<IHalvernServer>();
    auto sub = fresh->OnAppExit.Subscribe([&] { ++o.freshAppExits; });
    Quietly([&] {
        o.freshStarted = fresh->StartApp(s.device, s.system, 3.2f, automation::kTrue, HostSession::kDescription,
                                         u"Fan Coil 1/nvoStatus", s.cps, automation::kTrue);
    });
    auto freshWindow = win();
    Quietly([&] { o.freshOpened = fresh->RunFullAppView(); });
    Quietly([&] { fresh->ExitApp(); });
    o.freshWindowGone = freshWindow && freshWindow->IsUnloaded() && !win();
    sub.Reset();
    fresh.reset();
    MMain::SetPluginServerLink(nullptr);
    o.livePluginServers = s.world->LivePluginServers();
    o.liveWorkspaceControls = s.world->LiveWorkspaceControls();
    return o;
}

// Every outside call a plain session makes is a point too: the component cannot know what the
// component on the other side does inside it.
std::set<std::string> OutsideCalls() {
    const Outcome plain = Play(Action::Close, -1, {});
    return std::set<std::string>(plain.calls.begin(), plain.calls.end());
}

}  // namespace

TEST(PumpSweep, TheReferenceSessionMeetsEveryKindOfPoint) {
    const Outcome o = Play(Action::Close, -1, OutsideCalls());
    std::set<std::string> kinds(o.points.begin(), o.points.end());
    for (const char* k : {"DoEvents", "Show", "Modal", "MessageBox", "Sleep", "PluginServer.LoadDevice", "Workspace.Upload"})
        EXPECT_TRUE(kinds.count(k)) << k;
    EXPECT_EQ(o.appExits, 1);
    EXPECT_TRUE(o.windowGoneAtEnd);
    EXPECT_EQ(o.freshStarted, automation::kTrue);
    EXPECT_EQ(o.freshOpened, -1);
}

TEST(PumpSweep, SomethingGoesAwayAtEveryPoint) {
    const std::set<std::string> calls = OutsideCalls();
    const Outcome reference = Play(Action::Close, -1, calls);
    std::map<std::string, int> firedPerKind;
    for (Action action : {Action::Close, Action::ExitApp, Action::Drop, Action::Announce}) {
        for (int i = 0; i < static_cast<int>(reference.points.size()); ++i) {
            const Outcome o = Play(action, i, calls);
            SCOPED_TRACE(std::string(Name(action)) + " at point " + std::to_string(i) + " (" + o.firedAt + ")");
            ASSERT_FALSE(o.firedAt.empty()) << "the session took another path before this point";
            ++firedPerKind[o.firedAt];
            EXPECT_LE(o.appExits, 1);
            EXPECT_TRUE(o.windowGoneAtEnd);
            // The host that only let go of the object leaves the user a working window.
            if (action == Action::Drop && o.windowLoadedAtFire) {
                EXPECT_TRUE(o.windowStayedAfterDrop);
            }
            if (action != Action::Drop && o.windowLoadedAtFire) {
                EXPECT_EQ(o.appExits, 1);
            }
            EXPECT_TRUE(o.sessionValuesCleared);
            EXPECT_EQ(o.freshStarted, automation::kTrue);
            EXPECT_EQ(o.freshOpened, -1);
            EXPECT_EQ(o.freshAppExits, 1);
            EXPECT_TRUE(o.freshWindowGone);
            EXPECT_EQ(o.livePluginServers, 0);
            EXPECT_EQ(o.liveWorkspaceControls, 0);
        }
    }
    for (const auto& [where, count] : firedPerKind) EXPECT_EQ(count % 4, 0) << where << ": every action at every point";
}
