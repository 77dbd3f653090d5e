// The workspace as a user meets it: the device's plug-in control, its fallback, the error view,
// uploads and refreshes, notifications that arrive in the middle of calls, and shutdown.
#include <gtest/gtest.h>

#include <utility>

#include "StringIds.h"
#include "commands/CQuilletStatus.h"
#include "session/MMain.h"
#include "resources/StringTable.h"
#include "support/HostSession.h"
#include "tree/CTreeViewActive.h"
#include "workspace/CQuilletWorkspace.h"
#include "workspace/CViewDevice.h"
#include "workspace/CViewDeviceType.h"
#include "workspace/CViewError.h"
#include "workspace/CViewGroup.h"

using automation::BStr;

namespace {

const BStr kUploading = u"Uploading Device Data...";
const BStr kCannotCommunicate = u"Cannot communicate with device - please check connections";
const BStr kRefreshing = u"Refreshing Device Data...";
const BStr kFallback = u"CEAQuilletUnknownWS.Workspace";
const BStr kMissing = u"Acme.MissingWorkspace";

std::shared_ptr<CQuilletWorkspace> Workspace(const HostSession& s) {
    return std::dynamic_pointer_cast<CQuilletWorkspace>(s.Form()->QuilletWorkspace());
}

std::vector<int> ShownFrames(const HostSession& s) {
    std::vector<int> shown;
    for (auto& f : s.Window().Array(u"FraWorkspace"))
        if (f->Visible()) shown.push_back(f->Index());
    return shown;
}

std::vector<std::shared_ptr<ui::HostedControl>> HostedControls(const HostSession& s) {
    std::vector<std::shared_ptr<ui::HostedControl>> out;
    for (auto& c : s.Window().Controls())
        if (c->Name() == u"ctlWorkspace")
            if (auto h = std::dynamic_pointer_cast<ui::HostedControl>(c)) out.push_back(h);
    return out;
}

bool EngUnitsEnabled(const HostSession& s) { return s.Control(u"mnuTools", 0)->Enabled(); }
bool TimerRunning(const HostSession& s) { return automation::IsTrue(s.Form()->TimerStatus()); }

// A session whose device's plug-in names a workspace control of the given ProgID.
struct SessionFor : HostSession {
    explicit SessionFor(const BStr& workspaceProgId) : HostSession(false) {
        world->AddPlugin(Plugin({{1, u"&Configure"}}, {}, workspaceProgId));
    }
};

// Opens on the error view: neither the plug-in's control nor the fallback is installed.
struct ErrorViewSession : SessionFor {
    ErrorViewSession() : SessionFor(kMissing) {
        world->SetFallbackWorkspaceInstalled(false);
        StartAndOpen();
    }
};

ui::NodeRef Node(const BStr& key, const BStr& text = {}) { return std::make_shared<ui::TreeNode>(key, text); }

}  // namespace

