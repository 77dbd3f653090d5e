// The main window over its life: load, status timer phases, activation, closing and unload.
#include <gtest/gtest.h>

#include "commands/CMenu_Toolbar.h"
#include "mainwindow/FMainHalvern.h"
#include "session/MMain.h"
#include "support/ErrorCode.h"
#include "support/HostSession.h"
#include "tree/CTreeViewActive.h"
#include "workspace/CQuilletWorkspace.h"

using automation::kFalse;
using automation::kTrue;

namespace {
std::shared_ptr<ui::Timer> StatusTimer(HostSession& s) { return s.Control<ui::Timer>(u"tmrStatus"); }

// Runs the clock to the status timer's next tick; answers the time since the previous tick (or
// since `since` was taken) and whether the tick did the work (probed the device).
std::pair<std::int64_t, bool> NextTick(HostSession& s, std::int64_t& since) {
    auto t = StatusTimer(s);
    const std::int64_t due = s.platform->NextTick(*t);
    EXPECT_GE(due, 0) << "timer stopped";
    const int probes = s.world->CountOf("AppDevice.State");
    s.platform->Advance(due - s.platform->Now());
    const std::int64_t period = due - since;
    since = due;
    return {period, s.world->CountOf("AppDevice.State") > probes};
}
}  // namespace

TEST(MainWindowLoad, AuthoredControlsAndPlacement) {
    HostSession s;
    ASSERT_EQ(s.Start(), kTrue);
    auto& w = s.Window();
    EXPECT_EQ(s.Control(u"mnuViews", 0)->Shortcut(), u"F5");
    EXPECT_EQ(w.IconId(), 101) << "the main window keeps its own icon, the component's";
    EXPECT_EQ(w.Width(), 12075);
    EXPECT_EQ(w.Height(), 9270);
    EXPECT_EQ(w.WindowState(), ui::state::kNormal);
    EXPECT_EQ(s.Control(u"picVertSplitter")->Left(), 90);
    EXPECT_FALSE(s.Control(u"picVertSplitter")->Visible()) << "the splitter bar shows only while it is dragged";
    EXPECT_FALSE(s.Control(u"treActive")->Visible());
    EXPECT_FALSE(s.Control(u"imgVertSplitter")->Visible());
    EXPECT_EQ(s.Form()->TreeLeftEdge(), 75);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(s.Control(u"FraWorkspace", i)->Visible()) << "nothing shows before a view does";
    EXPECT_TRUE(StatusTimer(s)->Enabled()) << "the timer runs from load until the first activation";
    EXPECT_EQ(StatusTimer(s)->Interval(), 10000);
    EXPECT_EQ(s.world->LivePluginServers(), 1);
}

TEST(MainWindowLoad, OneImageListServesTheTreeAndBothLists) {
    HostSession s;
    ASSERT_EQ(s.Start(), kTrue);
    auto images = s.Control<ui::ImageList>(u"imlTreeViews");
    const std::vector<automation::BStr> keys = {u"groupnormal", u"groupopen",      u"typenormal", u"typeselect",
                                                u"devonline",   u"devsoftoffline", u"devofflink", u"devquestion"};
    EXPECT_EQ(images->Keys(), keys);
    EXPECT_EQ(s.Control<ui::TreeView>(u"treActive")->Images(), images);
    for (const char16_t* name : {u"lvwGroup", u"lvwDeviceTypes"}) {
        auto list = s.Control<ui::ListView>(name);
        EXPECT_EQ(list->Icons(), images) << (name == std::u16string(u"lvwGroup") ? "lvwGroup" : "lvwDeviceTypes");
        EXPECT_EQ(list->SmallIcons(), images) << (name == std::u16string(u"lvwGroup") ? "lvwGroup" : "lvwDeviceTypes");
        EXPECT_EQ(list->ColumnHeaderIcons(), images) << (name == std::u16string(u"lvwGroup") ? "lvwGroup" : "lvwDeviceTypes");
    }
    // The icon of the all-devices node and a device icon find their images by key.
    EXPECT_EQ(images->IndexOf(u"typenormal"), 3);
    EXPECT_EQ(images->IndexOf(u"devquestion"), 8);
    EXPECT_EQ(images->IndexOf(u"DevOnline"), 0) << "keys compare exactly";
    EXPECT_EQ(images->IndexOf(u""), 0);
}

