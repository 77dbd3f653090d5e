#pragma once
// The command controller: every menu and button click of the main window lands here. Keeps the
// Device menu's feature items and the feature buttons in step with the plug-in's feature list.
#include <cstdint>
#include <memory>

#include "automation/Event.h"
#include "outside/PluginServer.h"
#include "session/IMenuToolbar.h"
#include "ui/Window.h"

// Commands may unload the main window, which releases this controller while it is still
// running: the entry points keep the controller alive through shared_from_this when it is owned
// by a shared reference (as the window owns it).
class CMenu_Toolbar : public IMenuToolbar, public std::enable_shared_from_this<CMenu_Toolbar> {
public:
    static constexpr int kMaxFeatureButtons = 8;

    // Subscribes to the tree controller of the session's main window, when there is one.
    CMenu_Toolbar();
    ~CMenu_Toolbar() override;

    // A main form that has a window to drive (a real main window) is kept; any other is not.
    void Initialization(const std::shared_ptr<IQuilletMainForm>& frmMain) override;
    void UpdateMenuStates(automation::VBool bCommunicating,
                          automation::VBool bCheckSupportsDeviceRename = automation::kFalse) override;
    void MenuClickPlugin(std::int16_t Index) override;
    void MenuClickDevice(std::int16_t Index) override;
    void MenuClickPluginFeature(std::int16_t Index) override;
    void MenuClickView(std::int16_t Index) override;
    void MenuClickTools(std::int16_t Index) override;
    void MenuClickHelp(std::int16_t Index) override;
    void RunButtonFunction(std::int16_t Index) override;
    void RunHelpButton() override;
    void ExitQuillet() override;
    void RefreshDeviceView() override;
    automation::VBool ShowStatusBar() const override { return m_bShowStatusBar; }

    std::int16_t FeatureCount() const { return m_iFeatureCount; }
    bool HaveMainForm() const { return m_bHaveMainForm; }

private:
    void LoadPluginFeatures(const std::shared_ptr<outside::IFeatureList>& oFeatureList);
    void ClearPluginFeatures();
    void ShowPluginHelp();
    void EnterWhatsThis();
    void OnDevicePluginChanged(const ui::NodeRef& nodX, const std::shared_ptr<outside::IFeatureList>& oFeatureList);
    void RaisePIButtonsChanged(std::int16_t count);
    std::shared_ptr<ui::Window> Form() const;
    std::intptr_t WindowHandle() const;

    std::weak_ptr<IQuilletMainForm> m_frmMain;
    std::weak_ptr<ui::Window> m_window;
    bool m_bHaveMainForm = false;
    bool m_bExiting = false;
    automation::Subscription m_objActiveTreeEvents;
    std::int16_t m_iFeatureCount = 0;
    automation::VBool m_bShowStatusBar = automation::kFalse;
};
