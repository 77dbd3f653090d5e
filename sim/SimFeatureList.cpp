#include "sim/SimFeatureList.h"

#include "sim/SimFeature.h"

namespace sim {

SimFeatureList::SimFeatureList(const std::shared_ptr<SimWorld>& world, const std::vector<FeatureConfig>& features)
    : SimComponent(world, "FeatureList") {
    for (const auto& f : features) features_.push_back(std::make_shared<SimFeature>(world, f));
}

std::int16_t SimFeatureList::Count() {
    auto keep = Enter("Count");
    return static_cast<std::int16_t>(features_.size());
}

std::shared_ptr<outside::IFeature> SimFeatureList::Item(std::int16_t featureId) {
    auto keep = Enter("Item");
    for (const auto& f : features_)
        if (f->ConfiguredId() == featureId) return f;
    automation::Raise(automation::code::kElementNotFound, u"The plug-in has no feature " + automation::DecimalText(featureId));
}

std::vector<std::shared_ptr<outside::IFeature>> SimFeatureList::Features() {
    auto keep = Enter("Features");
    return {features_.begin(), features_.end()};
}

}  // namespace sim
