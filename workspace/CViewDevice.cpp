#include "workspace/CViewDevice.h"

#include "StringIds.h"
#include "common/MCommon.h"
#include "session/IQuilletTree.h"
#include "workspace/WorkspaceWindow.h"

using automation::BStr;
using automation::IgnoreFailure;
using automation::IsTrue;

namespace {
// Margins of the workspace control and the button column inside frame 2, in twips.
constexpr float kMargin = 150;
}  // namespace

CViewDevice::CViewDevice() : CViewFrame(2) {
    if (workspace_window::InHalvern()) buttonsFrame_ = workspace_window::RequireWindow()->Get(u"fraButtons");
    if (auto form = workspace_window::Form()) status_ = form->StatusBar();
}

CViewDevice::~CViewDevice() {
    workspace_.reset();
    currentNode_.reset();
    frame_.reset();
    buttonsFrame_.reset();
    status_.reset();
    treeSubs_.clear();
}

void CViewDevice::Initialization(const std::shared_ptr<IQuilletTree>& objTre) {
    treeSubs_.clear();
    if (!objTre) return;
    treeSubs_.push_back(objTre->DevicePluginChanged.Subscribe(
        [this](const ui::NodeRef& nodX, const std::shared_ptr<outside::IFeatureList>& features, automation::VBool) {
            OnDevicePluginChanged(nodX, features);
        }));
    treeSubs_.push_back(
        objTre->PluginEngUnitsChanged.Subscribe([this](automation::ObjectRef& units) { OnPluginEngUnitsChanged(units); }));
}

void CViewDevice::SetPluginWorkspaceControl(const BStr& sCOMProgID) {
    progId_ = sCOMProgID.empty() ? BStr(outside::kFallbackWorkspaceProgId) : sCOMProgID;
}

void CViewDevice::ShowViewForNode(const ui::NodeRef& nodX) {
    currentNode_ = nodX;
    visible_ = automation::ToVBool(LoadWorkspaceControl());
    ApplyVisibility();
}

void CViewDevice::BeforeFrameFollows() {
    if (auto form = workspace_window::Form()) form->SetStatusTimer(IsTrue(visible_) ? automation::kTrue : automation::kFalse);
}

void CViewDevice::SetStatus(const BStr& text) {
    if (status_) status_->SetQuilletStat(text);
}

bool CViewDevice::LoadWorkspaceControl() {
    try {
        auto form = workspace_window::Form();
        if (form && IsTrue(form->InHalvern())) {
            auto window = workspace_window::RequireWindow();
            if (hosted_) IgnoreFailure([&] { window->ControlsRemove(kControlName); });
            hosted_.reset();
            workspace_.reset();
            hosted_ = window->ControlsAdd(progId_, kControlName, frame_);
        }
        // Locals: the control's calls below may run notifications that drop the members.
        auto hosted = hosted_;
        auto ws = hosted ? automation::Query<outside::IPluginWorkspace>(hosted->Object()) : nullptr;
        if (!ws) return false;
        workspace_ = ws;

        SizeControls();
        if (frame_) frame_->SetVisible(true);
        hosted->SetVisible(true);
        if (form) form->Refresh();

        automation::ObjectRef link = MMain::PluginServerLink();
        ws->AttachLink(link);
        bool result = true;
        link.reset();

        bool needsUpload = false;
        IgnoreFailure([&] { needsUpload = IsTrue(ws->NeedsUpload()); });
        if (needsUpload) {
            IgnoreFailure([&] { SetStatus(MCommon::LoadResString(res::kStatusUploading)); });
            if (!IgnoreFailure([&] { result = UploadDeviceData(); })) result = false;
            bool engUnits = false;
            IgnoreFailure([&] {
                if (auto units = automation::Query<outside::IPluginWorkspaceUnits>(hosted->Object()))
                    engUnits = IsTrue(units->SupportsEngUnits());
            });
            IgnoreFailure([&] { workspace_window::RequireWindow()->Get(u"mnuTools", 0)->SetEnabled(engUnits); });
            if (!result) {
                IgnoreFailure([&] { SetStatus(MCommon::LoadResString(res::kStatusCannotCommunicate)); });
                return false;
            }
            IgnoreFailure([&] { SetStatus(BStr()); });
        }
        if (form) form->Refresh();
        return result;
    } catch (const automation::Error&) {
        // The control, if added, stays hosted; the caller hides the frame.
        return false;
    }
}

bool CViewDevice::UploadDeviceData() {
    auto ws = workspace_;
    if (!ws) automation::RaiseObjectNotSet(u"Workspace");
    // Only a raised error counts as failure; the control's own answer is not consulted.
    ws->Upload();
    return true;
}

void CViewDevice::RefreshView() {
    IgnoreFailure([&] { SetStatus(MCommon::LoadResString(res::kStatusRefreshingView)); });
    IgnoreFailure([&] { ui::CurrentPlatform().Sleep(250); });
    bool answers = false;
    IgnoreFailure([&] { answers = IsTrue(MCommon::ProbeDeviceCommunication(MMain::LnsAppDevice())); });
    bool ok = answers && IgnoreFailure([&] { UploadDeviceData(); });
    IgnoreFailure([&] { SetStatus(ok ? BStr() : MCommon::LoadResString(res::kStatusCannotCommunicate)); });
}

void CViewDevice::SizeControls() {
    if (!frame_ || !buttonsFrame_) return;
    buttonsFrame_->SetLeft(frame_->Width() - buttonsFrame_->Width() - kMargin);
    buttonsFrame_->SetTop(frame_->Top() + kMargin);
    buttonsFrame_->SetHeight(frame_->Height() - 2 * kMargin);
    if (auto hosted = hosted_) {
        hosted->SetLeft(kMargin);
        hosted->SetTop(2 * kMargin);
        hosted->SetWidth(frame_->Width() - buttonsFrame_->Width() - 3 * kMargin);
        hosted->SetHeight(frame_->Height() - 3 * kMargin);
        hosted->ZOrder();
    }
}

void CViewDevice::RemoveHostedControl() {
    if (hosted_) {
        if (workspace_window::InHalvern())
            IgnoreFailure([&] { workspace_window::RequireWindow()->ControlsRemove(kControlName); });
        hosted_.reset();
    }
    workspace_.reset();
}

void CViewDevice::OnDevicePluginChanged(const ui::NodeRef& nodX, const std::shared_ptr<outside::IFeatureList>& oFeatureList) {
    // Only the tree's report that the device's plug-in was cleared concerns this view.
    if (nodX || oFeatureList) return;
    IgnoreFailure([&] { RemoveHostedControl(); });
    IgnoreFailure([&] {
        if (frame_) frame_->SetVisible(false);
    });
    visible_ = automation::kFalse;
}

void CViewDevice::OnPluginEngUnitsChanged(automation::ObjectRef& oQtyUnits) {
    auto hosted = hosted_;
    if (!hosted || !IsTrue(visible_)) return;
    auto units = automation::Query<outside::IPluginWorkspaceUnits>(hosted->Object());
    if (!units || !IsTrue(units->SupportsEngUnits())) return;
    units->ApplyEngUnits(oQtyUnits);
}
