// The command controller as the user meets it: the Device menu's feature items and the feature
// buttons built from the plug-in's feature list, the Help button's state, Refresh, and Exit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/CMenu_Toolbar.h"
#include "commands/CQuilletStatus.h"
#include "session/MMain.h"
#include "support/ErrorCode.h"
#include "support/HostSession.h"
#include "tree/CTreeViewActive.h"

using automation::BStr;
using automation::kFalse;
using automation::kTrue;

namespace {

// "index:caption" of every run-time element of a control array, by index, with ":tag" where
// asked; hidden or disabled ones are marked.
std::vector<std::string> Entries(const ui::Window& w, const char16_t* array, bool withTag) {
    std::vector<std::string> out;
    for (auto& c : w.Array(array))
        if (c->Index() != 0)
            out.push_back(std::to_string(c->Index()) + ":" + U8(c->Caption()) + (withTag ? ":" + U8(c->Tag()) : "") +
                          (c->Visible() ? "" : " (hidden)") + (c->Enabled() ? "" : " (disabled)"));
    return out;
}
// Device menu items are "id:caption", feature buttons "index:caption:tag".
std::vector<std::string> MenuItems(const ui::Window& w) { return Entries(w, u"mnuDevPI", false); }
std::vector<std::string> Buttons(const ui::Window& w) { return Entries(w, u"cmdDevice", true); }

}  // namespace

TEST(Commands, FeatureListBecomesMenuItemsAndAtMostEightButtons) {
    for (int n : {0, 1, 8, 12}) {
        SCOPED_TRACE("features: " + std::to_string(n));
        std::vector<sim::FeatureConfig> features;  // ids in an order that is neither sorted nor contiguous
        for (int i = 0; i < n; ++i) {
            auto id = static_cast<std::int16_t>((i * 5) % 12 + 1);
            features.push_back({id, u"&F" + automation::DecimalText(id)});
        }
        HostSession s(false);
        s.AddFanPlugin(features);
        ASSERT_EQ(s.Start(), kTrue);
        std::vector<int> events;
        auto sub = s.Form()->MenuToolbar()->PIButtonsChanged.Subscribe([&](std::int16_t& c) { events.push_back(c); });
        ASSERT_EQ(s.Open(), -1);
        auto& w = s.Window();

        std::vector<std::string> items, buttons;
        std::vector<int> ids;
        for (auto& f : features) ids.push_back(f.id);
        std::sort(ids.begin(), ids.end());
        for (int id : ids) items.push_back(std::to_string(id) + ":&F" + std::to_string(id));
        for (int k = 0; k < std::min(n, 8); ++k)
            buttons.push_back(std::to_string(k + 1) + ":" + U8(features[k].caption) + ":" + std::to_string(features[k].id));
        EXPECT_EQ(MenuItems(w), items) << s.Dump();
        EXPECT_EQ(Buttons(w), buttons) << "the first eight of the list, in list order";
        const std::vector<int> expected = n == 0 ? std::vector<int>{0} : std::vector<int>{0, n};
        EXPECT_EQ(events, expected) << "the count of features, not of buttons";
        EXPECT_EQ(std::dynamic_pointer_cast<CMenu_Toolbar>(s.Form()->MenuToolbar())->FeatureCount(), n);

        EXPECT_FALSE(w.Get(u"mnuDevPI", 0)->Visible());
        EXPECT_FALSE(w.Get(u"mnuHelps", 1)->Visible());
        EXPECT_FALSE(w.Get(u"cmdDevice", 0)->Visible());
        auto help = w.Get(u"cmdHelp");
        EXPECT_EQ(help->Enabled(), n > 0);
        EXPECT_TRUE(help->Visible());
        EXPECT_EQ(help->Top(), 450 + 520 * std::min(n, 8)) << "directly below the last button";

        if (n == 12) {
            // Menu item and button both carry the feature id, whatever their position.
            auto server = s.PluginServer();
            w.Get(u"mnuDevPI", features[10].id)->Click.Raise();
            w.Get(u"cmdDevice", 3)->Click.Raise();
            ASSERT_EQ(server->Launches().size(), 2u);
            EXPECT_EQ(server->Launches()[0].featureId, features[10].id);
            EXPECT_EQ(server->Launches()[1].featureId, features[2].id);
            EXPECT_TRUE(s.platform->MessageBoxes().empty());
        }
    }
}

