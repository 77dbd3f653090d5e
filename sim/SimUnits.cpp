#include "sim/SimUnits.h"

namespace sim {

SimUnits::SimUnits(automation::BStr name) : name_(std::move(name)) {}

}  // namespace sim
