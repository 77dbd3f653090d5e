#include "headless/HeadlessPlatform.h"

#include <algorithm>

#include "automation/ComponentFactory.h"
#include "resources/StringTable.h"
#include "ui/ListView.h"

namespace headless {
namespace {

class HeadlessPeer : public ui::Peer {
public:
    HeadlessPeer(std::weak_ptr<HeadlessPlatform> platform, std::intptr_t handle)
        : platform_(std::move(platform)), handle_(handle) {}
    void Changed(ui::Control& c, ui::Prop p) override {
        if (p == ui::Prop::Enabled || p == ui::Prop::Interval)
            if (auto* t = dynamic_cast<ui::Timer*>(&c))
                if (auto pl = platform_.lock()) pl->Arm(*t);
        // A window's Refresh comes as Visible, a list's as Items; their own counts tell a repaint.
        if (p != ui::Prop::Visible && p != ui::Prop::Items) return;
        auto* w = dynamic_cast<ui::Window*>(&c);
        const auto* l = w ? nullptr : dynamic_cast<const ui::ListView*>(&c);
        const int paints = w ? w->RepaintCount() : l ? l->RefreshCount() : 0;
        const bool painted = paints != paints_;
        paints_ = paints;
        const bool appears = w && p == ui::Prop::Visible && c.Visible() && !shown_;
        if (w && p == ui::Prop::Visible) shown_ = c.Visible();
        auto pl = platform_.lock();
        if (!pl) return;
        // Either call lets messages run, which may end this peer and its control: nothing of
        // either is touched after it.
        if (appears) pl->WindowShown(*w);
        else if (painted) pl->Painted(c);
    }
    std::intptr_t Handle() const override { return handle_; }

private:
    std::weak_ptr<HeadlessPlatform> platform_;
    std::intptr_t handle_;
    bool shown_ = false;
    int paints_ = 0;
};

// Windows-1252 codes 0x80..0x9F. The five unassigned codes stand for the C1 controls of the same
// value, as Windows converts them, so every byte survives a round trip.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

HeadlessPlatform::HeadlessPlatform() = default;
HeadlessPlatform::~HeadlessPlatform() = default;

std::shared_ptr<HeadlessPlatform> HeadlessPlatform::Install() {
    auto p = std::make_shared<HeadlessPlatform>();
    ui::InstallPlatform(p);
    return p;
}

void HeadlessPlatform::Attach(ui::Control& c) {
    // The kind alone does not make the class: a control built by hand may carry any kind.
    auto* hosted = dynamic_cast<ui::HostedControl*>(&c);
    auto* timer = dynamic_cast<ui::Timer*>(&c);
    if (hosted) hosted->SetObject(automation::Components().Create(hosted->ProgId()));
    bool windowed = c.GetKind() == ui::Kind::Window || c.GetKind() == ui::Kind::HostedControl;
    c.SetPeer(std::make_unique<HeadlessPeer>(weak_from_this(), windowed ? nextHandle_ += 4 : 0));
    ++live_;
    if (timer) {
        TimerSlot slot;
        slot.timer = c.weak_from_this();
        slot.raw = timer;
        timers_.push_back(slot);
        Arm(*timer);
    }
}

void HeadlessPlatform::Detach(ui::Control& c) {
    if (live_ > 0) --live_;
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [&](const TimerSlot& s) { return s.raw == &c; }), timers_.end());
    if (auto* hosted = dynamic_cast<ui::HostedControl*>(&c)) hosted->SetObject(nullptr);
    if (activeRaw_ == &c) {
        activeRaw_ = nullptr;
        active_.reset();
    }
}

HeadlessPlatform::TimerSlot* HeadlessPlatform::Slot(const ui::Timer& t) {
    for (auto& s : timers_)
        if (s.raw == &t) return &s;
    return nullptr;
}

void HeadlessPlatform::Arm(ui::Timer& t) {
    if (auto* s = Slot(t)) s->due = (t.Enabled() && t.Interval() > 0) ? now_ + t.Interval() : -1;
}

std::int64_t HeadlessPlatform::NextTick(const ui::Timer& t) const {
    for (auto& s : timers_)
        if (s.raw == &t) return s.due;
    return -1;
}

