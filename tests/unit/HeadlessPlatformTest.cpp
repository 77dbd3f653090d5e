#include <gtest/gtest.h>

#include "support/ErrorCode.h"

#include <functional>
#include <string>
#include <vector>

#include "automation/ComponentFactory.h"
#include "headless/HeadlessPlatform.h"
#include "headless/TextDump.h"
#include "resources/StringTable.h"
#include "ui/Window.h"

using automation::BStr;
namespace code = automation::code;

namespace {

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        p_ = headless::HeadlessPlatform::Install();
        w_ = ui::Window::Create(u"frmTest");
    }
    void TearDown() override {
        w_.reset();
        ui::InstallPlatform(nullptr);
    }
    std::shared_ptr<ui::Timer> AddTimer(const BStr& name, std::int32_t interval) {
        auto t = w_->Add<ui::Timer>(name);
        t->SetInterval(interval);
        return t;
    }
    std::shared_ptr<headless::HeadlessPlatform> p_;
    ui::WindowRef w_;
};

TEST_F(Headless, TimersTickOnTheVirtualClockInTimeOrder) {
    std::vector<std::string> ticks;
    auto a = AddTimer(u"tmrA", 300);
    auto b = AddTimer(u"tmrB", 200);
    auto sa = a->Tick.Subscribe([&] { ticks.push_back("a@" + std::to_string(p_->Now())); });
    auto sb = b->Tick.Subscribe([&] { ticks.push_back("b@" + std::to_string(p_->Now())); });
    p_->Advance(600);
    EXPECT_EQ(ticks, (std::vector<std::string>{"b@200", "a@300", "b@400", "a@600", "b@600"}));
    EXPECT_EQ(p_->Now(), 600);
    EXPECT_EQ(p_->NextTick(*a), 900);

    // Stopping and restarting: Enabled starts the count again from now.
    ticks.clear();
    a->SetEnabled(false);
    EXPECT_EQ(p_->NextTick(*a), -1);
    p_->Advance(50);
    a->SetEnabled(true);
    EXPECT_EQ(p_->NextTick(*a), 950);
    b->SetInterval(0);
    p_->Advance(1000);
    EXPECT_EQ(ticks, (std::vector<std::string>{"a@950", "a@1250", "a@1550"}));
    EXPECT_EQ(p_->NextTick(*b), -1);
}

TEST_F(Headless, IntervalChangeAndSleepInsideATick) {
    auto t = AddTimer(u"tmrStatus", 100);
    std::vector<std::int64_t> at;
    int n = 0;
    auto s = t->Tick.Subscribe([&] {
        at.push_back(p_->Now());
        ++n;
        if (n == 2) t->SetInterval(1000);  // the new period counts from this tick
        if (n == 3) p_->Sleep(1500);       // blocks: the ticks missed meanwhile come once
    });
    p_->Advance(5000);
    EXPECT_EQ(at, (std::vector<std::int64_t>{100, 200, 1200, 2700, 3700, 4700}));
    EXPECT_EQ(p_->Sleeps(), (std::vector<std::uint32_t>{1500}));
    EXPECT_EQ(p_->Now(), 5000);

    // A tick that unloads the window takes its timer away: no further tick, no dangling slot.
    int late = 0;
    auto s2 = t->Tick.Subscribe([&] {
        ++late;
        w_->Unload();
    });
    p_->Advance(2000);
    EXPECT_EQ(late, 1);
    EXPECT_EQ(p_->NextTick(*t), -1);
    p_->Advance(5000);
    EXPECT_EQ(late, 1);
}

