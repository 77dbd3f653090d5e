// The tree controller: handing the device to the plug-in server, relaying the server's
// notifications, the tree's own operations, and the node vocabulary.
#include <gtest/gtest.h>

#include "session/MMain.h"
#include "sim/SimNetServDevice.h"
#include "support/ErrorCode.h"
#include "support/HostSession.h"
#include "tree/CTreeDevice.h"
#include "tree/CTreeViewActive.h"
#include "tree/NodeKeys.h"

using automation::kFalse;
using automation::kTrue;

namespace {
// Every DevicePluginChanged the tree raises, as its handler sees it (count -1: no list).
struct PluginChanges {
    struct Change {
        bool node, list;
        automation::VBool communicating;
        std::int16_t count;
    };
    explicit PluginChanges(IQuilletTree& tree)
        : sub(tree.DevicePluginChanged.Subscribe(
              [this](const ui::NodeRef& n, const std::shared_ptr<outside::IFeatureList>& l, automation::VBool c) {
                  seen.push_back({n != nullptr, l != nullptr, c, l ? l->Count() : std::int16_t(-1)});
              })) {}
    std::vector<Change> seen;
    automation::Subscription sub;
};

}  // namespace

TEST(TreeLoadDevicePlugin, HandsTheDeviceOverInOrder) {
    HostSession s;
    ASSERT_EQ(s.Start(), kTrue);
    auto tree = s.Form()->ActiveTree();
    PluginChanges changes(*tree);
    s.world->ClearLog();
    EXPECT_EQ(tree->LoadDevicePlugin(), kTrue);

    auto log = s.world->Log();
    auto pos = [&](const std::string& call) { return std::find(log.begin(), log.end(), call) - log.begin(); };
    EXPECT_LT(pos("NetServDevice.Create"), pos("NetServDevice.Initialize"));
    EXPECT_LT(pos("NetServDevice.Initialize"), pos("PluginServer.LoadDevice"));
    EXPECT_LT(pos("PluginServer.LoadDevice"), pos("PluginServer.FeatureList"));

    auto dev = std::dynamic_pointer_cast<sim::SimNetServDevice>(s.world->LastNetServDevice());
    ASSERT_TRUE(dev);
    EXPECT_EQ(dev->AppDevice(), s.device);
    EXPECT_EQ(dev->System(), s.system);
    EXPECT_EQ(dev->ObjSvrVersion(), 3.2f);
    EXPECT_EQ(dev->SupportsFileType2(), kTrue);
    EXPECT_EQ(dev->CpsRefNvs(), s.cps);
    EXPECT_EQ(MMain::PluginServerLink(), std::dynamic_pointer_cast<outside::INetServDeviceLink>(s.world->LastNetServDevice()));
    auto server = s.PluginServer();
    EXPECT_EQ(server->LastLoadFlag(), kTrue);
    EXPECT_EQ(server->LastLoadIsLnsPi(), kTrue);

    ASSERT_EQ(changes.seen.size(), 1u);
    EXPECT_FALSE(changes.seen[0].node);
    EXPECT_TRUE(changes.seen[0].list);
    EXPECT_EQ(changes.seen[0].communicating, kFalse);
    EXPECT_EQ(changes.seen[0].count, 2);

    // Each run replaces the device object.
    dev.reset();
    server.reset();
    EXPECT_EQ(tree->LoadDevicePlugin(), kTrue);
    EXPECT_EQ(s.world->LiveCount("NetServDevice"), 1);
}

TEST(TreeLoadDevicePlugin, EachOutsideCallFailingInTurn) {
    struct Case {
        const char* call;
        bool throws;         // the failure reaches the caller
        bool pluginChanged;  // DevicePluginChanged was raised
    };
    const Case cases[] = {
        {"NetServDevice.Create", true, false},
        {"NetServDevice.Initialize", true, false},
        {"PluginServer.LoadDevice", false, true},
        {"PluginServer.FeatureList", true, false},
    };
    for (const auto& c : cases) {
        HostSession s;
        ASSERT_EQ(s.Start(), kTrue);
        auto tree = s.Form()->ActiveTree();
        PluginChanges changes(*tree);
        s.world->Fail(c.call, 1);
        automation::VBool result = kTrue;
        const bool threw = !automation::IgnoreFailure([&] { result = tree->LoadDevicePlugin(); });
        EXPECT_EQ(threw, c.throws) << c.call;
        EXPECT_EQ(!changes.seen.empty(), c.pluginChanged) << c.call;
        if (!c.throws) {
            EXPECT_EQ(result, kFalse) << c.call << ": a failed take-device call answers false";
        }
        if (std::string(c.call).rfind("NetServDevice", 0) == 0) {
            EXPECT_EQ(MMain::PluginServerLink(), nullptr) << c.call << ": no link stored";
        }
        // The host sees the same through RunFullAppView.
        if (c.throws) {
            s.world->Fail(c.call, 1);
            EXPECT_THROW(s.Open(), automation::Error) << c.call;
        }
    }
}

