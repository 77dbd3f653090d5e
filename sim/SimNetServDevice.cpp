#include "sim/SimNetServDevice.h"

namespace sim {

SimNetServDevice::SimNetServDevice(const std::shared_ptr<SimWorld>& world) : SimComponent(world, "NetServDevice") {}

void SimNetServDevice::Initialize(const std::shared_ptr<outside::ILnsAppDevice>& appDevice,
                                  const std::shared_ptr<outside::ILnsSystem>& system, float& objSvrVersion,
                                  automation::VBool& supportsFileType2,
                                  const std::shared_ptr<automation::Collection>& cpsRefNvs) {
    auto keep = Enter("Initialize");
    appDevice_ = appDevice;
    system_ = system;
    objSvrVersion_ = objSvrVersion;
    supportsFileType2_ = supportsFileType2;
    cpsRefNvs_ = cpsRefNvs;
}

automation::VBool SimNetServDevice::Run(const char* member, bool upload) {
    auto keep = Enter(member);
    auto world = World();
    const Outcome outcome = !world ? Outcome::Succeed : upload ? world->uploadOutcome : world->downloadOutcome;
    switch (outcome) {
        case Outcome::Succeed: return automation::kTrue;
        case Outcome::ReturnFalse: return automation::kFalse;
        case Outcome::Fail: break;
    }
    automation::Raise(automation::code::kFail, upload ? BStr(u"The device upload failed") : BStr(u"The device download failed"));
}

automation::VBool SimNetServDevice::UploadDevice() { return Run("UploadDevice", true); }
automation::VBool SimNetServDevice::DownloadDevice() { return Run("DownloadDevice", false); }

automation::ObjectRef SimNetServDevice::QueryInterface(std::u16string_view iid) {
    return Answer<SimNetServDevice, outside::INetServDevice, outside::INetServDeviceLink>(iid);
}

namespace {
constexpr std::int16_t kOnLineState = 3;
}

SimLnsAppDevice::SimLnsAppDevice(const std::shared_ptr<SimWorld>& world, BStr name, BStr programId)
    : SimComponent(world, "AppDevice"), name_(std::move(name)), programId_(std::move(programId)) {}

std::int16_t SimLnsAppDevice::State() {
    auto keep = Enter("State");
    if (!answering_) automation::Raise(automation::code::kFail, u"The device did not respond: " + name_);
    return kOnLineState;
}

SimLnsSystem::SimLnsSystem(const std::shared_ptr<SimWorld>& world) : SimComponent(world, "System") {}

}  // namespace sim
