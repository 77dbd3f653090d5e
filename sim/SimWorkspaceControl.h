#pragma once
// A plug-in's workspace control, created by its ProgID: takes the device link and reads the
// device's data through it.
#include "outside/PluginWorkspace.h"
#include "sim/SimComponent.h"

namespace sim {

class SimWorkspaceControl : public outside::IPluginWorkspace, public SimComponent {
public:
    SimWorkspaceControl(const std::shared_ptr<SimWorld>& world, WorkspaceControlConfig config);

    automation::VBool NeedsUpload() override;
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

}  // namespace sim