TEST(ImageListLinks, HeldWeaklyAndTakenOverByLoadedElements) {
    auto w = std::make_shared<ui::Window>(u"frmLists");
    auto images = w->Add<ui::ImageList>(u"imlIcons");
    auto list = w->Add<ui::ListView>(u"lvwItems", nullptr, 0);
    list->SetSmallIcons(images);
    auto tree = w->Add<ui::TreeView>(u"treItems");
    tree->SetImages(images);
    auto element = std::dynamic_pointer_cast<ui::ListView>(w->LoadElement(u"lvwItems", 1));
    ASSERT_TRUE(element);
    EXPECT_EQ(element->SmallIcons(), images);
    EXPECT_EQ(element->Icons(), nullptr);
    std::weak_ptr<ui::ImageList> gone = images;
    images.reset();
    w->Unload();
    EXPECT_TRUE(gone.expired()) << "a list or tree does not keep its image list alive";
    EXPECT_EQ(list->SmallIcons(), nullptr);
    EXPECT_EQ(tree->Images(), nullptr);
}

TEST(MainWindowLoad, ServerFirstThenControllersOnAWindowAlreadyInHalvern) {
    HostSession s;
    // When the plug-in server is created the window is marked and holds no controller yet.
    std::vector<std::string> atServerCreate;
    s.world->OnCall("PluginServer.Create", [&] {
        auto f = std::dynamic_pointer_cast<FMainHalvern>(MMain::MainForm());
        if (!f) return atServerCreate.push_back("no window");
        std::string held = automation::IsTrue(f->InHalvern()) ? "in host:" : "stand-alone:";
        if (f->ActiveTree()) held += " tree";
        if (f->StatusBar()) held += " status";
        if (f->QuilletWorkspace()) held += " workspace";
        if (f->MenuToolbar()) held += " menu";
        atServerCreate.push_back(held);
    });
    ASSERT_EQ(s.Start(), kTrue);
    EXPECT_EQ(atServerCreate, std::vector<std::string>{"in host:"});
    ASSERT_EQ(s.Open(), -1);

    // The workspace manager came before the command controller: the device view hears that the
    // plug-in was cleared before the menu does.
    std::vector<std::string> removed;
    auto sub = s.Window().ControlRemoved.Subscribe([&](const ui::ControlRef& c) {
        const std::string name = U8(c->Name());
        if (removed.empty() || removed.back() != name) removed.push_back(name);
    });
    s.Control<ui::ListView>(u"lvwGroup")->Add(u"a", u"A");
    s.Control<ui::ListView>(u"lvwDeviceTypes")->Add(u"b", u"B");
    s.Form()->ActiveTree()->ClearWorkspace();
    EXPECT_EQ(removed, (std::vector<std::string>{"ctlWorkspace", "mnuDevPI", "cmdDevice"}));
    EXPECT_EQ(s.Control<ui::ListView>(u"lvwGroup")->Count(), 0) << "and the window empties both lists";
    EXPECT_EQ(s.Control<ui::ListView>(u"lvwDeviceTypes")->Count(), 0);
}

TEST(MainWindowLoad, ScreenSmallerThanPlacementLimitsTheSize) {
    HostSession s;
    s.platform->SetScreen(9000, 6000);
    ASSERT_EQ(s.Start(), kTrue);
    EXPECT_EQ(s.Window().Width(), 9000);
    EXPECT_EQ(s.Window().Height(), 6000);
}

TEST(MainWindowTimer, PhaseSequencesForShortAndLongPeriods) {
    struct Case {
        std::int32_t period;
        std::vector<std::pair<std::int64_t, bool>> ticks;
    };
    const Case cases[] = {
        {10, {{10000, true}, {10000, true}, {10000, true}}},
        {59, {{59000, true}, {59000, true}}},
        {60, {{60000, true}, {60000, true}, {60000, true}}},
        {90, {{60000, false}, {30000, true}, {60000, false}, {30000, true}}},
    };
    for (const auto& c : cases) {
        OpenedSession s;
        auto f = s.Form();
        f->SetTimerInterval(120);  // a long period before leaves nothing behind
        f->SetTimerInterval(c.period);
        f->SetStatusTimer(kTrue);
        std::int64_t since = s.platform->Now();
        for (std::size_t i = 0; i < c.ticks.size(); ++i)
            EXPECT_EQ(NextTick(s, since), c.ticks[i]) << "period " << c.period << " tick " << i;
    }
}

