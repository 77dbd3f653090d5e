#include "mainwindow/FMainHalvern.h"

#include <cmath>
#include <exception>
#include <limits>

#include "automation/ComponentFactory.h"
#include "automation/NumberText.h"
#include "automation/Variant.h"
#include "commands/CMenu_Toolbar.h"
#include "commands/CQuilletStatus.h"
#include "common/MCommon.h"
#include "session/MMain.h"
#include "mainwindow/Placement.h"
#include "tree/CTreeViewActive.h"
#include "tree/NodeKeys.h"
#include "workspace/CQuilletWorkspace.h"
#include "StringIds.h"

using automation::BStr;
using automation::IgnoreFailure;
using automation::VBool;

namespace {
// Where and how big the window comes up (left, top, height, width in twips, window state).
constexpr char16_t kPlacement[] = u"4000,4000,9270,12075,0";

constexpr float kSplitterStart = 90;

constexpr std::int16_t kStatusPeriodSeconds = 10;
constexpr std::uint32_t kNoAnswerWaitMs = 1000;
}  // namespace

std::shared_ptr<FMainHalvern> FMainHalvern::Create() {
    auto f = std::shared_ptr<FMainHalvern>(new FMainHalvern());
    f->BuildControls();
    f->Wire();
    return f;
}

FMainHalvern::FMainHalvern() = default;

FMainHalvern::~FMainHalvern() {
    controlSubs_.clear();
    menuTlbSub_.Reset();
}

void FMainHalvern::BuildControls() {
    form_ = ui::Window::Create(u"FMainHalvern");
    controls_ = FMainHalvernControls::Build(*form_);
    layout_ = std::make_unique<CMainLayout>(*form_, controls_);
}

void FMainHalvern::Wire() {
    auto& w = *form_;
    // Handlers capture a weak reference: the window may outlive this object by a moment during teardown.
    std::weak_ptr<FMainHalvern> weak = weak_from_this();
    auto call = [weak](void (FMainHalvern::*fn)()) {
        return [weak, fn] {
            if (auto self = weak.lock()) ((*self).*fn)();
        };
    };
    controlSubs_.push_back(w.Activate.Subscribe(call(&FMainHalvern::OnActivate)));
    controlSubs_.push_back(w.Deactivate.Subscribe(call(&FMainHalvern::OnDeactivate)));
    controlSubs_.push_back(w.QueryUnload.Subscribe(call(&FMainHalvern::OnQueryUnload)));
    controlSubs_.push_back(w.Unloading.Subscribe(call(&FMainHalvern::OnUnload)));
    controlSubs_.push_back(w.Resize.Subscribe(call(&FMainHalvern::Layout)));
    controlSubs_.push_back(controls_.tmrStatus->Tick.Subscribe(call(&FMainHalvern::OnStatusTick)));

    auto& grab = controls_.imgVertSplitter;
    controlSubs_.push_back(grab->MouseDown.Subscribe([weak](std::int16_t, std::int16_t, float, float) {
        if (auto self = weak.lock()) self->layout_->SplitterDown();
    }));
    controlSubs_.push_back(grab->MouseMove.Subscribe([weak](std::int16_t, std::int16_t, float x, float) {
        if (auto self = weak.lock()) self->layout_->SplitterMove(x);
    }));
    controlSubs_.push_back(grab->MouseUp.Subscribe([weak](std::int16_t, std::int16_t, float, float) {
        if (auto self = weak.lock()) self->SplitterUp();
    }));

    controlSubs_.push_back(controls_.cmdHelp->Click.Subscribe([weak] {
        if (auto self = weak.lock())
            if (auto menu = self->m_objMenuTlb) menu->RunHelpButton();
    }));

    // Menu items and device buttons are forwarded with their index; elements loaded at run time
    // are wired as they arrive.
    auto wireElement = [weak](const ui::ControlRef& c) -> automation::Subscription {
        if (c->Index() < 0) return {};
        const BStr& n = c->Name();
        std::weak_ptr<ui::Control> wc = c;
        if (n != u"mnuPlugins" && n != u"mnuDevPI" && n != u"mnuViews" && n != u"mnuTools" && n != u"mnuHelps" &&
            n != u"cmdDevice")
            return {};
        return c->Click.Subscribe([weak, wc] {
            auto self = weak.lock();
            auto ctl = wc.lock();
            if (!self || !ctl) return;
            auto menu = self->m_objMenuTlb;
            if (!menu) automation::RaiseObjectNotSet(u"MenuToolbar");
            const auto index = static_cast<std::int16_t>(ctl->Index());
            const BStr& name = ctl->Name();
            if (name == u"mnuPlugins") menu->MenuClickPlugin(index);
            else if (name == u"mnuDevPI") menu->MenuClickPluginFeature(index);
            else if (name == u"mnuViews") menu->MenuClickView(index);
            else if (name == u"mnuTools") menu->MenuClickTools(index);
            else if (name == u"mnuHelps") menu->MenuClickHelp(index);
            else menu->RunButtonFunction(automation::Variant(ctl->Tag()).AsI2());  // the tag, not the index
        });
    };
    for (auto& c : w.Controls())
        if (auto s = wireElement(c); s.Active()) controlSubs_.push_back(std::move(s));
    controlSubs_.push_back(w.ControlAdded.Subscribe([weak, wireElement](const ui::ControlRef& c) {
        auto self = weak.lock();
        if (!self) return;
        if (auto s = wireElement(c); s.Active()) self->elementSubs_[c.get()] = std::move(s);
    }));
    controlSubs_.push_back(w.ControlRemoved.Subscribe([weak](const ui::ControlRef& c) {
        if (auto self = weak.lock()) self->elementSubs_.erase(c.get());
    }));
}

