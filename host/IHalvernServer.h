#pragma once
// The component's one public object. The host hands it the LNS device and network (StartApp),
// opens the display (RunFullAppView), may ask whether a plug-in exists (IsPlugInExist) and closes
// the display (ExitApp); OnAppExit tells the host that the main window has gone.
#include <cstdint>
#include <memory>

#include "automation/Collection.h"
#include "automation/Event.h"
#include "outside/Lns.h"

class CHalvernView;
class FMainHalvern;

class IHalvernServer : public automation::Object, public std::enable_shared_from_this<IHalvernServer> {
public:
    IHalvernServer();
    ~IHalvernServer() override;

    // Once per object: a second call returns false and changes nothing. A failure while creating
    // or loading the window goes to the caller and leaves the object not started.
    automation::VBool StartApp(const std::shared_ptr<outside::ILnsAppDevice>& oLnsAppDevice,
                               const std::shared_ptr<outside::ILnsSystem>& oLnsSystem, const float& sLnsObjSvrVersion,
                               const automation::VBool& bSupportsFileType2Config, const automation::BStr& sPlugInDescription,
                               const automation::BStr& sNVDeviceNameAddress,
                               const std::shared_ptr<automation::Collection>& cCPsRefNVsCol, const automation::VBool& bIsLNSPI);

    // Shows the window and hands the device to the plug-in server. Returns whether the plug-in
    // server accepted the device, as -1 (true) or 0 (false) widened to 32 bits; the window's
    // native handle is read but not returned. Fails before StartApp and after the window has gone,
    // also when it goes while being shown (messages run then).
    std::int32_t RunFullAppView();

    // Never fails: any failure gives false. True only for an entry whose collection holds more than one item.
    automation::VBool IsPlugInExist(const automation::BStr& sProgramID);

    // Closes the window; OnAppExit is raised before this returns. Does nothing when not started.
    void ExitApp();

    automation::Event<> OnAppExit;

    bool Started() const { return automation::IsTrue(started_); }

private:
    void OnHalvernFormTerm();

    automation::VBool started_ = automation::kFalse;
    bool used_ = false;  // a session is used once: ExitApp clears the flag, not this
    std::shared_ptr<FMainHalvern> m_frmHalvern;
    automation::Subscription formTermSub_;
    std::shared_ptr<CHalvernView> m_oHalvernView;
};
