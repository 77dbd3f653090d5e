#pragma once
// The device objects: the host's LNS objects and the network-services device object over them.
#include "outside/Lns.h"
#include "outside/NetServDevice.h"
#include "sim/SimWorld.h"

namespace sim {

// The network-services device object: wraps the host's LNS device for the plug-in server and
// hands itself to the workspace control through its second interface.
class SimNetServDevice : public outside::INetServDevice, public outside::INetServDeviceLink, public SimComponent {
public:
    explicit SimNetServDevice(const std::shared_ptr<SimWorld>& world);

    void Initialize(const std::shared_ptr<outside::ILnsAppDevice>& appDevice, const std::shared_ptr<outside::ILnsSystem>& system,
                    float& objSvrVersion, automation::VBool& supportsFileType2,
                    const std::shared_ptr<automation::Collection>& cpsRefNvs) override;
    automation::VBool UploadDevice() override;
    automation::VBool DownloadDevice() override;
    automation::ObjectRef QueryInterface(std::u16string_view iid) override;

    // What Initialize was given.
    const std::shared_ptr<outside::ILnsAppDevice>& AppDevice() const { return appDevice_; }
    const std::shared_ptr<outside::ILnsSystem>& System() const { return system_; }
    float ObjSvrVersion() const { return objSvrVersion_; }
    automation::VBool SupportsFileType2() const { return supportsFileType2_; }
    const std::shared_ptr<automation::Collection>& CpsRefNvs() const { return cpsRefNvs_; }

private:
    automation::VBool Run(const char* member, bool upload);

    std::shared_ptr<outside::ILnsAppDevice> appDevice_;
    std::shared_ptr<outside::ILnsSystem> system_;
    float objSvrVersion_ = 0;
    automation::VBool supportsFileType2_ = automation::kFalse;
    std::shared_ptr<automation::Collection> cpsRefNvs_;
};

// The LNS AppDevice of a simulated device: a name, a program id (which picks the device's
// plug-in) and a state read that fails while the device does not answer.
class SimLnsAppDevice : public outside::ILnsAppDevice, public SimComponent {
public:
    SimLnsAppDevice(const std::shared_ptr<SimWorld>& world, BStr name, BStr programId);

    BStr Name() override { return Get("Name", name_); }
    std::int16_t State() override;

    // Read by the other simulated components; not a call of the device.
    const BStr& ProgramId() const { return programId_; }
    const BStr& CurrentName() const { return name_; }
    void SetName(BStr name) { name_ = std::move(name); }
    void SetProgramId(BStr programId) { programId_ = std::move(programId); }
    void SetAnswering(bool answering) { answering_ = answering; }
    bool Answering() const { return answering_; }

private:
    BStr name_;
    BStr programId_;
    bool answering_ = true;
};

// The LNS System of the simulated network: only passed on, nothing is called on it.
class SimLnsSystem : public outside::ILnsSystem, public SimComponent {
public:
    explicit SimLnsSystem(const std::shared_ptr<SimWorld>& world);
};

}  // namespace sim