TEST(MainWindowTimer, RestartAfterSetStatusTimerAndOverflow) {
    OpenedSession s;
    auto f = s.Form();
    f->SetTimerInterval(90);
    f->SetStatusTimer(kTrue);
    std::int64_t since = s.platform->Now();
    EXPECT_EQ(NextTick(s, since), std::make_pair(std::int64_t{60000}, false));
    EXPECT_EQ(StatusTimer(s)->Interval(), 30000);
    f->SetStatusTimer(kTrue);
    since = s.platform->Now();
    EXPECT_EQ(StatusTimer(s)->Interval(), 60000) << "restarts at the 60 s phase";
    EXPECT_EQ(NextTick(s, since), std::make_pair(std::int64_t{60000}, false));

    f->SetStatusTimer(kFalse);
    EXPECT_EQ(f->TimerStatus(), kFalse);
    EXPECT_EQ(s.platform->NextTick(*StatusTimer(s)), -1);
    f->SetTimerInterval(20);
    EXPECT_EQ(s.platform->NextTick(*StatusTimer(s)), -1) << "TimerInterval neither starts nor stops";

    EXPECT_EQ(ErrorCode([&] { f->SetTimerInterval(3000000); }), automation::code::kOverflow) << "expected overflow";
    EXPECT_THROW(f->SetTimerInterval(2147544), automation::Error);
    EXPECT_NO_THROW(f->SetTimerInterval(2147483));
}

TEST(MainWindowTimer, DeviceStopsAnsweringMidSession) {
    OpenedSession s;
    std::vector<std::string> statusAtSleep;
    s.platform->OnSleep([&](std::uint32_t ms) { statusAtSleep.push_back(std::to_string(ms) + " " + U8(s.Status())); });

    std::int64_t since = s.platform->Now();
    EXPECT_EQ(NextTick(s, since), std::make_pair(std::int64_t{10000}, true));
    EXPECT_EQ(s.Status(), u"") << "a refresh that reached the device leaves no status";
    statusAtSleep.clear();

    s.world->SetAnswering(s.device, false);
    EXPECT_EQ(NextTick(s, since).second, true);
    EXPECT_EQ(statusAtSleep, std::vector<std::string>{"1000 Refreshing device data..."});
    EXPECT_EQ(s.Status(), u"Cannot communicate with device - please check connections");
    EXPECT_EQ(s.platform->Now() - since, 1000) << "the wait runs on the virtual clock";

    s.world->SetAnswering(s.device, true);
    statusAtSleep.clear();
    NextTick(s, since);
    EXPECT_EQ(statusAtSleep, std::vector<std::string>{"250 Refreshing Device Data..."});
    EXPECT_EQ(s.Status(), u"");
}

TEST(MainWindowTimer, WorkingTicksUpdateTheMenus) {
    OpenedSession s;
    auto& w = s.Window();
    auto showBoth = [&] {
        w.Get(u"mnuDevPI", 0)->SetVisible(true);
        w.Get(u"mnuHelps", 1)->SetVisible(true);
    };
    auto bothHidden = [&] { return !w.Get(u"mnuDevPI", 0)->Visible() && !w.Get(u"mnuHelps", 1)->Visible(); };
    s.Form()->SetTimerInterval(90);
    s.Form()->SetStatusTimer(kTrue);
    std::int64_t since = s.platform->Now();
    showBoth();
    EXPECT_EQ(NextTick(s, since).second, false);
    EXPECT_FALSE(bothHidden()) << "a tick that only changes the interval leaves the menus";
    for (bool answering : {true, false}) {
        s.world->SetAnswering(s.device, answering);
        EXPECT_EQ(NextTick(s, since).second, true);
        EXPECT_TRUE(bothHidden()) << "answering " << answering;
        NextTick(s, since);
        showBoth();
    }
}

TEST(MainWindowTimer, MinimizedWindowProbesWithoutRefreshing) {
    OpenedSession s;
    s.Window().SetWindowState(ui::state::kMinimized);
    const auto uploads = s.world->CountOf("Workspace.Upload");
    std::int64_t since = s.platform->Now();
    EXPECT_TRUE(NextTick(s, since).second);
    EXPECT_EQ(s.world->CountOf("Workspace.Upload"), uploads);
}

