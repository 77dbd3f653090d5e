#include "sim/SimComponent.h"

namespace sim {

SimComponent::SimComponent(const std::shared_ptr<SimWorld>& world, std::string className)
    : world_(world), className_(std::move(className)) {
    if (world) world->NoteLive(className_, +1);
}

SimComponent::~SimComponent() {
    if (auto w = world_.lock()) w->NoteLive(className_, -1);
}

std::shared_ptr<SimComponent> SimComponent::Enter(const char* member) {
    auto self = weak_from_this().lock();
    if (auto w = world_.lock()) w->Call(className_ + "." + member);
    return self;
}

}  // namespace sim
