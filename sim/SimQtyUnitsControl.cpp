#include "sim/SimQtyUnitsControl.h"

namespace sim {

SimQtyUnitsControl::SimQtyUnitsControl(const std::shared_ptr<SimWorld>& world) : SimComponent(world, "QtyUnits") {}

void SimQtyUnitsControl::SetFlag(automation::VBool value) {
    auto keep = Enter("SetFlag");
    flag_ = value;
}

void SimQtyUnitsControl::Apply() {
    auto keep = Enter("Apply");
    ++applies_;
    auto world = World();
    if (!world) return;
    if (world->applyHandsBackUnits) UnitsApplied.Raise(world->MakeUnits(world->NextUnitsName()));
    if (world->applyAsksToClose) CloseRequest.Raise();
}

}  // namespace sim
