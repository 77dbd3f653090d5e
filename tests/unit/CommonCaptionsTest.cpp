#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "automation/Error.h"
#include "common/MCommon.h"
#include "headless/HeadlessPlatform.h"
#include "headless/TextDump.h"
#include "ui/Window.h"

using automation::BStr;
using automation::ToUtf8;
namespace code = automation::code;

namespace {

class CaptionPass : public ::testing::Test {
protected:
    void SetUp() override { platform_ = headless::HeadlessPlatform::Install(); }
    void TearDown() override { ui::InstallPlatform(nullptr); }

    static std::int32_t ErrorCode(const std::function<void()>& f) {
        try {
            f();
        } catch (const automation::Error& e) {
            return e.Code();
        }
        return 0;
    }

    std::shared_ptr<headless::HeadlessPlatform> platform_;
};

// One authored caption-kind control of a window and the caption it must end with.
struct CaptionRow {
    ui::Kind kind;
    const char16_t* name;
    int index;
    const char16_t* authored;
    const char16_t* becomes;
};

const std::vector<CaptionRow> kMainWindowRows = {
    {ui::Kind::Frame, u"FraWorkspace", 0, u"Group View", u"Group View"},
    {ui::Kind::Frame, u"FraWorkspace", 1, u"1100:Device Type View:", u"Device Type - "},
    {ui::Kind::Frame, u"FraWorkspace", 2, u"Device View", u"Device View"},
    {ui::Kind::Frame, u"FraWorkspace", 3, u"Device View Error", u"Device View Error"},
    {ui::Kind::Label, u"lblViewError", -1,
     u"1401: Unable to display information about this device. The required file 'QuilletUnknown.ocx'  is unavailable.",
     u"Unable to display information about this device. The required plug-in file is not available."},
    {ui::Kind::Frame, u"fraButtons", -1, u"buttons", u"buttons"},
    {ui::Kind::CommandButton, u"cmdHelp", -1, u"&Help", u"&Help"},
    {ui::Kind::CommandButton, u"cmdBindings", -1, u"&Bindings", u"&Bindings"},
    {ui::Kind::CommandButton, u"cmdDevice", 0, u"PIButtons", u"PIButtons"},
    {ui::Kind::Label, u"lblGroupDeviceCount", -1, u"1330:Total number of devices", u"Total Number of Devices: "},
    {ui::Kind::Label, u"lblDeviceTypeCount", -1, u"1110:number of devices", u"Total Number of Devices of this Type: "},
    {ui::Kind::MenuItem, u"mnuPlugin", -1, u"300:Plugin", u"&Plugin"},
    {ui::Kind::MenuItem, u"mnuPlugins", 0, u"307:Exit", u"E&xit"},
    {ui::Kind::MenuItem, u"mnuDevice", -1, u"320:Device", u"&Device"},
    {ui::Kind::MenuItem, u"mnuDevPI", 0, u"PI Features", u"PI Features"},
    {ui::Kind::MenuItem, u"mnuView", -1, u"360:View", u"&View"},
    {ui::Kind::MenuItem, u"mnuViews", 0, u"363:Refresh", u"&Refresh"},
    {ui::Kind::MenuItem, u"mnuTool", -1, u"370:Tools", u"&Tools"},
    {ui::Kind::MenuItem, u"mnuTools", 0, u"372:Engineering Units", u"&Engineering Units"},
    {ui::Kind::MenuItem, u"mnuHelp", -1, u"152:Help", u"&Help"},
    {ui::Kind::MenuItem, u"mnuHelps", 0, u"391:Contents and Index", u"&Contents and Index"},
    {ui::Kind::MenuItem, u"mnuHelps", 1, u"395:What's This?", u"&What's This?"},
};

// key, authored header text, what it becomes
struct HeaderRow {
    const char16_t* key;
    const char16_t* authored;
    const char16_t* becomes;
};

const std::vector<HeaderRow> kGroupHeaders = {
    {u"DeviceName", u"1305:Device Name", u"Device Name"},
    {u"DeviceType", u"1310:Device Type", u"Device Type"},
    {u"ProgramID", u"1315:Revision", u"Program ID"},
    {u"NeuronID", u"1320:Neuron ID", u"Neuron ID"},
    {u"Status", u"1325:Status", u"Status"},
    {u"DSN0", u"1335:DSN (A)", u"DSN (A)"},
    {u"DSN1", u"1340:DSN (B)", u"DSN (B)"},
};
const std::vector<HeaderRow> kDeviceTypeHeaders = {
    {u"DeviceName", u"1305:Device Name", u"Device Name"},
    {u"ProgramID", u"1315:ProgramID", u"Program ID"},
    {u"NeuronID", u"1320:Neuron ID", u"Neuron ID"},
    {u"Status", u"1325:Status", u"Status"},
    {u"DSN0", u"1335:DSN (A)", u"DSN (A)"},
    {u"DSN1", u"1340:DSN (B)", u"DSN (B)"},
};

void AddRows(ui::Window& w, const std::vector<CaptionRow>& rows, const ui::ControlRef& container = nullptr) {
    for (const auto& r : rows) w.AddPlain(r.kind, r.name, container, r.index)->SetCaption(r.authored);
}

void AddList(ui::Window& w, const BStr& name, const std::vector<HeaderRow>& headers, const ui::ControlRef& container) {
    auto lvw = w.Add<ui::ListView>(name, container);
    for (const auto& h : headers) lvw->AddColumn(h.key, h.authored, 1440);
}

void ExpectRows(const ui::Window& w, const std::vector<CaptionRow>& rows) {
    for (const auto& r : rows)
        EXPECT_EQ(ToUtf8(w.Get(r.name, r.index)->Caption()), ToUtf8(r.becomes)) << ToUtf8(r.name) << '(' << r.index << ')';
}

void ExpectHeaders(const ui::Window& w, const BStr& name, const std::vector<HeaderRow>& headers) {
    auto lvw = w.Get<ui::ListView>(name);
    ASSERT_EQ(lvw->ColumnCount(), static_cast<int>(headers.size()));
    for (int i = 1; i <= lvw->ColumnCount(); ++i) {
        EXPECT_EQ(lvw->Column(i).key, headers[i - 1].key);
        EXPECT_EQ(ToUtf8(lvw->Column(i).text), ToUtf8(headers[i - 1].becomes)) << ToUtf8(name) << " header " << i;
    }
}

TEST_F(CaptionPass, MainWindowBecomesTheStringTableWording) {
    auto w = ui::Window::Create(u"FMainHalvern");
    w->SetCaption(u"300:Plug-in description");
    w->SetIcon(7);
    AddRows(*w, kMainWindowRows);
    // The lists sit inside their workspace frames; nesting does not change the walk.
    AddList(*w, u"lvwGroup", kGroupHeaders, w->Get(u"FraWorkspace", 0));
    AddList(*w, u"lvwDeviceTypes", kDeviceTypeHeaders, w->Get(u"FraWorkspace", 1));
    auto sta = w->Add<ui::StatusBar>(u"staStatusBar");
    sta->AddPanel(ui::Panel{});
    sta->AddPanel(ui::Panel{});

    MCommon::LoadFormResources(*w, false);

    ExpectRows(*w, kMainWindowRows);
    ExpectHeaders(*w, u"lvwGroup", kGroupHeaders);
    ExpectHeaders(*w, u"lvwDeviceTypes", kDeviceTypeHeaders);
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(sta->GetPanel(i).text, u"");
        EXPECT_EQ(sta->GetPanel(i).toolTipText, u"");
    }
    EXPECT_EQ(w->Caption(), u"300:Plug-in description") << "the title is not part of the pass";
    EXPECT_EQ(w->IconId(), 7) << "without the flag the window keeps its icon";
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
