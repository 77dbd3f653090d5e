#pragma once
// The device view: hosts the device's plug-in workspace control in frame 2, attaches the device
// link, lets it read the device's data, keeps it sized and passes unit changes on.
#include <memory>

#include "automation/Event.h"
#include "outside/Controls.h"
#include "outside/PluginServer.h"
#include "ui/Window.h"
#include "session/IQuilletWorkspaceView.h"
#include "workspace/CViewFrame.h"

class IQuilletStatus;

class CViewDevice : public CViewFrame<IQuilletDeviceView> {
public:
    static constexpr const char16_t* kControlName = u"ctlWorkspace";

    CViewDevice();
    ~CViewDevice() override;

    // IQuilletWorkspaceView
    void saveColWidthsToReg() override {}
    void readColWidthsFromReg() override {}
    void Initialization(const std::shared_ptr<IQuilletTree>& objTre) override;
    void ShowViewForNode(const ui::NodeRef& nodX) override;
    void RefreshView() override;

    // IQuilletDeviceView
    void SizeControls() override;

    // Own interface.
    void SetPluginWorkspaceControl(const automation::BStr& sCOMProgID);

    const automation::BStr& ControlIdentifier() const { return progId_; }
    std::shared_ptr<ui::HostedControl> HostedControl() const { return hosted_; }

private:
    bool LoadWorkspaceControl();
    bool UploadDeviceData();
    void BeforeFrameFollows() override;
    void RemoveHostedControl();
    void SetStatus(const automation::BStr& text);
    void OnDevicePluginChanged(const ui::NodeRef& nodX, const std::shared_ptr<outside::IFeatureList>& oFeatureList);
    void OnPluginEngUnitsChanged(automation::ObjectRef& oQtyUnits);

    std::shared_ptr<ui::HostedControl> hosted_;
    std::shared_ptr<ui::Control> buttonsFrame_;
    std::shared_ptr<IQuilletStatus> status_;
    ui::NodeRef currentNode_;
    std::shared_ptr<outside::IPluginWorkspace> workspace_;
    automation::BStr progId_;
    std::vector<automation::Subscription> treeSubs_;
};