TEST(Workspace, PluginControlIsHostedSizedAttachedAndUploaded) {
    HostSession s;
    ASSERT_EQ(s.Start(), automation::kTrue);
    EXPECT_TRUE(ShownFrames(s).empty()) << "nothing shows before the first view";
    std::vector<BStr> statusAtUpload;
    s.world->OnCall("Workspace.Upload", [&] { statusAtUpload.push_back(s.Status()); });
    // The control is on the screen, in its frame, by the time it gets its link.
    std::vector<int> framesAtAttach;
    s.world->OnCall("Workspace.AttachLink", [&] { framesAtAttach = ShownFrames(s); });
    ASSERT_EQ(s.Open(), -1);
    EXPECT_EQ(statusAtUpload, std::vector<BStr>{kUploading});
    EXPECT_EQ(framesAtAttach, std::vector<int>{2});

    EXPECT_EQ(ShownFrames(s), std::vector<int>{2}) << s.Dump();
    auto hosted = HostedControls(s);
    ASSERT_EQ(hosted.size(), 1u);
    EXPECT_EQ(hosted[0]->ProgId(), HostSession::kWorkspaceProgId);
    EXPECT_EQ(hosted[0]->Container(), s.Control(u"FraWorkspace", 2));
    EXPECT_TRUE(hosted[0]->Visible());
    EXPECT_EQ(s.world->LogOf("Workspace."), (std::vector<std::string>{"Workspace.Create", "Workspace.AttachLink",
                                                                      "Workspace.NeedsUpload", "Workspace.Upload"}));
    EXPECT_EQ(s.world->LastAttachedLink(), automation::ObjectRef(MMain::PluginServerLink()));
    EXPECT_NE(s.world->LastAttachedLink(), nullptr);
    EXPECT_EQ(s.Status(), u"");
    EXPECT_FALSE(EngUnitsEnabled(s)) << "a control without units support disables Engineering Units";
    EXPECT_TRUE(TimerRunning(s));
    auto ws = Workspace(s);
    EXPECT_EQ(ws->CurrentView(), std::static_pointer_cast<IQuilletWorkspaceView>(ws->DeviceView()));
    EXPECT_EQ(ws->IsDirty(), automation::kFalse);

    // The control and the button column follow the frame on every resize.
    s.Window().SetWidth(s.Window().Width() + 1500);
    s.Window().SetHeight(s.Window().Height() + 600);
    auto frame = s.Control(u"FraWorkspace", 2);
    auto buttons = s.Control(u"fraButtons");
    EXPECT_FLOAT_EQ(hosted[0]->Left(), 150);
    EXPECT_FLOAT_EQ(hosted[0]->Top(), 300);
    EXPECT_FLOAT_EQ(hosted[0]->Width(), frame->Width() - buttons->Width() - 450);
    EXPECT_FLOAT_EQ(hosted[0]->Height(), frame->Height() - 450);
    EXPECT_FLOAT_EQ(buttons->Left(), frame->Width() - buttons->Width() - 150);
    EXPECT_FLOAT_EQ(buttons->Top(), frame->Top() + 150);
    EXPECT_FLOAT_EQ(buttons->Height(), frame->Height() - 300);
    EXPECT_GT(hosted[0]->ZOrderCount(), 0);

    // Only the report that the plug-in was cleared, with neither node nor features, removes it.
    auto tree = s.Form()->ActiveTree();
    tree->DevicePluginChanged.Raise(Node(u"Dev_1"), nullptr, automation::kFalse);
    tree->DevicePluginChanged.Raise(nullptr, s.PluginServer()->FeatureList(), automation::kTrue);
    EXPECT_EQ(HostedControls(s).size(), 1u);
    EXPECT_EQ(ShownFrames(s), std::vector<int>{2});

    // Showing the view again replaces the control: still exactly one "ctlWorkspace".
    ws->ShowPluginWorkspace(nullptr, HostSession::kWorkspaceProgId);
    EXPECT_EQ(HostedControls(s).size(), 1u);
    EXPECT_EQ(s.world->CountOf("Workspace.Create"), 2);
    EXPECT_EQ(s.world->LiveWorkspaceControls(), 1);

    // The report that the plug-in was cleared takes it away.
    tree->DevicePluginChanged.Raise(nullptr, nullptr, automation::kFalse);
    EXPECT_TRUE(HostedControls(s).empty());
    EXPECT_TRUE(ShownFrames(s).empty());
    EXPECT_EQ(ws->DeviceView()->Visible(), automation::kFalse);
}

TEST(Workspace, UploadAnswerIsNotConsulted) {
    SessionFor s(u"Acme.GrumpyWorkspace");
    s.world->AddWorkspaceControl({.progId = u"Acme.GrumpyWorkspace", .uploadReturns = false});
    s.StartAndOpen();
    auto hosted = HostedControls(s);
    ASSERT_EQ(hosted.size(), 1u);
    EXPECT_EQ(hosted[0]->ProgId(), u"Acme.GrumpyWorkspace") << "no fallback for a false answer";
    EXPECT_EQ(ShownFrames(s), std::vector<int>{2});
    EXPECT_EQ(s.Status(), u"");
    Workspace(s)->RefreshWorkspace();
    EXPECT_EQ(s.Status(), u"") << "a refresh counts it as read too";
}

