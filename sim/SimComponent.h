#pragma once
// What every simulated component shares: a weak link to its world (the world never owns its
// components, so no cycle) and the entry step of each of its calls.
#include <memory>
#include <string>

#include "sim/SimWorld.h"

namespace sim {

class SimComponent : public std::enable_shared_from_this<SimComponent> {
public:
    SimComponent(const SimComponent&) = delete;
    SimComponent& operator=(const SimComponent&) = delete;

    const std::string& ClassName() const { return className_; }

protected:
    SimComponent(const std::shared_ptr<SimWorld>& world, std::string className);
    ~SimComponent();

    // Logs "Class.member", raises an injected fault, runs the hook. The answer keeps this object
    // alive to the end of the call, whatever a hook or a notification subscriber releases.
    std::shared_ptr<SimComponent> Enter(const char* member);
    std::shared_ptr<SimWorld> World() const { return world_.lock(); }

private:
    std::weak_ptr<SimWorld> world_;
    std::string className_;
};

}  // namespace sim
