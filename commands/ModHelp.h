#pragma once
// Help of the device's plug-in: its help file as the plug-in server names it, and the viewer that
// opens it.
#include <cstdint>
#include <memory>

#include "automation/Types.h"

class IQuilletMainForm;

namespace ModHelp {

using automation::BStr;

// The name of the current plug-in's help file (empty when it has none). Fails without a main
// window, plug-in server or current plug-in.
BStr PluginHelpFile(const std::shared_ptr<IQuilletMainForm>& form);

// A name holding ".CHM" anywhere, in any letter case, is a compiled HTML help file.
bool IsHtmlHelp(const BStr& sHelpFile);

// Whether the Help button has a plug-in help file to open: the component's own classic help
// file does not count.
bool HasPluginHelp(const BStr& sHelpFile);

// Opens the file at its table of contents (HTML help) or on the help-topics tab (classic help);
// without a name, warns that the help of sPlugInDescription cannot be found.
void OpenHelpFile(std::intptr_t hwnd, const BStr& sHelpFile, const BStr& sPlugInDescription);

}  // namespace ModHelp
