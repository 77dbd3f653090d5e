#pragma once
// The Engineering Units dialog: hosts the units control, forwards OK to it and keeps the units
// object it hands back.
#include <memory>

#include "automation/Event.h"
#include "outside/QtyUnits.h"
#include "ui/Window.h"

class frmOptions : public std::enable_shared_from_this<frmOptions> {
public:
    // Creates the dialog with its controls and the units control; sets the control's flag false.
    static std::shared_ptr<frmOptions> Create();
    ~frmOptions();

    // Runs the caption pass with the component icon.
    void Load();
    void ShowModal(ui::Window* owner);
    void Unload();

    // Returns the updated flag; stores the kept units object (or none) into oQtyUnits.
    automation::VBool UpdatedEngUnits(automation::ObjectRef& oQtyUnits) const;

    std::shared_ptr<ui::Window> Window() const { return form_; }
    std::shared_ptr<outside::IQtyUnitsControl> UnitsControl() const { return units_; }

private:
    frmOptions() = default;
    void OnOk();
    void OnCancel();

    std::shared_ptr<ui::Window> form_;
    std::shared_ptr<outside::IQtyUnitsControl> units_;
    std::vector<automation::Subscription> subs_;
    bool updated_ = false;
    automation::ObjectRef unitsObject_;
};
