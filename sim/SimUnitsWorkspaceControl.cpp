#include "sim/SimUnitsWorkspaceControl.h"

namespace sim {

SimUnitsWorkspaceControl::SimUnitsWorkspaceControl(const std::shared_ptr<SimWorld>& world, WorkspaceControlConfig config)
    : SimWorkspaceControl(world, std::move(config)) {}

automation::VBool SimUnitsWorkspaceControl::SupportsEngUnits() {
    auto keep = Enter("SupportsEngUnits");
    return automation::ToVBool(Config().unitsSupported);
}

automation::Variant SimUnitsWorkspaceControl::ApplyEngUnits(automation::ObjectRef& units) {
    auto keep = Enter("ApplyEngUnits");
    units_ = units;
    if (auto world = World()) world->NoteAppliedUnits(units);
    return {};
}

automation::ObjectRef SimUnitsWorkspaceControl::QueryInterface(std::u16string_view iid) {
    auto self = std::static_pointer_cast<SimUnitsWorkspaceControl>(weak_from_this().lock());
    if (!self) return nullptr;
    const BStr id = automation::UpperAscii(iid);
    if (id == automation::UpperAscii(outside::IPluginWorkspace::kIid))
        return std::static_pointer_cast<outside::IPluginWorkspace>(self);
    if (id == automation::UpperAscii(outside::IPluginWorkspaceUnits::kIid))
        return std::static_pointer_cast<outside::IPluginWorkspaceUnits>(self);
    return nullptr;
}

}  // namespace sim