TEST(MainWindowActivation, FirstActivationStopsTimerLaterOnesRestoreIt) {
    // In the order Windows produces: showing the window activates it, and the device view starts
    // the timer after that.
    HostSession s;
    ASSERT_EQ(s.Start(), kTrue);
    auto f = s.Form();
    EXPECT_TRUE(StatusTimer(s)->Enabled()) << "it runs from load";
    std::vector<automation::VBool> afterActivation;
    auto sub = s.Window().Activate.Subscribe([&] { afterActivation.push_back(f->TimerStatus()); });
    ASSERT_EQ(s.Open(), -1);
    EXPECT_EQ(afterActivation, (std::vector<automation::VBool>{kFalse})) << "shown, activated once, stopped";
    EXPECT_EQ(f->TimerStatus(), kTrue) << "then the device view started it";

    auto other = ui::Window::Create(u"Other");
    s.platform->ActivateWindow(*other);
    EXPECT_EQ(f->TimerStatus(), kFalse) << "deactivation pauses it";
    EXPECT_FALSE(StatusTimer(s)->Enabled());
    s.platform->ActivateWindow(s.Window());
    EXPECT_EQ(f->TimerStatus(), kTrue) << "and activation brings it back running";

    automation::VBool whileDialogUp = kTrue;
    s.platform->QueueModal([&](ui::Window&) { whileDialogUp = f->TimerStatus(); });
    s.Window().Get(u"mnuTools", 0)->Click.Raise();
    EXPECT_EQ(whileDialogUp, kFalse) << "a modal dialog takes the activation from the window";
    EXPECT_EQ(f->TimerStatus(), kTrue) << "and gives it back when it closes";

    f->SetStatusTimer(kFalse);
    s.platform->ActivateWindow(*other);
    s.platform->ActivateWindow(s.Window());
    EXPECT_EQ(f->TimerStatus(), kFalse) << "stopped stays stopped";
}

TEST(MainWindowActivation, PluginOnlyHostSuppressesActivationHandling) {
    OpenedSession s;
    auto f = s.Form();
    f->SetHalvernPIOnly(kTrue);
    s.platform->ActivateWindow(s.Window());
    EXPECT_EQ(f->TimerStatus(), kTrue);
}

TEST(MainWindowClosing, ShutdownOrderAndMinimizedRestore) {
    OpenedSession s;
    s.Window().SetWindowState(ui::state::kMinimized);
    // The window's own closing step runs before this handler; a message waiting in the queue runs
    // inside that step, once the window is restored.
    bool closingStepDone = false;
    auto closingSub = s.Window().QueryUnload.Subscribe([&] { closingStepDone = true; });
    std::vector<std::string> waiting;
    s.platform->Post([&] {
        waiting.push_back(std::string(closingStepDone ? "after" : "inside") + " the closing step, " +
                          (s.Window().WindowState() == ui::state::kNormal ? "restored" : "not restored"));
    });
    int liveServersAtExit = -1, liveControlsAtExit = -1;
    auto exitSub = s.server->OnAppExit.Subscribe([&] {
        liveServersAtExit = s.world->LivePluginServers();
        liveControlsAtExit = s.world->LiveWorkspaceControls();
    });
    s.world->ClearLog();
    s.Exit();
    EXPECT_EQ(waiting, std::vector<std::string>{"inside the closing step, restored"});
    auto log = s.world->LogOf("PluginServer.");
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "PluginServer.Reset");
    EXPECT_EQ(log[1], "PluginServer.Clear");
    EXPECT_EQ(liveServersAtExit, 0) << "the plug-in server is released before the host hears OnAppExit";
    EXPECT_EQ(liveControlsAtExit, 0) << "the workspace control went with the plug-in";
    EXPECT_EQ(s.hostEvents.size(), 1u);
}

namespace {
// Runs `gone` when the event's source goes (its subscriber list, this handler with it, is freed).
template <class... Args>
automation::Subscription WhenGone(automation::Event<Args...>& ev, std::function<void()> gone) {
    struct Sentinel {
        std::function<void()> gone;
        ~Sentinel() {
            if (gone) gone();
        }
    };
    auto sentinel = std::make_shared<Sentinel>();
    sentinel->gone = std::move(gone);
    return ev.Subscribe([sentinel](Args...) {});
}
}  // namespace

