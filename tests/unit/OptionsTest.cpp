// The Engineering Units dialog and its round trip from the Tools menu to the tree's units
// notification.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/CMenu_Toolbar.h"
#include "commands/frmOptions.h"
#include "automation/ComponentFactory.h"
#include "session/MMain.h"
#include "sim/SimWorkspaceControl.h"
#include "support/HostSession.h"
#include "tree/CTreeViewActive.h"

using automation::BStr;
using automation::kFalse;
using automation::kTrue;

namespace {

std::shared_ptr<outside::IQtyUnitsControl> UnitsOf(ui::Window& dialog) {
    return std::dynamic_pointer_cast<outside::IQtyUnitsControl>(dialog.Get<ui::HostedControl>(u"QtyUnits1")->Object());
}

// A session whose tree reports every units hand-off by the units object's name.
struct UnitsSession {
    OpenedSession s;
    std::vector<std::string> handedOver;
    automation::Subscription sub;
    std::shared_ptr<ui::Window> lastDialog;

    UnitsSession() {
        sub = s.Form()->ActiveTree()->PluginEngUnitsChanged.Subscribe(
            [this](automation::ObjectRef& units) { handedOver.push_back(U8(sim::UnitsName(units))); });
    }
    // Runs the Tools menu item with a script for the dialog's modal time.
    void OpenUnits(std::function<void(ui::Window&, outside::IQtyUnitsControl&)> script) {
        s.platform->QueueModal([this, script](ui::Window& dialog) {
            lastDialog = std::static_pointer_cast<ui::Window>(dialog.shared_from_this());
            auto units = UnitsOf(dialog);
            ASSERT_NE(units, nullptr);
            script(dialog, *units);
        });
        s.Window().Get(u"mnuTools", 0)->Click.Raise();
    }
};

void Click(ui::Window& dialog, const char16_t* name) { dialog.Get(name)->Click.Raise(); }

}  // namespace

TEST(Options, DialogIsBuiltAndCaptionedOnLoad) {
    HostSession s;
    auto dialog = frmOptions::Create();
    auto w = dialog->Window();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Name(), u"frmOptions");
    EXPECT_EQ(w->Caption(), u"Quillet Options");
    auto ok = w->Get(u"CmdOK");
    auto cancel = w->Get(u"cmdCancel");
    auto tab = w->Get<ui::TabbedDialog>(u"tabOptions");
    auto frame = w->Get(u"fraOption", 0);
    auto host = w->Get<ui::HostedControl>(u"QtyUnits1");
    EXPECT_EQ(ok->Caption(), u"150:OK") << "authored until the dialog loads";
    EXPECT_EQ(host->ProgId(), u"QUCtl.QtyUnits");
    EXPECT_EQ(host->Container(), frame);
    EXPECT_EQ(frame->Container(), tab);
    auto units = std::dynamic_pointer_cast<sim::SimQtyUnitsControl>(dialog->UnitsControl());
    ASSERT_NE(units, nullptr);
    EXPECT_EQ(units->Flag(), kFalse) << "set false when the dialog is created";
    automation::ObjectRef kept = s.world->MakeUnits(u"stale");
    EXPECT_EQ(dialog->UpdatedEngUnits(kept), kFalse);
    EXPECT_EQ(kept, nullptr);

    dialog->Load();
    EXPECT_EQ(w->IconId(), 101);
    EXPECT_EQ(tab->Tabs(), 1);
    EXPECT_EQ(tab->TabCaption(0), u"&Units");
    EXPECT_EQ(frame->Caption(), u"");
    EXPECT_EQ(ok->Caption(), u"OK");
    EXPECT_EQ(cancel->Caption(), u"Cancel");
    EXPECT_TRUE(ok->IsDefault());
    EXPECT_FALSE(ok->IsCancel());
    EXPECT_TRUE(cancel->IsCancel());
    EXPECT_FALSE(cancel->IsDefault());
    EXPECT_EQ((std::vector<float>{ok->Left(), ok->Top(), ok->Width(), ok->Height()}),
              (std::vector<float>{3990, 5310, 1455, 375}));
    EXPECT_EQ((std::vector<float>{cancel->Left(), cancel->Top(), cancel->Width(), cancel->Height()}),
              (std::vector<float>{5790, 5310, 1575, 375}));
    EXPECT_EQ(w->Caption(), u"Quillet Options") << "the title is not part of the caption pass";
    // The units control sits in its frame, the frame on the tab, the tab in the dialog.
    auto fits = [](const ui::Control& c, const ui::Control& in) {
        return c.Width() > 0 && c.Height() > 0 && c.Left() >= 0 && c.Top() >= 0 && c.Left() + c.Width() <= in.Width() &&
               c.Top() + c.Height() <= in.Height();
    };
    EXPECT_TRUE(fits(*tab, *w));
    EXPECT_TRUE(fits(*frame, *tab));
    EXPECT_TRUE(fits(*host, *frame));

    units.reset();
    dialog->Unload();
    EXPECT_TRUE(w->IsUnloaded());
    EXPECT_EQ(dialog->UnitsControl(), nullptr);
    EXPECT_EQ(s.world->LastUnitsControl(), nullptr) << "the units control is released";
}