TEST(Workspace, EngineeringUnitsFollowWhatTheControlSupports) {
    {
        SessionFor s(u"Acme.UnitsWorkspace");
        s.world->AddWorkspaceControl({.progId = u"Acme.UnitsWorkspace", .supportsUnits = true});
        s.StartAndOpen();
        EXPECT_TRUE(EngUnitsEnabled(s));
        EXPECT_EQ(s.world->CountOf("Workspace.SupportsEngUnits"), 1);

        auto si = s.world->MakeUnits(u"SI");
        auto tree = s.Form()->ActiveTree();
        automation::ObjectRef units = si;
        tree->UpdateWorkspaceUnits(units);
        EXPECT_EQ(s.world->LastAppliedUnits(), si);
        Workspace(s)->DeviceView()->Initialization(tree);
        tree->UpdateWorkspaceUnits(units);
        EXPECT_EQ(s.world->CountOf("Workspace.ApplyEngUnits"), 2) << "initialised again, the view still listens once";

        // Hidden, the view passes nothing on.
        Workspace(s)->ShowViewForNode(Node(u"agRt"));
        automation::ObjectRef us = s.world->MakeUnits(u"US");
        tree->UpdateWorkspaceUnits(us);
        EXPECT_EQ(s.world->LastAppliedUnits(), si);
        EXPECT_EQ(s.world->CountOf("Workspace.ApplyEngUnits"), 2);
    }
    {
        SessionFor s(u"Acme.UnitsWorkspace");
        s.world->AddWorkspaceControl({.progId = u"Acme.UnitsWorkspace", .supportsUnits = true, .unitsSupported = false});
        s.StartAndOpen();
        EXPECT_FALSE(EngUnitsEnabled(s));
        automation::ObjectRef units = s.world->MakeUnits(u"SI");
        s.Form()->ActiveTree()->UpdateWorkspaceUnits(units);
        EXPECT_EQ(s.world->CountOf("Workspace.ApplyEngUnits"), 0);
        EXPECT_EQ(sim::UnitsName(units), u"SI");
    }
    {
        // A control that needs no upload leaves the status text and the menu item alone.
        SessionFor s(u"Acme.QuietWorkspace");
        s.world->AddWorkspaceControl({.progId = u"Acme.QuietWorkspace", .needsUpload = false, .supportsUnits = true});
        ASSERT_EQ(s.Start(), automation::kTrue);
        s.world->OnCall("Workspace.Create", [&] {
            s.Form()->StatusBar()->SetQuilletStat(u"marker");
            s.Control(u"mnuTools", 0)->SetEnabled(false);
        });
        ASSERT_EQ(s.Open(), -1);
        EXPECT_EQ(ShownFrames(s), std::vector<int>{2});
        EXPECT_EQ(s.Status(), u"marker");
        EXPECT_FALSE(EngUnitsEnabled(s));
        EXPECT_EQ(s.world->CountOf("Workspace.Upload"), 0);
    }
}

