#include "session/MMain.h"

#include "session/IQuilletMainForm.h"

namespace MMain {
namespace {
struct Values {
    std::shared_ptr<IQuilletMainForm> mainForm;
    std::shared_ptr<ui::Window> mainWindow;
    std::shared_ptr<outside::ILnsAppDevice> appDevice;
    std::shared_ptr<outside::ILnsSystem> system;
    float objSvrVersion = 0.0f;
    VBool fileType2 = automation::kFalse;
    BStr description;
    BStr nvDeviceNameAddress;
    std::shared_ptr<automation::Collection> cps;
    VBool isLnsPi = automation::kFalse;
    std::shared_ptr<outside::INetServDevice> link;
};
// Never destroyed: at process exit the DLLs behind these objects may already be gone, and a
// static destructor would release them under the loader lock. ReleaseOutsideObjects empties it.
Values& V() {
    static Values* v = new Values;
    return *v;
}
}  // namespace

std::shared_ptr<IQuilletMainForm>& MainForm() { return V().mainForm; }
std::shared_ptr<ui::Window>& MainWindow() { return V().mainWindow; }

std::shared_ptr<IQuilletMainForm> RequireMainForm() {
    if (!V().mainForm) automation::RaiseObjectNotSet(u"MainForm");
    return V().mainForm;
}

std::shared_ptr<ui::Window> RequireMainWindow() {
    if (!V().mainWindow) automation::RaiseObjectNotSet(u"MainWindow");
    return V().mainWindow;
}

std::shared_ptr<outside::ILnsAppDevice> LnsAppDevice() { return V().appDevice; }
void SetLnsAppDevice(const std::shared_ptr<outside::ILnsAppDevice>& v) { V().appDevice = v; }
std::shared_ptr<outside::ILnsSystem> LnsSystem() { return V().system; }
void SetLnsSystem(const std::shared_ptr<outside::ILnsSystem>& v) { V().system = v; }
float LnsObjSvrVersion() { return V().objSvrVersion; }
void SetLnsObjSvrVersion(const float& v) { V().objSvrVersion = v; }
VBool SupportsFileType2Config() { return V().fileType2; }
void SetSupportsFileType2Config(const VBool& v) { V().fileType2 = v; }
BStr PlugInDescription() { return V().description; }
void SetPlugInDescription(const BStr& v) { V().description = v; }
BStr NVDeviceNameAddress() { return V().nvDeviceNameAddress; }
void SetNVDeviceNameAddress(const BStr& v) { V().nvDeviceNameAddress = v; }
std::shared_ptr<automation::Collection> CPsRefNVsCol() { return V().cps; }
void SetCPsRefNVsCol(const std::shared_ptr<automation::Collection>& v) { V().cps = v; }
VBool IsLNSPI() { return V().isLnsPi; }
void SetIsLNSPI(const VBool& v) { V().isLnsPi = v; }

std::shared_ptr<outside::INetServDeviceLink> PluginServerLink() {
    return automation::Query<outside::INetServDeviceLink>(V().link);
}
void SetPluginServerLink(const std::shared_ptr<outside::INetServDevice>& v) { V().link = v; }

VBool IsObjSvrVersionAtLeast32() { return automation::ToVBool(3.2f <= V().objSvrVersion); }

void ResetForComponentLoad() {
    // Release in a fixed order: the window references first, then what the host handed over.
    V().mainForm.reset();
    V().mainWindow.reset();
    V() = Values{};
}

bool HoldsOutsideObjects() {
    const Values& v = V();
    return v.mainForm || v.mainWindow || v.link || v.cps || v.system || v.appDevice;
}

void ReleaseOutsideObjects() {
    // Each reset may run outside code that reads the session; the value is gone before it does.
    auto drop = [](auto& slot) {
        auto held = std::move(slot);
        slot = nullptr;
        held.reset();
    };
    Values& v = V();
    drop(v.mainForm);
    drop(v.mainWindow);
    drop(v.link);
    drop(v.cps);
    drop(v.system);
    drop(v.appDevice);
}

}  // namespace MMain
