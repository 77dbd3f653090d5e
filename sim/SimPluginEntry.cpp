#include "sim/SimPluginEntry.h"

namespace sim {

SimPluginEntry::SimPluginEntry(const std::shared_ptr<SimWorld>& world, const PluginConfig& config)
    : SimComponent(world, "PluginEntry"), helpFile_(config.helpFile) {
    if (config.entryItems < 0) return;
    items_ = std::make_shared<automation::Collection>();
    for (std::int32_t i = 1; i <= config.entryItems; ++i) items_->Add(automation::Variant(i));
}

BStr SimPluginEntry::HelpFile() {
    auto keep = Enter("HelpFile");
    return helpFile_;
}

std::shared_ptr<automation::Collection> SimPluginEntry::Items() {
    auto keep = Enter("Items");
    return items_;
}

}  // namespace sim