TEST(Workspace, ControlThatCannotBeShownFallsBackToGenericControl) {
    {
        // The plug-in names a control that is not installed.
        SessionFor s(kMissing);
        s.StartAndOpen();
        auto hosted = HostedControls(s);
        ASSERT_EQ(hosted.size(), 1u);
        EXPECT_EQ(hosted[0]->ProgId(), kFallback);
        EXPECT_EQ(ShownFrames(s), std::vector<int>{2});
        EXPECT_EQ(Workspace(s)->DeviceView()->ControlIdentifier(), kFallback);
        EXPECT_EQ(s.world->CountOf("PluginServer.Clear"), 0) << "showing a plug-in workspace asks the server nothing";
    }
    {
        // The control is created but refuses the link once.
        HostSession s;
        s.world->Fail("Workspace.AttachLink", 1);
        s.StartAndOpen();
        EXPECT_EQ(s.world->LogOf("Workspace."),
                  (std::vector<std::string>{"Workspace.Create", "Workspace.AttachLink !", "Workspace.Create",
                                            "Workspace.AttachLink", "Workspace.NeedsUpload", "Workspace.Upload"}));
        auto hosted = HostedControls(s);
        ASSERT_EQ(hosted.size(), 1u);
        EXPECT_EQ(hosted[0]->ProgId(), kFallback);
        EXPECT_EQ(s.world->LiveWorkspaceControls(), 1);
        EXPECT_TRUE(TimerRunning(s));
    }
    {
        // The first upload fails: the status says so until the fallback has read the device.
        HostSession s;
        std::vector<BStr> statusAtCreate;
        ASSERT_EQ(s.Start(), automation::kTrue);
        s.world->OnCall("Workspace.Create", [&] { statusAtCreate.push_back(s.Status()); });
        s.world->Fail("Workspace.Upload", 1);
        ASSERT_EQ(s.Open(), -1);
        ASSERT_EQ(statusAtCreate.size(), 2u);
        EXPECT_EQ(statusAtCreate[1], kCannotCommunicate);
        EXPECT_EQ(s.Status(), u"");
        EXPECT_EQ(ShownFrames(s), std::vector<int>{2});
        EXPECT_EQ(HostedControls(s).size(), 1u);
        EXPECT_EQ(HostedControls(s)[0]->ProgId(), kFallback);
    }
}

TEST(Workspace, NothingShowableEndsInTheErrorView) {
    const BStr missingFile = resources::FindString(res::kPluginFileMissing);
    {
        ErrorViewSession s;
        EXPECT_EQ(ShownFrames(s), std::vector<int>{3}) << s.Dump();
        EXPECT_EQ(s.Control(u"lblViewError")->Caption(), missingFile);
        EXPECT_EQ(s.Control(u"lblViewError")->Caption(),
                  u"Unable to display information about this device. The required plug-in file is not available.");
        auto error = std::dynamic_pointer_cast<CViewError>(Workspace(s)->CurrentView());
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->ViewMessage(), missingFile);
        EXPECT_TRUE(HostedControls(s).empty());
        EXPECT_FALSE(TimerRunning(s));
        EXPECT_EQ(s.world->CountOf("PluginServer.Clear"), 0);
    }
    {
        // Both controls load but neither can read the device: each stays hosted in turn.
        HostSession s;
        s.world->Fail("Workspace.Upload");
        s.StartAndOpen();
        EXPECT_EQ(ShownFrames(s), std::vector<int>{3});
        EXPECT_EQ(s.Status(), kCannotCommunicate);
        EXPECT_EQ(s.world->CountOf("Workspace.Create"), 2);
        auto hosted = HostedControls(s);
        ASSERT_EQ(hosted.size(), 1u);
        EXPECT_EQ(hosted[0]->ProgId(), kFallback);
        EXPECT_EQ(s.world->LiveWorkspaceControls(), 1);
    }
    {
        // A control that has members of the workspace's names but not its interface is no
        // workspace control: it is created, never attached, and the display ends in the error view.
        SessionFor s(u"Acme.NamesOnly");
        s.world->AddWorkspaceControl({.progId = u"Acme.NamesOnly", .binding = sim::WorkspaceBinding::NoInterface});
        s.world->SetFallbackWorkspaceInstalled(false);
        s.StartAndOpen();
        EXPECT_EQ(ShownFrames(s), std::vector<int>{3}) << s.Dump();
        EXPECT_EQ(s.world->CountOf("Workspace.Create"), 1);
        EXPECT_EQ(s.world->CountOf("Workspace.AttachLink"), 0);
    }
    {
        // A plug-in without a workspace control goes straight to the error view.
        SessionFor s(u"");
        s.StartAndOpen();
        EXPECT_EQ(ShownFrames(s), std::vector<int>{3});
        EXPECT_EQ(s.world->CountOf("Workspace.Create"), 0);
        EXPECT_EQ(Workspace(s)->DeviceView()->ControlIdentifier(), u"");
    }
}

