#pragma once
// The trace's wrappers over the outside components: while the trace is on, every component created
// through automation::Components() and the host's device are handed out wrapped, and each call and
// notification through a wrapper becomes a record. While it is off nothing is wrapped.
#include <memory>

#include "automation/Trace.h"
#include "outside/Lns.h"

namespace outside {

void EnableTrace(automation::trace::Sink sink, automation::trace::Clock clock = {});
void DisableTrace();

// The host's device as the system is to call it.
std::shared_ptr<ILnsAppDevice> TracedAppDevice(std::shared_ptr<ILnsAppDevice> device);

}  // namespace outside