TEST(Commands, EntriesAreRebuiltForEachListAndClearedWithThePlugin) {
    HostSession s;
    ASSERT_EQ(s.Start(), kTrue);
    auto menu = s.Form()->MenuToolbar();
    std::vector<int> events;
    auto sub = menu->PIButtonsChanged.Subscribe([&](std::int16_t& c) { events.push_back(c); });
    ASSERT_EQ(s.Open(), -1);
    ASSERT_EQ(s.Open(), -1);
    auto& w = s.Window();
    EXPECT_EQ(MenuItems(w), (std::vector<std::string>{"1:&Configure", "2:&Monitor"}));
    EXPECT_EQ(Buttons(w), (std::vector<std::string>{"1:&Configure:1", "2:&Monitor:2"}));
    EXPECT_EQ(events, (std::vector<int>{0, 2, 0, 2}));

    // The plug-in goes: every feature entry goes, the templates stay.
    w.Get(u"mnuDevPI", 0)->SetVisible(true);
    s.Form()->ActiveTree()->ClearWorkspace();
    EXPECT_TRUE(MenuItems(w).empty());
    EXPECT_TRUE(Buttons(w).empty());
    EXPECT_FALSE(w.Get(u"mnuDevPI", 0)->Visible());
    EXPECT_EQ(w.Get(u"cmdDevice", 0)->Caption(), u"PIButtons");
    EXPECT_EQ(events.back(), 0);
    EXPECT_EQ(events.size(), 5u);
    EXPECT_EQ(w.Get(u"cmdHelp")->Top(), 450);
}

// Ids that are not positive, and repeats, get no menu item and no button and take no button
// place; the event still carries the list's count.
TEST(Commands, DuplicateAndNonPositiveIdsAreSkipped) {
    HostSession s(false);
    s.AddFanPlugin({{0, u"Zero"}, {3, u"&Alpha"}, {3, u"Alpha again"}, {-2, u"Negative"}, {4, u"&Beta"}});
    ASSERT_EQ(s.Start(), kTrue);
    std::vector<int> events;
    auto sub = s.Form()->MenuToolbar()->PIButtonsChanged.Subscribe([&](std::int16_t& c) { events.push_back(c); });
    ASSERT_EQ(s.Open(), -1);
    auto& w = s.Window();
    EXPECT_EQ(MenuItems(w), (std::vector<std::string>{"3:&Alpha", "4:&Beta"}));
    EXPECT_EQ(Buttons(w), (std::vector<std::string>{"1:&Alpha:3", "2:&Beta:4"}));
    EXPECT_EQ(w.Get(u"mnuDevPI", 0)->Caption(), u"PI Features");
    EXPECT_FALSE(w.Get(u"mnuDevPI", 0)->Visible());
    EXPECT_EQ(events, (std::vector<int>{0, 5}));

    // Rebuilding from the same list is just as clean.
    EXPECT_NO_THROW(s.Form()->ActiveTree()->LoadDevicePlugin());
    EXPECT_EQ(MenuItems(w), (std::vector<std::string>{"3:&Alpha", "4:&Beta"}));
    w.Get(u"cmdDevice", 2)->Click.Raise();
    ASSERT_EQ(s.PluginServer()->Launches().size(), 1u);
    EXPECT_EQ(s.PluginServer()->Launches()[0].featureId, 4);
}

TEST(Commands, PluginOnlyHostGetsNoEntriesAndKeepsTheHelpButton) {
    {
        OpenedSession s;
        auto& w = s.Window();
        auto menu = s.Form()->MenuToolbar();
        std::vector<int> events;
        auto sub = menu->PIButtonsChanged.Subscribe([&](std::int16_t& c) { events.push_back(c); });
        s.Form()->SetHalvernPIOnly(kTrue);
        auto help = w.Get(u"cmdHelp");
        help->SetEnabled(false);
        s.Form()->ActiveTree()->LoadDevicePlugin();
        EXPECT_TRUE(MenuItems(w).empty());
        EXPECT_TRUE(Buttons(w).empty());
        EXPECT_FALSE(help->Enabled()) << "left as it was although the plug-in has help";
        EXPECT_EQ(events, (std::vector<int>{0, 2}));
    }
    {
        // An empty list leaves the button alone too.
        OpenedSession empty(std::vector<sim::FeatureConfig>{});
        empty.Form()->SetHalvernPIOnly(kTrue);
        auto help = empty.Window().Get(u"cmdHelp");
        help->SetEnabled(true);
        empty.Form()->ActiveTree()->LoadDevicePlugin();
        EXPECT_TRUE(help->Enabled());
    }
}

