#include "workspace/CViewList.h"

#include "StringIds.h"
#include "common/MCommon.h"
#include "session/IQuilletTree.h"
#include "tree/NodeKeys.h"
#include "workspace/WorkspaceWindow.h"

namespace {
constexpr std::int16_t kLeftButton = 1;
constexpr std::int16_t kEnterKey = 13;
}  // namespace

CViewList::CViewList(const Binding& binding) : CViewFrame(binding.frameIndex), binding_(binding) {
    if (workspace_window::InHalvern()) {
        auto w = workspace_window::RequireWindow();
        list_ = w->Get<ui::ListView>(binding_.listName);
        countLabel_ = w->Get(binding_.labelName);
        listSubs_.push_back(list_->ColumnClick.Subscribe([this](int column) { ColumnClick(column); }));
        listSubs_.push_back(
            list_->MouseDown.Subscribe([this](std::int16_t b, std::int16_t s, float x, float y) { MouseDown(b, s, x, y); }));
        listSubs_.push_back(list_->Click.Subscribe([this] { Click(); }));
        listSubs_.push_back(list_->KeyDown.Subscribe([this](std::int16_t k, std::int16_t s) { KeyDown(k, s); }));
        listSubs_.push_back(list_->DblClick.Subscribe([this] { DblClick(); }));
    }
    readColWidthsFromReg();
    deviceCount_ = 0;
    countPrefix_ = MCommon::LoadResString(binding_.countPrefixId);
    UpdateCountLabel(0);
}

CViewList::~CViewList() {
    treeSubs_.clear();
    listSubs_.clear();
}

void CViewList::readColWidthsFromReg() {
    if (!list_) return;
    automation::BStr widths = binding_.defaultWidths;
    MCommon::ColumnWidthsText(*list_, true, widths);
}

void CViewList::Initialization(const std::shared_ptr<IQuilletTree>& objTre) {
    treeSubs_.clear();
    tree_ = objTre;
    if (!objTre) return;
    treeSubs_.push_back(objTre->TreeRepopulating.Subscribe([this](automation::VBool& remote) { TreeRepopulating(remote); }));
    treeSubs_.push_back(
        objTre->DeviceAdded.Subscribe([this](const std::shared_ptr<CTreeDevice>& d, automation::VBool f) { DeviceAdded(d, f); }));
    treeSubs_.push_back(objTre->DeviceRemoved.Subscribe([this](const automation::BStr& id) { DeviceRemoved(id); }));
    treeSubs_.push_back(objTre->DeviceChanged.Subscribe(
        [this](const std::shared_ptr<CTreeDevice>& d, automation::VBool f) { DeviceChanged(d, f); }));
}

void CViewList::ShowViewForNode(const ui::NodeRef& nodX) {
    currentNode_ = nodX;
    MatchStatusWidth();
    saveColWidthsToReg();
    if (auto form = workspace_window::Form()) form->Resize();
    BeforeShowing();
    visible_ = automation::kTrue;
    ApplyVisibility();
    deviceCount_ = 0;
    UpdateCountLabel(0);
    if (list_) list_->Clear();
    if (auto form = workspace_window::Form()) form->Refresh();
    AfterEmptied();
    rereadWidths_ = false;
}

void CViewList::RefreshView() {
    ui::NodeRef node = currentNode_;
    ShowViewForNode(node);
}

void CViewList::BeforeFrameFollows() {
    if (!automation::IsTrue(visible_)) {
        saveColWidthsToReg();
        rereadWidths_ = true;
        OnHidden();
    } else if (rereadWidths_) {
        readColWidthsFromReg();
    }
}

void CViewList::UpdateCountLabel(std::int16_t count) {
    if (countLabel_) countLabel_->SetCaption(countPrefix_ + automation::DecimalText(count));
}

void CViewList::MatchStatusWidth() {
    if (!list_) return;
    list_->SetColumnWidth(binding_.statusColumn, list_->Column(1).width);
}

void CViewList::ChangeCount(int delta) {
    const int next = deviceCount_ + delta;
    if (next < INT16_MIN || next > INT16_MAX) automation::Raise(automation::code::kOverflow, u"Overflow");
    deviceCount_ = static_cast<std::int16_t>(next);
}

void CViewList::ColumnClick(int columnIndex) {
    if (!list_) return;
    const int k = columnIndex - 1;
    if (list_->SortKey() == k) {
        list_->SetSortOrder(1 - list_->SortOrder());
    } else {
        list_->SetSortKey(k);
        list_->SetSortOrder(0);
    }
}

void CViewList::MouseDown(std::int16_t Button, std::int16_t, float x, float y) {
    if (!list_) return;
    const int selected = list_->SelectedIndex();
    if (selected == 0) return;
    list_->Select(selected, false);
    if (Button == kLeftButton) {
        mouseX_ = x;
        mouseY_ = y;
    }
}

void CViewList::Click() {
    if (!list_ || mouseX_ == 0 || mouseY_ == 0) return;
    if (const int hit = list_->HitTest(mouseX_, mouseY_)) {
        list_->Select(hit, true);
    } else if (const int selected = list_->SelectedIndex()) {
        list_->Select(selected, false);
    }
}

void CViewList::KeyDown(std::int16_t KeyCode, std::int16_t) {
    if (KeyCode == kEnterKey) DblClick();
}

void CViewList::DblClick() {
    const float x = mouseX_, y = mouseY_;
    // Cleared first: the tree may show a message box, and the press is used up either way.
    mouseX_ = 0;
    mouseY_ = 0;
    if (!list_ || x == 0 || y == 0) return;
    const int hit = list_->HitTest(x, y);
    if (hit == 0) return;
    const automation::BStr deviceId = nodekeys::DeviceIdOf(list_->Item(hit).key);
    if (auto tree = tree_.lock()) tree->SelectNodeInTree(deviceId);
}

void CViewList::DeviceChanged(const std::shared_ptr<CTreeDevice>& oTreeDevice, automation::VBool) {
    if (!automation::IsTrue(visible_) || !list_ || !oTreeDevice) return;
    const automation::BStr key = nodekeys::DeviceKey(oTreeDevice->DeviceID());
    if (!list_->Contains(key)) return;
    list_->SetItemIcon(key, oTreeDevice->Icon());
    list_->SetItemText(key, oTreeDevice->Name());
    list_->SetItemSmallIcon(key, oTreeDevice->Icon());
    list_->SetSubItem(key, binding_.statusColumn - 1, oTreeDevice->State());
    list_->Refresh();
}

void CViewList::DeviceRemoved(const automation::BStr& sDevID) {
    if (!automation::IsTrue(visible_) || !list_) return;
    const automation::BStr key = nodekeys::DeviceKey(sDevID);
    if (!list_->Contains(key)) return;
    list_->Remove(key);
    ChangeCount(-1);
    UpdateCountLabel(deviceCount_);
}
