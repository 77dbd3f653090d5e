#include "sim/SimWorkspaceControl.h"

namespace sim {

SimWorkspaceControl::SimWorkspaceControl(const std::shared_ptr<SimWorld>& world, WorkspaceControlConfig config)
    : SimComponent(world, "Workspace"), config_(std::move(config)) {}

automation::Variant SimWorkspaceControl::AttachLink(automation::ObjectRef& link) {
    auto keep = Enter("AttachLink");
    link_ = link;
    if (auto world = World()) world->NoteAttachedLink(link);
    return {};
}

automation::VBool SimWorkspaceControl::Upload() {
    auto keep = Enter("Upload");
    if (!link_) automation::RaiseObjectNotSet(u"the device link of " + config_.progId);
    ++uploads_;
    return automation::ToVBool(config_.uploadReturns);
}

SimUnitsWorkspaceControl::SimUnitsWorkspaceControl(const std::shared_ptr<SimWorld>& world, WorkspaceControlConfig config)
    : SimWorkspaceControl(world, std::move(config)) {}

automation::Variant SimUnitsWorkspaceControl::ApplyEngUnits(automation::ObjectRef& units) {
    auto keep = Enter("ApplyEngUnits");
    units_ = units;
    if (auto world = World()) world->NoteAppliedUnits(units);
    return {};
}

automation::ObjectRef SimUnitsWorkspaceControl::QueryInterface(std::u16string_view iid) {
    return Answer<SimUnitsWorkspaceControl, outside::IPluginWorkspace, outside::IPluginWorkspaceUnits>(iid);
}

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
