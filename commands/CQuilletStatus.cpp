#include "commands/CQuilletStatus.h"

#include "session/MMain.h"

void CQuilletStatus::Initialization(const std::shared_ptr<ui::StatusBar>& StatBar) {
    if (!MMain::MainForm()) return;
    statusBar_ = StatBar;
    panel_ = 1;
}

automation::BStr CQuilletStatus::QuilletStat() const {
    if (!statusBar_) automation::RaiseObjectNotSet(u"status panel");
    return statusBar_->GetPanel(panel_).text;
}

void CQuilletStatus::SetQuilletStat(const automation::BStr& text) {
    if (!statusBar_) automation::RaiseObjectNotSet(u"status panel");
    statusBar_->SetPanelText(panel_, text);
}