TEST_F(Headless, MessageBoxesComeFromTheScriptAndAreRecorded) {
    p_->QueueAnswer(7);
    std::vector<BStr> seenOpen;
    p_->OnMessageBox([&](const headless::MessageBoxRecord& r) { seenOpen.push_back(r.text); });
    EXPECT_EQ(p_->MsgBox(u"First?", ui::mb::kQuestion, u"Title"), 7);
    EXPECT_EQ(p_->MsgBox(u"Second", ui::mb::kExclamation, ui::kDefaultTitle), ui::mb::kOk);
    ASSERT_EQ(p_->MessageBoxes().size(), 2u);
    EXPECT_EQ(p_->MessageBoxes()[0].text, u"First?");
    EXPECT_EQ(p_->MessageBoxes()[0].style, ui::mb::kQuestion);
    EXPECT_EQ(p_->MessageBoxes()[0].title, u"Title");
    EXPECT_EQ(p_->MessageBoxes()[1].title, u"LNSQuilletVexaProxy");
    EXPECT_EQ(seenOpen, (std::vector<BStr>{u"First?", u"Second"}));

    p_->HtmlHelpA(w_->Handle(), "x.chm", ui::help::kHtmlDisplayToc, 0);
    p_->WinHelpA(0, "y.hlp", ui::help::kWinHelpTab, 0);
    ASSERT_EQ(p_->HelpCalls().size(), 2u);
    EXPECT_TRUE(p_->HelpCalls()[0].html);
    EXPECT_NE(p_->HelpCalls()[0].window, 0);
    EXPECT_EQ(p_->HelpCalls()[1].file, "y.hlp");
}

TEST_F(Headless, PostedMessagesRunInDoEvents) {
    std::vector<int> ran;
    p_->Post([&] {
        ran.push_back(1);
        p_->Post([&] { ran.push_back(3); });
    });
    p_->Post([&] { ran.push_back(2); });
    EXPECT_EQ(p_->PendingMessages(), 2u);
    EXPECT_TRUE(ran.empty()) << "posting runs nothing";
    p_->DoEvents();
    EXPECT_EQ(ran, (std::vector<int>{1, 2})) << "what a message posts waits for the next pump";
    EXPECT_EQ(p_->PendingMessages(), 1u);
    p_->DoEvents();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(p_->DoEventsCount(), 2);
    // A message that pumps again inside itself does not run twice.
    int inner = 0;
    p_->Post([&] {
        ++inner;
        p_->DoEvents();
    });
    p_->DoEvents();
    EXPECT_EQ(inner, 1);
}

TEST_F(Headless, ModalScriptsRunWhileTheDialogIsUp) {
    auto dlg = ui::Window::Create(u"frmDialog");
    auto inner = ui::Window::Create(u"frmInner");
    bool modalInside = false;
    p_->QueueModal([&](ui::Window& d) {
        modalInside = d.IsModal();
        inner->ShowModal(&d);  // takes the next script
        d.Hide();
    });
    p_->QueueModal([&](ui::Window& d) { d.SetCaption(u"inner ran"); });
    dlg->ShowModal(w_.get());
    EXPECT_TRUE(modalInside);
    EXPECT_FALSE(dlg->IsModal());
    EXPECT_FALSE(dlg->IsUnloaded()) << "hidden by its script";
    EXPECT_EQ(inner->Caption(), u"inner ran");
    EXPECT_TRUE(inner->IsUnloaded()) << "left showing: closed as by the frame's close button";
    EXPECT_EQ(p_->ModalCount(), 2);

    // Without a script the dialog is closed; a close handler may refuse and the call still returns.
    auto sticky = ui::Window::Create(u"frmSticky");
    auto keep = sticky->CloseRequested.Subscribe([](bool& cancel) { cancel = true; });
    sticky->ShowModal(nullptr);
    EXPECT_FALSE(sticky->IsUnloaded());
    EXPECT_FALSE(sticky->IsModal());
}