TEST(TreeLoadDevicePlugin, ServerThatRefusesStillAnnouncesItsFeatures) {
    HostSession s(false);
    auto p = HostSession::Plugin({{3, u"Three"}});
    p.acceptDevice = false;
    s.world->AddPlugin(p);
    ASSERT_EQ(s.Start(), kTrue);
    PluginChanges changes(*s.Form()->ActiveTree());
    EXPECT_EQ(s.Form()->ActiveTree()->LoadDevicePlugin(), kFalse);
    EXPECT_EQ(changes.seen.empty() ? -1 : changes.seen.back().count, 1);
}

TEST(TreeNotifications, WorkspaceAnnouncedInsideLoadDeviceReachesTheDeviceView) {
    HostSession s;
    ASSERT_EQ(s.Start(), kTrue);
    bool insideLoadDevice = false, shownInside = false;
    s.world->OnCall("PluginServer.LoadDevice", [&] { insideLoadDevice = true; });
    s.world->OnCall("Workspace.Create",
                    [&] { shownInside = insideLoadDevice && s.world->CountOf("PluginServer.FeatureList") == 0; });
    EXPECT_EQ(s.Open(), -1);
    EXPECT_TRUE(shownInside) << "the control was created while LoadDevice was still running";
    EXPECT_TRUE(s.Control(u"FraWorkspace", 2)->Visible());
}

TEST(TreeNotifications, UploadAndDownloadRequests) {
    OpenedSession s;
    auto server = s.PluginServer();
    ASSERT_TRUE(server);
    EXPECT_TRUE(server->RaiseRequestUpload());
    EXPECT_TRUE(server->RaiseRequestDownload());
    EXPECT_TRUE(s.Boxes().empty()) << "success shows nothing";

    const std::string upload =
        "Quillet Plug-in Upload Error|Quillet encountered an unknown error attempting to perform an upload for the device "
        "plug-in. The upload was not successful.";
    const std::string download =
        "Quillet Plug-in Download Error|Quillet encountered an unknown error attempting to perform a download for the "
        "device plug-in. The download was not successful.";
    s.world->uploadOutcome = sim::Outcome::ReturnFalse;
    s.world->downloadOutcome = sim::Outcome::Fail;
    EXPECT_TRUE(server->RaiseRequestUpload()) << "the handler never passes an error on";
    EXPECT_TRUE(server->RaiseRequestDownload());
    EXPECT_EQ(s.Boxes(), (std::vector<std::string>{upload, download}));
    for (auto& b : s.platform->MessageBoxes()) EXPECT_EQ(b.style, ui::mb::kOkOnly);
}

TEST(TreeOperations, ShutdownClearsThePluginAndStaysSafe) {
    OpenedSession s;
    auto tree = s.Form()->ActiveTree();
    PluginChanges changes(*tree);
    s.world->ClearLog();
    tree->PrepareForShutdown();
    tree->PrepareForShutdown();
    EXPECT_EQ(tree->Mode(), CTreeViewActive::kModeExiting);
    EXPECT_EQ(s.world->LogOf("PluginServer."),
              (std::vector<std::string>{"PluginServer.Reset", "PluginServer.Clear", "PluginServer.Reset", "PluginServer.Clear"}));
    ASSERT_EQ(changes.seen.size(), 2u);
    EXPECT_FALSE(changes.seen[0].node || changes.seen[0].list);
    EXPECT_EQ(s.Window().Find(u"ctlWorkspace"), nullptr) << "the device view let the control go";
    // From now on repopulating does nothing at all, not even failing for want of a tree control.
    s.world->ClearLog();
    EXPECT_NO_THROW(tree->PopulateTree());
    EXPECT_TRUE(s.world->LogOf("PluginServer.").empty());
    EXPECT_EQ(changes.seen.size(), 2u);
    tree->SetMode(7);
    EXPECT_EQ(tree->Mode(), CTreeViewActive::kModeExiting) << "only 0, 1 and 2 are taken";
}

