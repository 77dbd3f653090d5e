#pragma once
// The real platform: Win32 windows and comctl32 controls for the control model, menus, WM_TIMER
// timers, MessageBoxW, HtmlHelpA/WinHelpA resolved at run time, Sleep, a message pump, modal
// dialogs, ActiveX hosting through atl.dll's AtlAxWin, resources from the component's module.
#include <windows.h>

#include <memory>

#include "ui/Platform.h"

namespace win32 {

// Creates the platform for the given module (the DLL's HINSTANCE) and installs it as the
// current ui platform. Safe to call again: the existing platform is kept. It is never destroyed
// by a static destructor (its windows and classes must not go under the loader lock).
std::shared_ptr<ui::Platform> InstallWin32Platform(HINSTANCE module);

// Uninstalls the platform InstallWin32Platform made and destroys it: its hidden windows, its
// window classes and the help library go. Only while none of its windows is open; a later
// InstallWin32Platform makes a new one.
void ReleaseWin32Platform();

// How many GDI objects (fonts, brushes, icons, image lists) the backend created for its windows
// and has not yet deleted; each has one owner that deletes it.
long LiveGdiObjects();
// The objects the backend itself keeps for the life of the process, shared by all its windows
// (the form icons, two for each icon resource used): a constant once each was used.
long ProcessGdiObjects();

}  // namespace win32
