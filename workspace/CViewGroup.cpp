#include "workspace/CViewGroup.h"

#include "StringIds.h"
#include "common/MCommon.h"

namespace {
// The columns' widths in twips, in the form ColumnWidthsText reads.
constexpr const char16_t* kDefaultWidths = u"1800,2640.189,1800,1599.874,1800,1440,1440,";
}  // namespace

CViewGroup::CViewGroup()
    : CViewList(Binding{0, u"lvwGroup", u"lblGroupDeviceCount", kDefaultWidths, res::kGroupCountPrefix, 5}) {}

void CViewGroup::BeforeShowing() {
    if (frame_) frame_->SetCaption(MCommon::LoadResString(res::kActiveGroupView));
}

void CViewGroup::TreeRepopulating(automation::VBool&) {
    if (list_) list_->Clear();
    deviceCount_ = 0;
    UpdateCountLabel(0);
    if (list_) list_->SetTabStop(false);
}
