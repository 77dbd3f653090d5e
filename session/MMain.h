#pragma once
// Session-wide values: what the host handed over in StartApp and the two references to the main
// window. One copy for the whole component; IHalvernServer fills and clears it.
#include <memory>

#include "automation/Collection.h"
#include "outside/Lns.h"
#include "outside/NetServDevice.h"
#include "ui/Window.h"

class IQuilletMainForm;

namespace MMain {

using automation::BStr;
using automation::VBool;

// Read and assigned directly.
std::shared_ptr<IQuilletMainForm>& MainForm();
std::shared_ptr<ui::Window>& MainWindow();
// The same, for callers whose call fails without a window: "Object variable not set".
std::shared_ptr<IQuilletMainForm> RequireMainForm();
std::shared_ptr<ui::Window> RequireMainWindow();

std::shared_ptr<outside::ILnsAppDevice> LnsAppDevice();
void SetLnsAppDevice(const std::shared_ptr<outside::ILnsAppDevice>& v);
std::shared_ptr<outside::ILnsSystem> LnsSystem();
void SetLnsSystem(const std::shared_ptr<outside::ILnsSystem>& v);
float LnsObjSvrVersion();
void SetLnsObjSvrVersion(const float& v);
VBool SupportsFileType2Config();
void SetSupportsFileType2Config(const VBool& v);
BStr PlugInDescription();
void SetPlugInDescription(const BStr& v);
BStr NVDeviceNameAddress();
void SetNVDeviceNameAddress(const BStr& v);
std::shared_ptr<automation::Collection> CPsRefNVsCol();
void SetCPsRefNVsCol(const std::shared_ptr<automation::Collection>& v);
VBool IsLNSPI();
void SetIsLNSPI(const VBool& v);

// Stored through the device object's main interface; handed out through its second interface,
// asked of the stored object on every call (none when it has no such interface).
std::shared_ptr<outside::INetServDeviceLink> PluginServerLink();
void SetPluginServerLink(const std::shared_ptr<outside::INetServDevice>& v);

// 3.2 as a 32-bit float (3.2000000477) is at most LnsObjSvrVersion.
VBool IsObjSvrVersionAtLeast32();

// Back to the values of a freshly loaded component.
void ResetForComponentLoad();

// Whether any object value is set: the window references, the device object, the collection, the
// LNS System or AppDevice. Most of them belong to other components' DLLs.
bool HoldsOutsideObjects();
// Lets go of every object value, in this order: MainForm, MainWindow, PluginServerLink,
// CPsRefNVsCol, LnsSystem, LnsAppDevice (the device object was made from the ones after it).
// Plain values stay. For the moment the component is no longer in use, so that nothing of other
// components is left to be released when this DLL is unloaded.
void ReleaseOutsideObjects();

}  // namespace MMain
