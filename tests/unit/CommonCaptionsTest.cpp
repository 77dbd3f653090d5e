#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/Error.h"
#include "common/MCommon.h"
#include "headless/TextDump.h"
#include "support/ErrorCode.h"
#include "support/HostSession.h"
#include "support/PlatformTest.h"
#include "ui/Window.h"

using automation::BStr;
using automation::ToUtf8;
namespace code = automation::code;

namespace {

using CaptionPass = PlatformTest;

// What the caption pass leaves on the main window that StartApp loads: every control authored with
// a string-table id shows that entry's text, the others keep their own.
struct CaptionRow {
    const char16_t* name;
    int index;
    const char16_t* becomes;
};

const std::vector<CaptionRow> kMainWindowCaptions = {
    {u"FraWorkspace", 0, u"Group View"},
    {u"FraWorkspace", 1, u"Device Type - "},
    {u"FraWorkspace", 2, u"Device View"},
    {u"FraWorkspace", 3, u"Device View Error"},
    {u"lblViewError", -1, u"Unable to display information about this device. The required plug-in file is not available."},
    {u"fraButtons", -1, u"buttons"},
    {u"cmdHelp", -1, u"&Help"},
    {u"cmdBindings", -1, u"&Bindings"},
    {u"cmdDevice", 0, u"PIButtons"},
    {u"lblGroupDeviceCount", -1, u"Total Number of Devices: "},
    {u"lblDeviceTypeCount", -1, u"Total Number of Devices of this Type: "},
    {u"mnuPlugin", -1, u"&Plugin"},
    {u"mnuPlugins", 0, u"E&xit"},
    {u"mnuDevice", -1, u"&Device"},
    {u"mnuDevPI", 0, u"PI Features"},
    {u"mnuView", -1, u"&View"},
    {u"mnuViews", 0, u"&Refresh"},
    {u"mnuTool", -1, u"&Tools"},
    {u"mnuTools", 0, u"&Engineering Units"},
    {u"mnuHelp", -1, u"&Help"},
    {u"mnuHelps", 0, u"&Contents and Index"},
    {u"mnuHelps", 1, u"&What's This?"},
};

struct HeaderRow {
    const char16_t* key;
    const char16_t* becomes;
};

const std::vector<HeaderRow> kGroupHeaders = {
    {u"DeviceName", u"Device Name"}, {u"DeviceType", u"Device Type"}, {u"ProgramID", u"Program ID"}, {u"NeuronID", u"Neuron ID"},
    {u"Status", u"Status"},          {u"DSN0", u"DSN (A)"},           {u"DSN1", u"DSN (B)"},
};
const std::vector<HeaderRow> kDeviceTypeHeaders = {
    {u"DeviceName", u"Device Name"}, {u"ProgramID", u"Program ID"}, {u"NeuronID", u"Neuron ID"},
    {u"Status", u"Status"},          {u"DSN0", u"DSN (A)"},         {u"DSN1", u"DSN (B)"},
};

void ExpectHeaders(const ui::Window& w, const BStr& name, const std::vector<HeaderRow>& headers) {
    auto lvw = w.Get<ui::ListView>(name);
    ASSERT_EQ(lvw->ColumnCount(), static_cast<int>(headers.size()));
    for (int i = 1; i <= lvw->ColumnCount(); ++i) {
        EXPECT_EQ(lvw->Column(i).key, headers[i - 1].key);
        EXPECT_EQ(ToUtf8(lvw->Column(i).text), ToUtf8(headers[i - 1].becomes)) << ToUtf8(name) << " header " << i;
    }
}

TEST(CaptionPassOnTheMainWindow, LoadedWindowShowsTheStringTableWording) {
    HostSession s;
    ASSERT_EQ(s.Start(), automation::kTrue);
    const auto& w = s.Window();
    for (const auto& r : kMainWindowCaptions) {
        std::string caption = ToUtf8(w.Get(r.name, r.index)->Caption());
        // The list views write their count after the text the pass gave their labels.
        if (BStr(r.name).ends_with(u"Count")) caption = caption.substr(0, ToUtf8(r.becomes).size());
        EXPECT_EQ(caption, ToUtf8(r.becomes)) << ToUtf8(r.name) << '(' << r.index << ')';
    }
    ExpectHeaders(w, u"lvwGroup", kGroupHeaders);
    ExpectHeaders(w, u"lvwDeviceTypes", kDeviceTypeHeaders);
    auto sta = w.Get<ui::StatusBar>(u"staStatusBar");
    for (int i = 1; i <= sta->PanelCount(); ++i) EXPECT_EQ(sta->GetPanel(i).toolTipText, u"") << i;
}

TEST_F(CaptionPass, OptionsDialogGetsCaptionsAndTheComponentIcon) {
    auto w = ui::Window::Create(u"frmOptions");
    w->SetCaption(u"Quillet Options");
    w->AddPlain(ui::Kind::CommandButton, u"CmdOK")->SetCaption(u"150:OK");
    w->AddPlain(ui::Kind::CommandButton, u"cmdCancel")->SetCaption(u"151:Cancel");
    auto tab = w->Add<ui::TabbedDialog>(u"tabOptions");
    tab->SetTabs(1);
    tab->SetTabCaption(0, u"2613:Units");
    auto fra = w->AddPlain(ui::Kind::Frame, u"fraOption", tab, 0);

    MCommon::LoadFormResources(*w, true);

    EXPECT_EQ(w->IconId(), 101);
    EXPECT_EQ(w->Caption(), u"Quillet Options");
    EXPECT_EQ(w->Get(u"CmdOK")->Caption(), u"OK");
    EXPECT_EQ(w->Get(u"cmdCancel")->Caption(), u"Cancel");
    ASSERT_EQ(tab->Tabs(), 1);
    EXPECT_EQ(tab->TabCaption(0), u"&Units");
    EXPECT_EQ(fra->Caption(), u"");
    EXPECT_NE(headless::DumpWindow(*w).find("tab 0: \"&Units\""), std::string::npos) << headless::DumpWindow(*w);
}

TEST_F(CaptionPass, IdSyntaxOfAuthoredCaptions) {
    using MCommon::GetResId;
    EXPECT_EQ(GetResId(u"1305:Device Name"), 1305);
    EXPECT_EQ(GetResId(u"1401: Unable to display information about this device."), 1401);
    EXPECT_EQ(GetResId(u"PI Features"), -1);
    EXPECT_EQ(GetResId(u""), -1);
    EXPECT_EQ(GetResId(u" 12 :x"), 12);
    EXPECT_EQ(GetResId(u"\t1 3\n05 :x"), 1305) << "blanks, tabs and line feeds are skipped anywhere";
    EXPECT_EQ(GetResId(u"-5:x"), -5);
    EXPECT_EQ(GetResId(u"&H10:x"), 16);
    EXPECT_EQ(GetResId(u"&O17:x"), 15);
    EXPECT_EQ(GetResId(u"&HFFFF:x"), -1) << "four hex digits are a 16-bit value";
    EXPECT_EQ(GetResId(u"1e2:x"), 100);
    EXPECT_EQ(GetResId(u"2.5:x"), 2) << "ties go to even";
    EXPECT_EQ(GetResId(u"3.5:x"), 4);
    EXPECT_EQ(GetResId(u"-2.5:x"), -2);
    EXPECT_EQ(GetResId(u"2.51:x"), 3);
    EXPECT_EQ(GetResId(u"12abc:x"), 12) << "reading stops at what cannot continue a number";
    EXPECT_EQ(GetResId(u"Name:"), 0) << "no leading number reads as 0";
    EXPECT_EQ(GetResId(u"7:a:b"), 7) << "the first colon ends the id";
    EXPECT_EQ(GetResId(u"2147483647:x"), 2147483647);
    EXPECT_EQ(ErrorCode([] { GetResId(u"2147483648:x"); }), code::kOverflow);
    EXPECT_EQ(ErrorCode([] { GetResId(u"1e999:x"); }), code::kOverflow);
}

TEST_F(CaptionPass, OddIdsOnSingleControls) {
    auto w = ui::Window::Create(u"frmOdd");
    auto caption = [&](const BStr& authored) {
        auto c = w->AddPlain(ui::Kind::Label, u"lbl" + automation::DecimalText(static_cast<long long>(w->Controls().size())));
        c->SetCaption(authored);
        MCommon::ApplyResCaption(*c);
        return c->Caption();
    };
    EXPECT_EQ(caption(u"363:Refresh"), u"&Refresh");
    EXPECT_EQ(caption(u" 1305 :Device"), u"Device Name");
    EXPECT_EQ(caption(u"-5:keep me"), u"-5:keep me");
    EXPECT_EQ(caption(u"&H8000:negative as 16 bits"), u"&H8000:negative as 16 bits");

    // Ids that do not fit 16 bits are overflow errors; unknown ones the platform's lookup error.
    auto lbl = w->AddPlain(ui::Kind::CheckBox, u"chkBig");
    lbl->SetCaption(u"40000:big");
    EXPECT_EQ(ErrorCode([&] { MCommon::ApplyResCaption(*lbl); }), code::kOverflow);
    EXPECT_EQ(lbl->Caption(), u"40000:big");
    lbl->SetCaption(u"32767.5:rounds up");
    EXPECT_EQ(ErrorCode([&] { MCommon::ApplyResCaption(*lbl); }), code::kOverflow);
    lbl->SetCaption(u"-32769:small");
    EXPECT_EQ(ErrorCode([&] { MCommon::ApplyResCaption(*lbl); }), code::kOverflow);
    lbl->SetCaption(u"Name:");
    EXPECT_EQ(ErrorCode([&] { MCommon::ApplyResCaption(*lbl); }), code::kResourceNotFound) << "id 0 has no entry";
    EXPECT_EQ(lbl->Caption(), u"Name:");

    // Every caption kind takes part; other kinds and the window itself are left alone.
    for (ui::Kind k : {ui::Kind::Label, ui::Kind::CommandButton, ui::Kind::Frame, ui::Kind::MenuItem, ui::Kind::OptionButton,
                       ui::Kind::CheckBox}) {
        auto c = w->AddPlain(k, u"kind" + automation::DecimalText(static_cast<int>(k)));
        c->SetCaption(u"150:x");
        MCommon::ApplyResCaption(*c);
        EXPECT_EQ(c->Caption(), u"OK") << ui::KindName(k);
    }
    for (ui::Kind k : {ui::Kind::PictureBox, ui::Kind::Image, ui::Kind::TreeView, ui::Kind::ImageList, ui::Kind::ProgressBar,
                       ui::Kind::Timer, ui::Kind::StatusBar}) {
        auto c = w->AddPlain(k, u"other" + automation::DecimalText(static_cast<int>(k)));
        c->SetCaption(u"150:x");
        c->SetToolTipText(u"151:y");
        MCommon::ApplyResCaption(*c);
        EXPECT_EQ(c->Caption(), u"150:x") << ui::KindName(k);
        EXPECT_EQ(c->ToolTipText(), u"151:y") << ui::KindName(k);
    }
    w->SetCaption(u"150:title");
    MCommon::ApplyResCaption(*w);
    EXPECT_EQ(w->Caption(), u"150:title");
}

TEST_F(CaptionPass, MissingIdEndsThePassWhereItStands) {
    auto w = ui::Window::Create(u"frmBroken");
    auto first = w->AddPlain(ui::Kind::Label, u"lblFirst");
    first->SetCaption(u"150:OK");
    auto lvw = w->Add<ui::ListView>(u"lvwMixed");
    lvw->AddColumn(u"a", u"1305:x", 100);
    lvw->AddColumn(u"b", u"9999:missing", 100);
    lvw->AddColumn(u"c", u"1310:y", 100);
    auto last = w->AddPlain(ui::Kind::CommandButton, u"cmdLast");
    last->SetCaption(u"151:Cancel");

    try {
        MCommon::LoadFormResources(*w, true);
        FAIL() << "a missing id must end the pass";
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.Code(), code::kResourceNotFound);
        EXPECT_NE(ToUtf8(e.Description()).find("9999"), std::string::npos);
    }
    EXPECT_EQ(w->IconId(), 101) << "the icon comes before the captions";
    EXPECT_EQ(first->Caption(), u"OK");
    EXPECT_EQ(lvw->Column(1).text, u"Device Name");
    EXPECT_EQ(lvw->Column(2).text, u"9999:missing");
    EXPECT_EQ(lvw->Column(3).text, u"1310:y");
    EXPECT_EQ(last->Caption(), u"151:Cancel");
}

