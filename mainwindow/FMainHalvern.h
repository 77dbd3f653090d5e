#pragma once
// The component's main window: workspace frames, menus, device buttons, status bar and the hidden
// Active Group tree. Owns the plug-in server and the tree, status, workspace and command
// controllers; runs the status timer; lays itself out; tells its owner when it has gone.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "automation/Event.h"
#include "mainwindow/CMainLayout.h"
#include "mainwindow/CStatusTimer.h"
#include "mainwindow/FMainHalvernControls.h"
#include "session/IQuilletMainForm.h"
#include "ui/Window.h"

class CMenu_Toolbar;
class CQuilletStatus;
class CQuilletWorkspace;
class CTreeViewActive;

class FMainHalvern : public IQuilletMainForm, public std::enable_shared_from_this<FMainHalvern> {
public:
    // Creates the window with its authored controls, not yet loaded.
    static std::shared_ptr<FMainHalvern> Create();
    ~FMainHalvern() override;

    // The load steps; failures of the controllers' creation go to the caller.
    void Load();

    std::shared_ptr<ui::Window> Window() const { return form_; }

    // Raised at the end of the unload when running inside a host.
    automation::Event<> OnHalvernFormTerm;

    // IQuilletMainForm
    void SetInWhatsThisMode(automation::VBool bNewValue) override;
    std::shared_ptr<IQuilletStatus> StatusBar() override;
    std::shared_ptr<IQuilletTree> ActiveTree() override;
    std::shared_ptr<IQuilletWorkspace> QuilletWorkspace() override;
    std::shared_ptr<IMenuToolbar> MenuToolbar() override;
    std::shared_ptr<outside::IPluginServer> PluginServer() override;
    void SetStatusTimer(automation::VBool bNewValue) override;
    automation::VBool TimerStatus() override;
    void SetTimerInterval(std::int32_t lNewValue) override;
    void SetInHalvern(automation::VBool bNewValue) override;
    automation::VBool InHalvern() override;
    void SetHalvernPIOnly(automation::VBool bNewValue) override;
    automation::VBool HalvernPIOnly() override;
    void Refresh() override;
    void Resize() override;
    void ClearWorkspace() override;
    std::shared_ptr<ui::Window> FormWindow() override { return form_; }

    // What the status timer will do, for those who watch it.
    automation::VBool InWhatsThisMode() const { return whatsThis_; }
    std::int32_t CurrentTimerInterval() const { return statusTimer_.CurrentInterval(); }
    std::int32_t FirstPhaseInterval() const { return statusTimer_.FirstPhase(); }
    std::int32_t SecondPhaseInterval() const { return statusTimer_.SecondPhase(); }
    bool WorkPhase() const { return statusTimer_.WorkPhase(); }
    float TreeLeftEdge() const { return layout_->TreeLeftEdge(); }
    bool SplitterDragging() const { return layout_->Dragging(); }

private:
    FMainHalvern();
    void BuildControls();
    void Wire();
    void OnActivate();
    void OnDeactivate();
    void OnQueryUnload();
    void OnUnload();
    void OnStatusTick();
    void Layout();
    void SplitterUp();

    std::shared_ptr<ui::Window> form_;
    FMainHalvernControls controls_;
    std::unique_ptr<CMainLayout> layout_;
    CStatusTimer statusTimer_;
    std::vector<automation::Subscription> controlSubs_;
    std::map<const ui::Control*, automation::Subscription> elementSubs_;  // run-time array elements
    automation::Subscription menuTlbSub_;

    std::shared_ptr<CQuilletStatus> status_;
    std::shared_ptr<CTreeViewActive> tree_;
    std::shared_ptr<CQuilletWorkspace> workspace_;
    std::shared_ptr<CMenu_Toolbar> m_objMenuTlb;
    std::shared_ptr<outside::IPluginServer> m_oPIServer;

    bool firstActivation_ = false;
    automation::VBool savedTimerState_ = automation::kFalse;
    automation::VBool running_ = automation::kFalse;
    automation::VBool whatsThis_ = automation::kFalse;
    automation::VBool inHalvern_ = automation::kFalse;
    automation::VBool piOnly_ = automation::kFalse;
};
