#include "workspace/CViewError.h"

#include "workspace/WorkspaceWindow.h"

// The label keeps the text the window's caption pass gave it; the manager only ever sets that
// same text as the message.
CViewError::CViewError() : CViewFrame(3) {
    if (workspace_window::InHalvern()) label_ = workspace_window::RequireWindow()->Get(u"lblViewError");
}

CViewError::~CViewError() {
    currentNode_.reset();
    frame_.reset();
}

void CViewError::ShowViewForNode(const ui::NodeRef&) {
    visible_ = automation::kTrue;
    ApplyVisibility();
}

void CViewError::BeforeFrameFollows() {
    if (!automation::IsTrue(visible_)) currentNode_.reset();
}
