#include "host/CHalvernView.h"

#include "session/MMain.h"
#include "session/IQuilletMainForm.h"

void CHalvernView::OpenQuilletDisplay() {
    auto window = MMain::RequireMainWindow();
    window->SetCaption(MMain::PlugInDescription());
    MMain::RequireMainForm()->SetHalvernPIOnly(automation::kFalse);
    // Modeless and without an owner: the host's windows stay usable beside it.
    window->Show();
    if (!window->IsUnloaded()) window->Refresh();  // showing lets messages run, a close among them
}
