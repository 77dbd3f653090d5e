#pragma once
// The Engineering Units dialog: hosts the units control, forwards OK to it and keeps the units
// object it hands back.
#include <memory>
#include <vector>

#include "automation/Event.h"
#include "outside/Controls.h"
#include "ui/Window.h"

class frmOptions : public std::enable_shared_from_this<frmOptions> {
public:
    // Creates the dialog with its controls and the units control; sets the control's flag false.
    // A units control that cannot be created is an error to the caller.
    static std::shared_ptr<frmOptions> Create();
    ~frmOptions();

    // Runs the caption pass with the component icon.
    void Load();
    // Loads the dialog first when needed; returns once the dialog is hidden or unloaded.
    void ShowModal(ui::Window* owner);
    // Unloads the dialog and releases the units control and the units object.
    void Unload();

    // Returns the updated flag; stores the kept units object (or none) into oQtyUnits.
    automation::VBool UpdatedEngUnits(automation::ObjectRef& oQtyUnits) const;

    std::shared_ptr<ui::Window> Window() const { return form_; }
    std::shared_ptr<outside::IQtyUnitsControl> UnitsControl() const { return units_; }

private:
    frmOptions() = default;
    void Build();
    void OnOk();
    void OnCancel();
    void OnUnitsApplied(const automation::ObjectRef& oQtyUnits);

    std::shared_ptr<ui::Window> form_;
    std::shared_ptr<outside::IQtyUnitsControl> units_;
    std::vector<automation::Subscription> subs_;
    bool loaded_ = false;
    bool updated_ = false;
    automation::ObjectRef unitsObject_;
};
