#pragma once
// The command controller as the window and the host object hold it: every menu and button click
// of the main window lands here.
#include <cstdint>
#include <memory>

#include "automation/Event.h"
#include "automation/Types.h"

class IQuilletMainForm;

class IMenuToolbar {
public:
    virtual ~IMenuToolbar() = default;

    automation::Event<std::int16_t&> PIButtonsChanged;  // ButtonCount
    automation::Event<std::int32_t&> UserChangedMode;   // NewMode

    virtual void Initialization(const std::shared_ptr<IQuilletMainForm>& frmMain) = 0;
    virtual void UpdateMenuStates(automation::VBool bCommunicating, automation::VBool bCheckSupportsDeviceRename) = 0;
    virtual void MenuClickPlugin(std::int16_t Index) = 0;
    virtual void MenuClickDevice(std::int16_t Index) = 0;
    virtual void MenuClickPluginFeature(std::int16_t Index) = 0;
    virtual void MenuClickView(std::int16_t Index) = 0;
    virtual void MenuClickTools(std::int16_t Index) = 0;
    virtual void MenuClickHelp(std::int16_t Index) = 0;
    virtual void RunButtonFunction(std::int16_t Index) = 0;
    virtual void RunHelpButton() = 0;
    virtual void ExitQuillet() = 0;
    virtual void RefreshDeviceView() = 0;
    virtual automation::VBool ShowStatusBar() const = 0;
};
