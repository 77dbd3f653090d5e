// Launching a plug-in feature from the Device menu or a feature button: what the plug-in server
// is asked, the report of a failed launch, the workspace refresh and the status timer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/CIconPicture.h"
#include "commands/CMenu_Toolbar.h"
#include "session/MMain.h"
#include "support/HostSession.h"
#include "tree/CTreeViewActive.h"

using automation::BStr;
using automation::kFalse;
using automation::kTrue;

namespace {

// The report of a Configure launch that failed, for a device of this name and no type name.
std::string LaunchFailure(const std::string& device) {
    return "An error occurred while trying to launch the \r\nConfigure feature for device " + device +
           ".\r\nThe necessary files to run the feature are not available.\r\n"
           "Please refer to your user manual for  devices\r\n"
           "for more information on how to install device plug-ins.";
}
const std::string kNoTypeFailure = LaunchFailure("Fan Coil 1");

}  // namespace

TEST(FeatureLaunch, SuccessfulLaunchAsksTheServerWithCaptionIconAndOwner) {
    OpenedSession s({{1, u"&Configure"}, {2, u"Set&up & &Test"}, {3, u"Plain"}});  // captions with odd markers
    auto& w = s.Window();
    auto form = s.Form();
    auto server = s.PluginServer();
    ASSERT_NE(server, nullptr);

    std::vector<automation::VBool> timerDuringLaunch;
    s.world->OnCall("PluginServer.LaunchFeature", [&] { timerDuringLaunch.push_back(form->TimerStatus()); });
    const std::pair<int, const char*> expected[] = {
        {1, "Configure Fan Coil 1"}, {2, "Setup & &Test Fan Coil 1"}, {3, "Plain Fan Coil 1"}};
    for (auto [index, caption] : expected) {
        SCOPED_TRACE(caption);
        for (auto entryTimer : {kTrue, kFalse}) {
            form->SetStatusTimer(entryTimer);
            timerDuringLaunch.clear();
            const int uploads = s.world->CountOf("NetServDevice.UploadDevice");
            const int refreshes = s.world->CountOf("Workspace.Upload");

            w.Get(u"cmdDevice", index)->Click.Raise();

            EXPECT_EQ(U8(server->FeatureWindowCaption()), caption);
            auto icon = std::dynamic_pointer_cast<CIconPicture>(server->FeatureWindowIcon());
            ASSERT_NE(icon, nullptr);
            EXPECT_EQ(icon->ResourceId(), w.IconId());
            ASSERT_FALSE(server->Launches().empty());
            EXPECT_EQ(server->Launches().back().featureId, index);
            EXPECT_NE(w.Handle(), 0);
            EXPECT_EQ(server->Launches().back().ownerWindow, static_cast<std::int32_t>(w.Handle()));
            EXPECT_EQ(s.world->CountOf("NetServDevice.UploadDevice"), uploads + 1) << "the device is uploaded first";
            EXPECT_EQ(s.world->CountOf("Workspace.Upload"), refreshes + 1) << "the workspace is refreshed";
            EXPECT_EQ(timerDuringLaunch, std::vector<automation::VBool>{kFalse});
            EXPECT_EQ(form->TimerStatus(), entryTimer);
            EXPECT_EQ(w.Get<ui::Timer>(u"tmrStatus")->Enabled(), automation::IsTrue(entryTimer));
        }
    }
    EXPECT_TRUE(s.platform->MessageBoxes().empty());

    // The calls come in this order: appearance, upload, launch.
    s.world->ClearLog();
    w.Get(u"mnuDevPI", 2)->Click.Raise();
    std::vector<std::string> calls;
    for (auto& e : s.world->LogOf("PluginServer"))
        if (e != "PluginServer.FeatureList") calls.push_back(e);
    EXPECT_EQ(calls, (std::vector<std::string>{"PluginServer.CurrentDevice", "PluginServer.SetFeatureWindowAppearance",
                                               "PluginServer.LaunchFeature"}));
    auto log = s.world->Log();
    auto at = [&](const std::string& e) { return std::find(log.begin(), log.end(), e) - log.begin(); };
    EXPECT_LT(at("NetServDevice.UploadDevice"), at("PluginServer.LaunchFeature"));
}

