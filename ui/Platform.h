#pragma once
// What the system asks of the platform besides its controls: message boxes, help, waiting,
// letting pending messages run, the screen, resources, modal display and text in the ANSI code page.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "automation/Types.h"

namespace ui {

using automation::BStr;
class Control;
class Window;

namespace mb {
inline constexpr std::int32_t kOkOnly = 0;
inline constexpr std::int32_t kCritical = 16;
inline constexpr std::int32_t kQuestion = 32;
inline constexpr std::int32_t kExclamation = 48;
inline constexpr std::int32_t kInformation = 64;
inline constexpr std::int32_t kOk = 1;  // answer of the OK button
}  // namespace mb

namespace help {
inline constexpr std::uint32_t kHtmlDisplayToc = 1;  // HH_DISPLAY_TOC
inline constexpr std::uint32_t kWinHelpTab = 15;     // HELP_TAB
}  // namespace help

// Where the platform lets window messages run: letting pending messages run, a window being
// shown (and activated), a modal dialog or message box, a wait. Handlers of this component and
// of the host run there, so the window, a controller or the host object may have gone when the
// call returns.
enum class PumpPoint { DoEvents, Show, Modal, MessageBox, Sleep };
const char* PumpPointName(PumpPoint p);

// One call of the 8-bit help APIs.
struct HelpCall {
    bool html = false;  // HtmlHelpA, else WinHelpA
    std::intptr_t window = 0;
    std::string file;
    std::uint32_t command = 0;
    std::uintptr_t data = 0;
};

// Title of message boxes that name none.
inline constexpr char16_t kDefaultTitle[] = u"LNSQuilletVexaProxy";

class Platform {
public:
    virtual ~Platform() = default;

    // A new control: give it its platform side. May raise (a hosted control whose ProgID names
    // nothing that can be created).
    virtual void Attach(Control& c) = 0;
    // The control is about to go: undo Attach.
    virtual void Detach(Control& c) = 0;

    virtual std::int32_t MsgBox(const BStr& text, std::int32_t style, const BStr& title) = 0;
    void HtmlHelpA(std::intptr_t hwnd, const std::string& file, std::uint32_t command, std::uintptr_t data) {
        Help(HelpCall{true, hwnd, file, command, data});
    }
    void WinHelpA(std::intptr_t hwnd, const std::string& file, std::uint32_t command, std::uintptr_t data) {
        Help(HelpCall{false, hwnd, file, command, data});
    }
    virtual void Help(const HelpCall& call) = 0;
    virtual void EnterWhatsThisMode(Window& w) = 0;

    // Blocks the thread; no timer fires meanwhile.
    virtual void Sleep(std::uint32_t ms) = 0;
    // Runs the window messages that are waiting, then returns.
    virtual void DoEvents() = 0;
    // Shows the dialog modally (the model already counts it as visible; the platform makes it so
    // once the owner is disabled); returns once it is hidden or unloaded.
    virtual void ShowModal(Window& dialog, Window* owner) = 0;
    virtual void SetMousePointer(std::int16_t pointer) = 0;

    virtual float ScreenWidth() const = 0;   // twips
    virtual float ScreenHeight() const = 0;  // twips

    // A string-table entry; an id without entry is a "Resource not found" error.
    virtual BStr LoadResString(std::int32_t id) = 0;
    // The ANSI code of a character in the system code page (may exceed 255 in a multi-byte one),
    // and the character of a one-byte code.
    virtual std::int32_t AnsiCode(char16_t c) const = 0;
    virtual char16_t AnsiChar(std::uint8_t code) const = 0;

    // Told at every point where messages run, before they do (tests close windows there).
    using PumpObserver = std::function<void(PumpPoint)>;
    void ObservePumps(PumpObserver observer) { pumpObserver_ = std::move(observer); }

protected:
    // Backends call this wherever they let messages run.
    void Pumping(PumpPoint where) {
        if (pumpObserver_) {
            auto observer = pumpObserver_;  // the observer may replace itself
            observer(where);
        }
    }

private:
    PumpObserver pumpObserver_;
};

// The platform the system runs on, installed once by the backend in use.
Platform& CurrentPlatform();
void InstallPlatform(std::shared_ptr<Platform> platform);
std::shared_ptr<Platform> InstalledPlatform();

// Text in the ANSI code page, as passed to the 8-bit help calls.
std::string ToAnsi(const BStr& text);

}  // namespace ui
