// Help of the device's plug-in: which viewer opens which file, the warning when there is none,
// and what's-this mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/CMenu_Toolbar.h"
#include "session/MMain.h"
#include "support/HostSession.h"

using automation::BStr;
using automation::kFalse;
using automation::kTrue;

namespace {

// The help viewer calls made, as "HtmlHelpA(window, file, command, data)" or WinHelpA the same.
std::vector<std::string> HelpCalls(const HostSession& s) {
    std::vector<std::string> out;
    for (auto& c : s.platform->HelpCalls())
        out.push_back(std::string(c.html ? "HtmlHelpA(" : "WinHelpA(") + std::to_string(c.window) + ", " + c.file + ", " +
                      std::to_string(c.command) + ", " + std::to_string(c.data) + ")");
    return out;
}

constexpr char kMissing[] = "Fan Controller|Unable to locate Fan Controller help file";

}  // namespace

TEST(Help, ViewerFollowsTheFileName) {
    const std::pair<const char16_t*, std::string> cases[] = {
        {u"FanCtl.chm", "HtmlHelpA(H, FanCtl.chm, 1, 0)"},
        {u"FANCTL.CHM", "HtmlHelpA(H, FANCTL.CHM, 1, 0)"},
        {u"fan.Chm", "HtmlHelpA(H, fan.Chm, 1, 0)"},
        {u"Docs.chmfiles\\fan.hlp", "HtmlHelpA(H, Docs.chmfiles\\fan.hlp, 1, 0)"},
        {u"Fan.hlp", "WinHelpA(H, Fan.hlp, 15, 3)"},
        {u"FanChm.hlp", "WinHelpA(H, FanChm.hlp, 15, 3)"},
        {u"L\u00fcfter.hlp",
         "WinHelpA(H, L\xfc"
         "fter.hlp, 15, 3)"},  // 8-bit text in the ANSI code page
    };
    for (auto& [file, expected] : cases) {
        SCOPED_TRACE(U8(file));
        OpenedSession s({{1, u"&Configure"}}, file);
        auto& w = s.Window();
        std::string call = expected;
        call.replace(call.find("(H,") + 1, 1, std::to_string(w.Handle()));
        w.Get(u"cmdHelp")->Click.Raise();
        w.Get(u"mnuHelps", 0)->Click.Raise();
        s.Form()->MenuToolbar()->RunHelpButton();
        EXPECT_EQ(HelpCalls(s), (std::vector<std::string>{call, call, call}));
        EXPECT_TRUE(s.platform->MessageBoxes().empty());
    }
}

// Sessions share the installed platform and the session values, so each case has its own scope.
TEST(Help, NoHelpFileGivesOneWarning) {
    {
        SCOPED_TRACE("no file named");
        OpenedSession none({{1, u"&Configure"}}, u"");
        none.Window().Get(u"cmdHelp")->Click.Raise();
        EXPECT_EQ(none.Boxes(), std::vector<std::string>{kMissing});
        ASSERT_EQ(none.platform->MessageBoxes().size(), 1u);
        EXPECT_EQ(none.platform->MessageBoxes()[0].style, ui::mb::kOkOnly | ui::mb::kExclamation);
        EXPECT_TRUE(none.platform->HelpCalls().empty());
    }
    {
        SCOPED_TRACE("no plug-in for the device");
        HostSession noPlugin(false);
        noPlugin.Start();
        EXPECT_EQ(noPlugin.Open(), 0);
        noPlugin.Window().Get(u"mnuHelps", 0)->Click.Raise();
        EXPECT_EQ(noPlugin.Boxes(), std::vector<std::string>{kMissing});
    }
    {
        SCOPED_TRACE("the server cannot say");
        OpenedSession failing;
        failing.world->Fail("PluginServer.CurrentPlugin", 1);
        EXPECT_NO_THROW(failing.Form()->MenuToolbar()->RunHelpButton());
        EXPECT_EQ(failing.Boxes(), std::vector<std::string>{kMissing});
        EXPECT_TRUE(failing.platform->HelpCalls().empty());
    }
}

TEST(Help, WithoutTheMainWindowTheViewerHasNoOwner) {
    OpenedSession s;
    auto other = std::make_shared<CMenu_Toolbar>();
    other->Initialization(nullptr);
    other->RunHelpButton();
    other->MenuClickHelp(0);
    EXPECT_EQ(HelpCalls(s), (std::vector<std::string>{"HtmlHelpA(0, FanCtl.chm, 1, 0)", "HtmlHelpA(0, FanCtl.chm, 1, 0)"}));

    // What's-this marks the session's window but cannot put a window it does not hold in the mode.
    other->MenuClickHelp(1);
    EXPECT_EQ(s.Form()->InWhatsThisMode(), kTrue);
    EXPECT_FALSE(s.Window().InWhatsThisMode());
    EXPECT_EQ(s.platform->WhatsThisCount(), 0);
}

TEST(Help, WhatsThisNeedsAPluginHelpFile) {
    {
        OpenedSession s;
        auto& w = s.Window();
        EXPECT_FALSE(w.Get(u"mnuHelps", 1)->Visible()) << "hidden by the menu update";
        w.Get(u"mnuHelps", 1)->Click.Raise();
        EXPECT_EQ(s.Form()->InWhatsThisMode(), kTrue);
        EXPECT_TRUE(w.InWhatsThisMode());
        EXPECT_EQ(s.platform->WhatsThisCount(), 1);
        EXPECT_TRUE(s.platform->HelpCalls().empty());
    }

    // An empty name, or one that cannot be read, changes nothing.
    auto unchanged = [](HostSession& session) {
        EXPECT_EQ(session.Form()->InWhatsThisMode(), kFalse);
        EXPECT_FALSE(session.Window().InWhatsThisMode());
        EXPECT_EQ(session.platform->WhatsThisCount(), 0);
        EXPECT_TRUE(session.platform->MessageBoxes().empty());
    };
    {
        OpenedSession none({{1, u"&Configure"}}, u"");
        none.Window().Get(u"mnuHelps", 1)->Click.Raise();
        unchanged(none);
    }
    {
        OpenedSession failing;
        failing.world->Fail("PluginEntry.HelpFile");
        EXPECT_NO_THROW(failing.Form()->MenuToolbar()->MenuClickHelp(1));
        unchanged(failing);
    }
}
