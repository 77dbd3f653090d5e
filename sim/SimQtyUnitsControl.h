#pragma once
// The engineering-units control: a flag property, an apply operation that hands back the picked
// units, and the request to close its dialog.
#include <optional>

#include "automation/Object.h"
#include "automation/Types.h"
#include "outside/QtyUnits.h"
#include "sim/SimWorld.h"

namespace sim {

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