TEST_F(Headless, ControlArraysLoadAndUnloadElements) {
    auto fra = w_->AddPlain(ui::Kind::Frame, u"fraHost");
    auto cmd0 = w_->AddPlain(ui::Kind::CommandButton, u"cmdDevice", fra, 0);
    cmd0->SetCaption(u"PIButtons");
    cmd0->SetTag(u"t");
    cmd0->Move(10, 20, 300, 400);
    cmd0->SetShortcut(u"^A");
    std::size_t live = p_->LiveControls();

    auto cmd2 = w_->LoadElement(u"cmdDevice", 2);
    EXPECT_EQ(cmd2->Caption(), u"PIButtons");
    EXPECT_EQ(cmd2->Tag(), u"t");
    EXPECT_EQ(cmd2->Width(), 300);
    EXPECT_FALSE(cmd2->Visible()) << "a loaded element starts hidden";
    EXPECT_EQ(cmd2->Shortcut(), u"");
    EXPECT_EQ(cmd2->Container(), fra);
    EXPECT_EQ(p_->LiveControls(), live + 1);
    w_->LoadElement(u"cmdDevice", 1);
    auto arr = w_->Array(u"cmdDevice");
    ASSERT_EQ(arr.size(), 3u);
    EXPECT_EQ(arr[1]->Index(), 1);
    EXPECT_EQ(w_->UBound(u"cmdDevice"), 2);

    EXPECT_EQ(ErrorCode([&] { w_->LoadElement(u"cmdDevice", 2); }), code::kControlArrayElementExists);
    EXPECT_EQ(ErrorCode([&] { w_->LoadElement(u"cmdDevice", -1); }), code::kInvalidProcedureCall);
    EXPECT_EQ(ErrorCode([&] { w_->LoadElement(u"cmdNone", 1); }), code::kObjectNotSet);
    EXPECT_EQ(ErrorCode([&] { w_->UBound(u"cmdNone"); }), code::kObjectNotSet);
    EXPECT_EQ(ErrorCode([&] { w_->UnloadElement(cmd0); }), code::kInvalidProcedureCall);
    EXPECT_EQ(ErrorCode([&] { w_->UnloadElement(fra); }), code::kInvalidProcedureCall);

    w_->UnloadElement(cmd2);
    EXPECT_EQ(cmd2->Form(), nullptr);
    EXPECT_EQ(w_->Find(u"cmdDevice", 2), nullptr);
    EXPECT_EQ(ErrorCode([&] { w_->UnloadElement(cmd2); }), code::kObjectNotSet);
    EXPECT_EQ(w_->UBound(u"cmdDevice"), 1);
    EXPECT_EQ(p_->LiveControls(), live + 1);

    // Unloading a container element takes what it contains; elements keep their class's design.
    auto fra0 = w_->AddPlain(ui::Kind::Frame, u"FraWorkspace", nullptr, 0);
    auto fra1 = w_->LoadElement(u"FraWorkspace", 1);
    auto child = w_->AddPlain(ui::Kind::Label, u"lblInside", fra1);
    w_->UnloadElement(fra1);
    EXPECT_EQ(w_->Find(u"lblInside"), nullptr);
    EXPECT_EQ(child->Form(), nullptr);

    auto lvw0 = w_->Add<ui::ListView>(u"lvwArr", nullptr, 0);
    lvw0->AddColumn(u"k", u"Key", 900);
    auto lvw1 = std::dynamic_pointer_cast<ui::ListView>(w_->LoadElement(u"lvwArr", 1));
    ASSERT_TRUE(lvw1);
    ASSERT_EQ(lvw1->ColumnCount(), 1);
    EXPECT_EQ(lvw1->Column(1).width, 900);
    auto tmr0 = w_->Add<ui::Timer>(u"tmrArr", nullptr, 0);
    tmr0->SetInterval(250);
    auto tmr1 = std::dynamic_pointer_cast<ui::Timer>(w_->LoadElement(u"tmrArr", 1));
    ASSERT_TRUE(tmr1);
    EXPECT_EQ(tmr1->Interval(), 250);
    EXPECT_EQ(p_->NextTick(*tmr1), p_->Now() + 250);
    auto sta0 = w_->AddPlain(ui::Kind::StatusBar, u"staArr", nullptr, 0);
    auto sta1 = std::dynamic_pointer_cast<ui::StatusBar>(w_->LoadElement(u"staArr", 1));
    EXPECT_TRUE(std::dynamic_pointer_cast<ui::StatusBar>(sta0));
    EXPECT_TRUE(sta1);
}

class Widget : public automation::Object {};

