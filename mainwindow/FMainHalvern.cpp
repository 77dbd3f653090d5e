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

constexpr float kMinWindow = 2400;
constexpr float kMinFrame = 2000;
constexpr float kButtonWidth = 1485;
constexpr float kButtonHeight = 375;
constexpr float kFirstButtonTop = 450;
constexpr float kButtonPitch = 520;
constexpr float kListTopFactor = 2.5f;
constexpr float kListHeightAllowance = 200;
constexpr float kSplitterStart = 90;

constexpr std::int16_t kStatusPeriodSeconds = 10;
constexpr std::uint32_t kNoAnswerWaitMs = 1000;

// Rounding as the automation runtime does it: to the nearest integer, ties to even.
float RoundEven(float v) { return std::nearbyint(v); }

std::int32_t CheckedMs(std::int64_t seconds) {
    std::int64_t ms = seconds * 1000;
    if (ms > std::numeric_limits<std::int32_t>::max() || ms < std::numeric_limits<std::int32_t>::min())
        automation::Raise(automation::code::kOverflow, u"Overflow");
    return static_cast<std::int32_t>(ms);
}
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

// The window as authored: every control with its design-time caption, position and state.
void FMainHalvern::BuildControls() {
    form_ = ui::Window::Create(u"FMainHalvern");
    auto& w = *form_;
    w.SetCaption(u"Quillet");
    w.Move(0, 0, 9600, 7200);

    auto tre = w.Add<ui::TreeView>(u"treActive");
    tre->Move(45, 45, 2655, 4860);
    auto grab = w.AddPlain(ui::Kind::Image, u"imgVertSplitter");
    grab->Move(2700, 0, 75, 4950);
    auto bar = w.AddPlain(ui::Kind::PictureBox, u"picVertSplitter");
    bar->Move(2700, 0, 75, 4950);
    bar->SetVisible(false);

    static const char16_t* const kFrameCaptions[] = {u"Group View", u"1100:Device Type View:", u"Device View", u"Device View Error"};
    std::shared_ptr<ui::Control> frames[4];
    for (int i = 0; i < 4; ++i) {
        frames[i] = w.AddPlain(ui::Kind::Frame, u"FraWorkspace", nullptr, i);
        frames[i]->SetCaption(kFrameCaptions[i]);
        frames[i]->Move(2775, 45, 6600, 4860);
        frames[i]->SetVisible(false);
    }

    auto lblGroup = w.AddPlain(ui::Kind::Label, u"lblGroupDeviceCount", frames[0]);
    lblGroup->SetCaption(u"1330:Total number of devices");
    lblGroup->Move(120, 240, 4500, 255);
    auto lvwGroup = w.Add<ui::ListView>(u"lvwGroup", frames[0]);
    lvwGroup->Move(120, 640, 6360, 3800);
    lvwGroup->AddColumn(u"DeviceName", u"1305:Device Name", 1800);
    lvwGroup->AddColumn(u"DeviceType", u"1310:Device Type", 1800);
    lvwGroup->AddColumn(u"ProgramID", u"1315:Revision", 1800);
    lvwGroup->AddColumn(u"NeuronID", u"1320:Neuron ID", 1800);
    lvwGroup->AddColumn(u"Status", u"1325:Status", 1800);
    lvwGroup->AddColumn(u"DSN0", u"1335:DSN (A)", 1440);
    lvwGroup->AddColumn(u"DSN1", u"1340:DSN (B)", 1440);
    lvwGroup->SetSorted(true);

    auto lblType = w.AddPlain(ui::Kind::Label, u"lblDeviceTypeCount", frames[1]);
    lblType->SetCaption(u"1110:number of devices");
    lblType->Move(120, 240, 4500, 255);
    auto lvwTypes = w.Add<ui::ListView>(u"lvwDeviceTypes", frames[1]);
    lvwTypes->Move(120, 640, 6360, 3800);
    lvwTypes->AddColumn(u"DeviceName", u"1305:Device Name", 1800);
    lvwTypes->AddColumn(u"ProgramID", u"1315:ProgramID", 1800);
    lvwTypes->AddColumn(u"NeuronID", u"1320:Neuron ID", 1800);
    lvwTypes->AddColumn(u"Status", u"1325:Status", 1800);
    lvwTypes->AddColumn(u"DSN0", u"1335:DSN (A)", 1440);
    lvwTypes->AddColumn(u"DSN1", u"1340:DSN (B)", 1440);
    lvwTypes->SetSorted(true);

    auto buttons = w.AddPlain(ui::Kind::Frame, u"fraButtons", frames[2]);
    buttons->SetCaption(u"buttons");
    buttons->Move(4900, 195, 1725, 4500);
    auto tmpl = w.AddPlain(ui::Kind::CommandButton, u"cmdDevice", buttons, 0);
    tmpl->SetCaption(u"PIButtons");
    tmpl->Move(120, 240, kButtonWidth, kButtonHeight);
    auto bindings = w.AddPlain(ui::Kind::CommandButton, u"cmdBindings", buttons);
    bindings->SetCaption(u"&Bindings");
    bindings->Move(120, 690, kButtonWidth, kButtonHeight);
    auto help = w.AddPlain(ui::Kind::CommandButton, u"cmdHelp", buttons);
    help->SetCaption(u"&Help");
    help->Move(120, 1200, kButtonWidth, kButtonHeight);

    auto err = w.AddPlain(ui::Kind::Label, u"lblViewError", frames[3]);
    err->SetCaption(u"1401: Unable to display information about this device. The required file 'QuilletUnknown.ocx'  is unavailable.");
    err->Move(600, 1800, 5400, 855);

    auto sta = w.Add<ui::StatusBar>(u"staStatusBar");
    sta->Move(0, 6195, 9480, 315);
    sta->AddPanel(ui::Panel{{}, {}, 7000, true});
    sta->AddPanel(ui::Panel{{}, {}, 2400, false});
    auto progress = w.Add<ui::ProgressBar>(u"ProgressBar", sta);
    progress->Move(7080, 45, 2300, 225);
    progress->SetVisible(false);

    auto tmr = w.Add<ui::Timer>(u"tmrStatus");
    tmr->SetInterval(10000);
    tmr->SetEnabled(true);
    auto util = w.Add<ui::Timer>(u"tmrUtility");
    util->SetEnabled(false);
    auto cleanup = w.Add<ui::Timer>(u"tmrCleanupLink");
    cleanup->SetEnabled(false);

    auto iml = w.Add<ui::ImageList>(u"imlTreeViews");
    for (auto key : nodekeys::kIconKeys) iml->AddImage(BStr(key));

    auto menu = [&](const char16_t* name, const char16_t* caption, const ui::ControlRef& parent, int index) {
        auto m = w.AddPlain(ui::Kind::MenuItem, name, parent, index);
        m->SetCaption(caption);
        return m;
    };
    auto mnuPlugin = menu(u"mnuPlugin", u"300:Plugin", nullptr, -1);
    menu(u"mnuPlugins", u"307:Exit", mnuPlugin, 0);
    auto mnuDevice = menu(u"mnuDevice", u"320:Device", nullptr, -1);
    menu(u"mnuDevPI", u"PI Features", mnuDevice, 0);
    auto mnuView = menu(u"mnuView", u"360:View", nullptr, -1);
    menu(u"mnuViews", u"363:Refresh", mnuView, 0)->SetShortcut(u"F5");
    auto mnuTool = menu(u"mnuTool", u"370:Tools", nullptr, -1);
    menu(u"mnuTools", u"372:Engineering Units", mnuTool, 0);
    auto mnuHelp = menu(u"mnuHelp", u"152:Help", nullptr, -1);
    menu(u"mnuHelps", u"391:Contents and Index", mnuHelp, 0);
    menu(u"mnuHelps", u"395:What's This?", mnuHelp, 1);
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
    controlSubs_.push_back(w.Get<ui::Timer>(u"tmrStatus")->Tick.Subscribe(call(&FMainHalvern::OnStatusTick)));

    auto grab = w.Get(u"imgVertSplitter");
    controlSubs_.push_back(grab->MouseDown.Subscribe([weak](std::int16_t, std::int16_t, float x, float) {
        if (auto self = weak.lock()) self->SplitterDown(x);
    }));
    controlSubs_.push_back(grab->MouseMove.Subscribe([weak](std::int16_t, std::int16_t, float x, float) {
        if (auto self = weak.lock()) self->SplitterMove(x);
    }));
    controlSubs_.push_back(grab->MouseUp.Subscribe([weak](std::int16_t, std::int16_t, float, float) {
        if (auto self = weak.lock()) self->SplitterUp();
    }));

    controlSubs_.push_back(w.Get(u"cmdHelp")->Click.Subscribe([weak] {
        if (auto self = weak.lock())
            if (auto menu = self->m_objMenuTlb) menu->RunHelpButton();
    }));

    // Menu items and device buttons are forwarded with their index; elements loaded at run time
    // are wired as they arrive.
    auto wireElement = [weak](const ui::ControlRef& c) -> automation::Subscription {
        if (c->Index() < 0) return {};
        const BStr& n = c->Name();
        std::weak_ptr<ui::Control> wc = c;
        if (n != u"mnuPlugins" && n != u"mnuDevPI" && n != u"mnuViews" && n != u"mnuTools" && n != u"mnuHelps" && n != u"cmdDevice")
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
    timerRef_ = w.Get<ui::Timer>(u"tmrStatus");
    MCommon::LoadFormResources(w, false);
    m_oPIServer = automation::CreateAs<outside::IPluginServer>(outside::kPluginServerClsid);
    tree_ = std::make_shared<CTreeViewActive>();
    status_ = std::make_shared<CQuilletStatus>();
    status_->Initialization(w.Get<ui::StatusBar>(u"staStatusBar"));
    workspace_ = std::make_shared<CQuilletWorkspace>();
    m_objMenuTlb = std::make_shared<CMenu_Toolbar>();
    std::weak_ptr<FMainHalvern> weak = weak_from_this();
    menuTlbSub_ = m_objMenuTlb->PIButtonsChanged.Subscribe([weak](std::int16_t& count) {
        if (auto self = weak.lock()) self->ArrangeButtons(count, true);
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
        w.SetWidth(*width);
        w.SetHeight(*height);
    });
    IgnoreFailure([&] {
        if (!parsed) automation::RaiseObjectNotSet(u"placement");
        const std::int16_t state = automation::Variant(stateText).AsI2();
        if (state != ui::state::kMinimized) w.SetWindowState(state);
    });
    IgnoreFailure([&] { w.Get(u"picVertSplitter")->SetLeft(kSplitterStart); });

    firstActivation_ = true;
    auto tre = w.Get(u"treActive");
    auto grab = w.Get(u"imgVertSplitter");
    treeLeftEdge_ = tre->Left() < grab->Width() ? grab->Width() : tre->Left();
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
    form_->Get<ui::ListView>(u"lvwGroup")->Clear();
    form_->Get<ui::ListView>(u"lvwDeviceTypes")->Clear();
}

// --- Status timer -----------------------------------------------------------------------------

void FMainHalvern::ApplyStatusPeriod(std::int32_t seconds) {
    if (seconds < 60) {
        const std::int32_t ms = CheckedMs(seconds);
        firstPhase_ = 0;
        secondPhase_ = ms;
        workPhase_ = true;
        currentInterval_ = ms;
    } else {
        const std::int32_t ms = CheckedMs(static_cast<std::int64_t>(seconds) - 60);
        firstPhase_ = 60000;
        secondPhase_ = ms;
        workPhase_ = false;
        currentInterval_ = 60000;
    }
    if (timerRef_) timerRef_->SetInterval(currentInterval_);
}

void FMainHalvern::SetTimerInterval(std::int32_t lNewValue) { ApplyStatusPeriod(lNewValue); }

void FMainHalvern::SetStatusTimer(VBool bNewValue) {
    auto self = shared_from_this();  // pending messages may close the window meanwhile
    ui::CurrentPlatform().DoEvents();
    if (automation::IsTrue(bNewValue)) {
        const double seconds = (static_cast<double>(firstPhase_) + secondPhase_) / 1000.0;
        ApplyStatusPeriod(static_cast<std::int32_t>(std::nearbyint(seconds)));
        if (timerRef_) timerRef_->SetInterval(currentInterval_);
    }
    running_ = bNewValue;
    if (timerRef_) timerRef_->SetEnabled(automation::IsTrue(bNewValue));
}

void FMainHalvern::OnStatusTick() {
    auto self = shared_from_this();
    bool work = false;
    if (workPhase_) {
        workPhase_ = firstPhase_ == 0;
        if (firstPhase_ != 0 && timerRef_) timerRef_->SetInterval(firstPhase_);
        work = true;
    } else {
        workPhase_ = true;
        if (secondPhase_ != 0) {
            if (timerRef_) timerRef_->SetInterval(secondPhase_);
        } else {
            work = true;
        }
    }
    if (!work) return;

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
        timerRef_ = form_->Get<ui::Timer>(u"tmrStatus");
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
        if (timerRef_) SetStatusTimer(automation::kFalse);
    });
    timerRef_.reset();
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

