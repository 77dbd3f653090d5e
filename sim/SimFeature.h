#pragma once
// One feature of a simulated plug-in.
#include "outside/PluginServer.h"
#include "sim/SimComponent.h"

namespace sim {

class SimFeature : public outside::IFeature, public SimComponent {
public:
    SimFeature(const std::shared_ptr<SimWorld>& world, FeatureConfig config);

    std::int16_t Id() override;
    BStr Caption() override;

    // Without a call: what the list looks features up by.
    std::int16_t ConfiguredId() const { return config_.id; }

private:
    FeatureConfig config_;
};

}  // namespace sim