TEST(TreeOperations, PopulateAndSelectWithAConnectedTree) {
    OpenedSession s;
    auto tree = s.Form()->ActiveTree();
    auto tre = s.Control<ui::TreeView>(u"treActive");
    // Without a tree control the device path reports, the root path fails to the caller.
    tree->SelectNodeInTree(u"42");
    EXPECT_EQ(s.Boxes(), std::vector<std::string>{"LNSQuilletVexaProxy|Unable to locate this device in the tree."});
    EXPECT_EQ(ErrorCode([&] { tree->SelectNodeInTree(u"Root"); }), automation::code::kObjectNotSet);
    s.world->ClearLog();
    EXPECT_EQ(ErrorCode([&] { tree->PopulateTree(); }), automation::code::kObjectNotSet);
    EXPECT_EQ(s.world->LogOf("PluginServer."), (std::vector<std::string>{"PluginServer.Reset", "PluginServer.Clear"}));
    EXPECT_EQ(ErrorCode([&] { tree->ShowWorkspace(nullptr); }), automation::code::kObjectNotSet);
    EXPECT_EQ(ErrorCode([&] { tree->ShowWorkspace(std::make_shared<ui::TreeNode>(u"Dev_1", u"")); }),
              automation::code::kObjectNotSet)
        << "no status controller before Initialization";

    tree->Initialization(tre);
    std::vector<automation::VBool> repopulating;
    std::vector<bool> rootCurrentWhenRepopulating;
    auto sub = tree->TreeRepopulating.Subscribe([&](automation::VBool& remote) {
        repopulating.push_back(remote);
        rootCurrentWhenRepopulating.push_back(tree->CurrentNode() == tre->Node(1));
    });
    tre->Add({}, u"old", u"left from before");
    s.world->ClearLog();
    tree->PopulateTree();
    EXPECT_EQ(s.world->LogOf("PluginServer."), (std::vector<std::string>{"PluginServer.Reset", "PluginServer.Clear"}));
    EXPECT_EQ(rootCurrentWhenRepopulating, std::vector<bool>{false}) << "the root becomes current after the notification";
    ASSERT_EQ(tre->Count(), 2);
    EXPECT_EQ(tre->Node(1)->Key(), u"agRt");
    EXPECT_EQ(tre->Node(1)->Text(), u"Active Group");
    EXPECT_EQ(tre->Node(1)->Image(), u"");
    EXPECT_EQ(tre->Node(2)->Key(), u"AlD_");
    EXPECT_EQ(tre->Node(2)->Text(), u" All Devices");
    EXPECT_EQ(tre->Node(2)->Image(), u"typenormal");
    EXPECT_EQ(tre->Node(2)->SelectedImage(), u"typeselect");
    EXPECT_EQ(tre->Node(2)->Parent(), tre->Node(1));
    EXPECT_TRUE(tre->Node(2)->SortsChildren());
    EXPECT_TRUE(tre->Node(1)->Expanded()) << "the group node was made visible";
    EXPECT_FALSE(tre->TabStop());
    EXPECT_EQ(tree->CurrentNode(), tre->Node(1));
    EXPECT_EQ(s.platform->MousePointer(), 13);
    tree->SetMode(2);
    tree->PopulateTree();
    EXPECT_EQ(repopulating, (std::vector<automation::VBool>{kFalse, kTrue}));

    // A device node: selecting it makes it current; "Root" selects without changing the current node.
    tre->Add(u"AlD_", u"Dev_7", u"Fan 7");
    tree->SelectNodeInTree(u"7");
    EXPECT_EQ(tree->CurrentNode()->Key(), u"Dev_7");
    tree->SelectNodeInTree(u"Root");
    EXPECT_EQ(tre->SelectedNode(), tre->Node(1));
    EXPECT_EQ(tree->CurrentNode()->Key(), u"Dev_7");
    tree->SelectNodeInTree(u"8");
    EXPECT_EQ(tree->CurrentNode(), nullptr);
    EXPECT_EQ(s.platform->MessageBoxes().size(), 2u);

    // Showing a device node writes the status text, and paints it, before the view shows; the group
    // node does not.
    std::vector<automation::BStr> statusAtCreate;
    std::vector<int> repaintsAtCreate;
    s.world->OnCall("Workspace.Create", [&] {
        statusAtCreate.push_back(s.Status());
        repaintsAtCreate.push_back(s.Window().RepaintCount());
    });
    s.Form()->StatusBar()->SetQuilletStat(u"marker");
    tree->ShowWorkspace(tre->Node(u"AlD_"));
    EXPECT_EQ(s.Status(), u"marker");
    EXPECT_TRUE(statusAtCreate.empty());
    const int repaints = s.Window().RepaintCount();
    tree->ShowWorkspace(tre->Node(u"Dev_7"));
    EXPECT_EQ(statusAtCreate, std::vector<automation::BStr>{u"Getting device data..."});
    EXPECT_EQ(repaintsAtCreate, std::vector<int>{repaints + 1});
    EXPECT_TRUE(s.Control(u"FraWorkspace", 2)->Visible());
    tre->NodeClick.Raise(tre->Node(u"AlD_"));
    EXPECT_EQ(tree->CurrentNode()->Key(), u"AlD_");

    // Shutdown empties the tree and then repaints the window; repopulating after it leaves the tree
    // as it stands.
    std::vector<int> nodesAtPaint;
    s.platform->OnPaint([&](const ui::Control& c) {
        if (c.GetKind() == ui::Kind::Window) nodesAtPaint.push_back(tre->Count());
    });
    tree->PrepareForShutdown();
    s.platform->OnPaint(nullptr);
    EXPECT_EQ(tre->Count(), 0);
    ASSERT_FALSE(nodesAtPaint.empty());
    EXPECT_EQ(nodesAtPaint.back(), 0);
    tre->Add({}, u"kept", u"kept");
    s.world->ClearLog();
    tree->PopulateTree();
    EXPECT_EQ(tre->Count(), 1);
    EXPECT_EQ(repopulating.size(), 2u);
    EXPECT_TRUE(s.world->LogOf("PluginServer.").empty());
}

