#pragma once
// The LNS System of the simulated network: only passed on, nothing is called on it.
#include "outside/Lns.h"
#include "sim/SimComponent.h"

namespace sim {

class SimLnsSystem : public outside::ILnsSystem, public SimComponent {
public:
    explicit SimLnsSystem(const std::shared_ptr<SimWorld>& world);
};

}  // namespace sim