void HeadlessPlatform::Advance(std::int64_t ms) {
    const std::int64_t target = now_ + ms;
    for (;;) {
        TimerSlot* next = nullptr;
        for (auto& s : timers_)
            if (s.due >= 0 && s.due <= target && (!next || s.due < next->due)) next = &s;
        if (!next) break;
        now_ = std::max(now_, next->due);
        auto timer = next->timer.lock();
        if (!timer) {
            next->due = -1;
            continue;
        }
        auto& t = static_cast<ui::Timer&>(*timer);
        next->due = now_ + t.Interval();
        t.Tick.Raise();
    }
    now_ = std::max(now_, target);
}

void HeadlessPlatform::Post(std::function<void()> message) { posted_.push_back(std::move(message)); }

void HeadlessPlatform::RunPosted() {
    // Only what was waiting when the pump started; messages posted meanwhile wait for the next.
    auto n = posted_.size();
    while (n-- > 0 && !posted_.empty()) {
        auto m = std::move(posted_.front());
        posted_.pop_front();
        m();
    }
}

void HeadlessPlatform::DoEvents() {
    ++doEvents_;
    Pumping(ui::PumpPoint::DoEvents);
    RunPosted();
}

void HeadlessPlatform::WindowShown(ui::Window& w) {
    if (w.IsModal()) return;  // ShowModal tells of its own
    auto keep = std::static_pointer_cast<ui::Window>(w.shared_from_this());
    Pumping(ui::PumpPoint::Show);
    // Showing a top-level window makes it the active one, as on Windows.
    if (w.IsShown() && !w.IsUnloaded()) ActivateWindow(w);
}

std::int32_t HeadlessPlatform::MsgBox(const BStr& text, std::int32_t style, const BStr& title) {
    boxes_.push_back(MessageBoxRecord{text, style, title});
    if (boxHook_) boxHook_(boxes_.back());
    Pumping(ui::PumpPoint::MessageBox);
    if (answers_.empty()) return ui::mb::kOk;
    auto a = answers_.front();
    answers_.pop_front();
    return a;
}

void HeadlessPlatform::EnterWhatsThisMode(ui::Window&) { ++whatsThis_; }

void HeadlessPlatform::Sleep(std::uint32_t ms) {
    sleeps_.push_back(ms);
    if (sleepHook_) sleepHook_(ms);
    Pumping(ui::PumpPoint::Sleep);
    now_ += ms;
}

void HeadlessPlatform::ShowModal(ui::Window& dialog, ui::Window* owner) {
    ++modalCount_;
    auto keep = std::static_pointer_cast<ui::Window>(dialog.shared_from_this());
    std::weak_ptr<ui::Control> ownerRef = owner ? owner->weak_from_this() : std::weak_ptr<ui::Control>{};
    // The dialog takes the activation from its owner while it is up, and gives it back after.
    ActivateWindow(dialog);
    if (!modalScripts_.empty()) {
        auto script = std::move(modalScripts_.front());
        modalScripts_.pop_front();
        script(dialog);
    }
    Pumping(ui::PumpPoint::Modal);
    if (dialog.IsShown() && !dialog.IsUnloaded()) dialog.RequestClose();
    if (auto o = ownerRef.lock()) {
        auto& ownerWindow = static_cast<ui::Window&>(*o);
        if (ownerWindow.IsShown() && !ownerWindow.IsUnloaded()) ActivateWindow(ownerWindow);
    }
}

BStr HeadlessPlatform::LoadResString(std::int32_t id) {
    if (const char16_t* s = resources::FindString(id)) return s;
    automation::Raise(automation::code::kResourceNotFound,
                      u"Resource with identifier '" + automation::DecimalText(id) + u"' not found");
}

std::int32_t HeadlessPlatform::AnsiCode(char16_t c) const {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c) return 0x80 + i;
    return '?';
}

char16_t HeadlessPlatform::AnsiChar(std::uint8_t code) const {
    if (code >= 0x80 && code <= 0x9F) return kCp1252High[code - 0x80];
    return code;
}

void HeadlessPlatform::ActivateWindow(ui::Window& w) {
    if (activeRaw_ == &w) return;
    auto prev = active_.lock();
    activeRaw_ = &w;
    active_ = w.weak_from_this();
    if (prev) static_cast<ui::Window&>(*prev).Deactivate.Raise();
    w.Activate.Raise();
}

void HeadlessPlatform::CloseWindow(ui::Window& w) { w.RequestClose(); }

}  // namespace headless
