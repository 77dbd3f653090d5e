#pragma once
// A plug-in's workspace control, created by its ProgID: takes the device link and reads the
// device's data through it.
#include "sim/SimWorkspaceControl.h"

#include "outside/PluginWorkspace.h"
#include "sim/SimWorld.h"

namespace sim {

class SimWorkspaceControl : public outside::IPluginWorkspace, public SimComponent {
public:
    SimWorkspaceControl(const std::shared_ptr<SimWorld>& world, WorkspaceControlConfig config);

    automation::VBool NeedsUpload() override {
        return Call("NeedsUpload", [&] { return automation::ToVBool(config_.needsUpload); });
    }
    automation::Variant AttachLink(automation::ObjectRef& link) override;
    // Fails while no link is attached: there is nothing to read the device through.
    automation::VBool Upload() override;

    const WorkspaceControlConfig& Config() const { return config_; }
    const automation::ObjectRef& Link() const { return link_; }
    int Uploads() const { return uploads_; }

private:
    WorkspaceControlConfig config_;
    automation::ObjectRef link_;
    int uploads_ = 0;
};

// A control with the workspace members that does not implement the interface: what creating it
// gives a client is this, which answers no interface question.
class SimWorkspaceWithoutInterface : public automation::Object {
public:
    explicit SimWorkspaceWithoutInterface(std::shared_ptr<SimWorkspaceControl> control) : control_(std::move(control)) {}
    const std::shared_ptr<SimWorkspaceControl>& Control() const { return control_; }

private:
    std::shared_ptr<SimWorkspaceControl> control_;
};

// A workspace control that also shows values in engineering units.
class SimUnitsWorkspaceControl : public SimWorkspaceControl, public outside::IPluginWorkspaceUnits {
public:
    SimUnitsWorkspaceControl(const std::shared_ptr<SimWorld>& world, WorkspaceControlConfig config);

    automation::VBool SupportsEngUnits() override {
        return Call("SupportsEngUnits", [&] { return automation::ToVBool(Config().unitsSupported); });
    }
    automation::Variant ApplyEngUnits(automation::ObjectRef& units) override;
    automation::ObjectRef QueryInterface(std::u16string_view iid) override;

    const automation::ObjectRef& Units() const { return units_; }

private:
    automation::ObjectRef units_;
};

}  // namespace sim
