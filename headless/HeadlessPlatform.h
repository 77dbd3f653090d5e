#pragma once
// The in-memory platform: every control keeps its state in the model, timers run on a virtual
// clock that the caller advances, message boxes are answered from a script and recorded, help
// calls and waits are recorded, and posted messages wait in a queue for the pump.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Platform.h"
#include "ui/Window.h"

namespace headless {

using automation::BStr;

struct MessageBoxRecord {
    BStr text;
    std::int32_t style = 0;
    BStr title;
};

using ui::HelpCall;

class HeadlessPlatform : public ui::Platform, public std::enable_shared_from_this<HeadlessPlatform> {
public:
    HeadlessPlatform();
    ~HeadlessPlatform() override;

    // Creates a platform and installs it as the current one.
    static std::shared_ptr<HeadlessPlatform> Install();

    // ui::Platform
    void Attach(ui::Control& c) override;
    void Detach(ui::Control& c) override;
    std::int32_t MsgBox(const BStr& text, std::int32_t style, const BStr& title) override;
    void Help(const HelpCall& call) override { helpCalls_.push_back(call); }
    void EnterWhatsThisMode(ui::Window& w) override;
    void Sleep(std::uint32_t ms) override;
    void DoEvents() override;
    void ShowModal(ui::Window& dialog, ui::Window* owner) override;
    void SetMousePointer(std::int16_t pointer) override { mousePointer_ = pointer; }
    float ScreenWidth() const override { return screenWidth_; }
    float ScreenHeight() const override { return screenHeight_; }
    BStr LoadResString(std::int32_t id) override;
    std::int32_t AnsiCode(char16_t c) const override;
    char16_t AnsiChar(std::uint8_t code) const override;

    // The virtual clock, in ms since the platform was made.
    std::int64_t Now() const { return now_; }
    // Moves the clock forward, firing each timer that comes due, in time order. A handler that
    // sleeps moves the clock further; ticks missed meanwhile come once, as WM_TIMER does.
    void Advance(std::int64_t ms);
    // When the timer will tick next, or -1 when it is stopped.
    std::int64_t NextTick(const ui::Timer& t) const;

    // Posted messages: run by the next DoEvents (or RunPosted).
    void Post(std::function<void()> message);
    void RunPosted();
    std::size_t PendingMessages() const { return posted_.size(); }
    int DoEventsCount() const { return doEvents_; }

    // Message boxes: answers are taken in order; with none left the answer is OK. A hook runs
    // while the box is "open".
    void QueueAnswer(std::int32_t answer) { answers_.push_back(answer); }
    void OnMessageBox(std::function<void(const MessageBoxRecord&)> hook) { boxHook_ = std::move(hook); }
    const std::vector<MessageBoxRecord>& MessageBoxes() const { return boxes_; }

    // Modal dialogs: each ShowModal activates the dialog, runs the next script while it is up,
    // then, if the script left it showing, closes it as the window frame's close button would
    // (Unload request), and activates the owner again. Show activates a top-level window too.
    void QueueModal(std::function<void(ui::Window&)> script) { modalScripts_.push_back(std::move(script)); }
    int ModalCount() const { return modalCount_; }

    const std::vector<HelpCall>& HelpCalls() const { return helpCalls_; }
    const std::vector<std::uint32_t>& Sleeps() const { return sleeps_; }
    // Runs at the start of every Sleep, before the clock moves (what the window shows while blocked).
    void OnSleep(std::function<void(std::uint32_t)> hook) { sleepHook_ = std::move(hook); }
    // Runs at every repaint of a shown window or of a list (what the user sees at that moment).
    void OnPaint(std::function<void(const ui::Control&)> hook) { paintHook_ = std::move(hook); }
    int WhatsThisCount() const { return whatsThis_; }
    std::int16_t MousePointer() const { return mousePointer_; }

    void SetScreen(float widthTwips, float heightTwips) {
        screenWidth_ = widthTwips;
        screenHeight_ = heightTwips;
    }

    // Makes a window the active one: the previous active window is deactivated first.
    void ActivateWindow(ui::Window& w);
    // The user closes a window through its frame.
    void CloseWindow(ui::Window& w);

    // Used by the peers: a timer changed; a window became visible.
    void Arm(ui::Timer& t);
    void WindowShown(ui::Window& w);
    void Painted(const ui::Control& c) {
        if (paintHook_) paintHook_(c);
    }

    // How many windows and controls have a platform side now.
    std::size_t LiveControls() const { return live_; }

private:
    struct TimerSlot {
        std::weak_ptr<ui::Control> timer;
        ui::Timer* raw = nullptr;
        std::int64_t due = -1;
    };
    TimerSlot* Slot(const ui::Timer& t);
    std::int64_t now_ = 0;
    std::vector<TimerSlot> timers_;
    std::deque<std::function<void()>> posted_;
    std::deque<std::int32_t> answers_;
    std::function<void(const MessageBoxRecord&)> boxHook_;
    std::vector<MessageBoxRecord> boxes_;
    std::deque<std::function<void(ui::Window&)>> modalScripts_;
    std::vector<HelpCall> helpCalls_;
    std::vector<std::uint32_t> sleeps_;
    std::function<void(std::uint32_t)> sleepHook_;
    std::function<void(const ui::Control&)> paintHook_;
    std::weak_ptr<ui::Control> active_;
    ui::Window* activeRaw_ = nullptr;
    float screenWidth_ = 1024 * 15.0f, screenHeight_ = 768 * 15.0f;
    std::intptr_t nextHandle_ = 0x10010;
    std::size_t live_ = 0;
    int doEvents_ = 0, modalCount_ = 0, whatsThis_ = 0;
    std::int16_t mousePointer_ = 0;
};

}  // namespace headless
