#include "sim/SimWorkspaceControl.h"

namespace sim {

SimWorkspaceControl::SimWorkspaceControl(const std::shared_ptr<SimWorld>& world, WorkspaceControlConfig config)
    : SimComponent(world, "Workspace"), config_(std::move(config)) {}

automation::VBool SimWorkspaceControl::NeedsUpload() {
    auto keep = Enter("NeedsUpload");
    return automation::ToVBool(config_.needsUpload);
}

automation::Variant SimWorkspaceControl::AttachLink(automation::ObjectRef& link) {
    auto keep = Enter("AttachLink");
    link_ = link;
    if (auto world = World()) world->NoteAttachedLink(link);
    return {};
}

automation::VBool SimWorkspaceControl::Upload() {
    auto keep = Enter("Upload");
    if (!link_) automation::RaiseObjectNotSet(u"the device link of " + config_.progId);
    ++uploads_;
    return automation::ToVBool(config_.uploadReturns);
}

}  // namespace sim
