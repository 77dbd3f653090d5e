#include "workspace/CViewGroup.h"

#include "StringIds.h"
#include "common/MCommon.h"

CViewGroup::CViewGroup()
    : CViewList(Binding{0, u"lvwGroup", u"lblGroupDeviceCount", kDefaultWidths, res::kGroupCountPrefix, 5}) {}

CViewGroup::~CViewGroup() = default;

void CViewGroup::BeforeShowing() {
    if (frame_) frame_->SetCaption(MCommon::LoadResString(res::kActiveGroupView));
}

// The group list gets no rows of its own: a device-level tree would feed it.
void CViewGroup::DeviceAdded(const std::shared_ptr<CTreeDevice>&, automation::VBool) {}

void CViewGroup::TreeRepopulating(automation::VBool&) {
    if (list_) list_->Clear();
    deviceCount_ = 0;
    UpdateCountLabel(0);
    if (list_) list_->SetTabStop(false);
}
