#include "workspace/CQuilletWorkspace.h"

#include "StringIds.h"
#include "common/MCommon.h"
#include "tree/NodeKeys.h"
#include "workspace/CViewDevice.h"
#include "workspace/CViewDeviceType.h"
#include "workspace/CViewError.h"
#include "workspace/CViewGroup.h"
#include "workspace/WorkspaceWindow.h"

using automation::IsTrue;

namespace {
constexpr int kShowAttempts = 2;  // the device's own control, then the fallback control

std::shared_ptr<IQuilletTree> ActiveTree() {
    auto form = workspace_window::Form();
    return form ? form->ActiveTree() : nullptr;
}
}  // namespace

CQuilletWorkspace::CQuilletWorkspace() {
    auto tree = ActiveTree();
    group_ = std::make_shared<CViewGroup>();
    group_->Initialization(tree);
    deviceType_ = std::make_shared<CViewDeviceType>();
    deviceType_->Initialization(tree);
    device_ = std::make_shared<CViewDevice>();
    device_->Initialization(tree);
    current_ = group_;
    dirty_ = automation::kFalse;
}

CQuilletWorkspace::~CQuilletWorkspace() = default;

void CQuilletWorkspace::MakeCurrent(const std::shared_ptr<IQuilletWorkspaceView>& view) {
    // Held while it hides: hiding the device view lets pending messages run.
    auto previous = current_;
    if (previous) previous->SetVisible(automation::kFalse);
    current_ = view;
}

void CQuilletWorkspace::ShowViewForNode(const ui::NodeRef& nodX) {
    if (nodX) {
        std::shared_ptr<IQuilletWorkspaceView> chosen;
        const auto& key = nodX->Key();
        if (nodekeys::HasPrefix(key, nodekeys::kDevicePrefix) || nodekeys::HasPrefix(key, nodekeys::kAllPrefix)) chosen = device_;
        else if (nodekeys::HasPrefix(key, nodekeys::kTypePrefix) || nodekeys::HasPrefix(key, nodekeys::kAllDevices))
            chosen = deviceType_;
        else if (nodekeys::HasPrefix(key, nodekeys::kRoot)) chosen = group_;
        // Any other key keeps the current view.
        if (chosen && chosen != current_) MakeCurrent(chosen);
    }
    auto view = current_;
    view->ShowViewForNode(nodX);
    auto shown = current_;
    if (!IsTrue(shown->Visible())) {
        // Only the device view reports this: its control could not be shown.
        auto form = workspace_window::Form();
        auto server = form ? form->PluginServer() : nullptr;
        if (!server) automation::RaiseObjectNotSet(u"PluginServer");
        server->Clear();
        std::shared_ptr<automation::Collection> noFeatures;
        server->LoadDevice(automation::Variant(), noFeatures, automation::kTrue, MMain::IsLNSPI());
    }
    dirty_ = automation::kFalse;
}

void CQuilletWorkspace::ShowPluginWorkspace(const ui::NodeRef& nodX, automation::BStr WorkspaceActiveXID) {
    // Held for the whole call: a notification inside it may replace the manager's references.
    auto device = device_;
    if (!WorkspaceActiveXID.empty()) {
        device->SetPluginWorkspaceControl(WorkspaceActiveXID);
        for (int attempt = 1; attempt <= kShowAttempts; ++attempt) {
            if (current_ != device) MakeCurrent(device);
            device->ShowViewForNode(nodX);
            if (IsTrue(device->Visible())) {
                dirty_ = automation::kFalse;
                return;
            }
            if (attempt < kShowAttempts) device->SetPluginWorkspaceControl(automation::BStr());
        }
    }
    auto error = std::make_shared<CViewError>();
    error->Initialization(ActiveTree());
    error->SetViewMessage(MCommon::LoadResString(res::kPluginFileMissing));
    MakeCurrent(error);
    error->ShowViewForNode(nodX);
    dirty_ = automation::kFalse;
}

void CQuilletWorkspace::RefreshWorkspace() {
    auto device = device_;
    device->RefreshView();
    dirty_ = automation::kFalse;
}

std::shared_ptr<IQuilletWorkspaceView> CQuilletWorkspace::CurrentView() { return current_; }

void CQuilletWorkspace::SetIsDirty(automation::VBool bNewValue) {
    dirty_ = bNewValue;
    if (IsTrue(bNewValue)) {
        auto view = current_;
        view->RefreshView();
    }
}