TEST(Commands, HelpButtonIsEnabledOnlyForThePluginsOwnHelpFile) {
    const std::pair<const char16_t*, bool> cases[] = {
        {u"", false},          {u"QUILLET.HLP", false}, {u"quillet.hlp", false},    {u"Quillet.Hlp", false},
        {u"FanCtl.chm", true}, {u"Fan.hlp", true},      {u"QUILLET.HLP.old", true}, {u"C:\\Help\\QUILLET.HLP", true},
    };
    for (auto& [file, enabled] : cases) {
        SCOPED_TRACE(U8(file));
        OpenedSession s({{1, u"&Configure"}}, file);
        EXPECT_EQ(s.Window().Get(u"cmdHelp")->Enabled(), enabled);
    }
}

TEST(Commands, RefreshAndMenuStates) {
    OpenedSession s;
    auto menu = s.Form()->MenuToolbar();
    auto& w = s.Window();
    const int uploads = s.world->CountOf("Workspace.Upload");
    w.Get(u"mnuViews", 0)->Click.Raise();
    EXPECT_EQ(s.world->CountOf("Workspace.Upload"), uploads + 1);
    menu->RefreshDeviceView();
    EXPECT_EQ(s.world->CountOf("Workspace.Upload"), uploads + 2);
    menu->MenuClickView(1);
    menu->MenuClickPlugin(1);
    menu->MenuClickDevice(3);
    menu->MenuClickTools(4);
    menu->MenuClickHelp(2);
    EXPECT_EQ(s.world->CountOf("Workspace.Upload"), uploads + 2);
    EXPECT_EQ(s.platform->ModalCount(), 0);
    EXPECT_TRUE(s.platform->HelpCalls().empty());
    EXPECT_FALSE(w.IsUnloaded());

    for (auto [communicating, rename] : {std::pair{kTrue, kTrue}, std::pair{kFalse, kFalse}}) {
        w.Get(u"mnuDevPI", 0)->SetVisible(true);
        w.Get(u"mnuHelps", 1)->SetVisible(true);
        menu->UpdateMenuStates(communicating, rename);
        EXPECT_FALSE(w.Get(u"mnuDevPI", 0)->Visible());
        EXPECT_FALSE(w.Get(u"mnuHelps", 1)->Visible());
        EXPECT_TRUE(w.Get(u"mnuHelps", 0)->Visible());
    }
    EXPECT_EQ(menu->ShowStatusBar(), kTrue);
    EXPECT_TRUE(std::dynamic_pointer_cast<CMenu_Toolbar>(menu)->HaveMainForm());
}

namespace {
// A main window that is not the component's own: forwards to the real one.
class OtherForm : public IQuilletMainForm {
public:
    explicit OtherForm(std::shared_ptr<IQuilletMainForm> inner) : in_(std::move(inner)) {}
    void SetInWhatsThisMode(automation::VBool b) override { in_->SetInWhatsThisMode(b); }
    std::shared_ptr<IQuilletStatus> StatusBar() override { return in_->StatusBar(); }
    std::shared_ptr<IQuilletTree> ActiveTree() override { return in_->ActiveTree(); }
    std::shared_ptr<IQuilletWorkspace> QuilletWorkspace() override { return in_->QuilletWorkspace(); }
    std::shared_ptr<IMenuToolbar> MenuToolbar() override { return in_->MenuToolbar(); }
    std::shared_ptr<outside::IPluginServer> PluginServer() override { return in_->PluginServer(); }
    void SetStatusTimer(automation::VBool b) override { in_->SetStatusTimer(b); }
    automation::VBool TimerStatus() override { return in_->TimerStatus(); }
    void SetTimerInterval(std::int32_t v) override { in_->SetTimerInterval(v); }
    void SetInHalvern(automation::VBool b) override { in_->SetInHalvern(b); }
    automation::VBool InHalvern() override { return in_->InHalvern(); }
    void SetHalvernPIOnly(automation::VBool b) override { in_->SetHalvernPIOnly(b); }
    automation::VBool HalvernPIOnly() override { return in_->HalvernPIOnly(); }
    void Refresh() override { in_->Refresh(); }
    void Resize() override { in_->Resize(); }
    void ClearWorkspace() override { in_->ClearWorkspace(); }
    std::shared_ptr<ui::Window> FormWindow() override { return nullptr; }  // no window of its own

private:
    std::shared_ptr<IQuilletMainForm> in_;
};
}  // namespace