TEST(TreeOperations, UnitsPassTheVeryObjectOn) {
    OpenedSession s;
    auto tree = s.Form()->ActiveTree();
    auto units = s.world->MakeUnits(u"SI");
    automation::ObjectRef seen;
    auto sub = tree->PluginEngUnitsChanged.Subscribe([&](automation::ObjectRef& u) { seen = u; });
    automation::ObjectRef arg = units;
    tree->UpdateWorkspaceUnits(arg);
    EXPECT_EQ(seen, units);
}

TEST(TreeNotifications, LoadingTwiceKeepsOneSubscriptionPerServer) {
    OpenedSession s;
    EXPECT_EQ(s.Form()->ActiveTree()->LoadDevicePlugin(), kTrue);
    EXPECT_EQ(s.Open(), -1);
    auto server = s.PluginServer();
    ASSERT_TRUE(server);
    s.world->uploadOutcome = sim::Outcome::ReturnFalse;
    EXPECT_TRUE(server->RaiseRequestUpload());
    EXPECT_EQ(s.Boxes().size(), 1u) << "one notification, one box";
    EXPECT_EQ(s.world->CountOf("NetServDevice.UploadDevice"), 1);
}

TEST(TreeVocabulary, DeviceRecordAndNodeKeys) {
    CTreeDevice d;
    EXPECT_EQ(d.Name(), u"");
    EXPECT_EQ(d.DeviceType(), u"");
    EXPECT_EQ(d.UpdatesCount(), 0);
    d.SetName(u"  Fan  ");
    d.SetUpdatesCount(-32768);
    EXPECT_EQ(d.Name(), u"  Fan  ");
    EXPECT_EQ(d.UpdatesCount(), -32768);
    EXPECT_TRUE(nodekeys::HasPrefix(u"Dev_", nodekeys::kDevicePrefix));
    EXPECT_FALSE(nodekeys::HasPrefix(u"dev_12", nodekeys::kDevicePrefix));
    EXPECT_EQ(nodekeys::DeviceKey(u"12"), u"Dev_12");
    EXPECT_EQ(nodekeys::DeviceIdOf(u"Dev_12"), u"12");
}