TEST(MainWindowClosing, UnloadReleasesTheControllersInItsOrder) {
    OpenedSession s;
    auto f = s.Form();
    std::weak_ptr<IQuilletWorkspace> workspace = f->QuilletWorkspace();
    std::weak_ptr<IQuilletStatus> status = f->StatusBar();
    std::vector<std::string> ends;
    auto note = [&](const char* what) {
        std::string e = what;
        if (!workspace.expired()) e += " +workspace";
        if (!status.expired()) e += " +status";
        ends.push_back(e);
    };
    auto menuEnd = WhenGone(f->MenuToolbar()->PIButtonsChanged, [&] { note("menu"); });
    auto treeEnd = WhenGone(f->ActiveTree()->DevicePluginChanged, [&] { note("tree"); });
    auto serverEnd = WhenGone(f->PluginServer()->Events().RequestUpload, [&] { note("server"); });
    auto timer = StatusTimer(s);
    s.platform->CloseWindow(s.Window());
    EXPECT_EQ(ends, (std::vector<std::string>{"menu +workspace +status", "tree +status", "server +status"}));
    EXPECT_TRUE(status.expired());
    EXPECT_EQ(s.hostEvents.size(), 1u);

    // The unloaded window has let go of its timer: nothing starts it again.
    f->SetStatusTimer(kTrue);
    EXPECT_FALSE(timer->Enabled());
    EXPECT_NO_THROW(f->Resize()) << "a resize after the window has gone does nothing";
}

TEST(MainWindowClosing, StandAloneUnloadClearsSessionValuesItself) {
    OpenedSession s;
    s.Form()->SetInHalvern(kFalse);
    s.platform->CloseWindow(s.Window());
    EXPECT_EQ(MMain::MainForm(), nullptr);
    EXPECT_EQ(MMain::MainWindow(), nullptr);
    EXPECT_TRUE(s.hostEvents.empty()) << "no host to tell";
}

TEST(MainWindowClosing, StandAloneWindowHasNoDeviceFramesToLayOut) {
    // Loaded without a host, the views take no frames; a device view made current is then laid
    // out without them.
    HostSession s;
    auto f = FMainHalvern::Create();
    MMain::MainForm() = f;
    MMain::MainWindow() = f->Window();
    f->Load();
    f->QuilletWorkspace()->ShowViewForNode(std::make_shared<ui::TreeNode>(u"Dev_1", u"Fan"));
    EXPECT_NO_THROW(f->Resize());
    EXPECT_EQ(s.Window().Find(u"ctlWorkspace"), nullptr);
    EXPECT_FALSE(s.Control(u"FraWorkspace", 2)->Visible());
}

TEST(MainWindowClosing, MessagesPendingDuringShutdownRunInsideIt) {
    OpenedSession s;
    int ran = 0;
    s.platform->Post([&] {
        ++ran;
        s.Exit();  // a second exit arriving while the first is in progress
    });
    s.Exit();
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(s.hostEvents.size(), 1u);
    EXPECT_EQ(MMain::MainForm(), nullptr);
}

TEST(MainWindowForwarding, ButtonTagNotIndexIsTheCommand) {
    HostSession s(false);
    s.world->AddPlugin(HostSession::Plugin({{5, u"&Five"}, {6, u"Six"}, {7, u"Seven"}, {12, u"&Twelve"}}));
    s.StartAndOpen();
    auto b3 = s.Control(u"cmdDevice", 3);
    EXPECT_EQ(b3->Tag(), u"7");
    b3->SetTag(u"12");
    b3->Click.Raise();
    auto server = s.PluginServer();
    ASSERT_TRUE(server);
    ASSERT_EQ(server->Launches().size(), 1u);
    EXPECT_EQ(server->Launches()[0].featureId, 12);
    EXPECT_EQ(U8(server->FeatureWindowCaption()), "Twelve Fan Coil 1");

    s.Control(u"mnuDevPI", 5)->Click.Raise();
    ASSERT_EQ(server->Launches().size(), 2u);
    EXPECT_EQ(server->Launches()[1].featureId, 5);
}