TEST(Commands, ControllerWithoutTheMainWindowLeavesTheWindowAlone) {
    OpenedSession s;
    auto& w = s.Window();
    auto other = std::make_shared<CMenu_Toolbar>();  // hears the same tree
    other->Initialization(std::make_shared<OtherForm>(MMain::MainForm()));
    EXPECT_FALSE(other->HaveMainForm());
    EXPECT_EQ(other->ShowStatusBar(), kTrue);
    std::vector<int> events;
    auto sub = other->PIButtonsChanged.Subscribe([&](std::int16_t& c) { events.push_back(c); });

    EXPECT_NO_THROW(s.Form()->ActiveTree()->LoadDevicePlugin());
    EXPECT_TRUE(events.empty()) << "no entries built, so nothing to announce";
    EXPECT_EQ(MenuItems(w), (std::vector<std::string>{"1:&Configure", "2:&Monitor"})) << "built once, by the window's own";

    w.Get(u"mnuHelps", 1)->SetVisible(true);
    other->UpdateMenuStates(kTrue);
    EXPECT_TRUE(w.Get(u"mnuHelps", 1)->Visible());

    // Without a session window, clearing does nothing at all, not even the event.
    auto tree = s.Form()->ActiveTree();
    auto saved = MMain::MainForm();
    MMain::MainForm().reset();
    EXPECT_NO_THROW(tree->ClearWorkspace());
    MMain::MainForm() = saved;
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(MenuItems(w).size(), 2u);

    tree->ClearWorkspace();
    EXPECT_EQ(events, std::vector<int>{0});
    EXPECT_TRUE(MenuItems(w).empty());
}

TEST(Commands, ExitFromTheMenuEndsTheHostSession) {
    HostSession s;
    ASSERT_EQ(s.Start(), kTrue);
    ASSERT_EQ(s.Open(), -1);
    auto& w = s.Window();
    auto menu = s.Form()->MenuToolbar();
    std::vector<std::string> order;
    auto modeSub = menu->UserChangedMode.Subscribe([&](std::int32_t& mode) {
        order.push_back("mode " + std::to_string(mode) + (w.IsUnloaded() ? " after unload" : " before unload"));
        menu->ExitQuillet();  // a second exit inside the first one does nothing
        menu->MenuClickPlugin(0);
    });
    auto buttonsSub = menu->PIButtonsChanged.Subscribe([&](std::int16_t& c) { order.push_back("buttons " + std::to_string(c)); });
    auto exitSub = s.server->OnAppExit.Subscribe([&] { order.push_back("OnAppExit"); });
    s.world->ClearLog();

    w.Get(u"mnuPlugins", 0)->Click.Raise();

    EXPECT_EQ(order, (std::vector<std::string>{"mode -99 before unload", "buttons 0", "OnAppExit"}));
    EXPECT_EQ(s.hostEvents, std::vector<std::string>{"OnAppExit"});
    EXPECT_TRUE(w.IsUnloaded());
    EXPECT_EQ(MMain::MainForm(), nullptr);
    EXPECT_EQ(MMain::MainWindow(), nullptr);
    EXPECT_EQ(MMain::LnsObjSvrVersion(), -1.0f);
    EXPECT_EQ(s.world->CountOf("PluginServer.Reset"), 1);
    EXPECT_EQ(s.world->CountOf("PluginServer.Clear"), 1);
    EXPECT_EQ(s.world->LivePluginServers(), 0);
    EXPECT_EQ(s.world->LiveWorkspaceControls(), 0);

    // A controller that outlives its window: commands fail or do nothing, never crash.
    EXPECT_NO_THROW(menu->ExitQuillet());
    EXPECT_NO_THROW(s.Exit());
    EXPECT_THROW(menu->MenuClickView(0), automation::Error);
    EXPECT_THROW(menu->MenuClickPluginFeature(1), automation::Error);
    EXPECT_EQ(s.hostEvents.size(), 1u);
}

TEST(Commands, StatusControllerWithoutTheMainWindowBindsNothing) {
    HostSession s;  // not started: no MainForm
    auto w = ui::Window::Create(u"frmOther");
    auto sta = w->Add<ui::StatusBar>(u"staOther");
    sta->AddPanel(ui::Panel{u"before", {}});
    CQuilletStatus status;
    status.Initialization(sta);
    EXPECT_EQ(ErrorCode([&] { status.SetQuilletStat(u"after"); }), automation::code::kObjectNotSet);
    EXPECT_EQ(sta->GetPanel(1).text, u"before");
}

TEST(Commands, StatusTextIsReadFromThePanelAndCanBeEmptied) {
    HostSession s;
    ASSERT_EQ(s.Start(), kTrue);
    auto status = s.Form()->StatusBar();
    status->SetQuilletStat(u"Getting device data...");
    EXPECT_EQ(s.Status(), u"Getting device data...");
    EXPECT_EQ(status->QuilletStat(), u"Getting device data...");
    s.Control<ui::StatusBar>(u"staStatusBar")->SetPanelText(1, u"written on the panel");
    EXPECT_EQ(status->QuilletStat(), u"written on the panel");
    status->SetQuilletStat(u"");
    EXPECT_EQ(s.Status(), u"");
    EXPECT_EQ(status->QuilletStat(), u"");
}
