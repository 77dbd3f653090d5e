#include "workspace/CViewError.h"

#include "workspace/WorkspaceWindow.h"

// The label keeps the text the window's caption pass gave it; the manager only ever sets that
// same text as the message.
CViewError::CViewError() {
    frameIndex_ = 3;
    if (workspace_window::InHalvern()) {
        auto w = workspace_window::RequireWindow();
        frame_ = w->Get(u"FraWorkspace", frameIndex_);
        label_ = w->Get(u"lblViewError");
    }
    visible_ = automation::kFalse;
}

CViewError::~CViewError() {
    currentNode_.reset();
    frame_.reset();
}

void CViewError::ShowViewForNode(const ui::NodeRef&) {
    visible_ = automation::kTrue;
    ApplyVisibility();
}

void CViewError::SetVisible(automation::VBool bNewValue) {
    visible_ = bNewValue;
    ApplyVisibility();
}

void CViewError::ApplyVisibility() {
    if (!automation::IsTrue(visible_)) currentNode_.reset();
    if (frame_) frame_->SetVisible(automation::IsTrue(visible_));
}