// --- Layout -----------------------------------------------------------------------------------

void FMainHalvern::Layout() {
    auto& w = *form_;
    if (w.WindowState() == ui::state::kMinimized) return;
    if (w.Width() < kMinWindow) w.SetWidth(kMinWindow);
    if (w.Height() < kMinWindow) w.SetHeight(kMinWindow);

    auto sta = w.Get(u"staStatusBar");
    if (!m_objMenuTlb) automation::RaiseObjectNotSet(u"MenuToolbar");
    sta->SetVisible(automation::IsTrue(m_objMenuTlb->ShowStatusBar()));
    const float W = w.ClientWidth();
    const float H = w.ClientHeight() - (sta->Visible() ? sta->Height() : 0.0f);

    auto bar = w.Get(u"picVertSplitter");
    auto grab = w.Get(u"imgVertSplitter");
    auto tre = w.Get(u"treActive");
    float s = bar->Left();
    if (s < treeLeftEdge_) s = treeLeftEdge_;
    else if (W - treeLeftEdge_ < s) s = W - treeLeftEdge_;
    s = RoundEven(s);

    grab->Move(s, 0, grab->Width(), H);
    tre->Move(tre->Left(), tre->Top(), s - tre->Left(), H - tre->Top());

    for (auto& frame : w.Array(u"FraWorkspace")) {
        float fw = RoundEven(W - tre->Width() - tre->Left() - grab->Width());
        float fh = RoundEven(H - 2 * tre->Top());
        frame->Move(grab->Left(), tre->Top(), fw < kMinFrame ? kMinFrame : fw, fh < kMinFrame ? kMinFrame : fh);
    }

    auto errorFrame = w.Get(u"FraWorkspace", 3);
    auto err = w.Get(u"lblViewError");
    err->Move(errorFrame->Width() / 2 - err->Width() / 2, errorFrame->Height() / 2 - err->Height() / 2, err->Width(), err->Height());

    if (workspace_)
        if (auto device = std::dynamic_pointer_cast<IQuilletDeviceView>(workspace_->CurrentView())) device->SizeControls();

    ArrangeButtons(0, true);

    auto frame0 = w.Get(u"FraWorkspace", 0);
    auto lvwGroup = w.Get(u"lvwGroup");
    auto lvwTypes = w.Get(u"lvwDeviceTypes");
    auto lbl = w.Get(u"lblGroupDeviceCount");
    if (frame0->Width() - 2 * lvwGroup->Left() > 0) {
        lvwGroup->SetWidth(frame0->Width() - 2 * lvwGroup->Left());
        lvwTypes->SetWidth(lvwGroup->Width());
    }
    if (frame0->Height() - lvwGroup->Top() - lbl->Top() > 0) {
        if (workspace_) {
            lvwGroup->SetTop(kListTopFactor * lbl->Height());
            lvwTypes->SetTop(lvwGroup->Top());
            lvwGroup->SetHeight(frame0->Height() - lvwGroup->Top() - lbl->Top() + kListHeightAllowance);
        }
        lvwTypes->SetHeight(lvwGroup->Height());
    }
}

