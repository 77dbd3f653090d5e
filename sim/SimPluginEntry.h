#pragma once
// The plug-in server's description of one plug-in: its help file and its collection of items.
#include "outside/PluginServer.h"
#include "sim/SimComponent.h"

namespace sim {

class SimPluginEntry : public outside::IPluginEntry, public SimComponent {
public:
    SimPluginEntry(const std::shared_ptr<SimWorld>& world, const PluginConfig& config);

    BStr HelpFile() override;
    std::shared_ptr<automation::Collection> Items() override;

private:
    BStr helpFile_;
    std::shared_ptr<automation::Collection> items_;
};

}  // namespace sim
