#pragma once
// The network-services device object: wraps the host's LNS device for the plug-in server and
// hands itself to the workspace control through its second interface.
#include "outside/NetServDevice.h"
#include "sim/SimWorld.h"

namespace sim {

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

}  // namespace sim