TEST(Workspace, ErrorViewsReplaceEachOtherAndGiveWayToTheDeviceView) {
    ErrorViewSession s;
    auto ws = Workspace(s);
    std::weak_ptr<IQuilletWorkspaceView> first = ws->CurrentView();
    ASSERT_NE(std::dynamic_pointer_cast<CViewError>(first.lock()), nullptr);

    // Refresh goes to the device view, which has no control: the error view stays as it is.
    ws->RefreshWorkspace();
    EXPECT_EQ(s.Status(), kCannotCommunicate);
    EXPECT_EQ(ShownFrames(s), std::vector<int>{3});
    EXPECT_EQ(ws->CurrentView(), first.lock());

    ws->ShowPluginWorkspace(nullptr, u"");
    std::weak_ptr<IQuilletWorkspaceView> second = ws->CurrentView();
    EXPECT_TRUE(first.expired()) << "the previous error view is released";
    ASSERT_NE(std::dynamic_pointer_cast<CViewError>(second.lock()), nullptr);
    EXPECT_EQ(ShownFrames(s), std::vector<int>{3});

    s.world->AddWorkspaceControl({.progId = kMissing});
    ws->ShowPluginWorkspace(nullptr, kMissing);
    EXPECT_TRUE(second.expired());
    EXPECT_EQ(ShownFrames(s), std::vector<int>{2});
    EXPECT_EQ(HostedControls(s).size(), 1u);
    EXPECT_EQ(s.Status(), u"");
    EXPECT_TRUE(TimerRunning(s));
}

TEST(Workspace, RefreshWaitsThenReportsWhetherTheDeviceAnswered) {
    OpenedSession s;
    auto ws = Workspace(s);
    const int uploads = s.world->CountOf("Workspace.Upload");

    struct Probe {
        BStr status;
        std::int64_t at;
    };
    std::vector<Probe> probes;
    s.world->OnCall("AppDevice.State", [&] { probes.push_back({s.Status(), s.platform->Now()}); });

    s.world->SetAnswering(s.device, false);
    const std::int64_t start = s.platform->Now();
    ws->RefreshWorkspace();
    ASSERT_EQ(probes.size(), 1u);
    EXPECT_EQ(probes[0].status, kRefreshing);
    EXPECT_EQ(probes[0].at, start + 250);
    ASSERT_FALSE(s.platform->Sleeps().empty());
    EXPECT_EQ(s.platform->Sleeps().back(), 250u);
    EXPECT_EQ(s.Status(), kCannotCommunicate);
    EXPECT_EQ(s.world->CountOf("Workspace.Upload"), uploads) << "a silent device is not read";
    EXPECT_EQ(ShownFrames(s), std::vector<int>{2}) << "a failed refresh leaves the view as it was";

    // The View menu's Refresh, with the device back.
    s.world->SetAnswering(s.device, true);
    s.Control(u"mnuViews", 0)->Click.Raise();
    EXPECT_EQ(s.Status(), u"");
    EXPECT_EQ(s.world->CountOf("Workspace.Upload"), uploads + 1);

    // The device answers but the control cannot read it.
    s.world->Fail("Workspace.Upload", 1);
    ws->RefreshWorkspace();
    EXPECT_EQ(s.Status(), kCannotCommunicate);

    // Marking the workspace dirty refreshes the current view at once and stays marked.
    ws->SetIsDirty(automation::kTrue);
    EXPECT_EQ(ws->IsDirty(), automation::kTrue);
    EXPECT_EQ(s.world->CountOf("Workspace.Upload"), uploads + 3);
    EXPECT_EQ(s.Status(), u"");
    ws->SetIsDirty(automation::kFalse);
    EXPECT_EQ(s.world->CountOf("Workspace.Upload"), uploads + 3);
    ws->SetIsDirty(automation::kTrue);
    ws->RefreshWorkspace();
    EXPECT_EQ(ws->IsDirty(), automation::kFalse);
    // Marked dirty again while the refresh lets messages run: the refresh that ends is the last word.
    bool marked = false;
    s.platform->OnSleep([&](std::uint32_t) {
        if (!std::exchange(marked, true)) ws->SetIsDirty(automation::kTrue);
    });
    ws->RefreshWorkspace();
    s.platform->OnSleep(nullptr);
    EXPECT_TRUE(marked);
    EXPECT_EQ(ws->IsDirty(), automation::kFalse);

    // Refresh always reaches the device view, even while another view shows.
    ws->ShowViewForNode(Node(u"agRt"));
    const int before = s.world->CountOf("Workspace.Upload");
    ws->RefreshWorkspace();
    EXPECT_EQ(s.world->CountOf("Workspace.Upload"), before + 1);
    EXPECT_EQ(ShownFrames(s), std::vector<int>{0});
}

