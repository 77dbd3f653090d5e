#include "sim/SimQtyUnitsControl.h"

namespace sim {

SimQtyUnitsControl::SimQtyUnitsControl(const std::shared_ptr<SimWorld>& world) : SimComponent(world, "QtyUnits") {}

void SimQtyUnitsControl::Apply() {
    auto keep = Enter("Apply");
    ++applies_;
    auto world = World();
    if (!world) return;
    if (world->applyHandsBackUnits) UnitsApplied.Raise(world->MakeUnits(world->NextUnitsName()));
    if (world->applyAsksToClose) CloseRequest.Raise();
}

SimUnits::SimUnits(automation::BStr name) : name_(std::move(name)) {}

}  // namespace sim