TEST_F(Headless, ControlsAddCreatesThroughTheComponentFactory) {
    automation::Components().Register(u"Test.Widget", [] { return std::make_shared<Widget>(); });
    auto fra = w_->AddPlain(ui::Kind::Frame, u"fraWorkspace");
    std::size_t live = p_->LiveControls();

    auto h = w_->ControlsAdd(u"TEST.widget", u"ctlWorkspace", fra);
    EXPECT_EQ(h->ProgId(), u"TEST.widget");
    EXPECT_TRUE(std::dynamic_pointer_cast<Widget>(h->Object()));
    EXPECT_EQ(h->Container(), fra);
    EXPECT_NE(h->GetPeer()->Handle(), 0);
    EXPECT_EQ(ErrorCode([&] { w_->ControlsAdd(u"Test.Widget", u"ctlWorkspace", fra); }), code::kKeyNotUnique);

    EXPECT_EQ(ErrorCode([&] { w_->ControlsAdd(u"No.Such", u"ctlOther", fra); }), code::kClassNotRegistered);
    EXPECT_EQ(w_->Find(u"ctlOther"), nullptr);
    EXPECT_EQ(p_->LiveControls(), live + 1);

    w_->ControlsRemove(u"ctlWorkspace");
    EXPECT_EQ(h->Object(), nullptr) << "removal releases the control";
    EXPECT_EQ(w_->Find(u"ctlWorkspace"), nullptr);
    EXPECT_EQ(p_->LiveControls(), live);
    EXPECT_EQ(ErrorCode([&] { w_->ControlsRemove(u"ctlWorkspace"); }), code::kElementNotFound);
    EXPECT_EQ(ErrorCode([&] { w_->ControlsRemove(u"fraWorkspace"); }), code::kElementNotFound);
    automation::Components().Unregister(u"Test.Widget");
}

TEST_F(Headless, UnloadRunsQueryUnloadThenUnloadingOnce) {
    std::vector<std::string> order;
    auto lbl = w_->AddPlain(ui::Kind::Label, u"lblX");
    lbl->SetCaption(u"still here");
    auto q = w_->QueryUnload.Subscribe([&] {
        order.push_back("QueryUnload");
        w_->Unload();  // re-entrant: nothing happens
    });
    auto u = w_->Unloading.Subscribe([&] {
        order.push_back("Unloading:" + automation::ToUtf8(w_->Get(u"lblX")->Caption()));
        w_.reset();  // drops the last outside reference mid-unload
    });
    ui::Window* raw = w_.get();
    std::weak_ptr<ui::Window> weak = w_;
    raw->Unload();
    EXPECT_EQ(order, (std::vector<std::string>{"QueryUnload", "Unloading:still here"}));
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(lbl->Form(), nullptr);
    EXPECT_EQ(p_->LiveControls(), 0u);

    auto w2 = ui::Window::Create(u"frmTwo");
    int unloads = 0;
    auto u2 = w2->Unloading.Subscribe([&] { ++unloads; });
    auto c = w2->CloseRequested.Subscribe([](bool& cancel) { cancel = true; });
    p_->CloseWindow(*w2);
    EXPECT_FALSE(w2->IsUnloaded());
    c.Reset();
    p_->CloseWindow(*w2);
    EXPECT_TRUE(w2->IsUnloaded());
    w2->Unload();
    EXPECT_EQ(unloads, 1);

    // Closing cannot be refused: a failing handler still lets the window go, and its failure
    // reaches the caller afterwards.
    auto w3 = ui::Window::Create(u"frmThree");
    int unloading = 0;
    auto f = w3->QueryUnload.Subscribe([&] { automation::Raise(code::kFail, u"not now"); });
    auto g = w3->Unloading.Subscribe([&] { ++unloading; });
    EXPECT_EQ(ErrorCode([&] { w3->Unload(); }), code::kFail);
    EXPECT_TRUE(w3->IsUnloaded());
    EXPECT_EQ(unloading, 1);
    EXPECT_EQ(ErrorCode([&] { w3->Unload(); }), 0) << "a second unload does nothing";

    // A modal script that fails leaves the dialog no longer modal.
    auto dlg = ui::Window::Create(u"frmFailing");
    p_->QueueModal([](ui::Window&) { automation::Raise(code::kFail, u"script"); });
    EXPECT_EQ(ErrorCode([&] { dlg->ShowModal(nullptr); }), code::kFail);
    EXPECT_FALSE(dlg->IsModal());
}

