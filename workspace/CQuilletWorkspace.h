#pragma once
// The workspace manager: owns the views, shows one at a time, and falls back to the error view
// when a device's plug-in workspace control cannot be shown.
#include <memory>

#include "session/IQuilletWorkspace.h"

class CViewGroup;
class CViewDeviceType;
class CViewDevice;
class CViewError;

class CQuilletWorkspace : public IQuilletWorkspace {
public:
    CQuilletWorkspace();
    ~CQuilletWorkspace() override;

    void ShowPluginWorkspace(const ui::NodeRef& nodX, automation::BStr WorkspaceActiveXID) override;
    void ShowViewForNode(const ui::NodeRef& nodX) override;
    void RefreshWorkspace() override;
    std::shared_ptr<IQuilletWorkspaceView> CurrentView() override;
    void SetIsDirty(automation::VBool bNewValue) override;
    automation::VBool IsDirty() const override { return dirty_; }

    // The owned views, for the window and for those who watch them.
    const std::shared_ptr<CViewGroup>& GroupView() const { return group_; }
    const std::shared_ptr<CViewDeviceType>& DeviceTypeView() const { return deviceType_; }
    const std::shared_ptr<CViewDevice>& DeviceView() const { return device_; }

private:
    void MakeCurrent(const std::shared_ptr<IQuilletWorkspaceView>& view);
    std::shared_ptr<IQuilletWorkspaceView> current_;
    std::shared_ptr<CViewGroup> group_;
    std::shared_ptr<CViewDeviceType> deviceType_;
    std::shared_ptr<CViewDevice> device_;
    automation::VBool dirty_ = automation::kFalse;
};
