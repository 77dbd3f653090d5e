#pragma once
// The main window's controls as authored, built in one place and reached through typed members.
// Control arrays keep their design element here; elements loaded at run time are found by name,
// as control arrays are.
#include <array>
#include <memory>

#include "ui/Window.h"

struct FMainHalvernControls {
    // Adds every authored control to the window, with its design caption, place and state.
    static FMainHalvernControls Build(ui::Window& w);

    std::shared_ptr<ui::TreeView> treActive;
    ui::ControlRef imgVertSplitter;
    ui::ControlRef picVertSplitter;
    std::array<ui::ControlRef, 4> FraWorkspace;  // group, device type, device, error view
    ui::ControlRef lblGroupDeviceCount;
    std::shared_ptr<ui::ListView> lvwGroup;
    ui::ControlRef lblDeviceTypeCount;
    std::shared_ptr<ui::ListView> lvwDeviceTypes;
    ui::ControlRef fraButtons;
    ui::ControlRef cmdDevice0;  // the template the feature buttons are loaded from
    ui::ControlRef cmdBindings;
    ui::ControlRef cmdHelp;
    ui::ControlRef lblViewError;
    std::shared_ptr<ui::StatusBar> staStatusBar;
    std::shared_ptr<ui::ProgressBar> ProgressBar;
    std::shared_ptr<ui::Timer> tmrStatus;
    std::shared_ptr<ui::Timer> tmrUtility;
    std::shared_ptr<ui::Timer> tmrCleanupLink;
    std::shared_ptr<ui::ImageList> imlTreeViews;
    ui::ControlRef mnuPlugin, mnuDevice, mnuView, mnuTool, mnuHelp;
};
