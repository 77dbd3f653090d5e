#pragma once
// How the views reach the main window: its controller interface and its controls by name.
#include <memory>

#include "session/MMain.h"
#include "session/IQuilletMainForm.h"
#include "ui/Window.h"

namespace workspace_window {

inline std::shared_ptr<IQuilletMainForm> Form() { return MMain::MainForm(); }

// Views bind to the window's controls only when running inside the host front-end.
inline bool InHalvern() {
    auto form = Form();
    return form && automation::IsTrue(form->InHalvern());
}

// The window the controls live on; an absent window is an error for the caller.
inline std::shared_ptr<ui::Window> RequireWindow() { return MMain::RequireMainWindow(); }

}  // namespace workspace_window