void FMainHalvern::ArrangeButtons(std::int16_t, bool showHelp) {
    auto& w = *form_;
    auto buttons = w.Get(u"fraButtons");
    buttons->SetBorderStyle(0);
    buttons->SetWidth(kButtonWidth);
    auto devices = w.Array(u"cmdDevice");
    auto bindings = w.Get(u"cmdBindings");
    auto help = w.Get(u"cmdHelp");
    if (!devices.empty() && devices.front()->Index() == 0) devices.front()->SetVisible(false);
    bindings->SetVisible(false);
    help->SetVisible(false);

    float t = kFirstButtonTop;
    for (auto& b : devices) {
        if (b->Index() < 1) continue;
        b->Move(0, t, kButtonWidth, kButtonHeight);
        t += kButtonPitch;
    }
    bindings->Move(0, t, kButtonWidth, kButtonHeight);
    t += kButtonPitch;
    help->Move(0, t, kButtonWidth, kButtonHeight);
    for (auto& b : devices) {
        if (b->Index() < 1) continue;
        b->SetVisible(true);
        b->SetEnabled(true);
    }
    bindings->SetVisible(false);
    bindings->SetEnabled(false);
    help->SetTop(bindings->Top());
    help->SetVisible(showHelp);
}

// --- Splitter ---------------------------------------------------------------------------------

void FMainHalvern::SplitterDown(float) {
    auto grab = form_->Get(u"imgVertSplitter");
    auto bar = form_->Get(u"picVertSplitter");
    bar->Move(grab->Left(), grab->Top(), grab->Width(), grab->Height());
    dragging_ = true;
    bar->SetVisible(true);
}

void FMainHalvern::SplitterMove(float x) {
    if (!dragging_) return;
    auto grab = form_->Get(u"imgVertSplitter");
    auto bar = form_->Get(u"picVertSplitter");
    const float p = grab->Left() + x;
    const float clientWidth = form_->ClientWidth();
    if (p < treeLeftEdge_) bar->SetLeft(treeLeftEdge_);
    else if (clientWidth - treeLeftEdge_ >= p) bar->SetLeft(p);
    else bar->SetLeft(clientWidth - treeLeftEdge_);
}

void FMainHalvern::SplitterUp() {
    Layout();
    dragging_ = false;
    form_->Get(u"picVertSplitter")->SetVisible(false);
}