TEST(FeatureLaunch, UnknownFeatureReturnsSilently) {
    OpenedSession s;
    auto form = s.Form();
    auto server = s.PluginServer();
    for (auto entryTimer : {kTrue, kFalse}) {
        form->SetStatusTimer(entryTimer);
        const int refreshes = s.world->CountOf("Workspace.Upload");
        form->MenuToolbar()->MenuClickPluginFeature(99);
        EXPECT_EQ(form->TimerStatus(), entryTimer);
        EXPECT_EQ(s.world->CountOf("Workspace.Upload"), refreshes);
    }
    // A feature list that cannot be read is just as silent.
    s.world->Fail("PluginServer.FeatureList", 1);
    form->MenuToolbar()->RunButtonFunction(1);
    EXPECT_TRUE(server->Launches().empty());
    EXPECT_EQ(s.world->CountOf("PluginServer.SetFeatureWindowAppearance"), 0);
    EXPECT_EQ(s.world->CountOf("NetServDevice.UploadDevice"), 0);
    EXPECT_TRUE(s.platform->MessageBoxes().empty());
}

TEST(FeatureLaunch, EachFailureShowsOneReportThenRefreshes) {
    struct Case {
        const char* name;
        std::function<void(sim::SimWorld&)> arrange;
        const char* title;
        std::string text;
        int uploads, launches;
    };
    const Case cases[] = {
        {"launch fails", [](sim::SimWorld& w) { w.launchOutcome = sim::Outcome::Fail; }, "Quillet - Fan Coil 1 Configure Error",
         kNoTypeFailure, 1, 1},
        {"upload fails, the launch is still tried", [](sim::SimWorld& w) { w.uploadOutcome = sim::Outcome::Fail; },
         "Quillet - Fan Coil 1 Configure Error", kNoTypeFailure, 1, 1},
        {"no link", [](sim::SimWorld& w) { w.Fail("PluginServer.CurrentDevice", 1); }, "Quillet - Fan Coil 1 Configure Error",
         kNoTypeFailure, 0, 0},
        {"appearance refused", [](sim::SimWorld& w) { w.Fail("PluginServer.SetFeatureWindowAppearance", 1); },
         "Quillet - Fan Coil 1 Configure Error", kNoTypeFailure, 0, 0},
        {"device name unreadable", [](sim::SimWorld& w) { w.Fail("AppDevice.Name", 1); }, "Quillet -  Configure Error",
         LaunchFailure(""), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenedSession s;
        auto form = s.Form();
        auto server = s.PluginServer();
        const automation::VBool entryTimer = c.uploads ? kTrue : kFalse;
        form->SetStatusTimer(entryTimer);
        const int refreshes = s.world->CountOf("Workspace.Upload");
        std::vector<std::string> whileBoxOpen;
        s.platform->OnMessageBox([&](const headless::MessageBoxRecord&) {
            whileBoxOpen.push_back(std::string(automation::IsTrue(form->TimerStatus()) ? "timer on" : "timer off") + ", " +
                                   std::to_string(s.world->CountOf("Workspace.Upload") - refreshes) + " refreshes");
        });
        c.arrange(*s.world);

        EXPECT_NO_THROW(s.Window().Get(u"mnuDevPI", 1)->Click.Raise());

        ASSERT_EQ(s.platform->MessageBoxes().size(), 1u);
        const auto& box = s.platform->MessageBoxes()[0];
        EXPECT_EQ(U8(box.title), c.title);
        EXPECT_EQ(U8(box.text), c.text);
        EXPECT_EQ(box.style, ui::mb::kOkOnly) << "OK only, no icon";
        EXPECT_EQ(whileBoxOpen, std::vector<std::string>{"timer off, 0 refreshes"});
        EXPECT_EQ(s.world->CountOf("NetServDevice.UploadDevice"), c.uploads);
        EXPECT_EQ(static_cast<int>(server->Launches().size()), c.launches);
        EXPECT_EQ(s.world->CountOf("Workspace.Upload"), refreshes + 1) << "refreshed as after a success";
        EXPECT_EQ(form->TimerStatus(), entryTimer);
    }
}

TEST(FeatureLaunch, ReportNamesTheDeviceTypeOfTheCurrentNode) {
    OpenedSession s;
    auto tree = s.Form()->ActiveTree();
    auto tre = s.Window().Get<ui::TreeView>(u"treActive");
    tree->Initialization(tre);
    tre->Add(u"", u"Typ_FanCoil", u"Fan Coil Type");
    auto device = tre->Add(u"Typ_FanCoil", u"Dev_7", u"Fan Coil 1");
    tre->NodeClick.Raise(device);
    ASSERT_EQ(tree->CurrentNode(), device);
    s.world->launchOutcome = sim::Outcome::Fail;

    s.Window().Get(u"cmdDevice", 2)->Click.Raise();
    ASSERT_EQ(s.platform->MessageBoxes().size(), 1u);
    EXPECT_EQ(U8(s.platform->MessageBoxes()[0].title), "Quillet - Fan Coil 1 Monitor Error");
    EXPECT_EQ(U8(s.platform->MessageBoxes()[0].text),
              "An error occurred while trying to launch the \r\n"
              "Monitor feature for device Fan Coil 1.\r\n"
              "The necessary files to run the feature are not available.\r\n"
              "Please refer to your user manual for Fan Coil Type devices\r\n"
              "for more information on how to install device plug-ins.");

    // A current node without a parent leaves the type empty.
    tre->NodeClick.Raise(tre->Node(u"Typ_FanCoil"));
    s.Window().Get(u"cmdDevice", 1)->Click.Raise();
    ASSERT_EQ(s.platform->MessageBoxes().size(), 2u);
    EXPECT_EQ(U8(s.platform->MessageBoxes()[1].text), kNoTypeFailure);
}

TEST(FeatureLaunch, WithoutTheMainWindowTheFeatureIsPreparedButNotLaunched) {
    OpenedSession s;
    auto other = std::make_shared<CMenu_Toolbar>();
    other->Initialization(nullptr);
    auto server = s.PluginServer();
    s.Form()->SetStatusTimer(kTrue);
    const int refreshes = s.world->CountOf("Workspace.Upload");

    other->RunButtonFunction(2);

    EXPECT_EQ(U8(server->FeatureWindowCaption()), "Monitor Fan Coil 1");
    EXPECT_EQ(server->FeatureWindowIcon(), nullptr);
    EXPECT_EQ(s.world->CountOf("NetServDevice.UploadDevice"), 1);
    EXPECT_TRUE(server->Launches().empty());
    EXPECT_TRUE(s.platform->MessageBoxes().empty());
    EXPECT_EQ(s.world->CountOf("Workspace.Upload"), refreshes + 1);
    EXPECT_EQ(s.Form()->TimerStatus(), kTrue);
}

// A pending message that closes the window runs while the launch stops the timer: the launch
// then finds no plug-in server and returns without touching what has gone.
TEST(FeatureLaunch, WindowClosedWhileTheTimerStopsEndsQuietly) {
    OpenedSession s;
    auto menu = s.Form()->MenuToolbar();
    s.platform->Post([&] { s.platform->CloseWindow(s.Window()); });
    EXPECT_NO_THROW(menu->MenuClickPluginFeature(1));
    EXPECT_EQ(s.hostEvents, std::vector<std::string>{"OnAppExit"});
    EXPECT_TRUE(s.platform->MessageBoxes().empty());
}
