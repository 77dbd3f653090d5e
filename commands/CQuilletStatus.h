#pragma once
// The one place where status texts are written: the first panel of the main window's status bar.
#include <memory>

#include "session/IQuilletStatus.h"
#include "ui/Widgets.h"

class CQuilletStatus : public IQuilletStatus {
public:
    void Initialization(const std::shared_ptr<ui::StatusBar>& StatBar);
    automation::BStr QuilletStat() const override;
    void SetQuilletStat(const automation::BStr& text) override;

private:
    std::shared_ptr<ui::StatusBar> statusBar_;
    int panel_ = 0;  // 1-based panel number once bound
};
