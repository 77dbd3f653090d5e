#include "host/CHalvernView.h"

#include "host/MMain.h"
#include "mainwindow/IQuilletMainForm.h"

void CHalvernView::OpenQuilletDisplay() {
    auto& window = MMain::MainWindow();
    if (!window) automation::RaiseObjectNotSet(u"MainWindow");
    window->SetCaption(MMain::PlugInDescription());
    auto form = MMain::MainForm();
    if (!form) automation::RaiseObjectNotSet(u"MainForm");
    form->SetHalvernPIOnly(automation::kFalse);
    // Modeless and without an owner: the host's windows stay usable beside it.
    window->Show();
    window->Refresh();
}
