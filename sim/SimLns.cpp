#include "sim/SimLns.h"

namespace sim {

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