void FMainHalvern::Load() {
    auto& w = *form_;
    statusTimer_.SetTimer(controls_.tmrStatus);
    MCommon::LoadFormResources(w, false);
    m_oPIServer = automation::CreateAs<outside::IPluginServer>(outside::kPluginServerClsid);
    tree_ = std::make_shared<CTreeViewActive>();
    status_ = std::make_shared<CQuilletStatus>();
    status_->Initialization(controls_.staStatusBar);
    workspace_ = std::make_shared<CQuilletWorkspace>();
    m_objMenuTlb = std::make_shared<CMenu_Toolbar>();
    std::weak_ptr<FMainHalvern> weak = weak_from_this();
    menuTlbSub_ = m_objMenuTlb->PIButtonsChanged.Subscribe([weak](std::int16_t& count) {
        if (auto self = weak.lock()) self->layout_->ArrangeButtons(true);
        (void)count;
    });
    m_objMenuTlb->Initialization(shared_from_this());
    SetTimerInterval(kStatusPeriodSeconds);

    // Placement: each step on its own; a step that fails leaves what the design gave.
    std::optional<float> left, top, height, width;
    BStr stateText;
    bool parsed = IgnoreFailure([&] {
        const Placement p = ReadPlacement(kPlacement);
        left = p.left;
        top = p.top;
        height = p.height;
        width = p.width;
        stateText = p.state;
    });
    IgnoreFailure([&] {
        if (!width || !height) automation::RaiseObjectNotSet(u"placement");
        auto& platform = ui::CurrentPlatform();
        const float screenW = platform.ScreenWidth(), screenH = platform.ScreenHeight();
        if (*width > screenW) width = screenW;
        if (*height > screenH) height = screenH;
        // The position is limited as well but not applied: the host decides where windows go.
        if (left && (*left < 0 || screenW - *width <= *left)) left = 0.0f;
        if (top && (*top < 0 || screenH - *height <= *top)) top = 0.0f;
    });
    IgnoreFailure([&] {
        if (!width || !height) automation::RaiseObjectNotSet(u"placement");
        w.SetSize(*width, *height);
    });
    IgnoreFailure([&] {
        if (!parsed) automation::RaiseObjectNotSet(u"placement");
        const std::int16_t state = automation::Variant(stateText).AsI2();
        if (state != ui::state::kMinimized) w.SetWindowState(state);
    });
    IgnoreFailure([&] { controls_.picVertSplitter->SetLeft(kSplitterStart); });

    firstActivation_ = true;
    auto& tre = controls_.treActive;
    auto& grab = controls_.imgVertSplitter;
    layout_->SetTreeLeftEdge(tre->Left() < grab->Width() ? grab->Width() : tre->Left());
    tre->SetVisible(false);
    grab->SetVisible(false);
}

// --- IQuilletMainForm -------------------------------------------------------------------------

void FMainHalvern::SetInWhatsThisMode(VBool bNewValue) { whatsThis_ = bNewValue; }
std::shared_ptr<IQuilletStatus> FMainHalvern::StatusBar() { return status_; }
std::shared_ptr<IQuilletTree> FMainHalvern::ActiveTree() { return tree_; }
std::shared_ptr<IQuilletWorkspace> FMainHalvern::QuilletWorkspace() { return workspace_; }
std::shared_ptr<IMenuToolbar> FMainHalvern::MenuToolbar() { return m_objMenuTlb; }
std::shared_ptr<outside::IPluginServer> FMainHalvern::PluginServer() { return m_oPIServer; }
VBool FMainHalvern::TimerStatus() { return running_; }
void FMainHalvern::SetInHalvern(VBool bNewValue) { inHalvern_ = bNewValue; }
VBool FMainHalvern::InHalvern() { return inHalvern_; }
void FMainHalvern::SetHalvernPIOnly(VBool bNewValue) { piOnly_ = bNewValue; }
VBool FMainHalvern::HalvernPIOnly() { return piOnly_; }
void FMainHalvern::Refresh() { form_->Refresh(); }
void FMainHalvern::Resize() { Layout(); }

