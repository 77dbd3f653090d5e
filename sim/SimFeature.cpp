#include "sim/SimFeature.h"

namespace sim {

SimFeature::SimFeature(const std::shared_ptr<SimWorld>& world, FeatureConfig config)
    : SimComponent(world, "Feature"), config_(std::move(config)) {}

std::int16_t SimFeature::Id() {
    auto keep = Enter("Id");
    return config_.id;
}

BStr SimFeature::Caption() {
    auto keep = Enter("Caption");
    return config_.caption;
}

}  // namespace sim
