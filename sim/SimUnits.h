#pragma once
// A units object of the units library: only its name tells units objects apart here.
#include "automation/Object.h"
#include "automation/Types.h"

namespace sim {

class SimUnits : public automation::Object {
public:
    explicit SimUnits(automation::BStr name);
    const automation::BStr& Name() const { return name_; }

private:
    automation::BStr name_;
};

}  // namespace sim