TEST(Workspace, NodeKeysChooseTheViewAndAnUnshowableDeviceResetsTheServer) {
    HostSession s;
    s.isLnsPi = automation::kFalse;
    s.StartAndOpen();
    auto ws = Workspace(s);
    auto view = [&] { return ws->CurrentView().get(); };

    const int repaints = s.Window().RepaintCount();
    ws->ShowViewForNode(Node(u"agRt", u"Active Group"));
    EXPECT_GT(s.Window().RepaintCount(), repaints) << "a list view repaints the window once it is emptied";
    EXPECT_EQ(view(), ws->GroupView().get());
    EXPECT_EQ(ShownFrames(s), std::vector<int>{0});
    EXPECT_FALSE(TimerRunning(s)) << "hiding the device view stops the status timer";
    EXPECT_EQ(s.Control(u"FraWorkspace", 0)->Caption(), u"Active Group View");
    auto group = s.Control<ui::ListView>(u"lvwGroup");
    group->Add(u"stale", u"Stale");
    ws->SetIsDirty(automation::kTrue);
    EXPECT_EQ(group->Count(), 0) << "refreshing the group view shows its node afresh";

    ws->ShowViewForNode(Node(u"AlD_", u" All Devices"));
    EXPECT_EQ(view(), ws->DeviceTypeView().get());
    EXPECT_EQ(ShownFrames(s), std::vector<int>{1});
    ws->ShowViewForNode(Node(u"Typ_x", u"Fan"));
    EXPECT_EQ(ShownFrames(s), std::vector<int>{1});
    EXPECT_EQ(s.Control(u"FraWorkspace", 1)->Caption(), u"Device Type -  Fan");

    ws->ShowViewForNode(Node(u"Dev_42"));
    EXPECT_EQ(view(), ws->DeviceView().get());
    EXPECT_EQ(ShownFrames(s), std::vector<int>{2});
    EXPECT_TRUE(TimerRunning(s));
    ws->ShowViewForNode(Node(u"All_1"));
    EXPECT_EQ(view(), ws->DeviceView().get());
    EXPECT_EQ(HostedControls(s).size(), 1u);

    // Prefixes are exact: a key that matches none keeps the current view; no node shows it again.
    ws->ShowViewForNode(Node(u"dev_42"));
    EXPECT_EQ(view(), ws->DeviceView().get());
    ws->ShowViewForNode(nullptr);
    EXPECT_EQ(ShownFrames(s), std::vector<int>{2});
    EXPECT_EQ(s.world->CountOf("PluginServer.Clear"), 0);

    // The device's control cannot be shown any more: the server is cleared and given no device.
    s.world->Fail("Workspace.Create");
    s.world->ClearLog();
    ws->SetIsDirty(automation::kTrue);
    ws->ShowViewForNode(Node(u"Dev_42"));
    EXPECT_EQ(s.world->LogOf("PluginServer."), (std::vector<std::string>{"PluginServer.Clear", "PluginServer.LoadDevice"}));
    EXPECT_EQ(s.PluginServer()->LastLoadFlag(), automation::kTrue);
    EXPECT_EQ(s.PluginServer()->LastLoadIsLnsPi(), automation::kFalse);
    EXPECT_EQ(s.PluginServer()->Current(), std::nullopt);
    EXPECT_TRUE(ShownFrames(s).empty());
    EXPECT_FALSE(TimerRunning(s));
    EXPECT_EQ(ws->IsDirty(), automation::kFalse);
}

