#pragma once
// What every view shares: the workspace frame it shows in, bound when running inside the host
// front-end, and its Visible flag, which the frame follows.
#include <cstdint>
#include <memory>

#include "workspace/WorkspaceWindow.h"

template <class View>
class CViewFrame : public View {
public:
    automation::VBool Visible() override { return visible_; }
    void SetVisible(automation::VBool bNewValue) override {
        visible_ = bNewValue;
        ApplyVisibility();
    }

protected:
    explicit CViewFrame(std::int32_t frameIndex) {
        if (workspace_window::InHalvern()) frame_ = workspace_window::RequireWindow()->Get(u"FraWorkspace", frameIndex);
    }

    void ApplyVisibility() {
        BeforeFrameFollows();
        // Read the flag only now: the view's own steps may let messages run that change it.
        if (frame_) frame_->SetVisible(automation::IsTrue(visible_));
    }
    // The view's own steps when it is shown or hidden, before its frame follows.
    virtual void BeforeFrameFollows() {}

    std::shared_ptr<ui::Control> frame_;
    automation::VBool visible_ = automation::kFalse;
};
