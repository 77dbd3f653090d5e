#pragma once
// The feature list of the current plug-in, in the plug-in's order.
#include <vector>

#include "outside/PluginServer.h"
#include "sim/SimComponent.h"

namespace sim {

class SimFeature;

class SimFeatureList : public outside::IFeatureList, public SimComponent {
public:
    SimFeatureList(const std::shared_ptr<SimWorld>& world, const std::vector<FeatureConfig>& features);

    std::int16_t Count() override;
    std::shared_ptr<outside::IFeature> Item(std::int16_t featureId) override;
    std::vector<std::shared_ptr<outside::IFeature>> Features() override;

private:
    std::vector<std::shared_ptr<SimFeature>> features_;
};

}  // namespace sim
