#include "commands/frmOptions.h"

#include "StringIds.h"
#include "common/MCommon.h"

namespace {
// Where the dialog and its controls sit, twips.
constexpr float kDialogWidth = 7605, kDialogHeight = 6495;
constexpr float kTabLeft = 120, kTabTop = 120, kTabWidth = 7245, kTabHeight = 5055;
constexpr float kFrameLeft = 120, kFrameTop = 480, kFrameWidth = 7005, kFrameHeight = 4455;
constexpr float kUnitsLeft = 120, kUnitsTop = 240, kUnitsWidth = 6765, kUnitsHeight = 4095;
}  // namespace

std::shared_ptr<frmOptions> frmOptions::Create() {
    std::shared_ptr<frmOptions> dialog(new frmOptions());
    dialog->Build();
    return dialog;
}

frmOptions::~frmOptions() {
    subs_.clear();
    unitsObject_.reset();
    units_.reset();
    if (form_ && !form_->IsUnloaded()) automation::IgnoreFailure([&] { form_->Unload(); });
}

void frmOptions::Build() {
    form_ = ui::Window::Create(u"frmOptions");
    form_->SetCaption(MCommon::LoadResString(res::kOptionsTitle));
    form_->SetWidth(kDialogWidth);
    form_->SetHeight(kDialogHeight);

    auto tab = form_->Add<ui::TabbedDialog>(u"tabOptions");
    tab->SetTabs(1);
    tab->SetTabCaption(0, u"2613:Units");
    tab->Move(kTabLeft, kTabTop, kTabWidth, kTabHeight);

    auto frame = form_->AddPlain(ui::Kind::Frame, u"fraOption", tab, 0);
    frame->Move(kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight);

    auto hosted = form_->ControlsAdd(automation::BStr(outside::kQtyUnitsProgId), u"QtyUnits1", frame);
    hosted->Move(kUnitsLeft, kUnitsTop, kUnitsWidth, kUnitsHeight);
    auto object = hosted->Object();
    if (!object) automation::RaiseObjectNotSet(u"QtyUnits1");
    // The units control's contract names no interface id: the hosted object is the control itself.
    units_ = std::dynamic_pointer_cast<outside::IQtyUnitsControl>(object);
    if (!units_) automation::Raise(automation::code::kNoInterface, u"No such interface supported: QtyUnits1");

    auto ok = form_->AddPlain(ui::Kind::CommandButton, u"CmdOK");
    ok->SetCaption(u"150:OK");
    ok->SetDefault(true);
    ok->Move(3990, 5310, 1455, 375);

    auto cancel = form_->AddPlain(ui::Kind::CommandButton, u"cmdCancel");
    cancel->SetCaption(u"151:Cancel");
    cancel->SetCancel(true);
    cancel->Move(5790, 5310, 1575, 375);

    // The subscriptions end before the controls and the dialog go (member order), so the
    // handlers never outlive this object.
    subs_.push_back(ok->Click.Subscribe([this] { OnOk(); }));
    subs_.push_back(cancel->Click.Subscribe([this] { OnCancel(); }));
    subs_.push_back(units_->UnitsApplied.Subscribe([this](const automation::ObjectRef& o) { OnUnitsApplied(o); }));
    subs_.push_back(units_->CloseRequest.Subscribe([this] { OnCancel(); }));
    // Closing through the frame only hides the dialog, as Cancel does: the caller still queries it.
    subs_.push_back(form_->CloseRequested.Subscribe([this](bool& cancelClose) {
        cancelClose = true;
        OnCancel();
    }));

    unitsObject_.reset();
    updated_ = false;
    units_->SetFlag(automation::kFalse);
}

void frmOptions::Load() {
    if (!form_) automation::RaiseObjectNotSet(u"frmOptions");
    MCommon::LoadFormResources(*form_, true);
    loaded_ = true;
}

void frmOptions::ShowModal(ui::Window* owner) {
    if (!form_) automation::RaiseObjectNotSet(u"frmOptions");
    auto keep = shared_from_this();
    if (!loaded_) Load();
    form_->ShowModal(owner);
}

void frmOptions::Unload() {
    subs_.clear();
    unitsObject_.reset();
    units_.reset();
    if (auto form = std::move(form_)) form->Unload();
}

automation::VBool frmOptions::UpdatedEngUnits(automation::ObjectRef& oQtyUnits) const {
    oQtyUnits = unitsObject_;
    return automation::ToVBool(updated_);
}

void frmOptions::OnOk() {
    if (units_) units_->Apply();
}

void frmOptions::OnCancel() {
    if (form_) form_->Hide();
}

void frmOptions::OnUnitsApplied(const automation::ObjectRef& oQtyUnits) {
    updated_ = true;
    unitsObject_ = oQtyUnits;
}
