#pragma once
// The engineering-units control: a flag property, an apply operation that hands back the picked
// units, and the request to close its dialog.
#include <optional>

#include "outside/QtyUnits.h"
#include "sim/SimComponent.h"

namespace sim {

class SimQtyUnitsControl : public outside::IQtyUnitsControl, public SimComponent {
public:
    explicit SimQtyUnitsControl(const std::shared_ptr<SimWorld>& world);

    void SetFlag(automation::VBool value) override;
    void Apply() override;

    std::optional<automation::VBool> Flag() const { return flag_; }
    int Applies() const { return applies_; }

private:
    std::optional<automation::VBool> flag_;
    int applies_ = 0;
};

}  // namespace sim