TEST_F(CaptionPass, ListsStatusBarsAndTabsOfAnyShape) {
    auto w = ui::Window::Create(u"frmShapes");
    auto empty = w->Add<ui::ListView>(u"lvwEmpty");
    auto plainList = w->AddPlain(ui::Kind::ListView, u"lvwPlain");
    auto oneTab = w->Add<ui::TabbedDialog>(u"tabOne");
    oneTab->SetTabs(1);
    oneTab->SetTabCaption(0, u"2613:Units");
    auto noTabs = w->Add<ui::TabbedDialog>(u"tabNone");
    auto threeTabs = w->Add<ui::TabbedDialog>(u"tabThree");
    threeTabs->SetTabs(3);
    threeTabs->SetTabCaption(0, u"General");
    threeTabs->SetTabCaption(1, u"150:x");
    threeTabs->SetTabCaption(2, u"-1:minus");
    auto sta = w->Add<ui::StatusBar>(u"staStatus");
    sta->AddPanel(ui::Panel{u"1305:text", u"plain tip"});
    sta->AddPanel(ui::Panel{u"plain text", u"151:tip"});
    sta->AddPanel(ui::Panel{u"150:a", u"152:b"});

    EXPECT_NO_THROW(MCommon::LoadFormResources(*w, false));

    EXPECT_EQ(empty->ColumnCount(), 0);
    EXPECT_EQ(plainList->Caption(), u"");
    EXPECT_EQ(oneTab->TabCaption(0), u"&Units");
    EXPECT_EQ(noTabs->Tabs(), 0);
    EXPECT_EQ(threeTabs->TabCaption(0), u"General");
    EXPECT_EQ(threeTabs->TabCaption(1), u"OK");
    EXPECT_EQ(threeTabs->TabCaption(2), u"-1:minus");
    EXPECT_EQ(sta->GetPanel(1).text, u"Device Name");
    EXPECT_EQ(sta->GetPanel(1).toolTipText, u"plain tip");
    EXPECT_EQ(sta->GetPanel(2).text, u"plain text");
    EXPECT_EQ(sta->GetPanel(2).toolTipText, u"Cancel");
    EXPECT_EQ(sta->GetPanel(3).text, u"OK");
    EXPECT_EQ(sta->GetPanel(3).toolTipText, u"&Help");

    // The tooltip goes first: a panel whose tooltip id is missing keeps both texts.
    auto broken = w->Add<ui::StatusBar>(u"staBroken");
    broken->AddPanel(ui::Panel{u"150:a", u"9998:b"});
    EXPECT_EQ(ErrorCode([&] { MCommon::ApplyResCaption(*broken); }), code::kResourceNotFound);
    EXPECT_EQ(broken->GetPanel(1).text, u"150:a");
}

TEST_F(CaptionPass, LoadResStringGoesThroughThePlatform) {
    EXPECT_EQ(MCommon::LoadResString(1401), platform_->LoadResString(1401));
    EXPECT_EQ(MCommon::LoadResString(307), u"E&xit");
    EXPECT_EQ(ErrorCode([] { MCommon::LoadResString(0); }), code::kResourceNotFound);
    ui::InstallPlatform(nullptr);
    EXPECT_EQ(ErrorCode([] { MCommon::LoadResString(150); }), code::kFail);
}

}  // namespace