TEST(Options, OkAppliesAndCancelCloses) {
    UnitsSession u;
    const auto controlsBefore = u.s.platform->LiveControls();
    std::vector<std::string> seen;
    u.OpenUnits([&](ui::Window& dialog, outside::IQtyUnitsControl&) {
        seen.push_back("captions " + U8(dialog.Get(u"CmdOK")->Caption()) + "/" + U8(dialog.Get(u"cmdCancel")->Caption()));
        seen.push_back(dialog.IsModal() ? "modal" : "modeless");
        Click(dialog, u"CmdOK");
        seen.push_back(dialog.IsShown() ? "open after OK" : "closed by OK");
        Click(dialog, u"cmdCancel");
        seen.push_back(dialog.IsShown() ? "open after Cancel" : "hidden by Cancel");
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"captions OK/Cancel", "modal", "open after OK", "hidden by Cancel"}));
    EXPECT_EQ(u.s.world->CountOf("QtyUnits.Apply"), 1);
    EXPECT_EQ(u.handedOver, std::vector<std::string>{"Units 1"}) << "a units object handed back still counts after Cancel";
    EXPECT_EQ(u.s.platform->ModalCount(), 1);
    ASSERT_NE(u.lastDialog, nullptr);
    EXPECT_TRUE(u.lastDialog->IsUnloaded());
    EXPECT_EQ(u.s.platform->LiveControls(), controlsBefore) << "nothing of the dialog stays behind";

    // Each opening starts with nothing handed back: Cancel at once passes nothing on.
    u.OpenUnits([](ui::Window& dialog, outside::IQtyUnitsControl&) { Click(dialog, u"cmdCancel"); });
    EXPECT_EQ(u.handedOver.size(), 1u);

    // OK whose control hands nothing back leaves the flag false.
    u.s.world->applyHandsBackUnits = false;
    u.OpenUnits([](ui::Window& dialog, outside::IQtyUnitsControl&) {
        Click(dialog, u"CmdOK");
        Click(dialog, u"cmdCancel");
    });
    EXPECT_EQ(u.handedOver.size(), 1u);
    EXPECT_EQ(u.s.platform->ModalCount(), 3);
}

TEST(Options, OnlyTheLastUnitsObjectReachesTheTree) {
    UnitsSession u;
    u.OpenUnits([&](ui::Window& dialog, outside::IQtyUnitsControl& units) {
        units.UnitsApplied.Raise(u.s.world->MakeUnits(u"SI"));
        units.UnitsApplied.Raise(u.s.world->MakeUnits(u"US customary"));
        EXPECT_TRUE(dialog.IsShown()) << "handing back units does not close";
        units.CloseRequest.Raise();
        EXPECT_FALSE(dialog.IsShown()) << "the control's close request acts as Cancel";
    });
    EXPECT_EQ(u.handedOver, std::vector<std::string>{"US customary"});

    // A units object followed by closing through the window frame: hidden as by Cancel, and
    // the object is passed on.
    u.OpenUnits([&](ui::Window& dialog, outside::IQtyUnitsControl& units) {
        units.UnitsApplied.Raise(u.s.world->MakeUnits(u"Metric"));
        u.s.platform->CloseWindow(dialog);
        EXPECT_FALSE(dialog.IsShown());
        EXPECT_FALSE(dialog.IsUnloaded()) << "hidden, so the caller can still ask it";
    });
    EXPECT_EQ(u.handedOver, (std::vector<std::string>{"US customary", "Metric"}));
    EXPECT_TRUE(u.lastDialog->IsUnloaded());

    // A flag without an object changes nothing.
    u.OpenUnits([&](ui::Window& dialog, outside::IQtyUnitsControl& units) {
        units.UnitsApplied.Raise(nullptr);
        Click(dialog, u"cmdCancel");
    });
    EXPECT_EQ(u.handedOver.size(), 2u);
}

TEST(Options, MissingUnitsControlFailsToTheCaller) {
    OpenedSession s;
    const auto controlsBefore = s.platform->LiveControls();
    automation::Components().Unregister(outside::kQtyUnitsProgId);
    EXPECT_THROW(s.Form()->MenuToolbar()->MenuClickTools(0), automation::Error);
    EXPECT_EQ(s.platform->ModalCount(), 0);
    EXPECT_EQ(s.platform->LiveControls(), controlsBefore);
    EXPECT_FALSE(s.Window().IsUnloaded());

    // A tree that cannot take the units: the failure goes on and the dialog still goes.
    s.world->RegisterComponents();
    std::shared_ptr<ui::Window> dialogWindow;
    s.platform->QueueModal([&](ui::Window& dialog) {
        dialogWindow = std::static_pointer_cast<ui::Window>(dialog.shared_from_this());
        UnitsOf(dialog)->UnitsApplied.Raise(s.world->MakeUnits(u"SI"));
    });
    auto sub = s.Form()->ActiveTree()->PluginEngUnitsChanged.Subscribe(
        [](automation::ObjectRef&) { automation::Raise(automation::code::kFail, u"refused"); });
    EXPECT_THROW(s.Form()->MenuToolbar()->MenuClickTools(0), automation::Error);
    ASSERT_NE(dialogWindow, nullptr);
    EXPECT_TRUE(dialogWindow->IsUnloaded());
}
