#include "sim/SimLnsSystem.h"

namespace sim {

SimLnsSystem::SimLnsSystem(const std::shared_ptr<SimWorld>& world) : SimComponent(world, "System") {}

}  // namespace sim
