#include "workspace/CViewDeviceType.h"

#include "StringIds.h"
#include "common/MCommon.h"
#include "tree/NodeKeys.h"
#include "workspace/WorkspaceWindow.h"

namespace {
// The columns' widths in twips, in the form ColumnWidthsText reads.
constexpr const char16_t* kDefaultWidths = u"2349.921,1800,1899.78,2349.921,1440,1440,";
}  // namespace

CViewDeviceType::CViewDeviceType()
    : CViewList(Binding{1, u"lvwDeviceTypes", u"lblDeviceTypeCount", kDefaultWidths, res::kDeviceTypeCountPrefix, 4}) {
    if (frame_) baseCaption_ = frame_->Caption();
    // No number until the first showing.
    if (countLabel_) countLabel_->SetCaption(countPrefix_);
}

void CViewDeviceType::AfterEmptied() {
    RebuildTypeList();
    MatchStatusWidth();
}

void CViewDeviceType::OnHidden() { currentNode_.reset(); }

void CViewDeviceType::RebuildTypeList() {
    // The type shown is the node's text; there is nothing to show without one.
    if (!currentNode_) automation::RaiseObjectNotSet(u"nodX");
    if (frame_) frame_->SetCaption(baseCaption_ + u" " + currentNode_->Text());
    if (list_) list_->Clear();
    UpdateCountLabel(deviceCount_);
    if (auto form = workspace_window::Form()) form->Refresh();
}

void CViewDeviceType::DeviceAdded(const std::shared_ptr<CTreeDevice>& oTreeDevice, automation::VBool) {
    if (!automation::IsTrue(visible_) || !currentNode_ || !oTreeDevice || !list_) return;
    if (oTreeDevice->DeviceType() != currentNode_->Text()) return;
    const automation::BStr key = nodekeys::DeviceKey(oTreeDevice->DeviceID());
    if (list_->Contains(key)) return;
    list_->Add(key, oTreeDevice->Name(), oTreeDevice->Icon(), oTreeDevice->Icon());
    list_->SetSubItem(key, 1, MCommon::FormatProgramID(oTreeDevice->ProgramID()));
    list_->SetSubItem(key, 2, MCommon::FormatNeuronID(oTreeDevice->NeuronID()));
    list_->SetSubItem(key, 3, oTreeDevice->State());
    automation::IgnoreFailure([&] { list_->Refresh(); });
    automation::IgnoreFailure([&] { ChangeCount(1); });
    automation::IgnoreFailure([&] { UpdateCountLabel(deviceCount_); });
}

void CViewDeviceType::TreeRepopulating(automation::VBool&) {
    if (list_) {
        list_->Clear();
        list_->Refresh();
    }
    deviceCount_ = 0;
}