TEST(Workspace, NotificationsArrivingInsideCallsLeaveAConsistentWorkspace) {
    OpenedSession s;
    auto ws = Workspace(s);
    auto tree = s.Form()->ActiveTree();

    // The server announces the workspace again while it is being cleared after a failed showing.
    s.world->Fail("Workspace.Create", 1);
    s.world->OnCall("PluginServer.Clear", [&] { s.PluginServer()->RaiseWorkspaceAvailable(HostSession::kWorkspaceProgId); });
    ws->ShowViewForNode(Node(u"Dev_1"));
    s.world->OnCall("PluginServer.Clear", nullptr);
    EXPECT_EQ(ShownFrames(s), std::vector<int>{2});
    EXPECT_EQ(HostedControls(s).size(), 1u);
    EXPECT_EQ(ws->CurrentView(), std::static_pointer_cast<IQuilletWorkspaceView>(ws->DeviceView()));

    // The plug-in is cleared while the control reads the device during a refresh.
    s.world->OnCall("Workspace.Upload", [&] { tree->ClearWorkspace(); });
    ws->RefreshWorkspace();
    s.world->OnCall("Workspace.Upload", nullptr);
    EXPECT_TRUE(HostedControls(s).empty());
    EXPECT_TRUE(ShownFrames(s).empty());
    EXPECT_EQ(s.Status(), u"");
    ws->RefreshWorkspace();
    EXPECT_EQ(s.Status(), kCannotCommunicate) << "with no control the refresh cannot read the device";
    EXPECT_EQ(s.world->LiveWorkspaceControls(), 0);

    // The plug-in is cleared while the new control takes its link.
    s.world->OnCall("Workspace.AttachLink", [&] { tree->ClearWorkspace(); });
    ws->ShowPluginWorkspace(nullptr, HostSession::kWorkspaceProgId);
    s.world->OnCall("Workspace.AttachLink", nullptr);
    EXPECT_TRUE(HostedControls(s).empty());

    // A message waiting in the queue runs while hiding the device view stops the status timer.
    ws->ShowPluginWorkspace(nullptr, HostSession::kWorkspaceProgId);
    ASSERT_EQ(HostedControls(s).size(), 1u);
    std::shared_ptr<IQuilletWorkspaceView> currentWhileHiding;
    s.platform->Post([&] {
        currentWhileHiding = ws->CurrentView();
        tree->ClearWorkspace();
    });
    ws->ShowViewForNode(Node(u"agRt"));
    EXPECT_EQ(currentWhileHiding, std::static_pointer_cast<IQuilletWorkspaceView>(ws->DeviceView()))
        << "the view being hidden stays current until it is hidden";
    EXPECT_EQ(s.platform->PendingMessages(), 0u);
    EXPECT_TRUE(HostedControls(s).empty());
    EXPECT_EQ(ShownFrames(s), std::vector<int>{0});
}

TEST(Workspace, ShutdownReleasesTheShownWorkspace) {
    {
        OpenedSession s;
        ASSERT_EQ(s.world->LiveWorkspaceControls(), 1);
        s.world->ClearLog();
        s.Exit();
        EXPECT_EQ(s.hostEvents, std::vector<std::string>{"OnAppExit"});
        EXPECT_EQ(s.world->LiveWorkspaceControls(), 0);
        EXPECT_EQ(s.world->CountOf("PluginServer.Reset"), 1);
        EXPECT_EQ(s.world->CountOf("Workspace.Upload"), 0);
        EXPECT_EQ(MMain::MainForm(), nullptr);
    }
    {
        ErrorViewSession s;
        ASSERT_EQ(ShownFrames(s), std::vector<int>{3});
        s.Exit();
        EXPECT_EQ(s.hostEvents, std::vector<std::string>{"OnAppExit"});
    }
}