void FMainHalvern::ClearWorkspace() {
    controls_.lvwGroup->Clear();
    controls_.lvwDeviceTypes->Clear();
}

// --- Status timer -----------------------------------------------------------------------------

void FMainHalvern::SetTimerInterval(std::int32_t lNewValue) { statusTimer_.ApplyPeriod(lNewValue); }

void FMainHalvern::SetStatusTimer(VBool bNewValue) {
    auto self = shared_from_this();  // pending messages may close the window meanwhile
    ui::CurrentPlatform().DoEvents();
    if (automation::IsTrue(bNewValue)) statusTimer_.Restart();
    running_ = bNewValue;
    statusTimer_.Enable(automation::IsTrue(bNewValue));
}

void FMainHalvern::OnStatusTick() {
    auto self = shared_from_this();
    if (!statusTimer_.Tick()) return;

    const VBool communicating = MCommon::ProbeDeviceCommunication(MMain::LnsAppDevice());
    if (!m_objMenuTlb) automation::RaiseObjectNotSet(u"MenuToolbar");
    m_objMenuTlb->UpdateMenuStates(communicating, automation::kFalse);
    if (automation::IsTrue(communicating)) {
        if (form_->WindowState() != ui::state::kMinimized && m_objMenuTlb) m_objMenuTlb->RefreshDeviceView();
    } else {
        if (!status_) automation::RaiseObjectNotSet(u"StatusBar");
        status_->SetQuilletStat(MCommon::LoadResString(res::kStatusRefreshingDevice));
        ui::CurrentPlatform().Sleep(kNoAnswerWaitMs);
        if (status_) status_->SetQuilletStat(MCommon::LoadResString(res::kStatusCannotCommunicate));
    }
}

// --- Activation, closing, unload --------------------------------------------------------------

void FMainHalvern::OnActivate() {
    if (automation::IsTrue(piOnly_)) return;
    if (firstActivation_) {
        firstActivation_ = false;
        statusTimer_.SetTimer(controls_.tmrStatus);
        SetStatusTimer(automation::kFalse);
    } else {
        IgnoreFailure([&] { SetStatusTimer(savedTimerState_); });
    }
}

void FMainHalvern::OnDeactivate() {
    IgnoreFailure([&] {
        savedTimerState_ = TimerStatus();
        SetStatusTimer(automation::kFalse);
    });
}

void FMainHalvern::OnQueryUnload() {
    auto self = shared_from_this();
    firstActivation_ = false;
    if (tree_) tree_->PrepareForShutdown();
    if (form_->WindowState() == ui::state::kMinimized) {
        form_->SetWindowState(ui::state::kNormal);
        ui::CurrentPlatform().DoEvents();
    }
}

void FMainHalvern::OnUnload() {
    auto self = shared_from_this();  // the host may drop its last reference from OnHalvernFormTerm
    // Whatever fails on the way, the controllers are released and the owner is told; the first
    // failure goes on to the caller afterwards.
    std::exception_ptr failure;
    auto step = [&failure](auto&& fn) {
        try {
            fn();
        } catch (const automation::Error&) {
            if (!failure) failure = std::current_exception();
        }
    };
    step([&] {
        if (statusTimer_.Timer()) SetStatusTimer(automation::kFalse);
    });
    statusTimer_.SetTimer(nullptr);
    step([&] {
        if (workspace_)
            if (auto view = workspace_->CurrentView()) view->saveColWidthsToReg();
    });
    menuTlbSub_.Reset();
    m_objMenuTlb.reset();
    workspace_.reset();
    tree_.reset();
    m_oPIServer.reset();
    status_.reset();
    if (automation::IsTrue(inHalvern_)) {
        step([&] { OnHalvernFormTerm.Raise(); });
    } else if (MMain::MainForm().get() == this) {
        MMain::MainWindow().reset();
        MMain::MainForm().reset();
    }
    if (failure) std::rethrow_exception(failure);
}

// --- Layout ---------------------------------------------------------------------------------

void FMainHalvern::Layout() {
    if (form_->IsUnloaded()) return;  // a resize that arrives after the window has gone
    if (form_->WindowState() == ui::state::kMinimized) return;
    if (!m_objMenuTlb) automation::RaiseObjectNotSet(u"MenuToolbar");
    auto device = workspace_ ? std::dynamic_pointer_cast<IQuilletDeviceView>(workspace_->CurrentView()) : nullptr;
    layout_->Arrange(automation::IsTrue(m_objMenuTlb->ShowStatusBar()), device, workspace_ != nullptr);
}

void FMainHalvern::SplitterUp() {
    Layout();
    layout_->SplitterReleased();
}
