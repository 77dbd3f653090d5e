#pragma once
// The main window as every other part holds it (the session value MMain::MainForm).
#include <cstdint>
#include <memory>

#include "automation/Types.h"
#include "outside/PluginServer.h"
#include "session/IMenuToolbar.h"
#include "session/IQuilletStatus.h"
#include "session/IQuilletTree.h"
#include "session/IQuilletWorkspace.h"
#include "ui/Window.h"

class IQuilletMainForm {
public:
    virtual ~IQuilletMainForm() = default;

    virtual void SetInWhatsThisMode(automation::VBool bNewValue) = 0;
    virtual std::shared_ptr<IQuilletStatus> StatusBar() = 0;
    virtual std::shared_ptr<IQuilletTree> ActiveTree() = 0;
    virtual std::shared_ptr<IQuilletWorkspace> QuilletWorkspace() = 0;
    virtual std::shared_ptr<IMenuToolbar> MenuToolbar() = 0;
    virtual std::shared_ptr<outside::IPluginServer> PluginServer() = 0;
    // Lets pending window messages run first, so other handlers may run inside this call.
    virtual void SetStatusTimer(automation::VBool bNewValue) = 0;
    virtual automation::VBool TimerStatus() = 0;
    // Seconds. A period whose milliseconds overflow 32 bits is an overflow error.
    virtual void SetTimerInterval(std::int32_t lNewValue) = 0;
    virtual void SetInHalvern(automation::VBool bNewValue) = 0;
    virtual automation::VBool InHalvern() = 0;
    virtual void SetHalvernPIOnly(automation::VBool bNewValue) = 0;
    virtual automation::VBool HalvernPIOnly() = 0;
    virtual void Refresh() = 0;
    virtual void Resize() = 0;
    virtual void ClearWorkspace() = 0;

    // The window whose controls the controllers drive; none for a stand-in that is no real
    // main window (the command controller then leaves the controls alone).
    virtual std::shared_ptr<ui::Window> FormWindow() = 0;
};
