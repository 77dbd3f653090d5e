#include "mainwindow/CMainLayout.h"

#include <cmath>

namespace {
constexpr float kMinWindow = 2400;
constexpr float kMinFrame = 2000;
constexpr float kButtonWidth = 1485;
constexpr float kButtonHeight = 375;
constexpr float kFirstButtonTop = 450;
constexpr float kButtonPitch = 520;
constexpr float kListTopFactor = 2.5f;
constexpr float kListHeightAllowance = 200;

// Rounding as the automation runtime does it: to the nearest integer, ties to even.
float RoundEven(float v) { return std::nearbyint(v); }
}  // namespace

void CMainLayout::Arrange(bool showStatusBar, const std::shared_ptr<IQuilletDeviceView>& deviceView, bool haveWorkspace) {
    auto& w = w_;
    if (w.WindowState() == ui::state::kMinimized) return;
    if (w.Width() < kMinWindow) w.SetWidth(kMinWindow);
    if (w.Height() < kMinWindow) w.SetHeight(kMinWindow);

    auto& sta = *c_.staStatusBar;
    sta.SetVisible(showStatusBar);
    const float W = w.ClientWidth();
    const float H = w.ClientHeight() - (sta.Visible() ? sta.Height() : 0.0f);

    auto& bar = *c_.picVertSplitter;
    auto& grab = *c_.imgVertSplitter;
    auto& tre = *c_.treActive;
    float s = bar.Left();
    if (s < treeLeftEdge_) s = treeLeftEdge_;
    else if (W - treeLeftEdge_ < s) s = W - treeLeftEdge_;
    s = RoundEven(s);

    grab.Move(s, 0, grab.Width(), H);
    tre.Move(tre.Left(), tre.Top(), s - tre.Left(), H - tre.Top());

    for (auto& frame : c_.FraWorkspace) {
        float fw = RoundEven(W - tre.Width() - tre.Left() - grab.Width());
        float fh = RoundEven(H - 2 * tre.Top());
        frame->Move(grab.Left(), tre.Top(), fw < kMinFrame ? kMinFrame : fw, fh < kMinFrame ? kMinFrame : fh);
    }

    auto& errorFrame = *c_.FraWorkspace[3];
    auto& err = *c_.lblViewError;
    err.Move(errorFrame.Width() / 2 - err.Width() / 2, errorFrame.Height() / 2 - err.Height() / 2, err.Width(), err.Height());

    if (deviceView) deviceView->SizeControls();

    ArrangeButtons(true);

    auto& frame0 = *c_.FraWorkspace[0];
    auto& lvwGroup = *c_.lvwGroup;
    auto& lvwTypes = *c_.lvwDeviceTypes;
    auto& lbl = *c_.lblGroupDeviceCount;
    // Each list is placed in one move: every move of a list lays out its header again.
    float groupWidth = lvwGroup.Width(), typesWidth = lvwTypes.Width();
    if (frame0.Width() - 2 * lvwGroup.Left() > 0) groupWidth = typesWidth = frame0.Width() - 2 * lvwGroup.Left();
    float groupTop = lvwGroup.Top(), typesTop = lvwTypes.Top();
    float groupHeight = lvwGroup.Height(), typesHeight = lvwTypes.Height();
    if (frame0.Height() - lvwGroup.Top() - lbl.Top() > 0) {
        if (haveWorkspace) {
            groupTop = typesTop = kListTopFactor * lbl.Height();
            groupHeight = frame0.Height() - groupTop - lbl.Top() + kListHeightAllowance;
        }
        typesHeight = groupHeight;
    }
    lvwGroup.Move(lvwGroup.Left(), groupTop, groupWidth, groupHeight);
    lvwTypes.Move(lvwTypes.Left(), typesTop, typesWidth, typesHeight);
}

void CMainLayout::ArrangeButtons(bool showHelp) {
    auto& buttons = *c_.fraButtons;
    buttons.SetBorderStyle(0);
    buttons.SetWidth(kButtonWidth);
    // The feature buttons are loaded at run time: the array is looked up as it stands now.
    auto devices = w_.Array(u"cmdDevice");
    auto& bindings = *c_.cmdBindings;
    auto& help = *c_.cmdHelp;
    if (!devices.empty() && devices.front()->Index() == 0) devices.front()->SetVisible(false);
    bindings.SetVisible(false);
    bindings.SetEnabled(false);

    // Every control goes straight to where it ends: a button hidden and shown again, or moved
    // twice, is painted twice.
    float t = kFirstButtonTop;
    for (auto& b : devices) {
        if (b->Index() < 1) continue;
        b->Move(0, t, kButtonWidth, kButtonHeight);
        b->SetVisible(true);
        b->SetEnabled(true);
        t += kButtonPitch;
    }
    bindings.Move(0, t, kButtonWidth, kButtonHeight);
    // Help takes the place of the hidden Bindings button.
    help.Move(0, t, kButtonWidth, kButtonHeight);
    help.SetVisible(showHelp);
}

void CMainLayout::SplitterDown() {
    auto& grab = *c_.imgVertSplitter;
    auto& bar = *c_.picVertSplitter;
    bar.Move(grab.Left(), grab.Top(), grab.Width(), grab.Height());
    dragging_ = true;
    bar.SetVisible(true);
}

void CMainLayout::SplitterMove(float x) {
    if (!dragging_) return;
    auto& bar = *c_.picVertSplitter;
    const float p = c_.imgVertSplitter->Left() + x;
    const float clientWidth = w_.ClientWidth();
    if (p < treeLeftEdge_) bar.SetLeft(treeLeftEdge_);
    else if (clientWidth - treeLeftEdge_ >= p) bar.SetLeft(p);
    else bar.SetLeft(clientWidth - treeLeftEdge_);
}