TEST_F(Headless, ActivationDeactivatesThePreviousWindowFirst) {
    auto other = ui::Window::Create(u"frmOther");
    std::vector<std::string> seen;
    auto a1 = w_->Activate.Subscribe([&] { seen.push_back("test+"); });
    auto d1 = w_->Deactivate.Subscribe([&] { seen.push_back("test-"); });
    auto a2 = other->Activate.Subscribe([&] { seen.push_back("other+"); });
    p_->ActivateWindow(*w_);
    p_->ActivateWindow(*w_);
    p_->ActivateWindow(*other);
    EXPECT_EQ(seen, (std::vector<std::string>{"test+", "test-", "other+"}));
}

TEST_F(Headless, TextDumpIsReadable) {
    w_->SetCaption(u"Quillet Options");
    w_->SetIcon(101);
    w_->Move(0, 0, 4800, 3600);
    auto fra = w_->AddPlain(ui::Kind::Frame, u"fraOption", nullptr, 0);
    fra->SetCaption(u"Units");
    auto ok = w_->AddPlain(ui::Kind::CommandButton, u"CmdOK", fra);
    ok->SetCaption(u"OK");
    ok->Move(100, 200, 1200, 375);
    w_->AddPlain(ui::Kind::Label, u"lblHidden")->SetVisible(false);
    auto lvw = w_->Add<ui::ListView>(u"lvwGroup");
    lvw->AddColumn(u"DeviceName", u"Device Name", 1800);
    lvw->Add(u"Dev_1", u"Fan");
    auto sta = w_->Add<ui::StatusBar>(u"staStatusBar");
    sta->AddPanel(ui::Panel{u"Ready", u"tip"});
    auto tmr = AddTimer(u"tmrStatus", 10000);
    tmr->SetTag(u"x");

    std::string dump = headless::DumpWindow(*w_);
    for (const char* line :
         {"Window frmTest \"Quillet Options\" [not shown] icon=101 4800x3600\n", "  Frame fraOption(0) \"Units\" @0,0 0x0\n",
          "    CommandButton CmdOK \"OK\" @100,200 1200x375\n", "  Label lblHidden \"\" [hidden]",
          "    columns: [DeviceName \"Device Name\" 1800]\n", "    row Dev_1: \"Fan\"\n", "    panel 1: \"Ready\"\n",
          "  Timer tmrStatus [hidden] tag=x interval=10000 running\n"})
        EXPECT_NE(dump.find(line), std::string::npos) << line << "\nin:\n" << dump;

    std::string shown = headless::DumpWindow(*w_, {false, false});
    EXPECT_EQ(shown.find("lblHidden"), std::string::npos) << shown;
    EXPECT_EQ(shown.find('@'), std::string::npos) << shown;
    EXPECT_NE(shown.find("CommandButton CmdOK \"OK\"\n"), std::string::npos) << shown;
}

TEST_F(Headless, StringTableLookups) {
    EXPECT_EQ(p_->LoadResString(150), u"OK");
    EXPECT_EQ(p_->LoadResString(1100), u"Device Type - ");
    try {
        p_->LoadResString(4242);
        FAIL() << "a missing id is an error";
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.Code(), code::kResourceNotFound);
        EXPECT_EQ(e.Description(), u"Resource with identifier '4242' not found");
    }
    EXPECT_EQ(ErrorCode([&] { p_->LoadResString(-1); }), code::kResourceNotFound);
    EXPECT_EQ(p_->AnsiChar(0x80), u'\u20ac');
    EXPECT_EQ(p_->AnsiCode(u'\u20ac'), 0x80);
    EXPECT_EQ(p_->AnsiCode(u'\u3042'), '?');
}

}  // namespace
