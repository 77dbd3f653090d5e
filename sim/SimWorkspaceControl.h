#pragma once
// The simulated ActiveX controls: plug-in workspace controls and the engineering-units control.
#include <optional>

#include "outside/Controls.h"
#include "sim/SimWorld.h"

namespace sim {

// A plug-in's workspace control, created by its ProgID: takes the device link and reads the
// device's data through it.
class SimWorkspaceControl : public outside::IPluginWorkspace, public SimComponent {
public:
    SimWorkspaceControl(const std::shared_ptr<SimWorld>& world, WorkspaceControlConfig config);

    automation::VBool NeedsUpload() override { return automation::ToVBool(Get("NeedsUpload", config_.needsUpload)); }
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
        return automation::ToVBool(Get("SupportsEngUnits", Config().unitsSupported));
    }
    automation::Variant ApplyEngUnits(automation::ObjectRef& units) override;
    automation::ObjectRef QueryInterface(std::u16string_view iid) override;

    const automation::ObjectRef& Units() const { return units_; }

private:
    automation::ObjectRef units_;
};

// The engineering-units control: a flag property, an apply operation that hands back the picked
// units, and the request to close its dialog.
class SimQtyUnitsControl : public outside::IQtyUnitsControl, public SimComponent {
public:
    explicit SimQtyUnitsControl(const std::shared_ptr<SimWorld>& world);

    void SetFlag(automation::VBool value) override {
        return Call("SetFlag", [&] { flag_ = value; });
    }
    void Apply() override;

    std::optional<automation::VBool> Flag() const { return flag_; }
    int Applies() const { return applies_; }

private:
    std::optional<automation::VBool> flag_;
    int applies_ = 0;
};

// A units object of the units library: only its name tells units objects apart here.
class SimUnits : public automation::Object {
public:
    explicit SimUnits(automation::BStr name);
    const automation::BStr& Name() const { return name_; }

private:
    automation::BStr name_;
};

}  // namespace sim
