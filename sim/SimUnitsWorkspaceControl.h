#pragma once
// A workspace control that also shows values in engineering units.
#include "outside/PluginWorkspace.h"
#include "sim/SimWorkspaceControl.h"

namespace sim {

class SimUnitsWorkspaceControl : public SimWorkspaceControl, public outside::IPluginWorkspaceUnits {
public:
    SimUnitsWorkspaceControl(const std::shared_ptr<SimWorld>& world, WorkspaceControlConfig config);

    automation::VBool SupportsEngUnits() override;
    automation::Variant ApplyEngUnits(automation::ObjectRef& units) override;
    automation::ObjectRef QueryInterface(std::u16string_view iid) override;

    const automation::ObjectRef& Units() const { return units_; }

private:
    automation::ObjectRef units_;
};

}  // namespace sim
