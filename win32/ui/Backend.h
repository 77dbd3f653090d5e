#pragma once
// The Win32 platform behind ui::Platform: the window classes, the table of peers by window handle
// and by command id, the hidden window that carries the timers, activation bookkeeping and the
// platform services (message boxes, help, waiting, the message pump, modal display, resources).
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ui/Platform.h"
#include "ui/Window.h"
#include "win32/ui/GdiObject.h"

namespace win32::backend {

class NativePeer;
class WindowPeer;

inline constexpr wchar_t kFormClass[] = L"QuilletVexaForm";
inline constexpr wchar_t kContainerClass[] = L"QuilletVexaContainer";
inline constexpr wchar_t kGrabClass[] = L"QuilletVexaGrab";
inline constexpr wchar_t kMessageClass[] = L"QuilletVexaMessages";

// Automation strings are UTF-16, as wide strings are on Windows.
inline const wchar_t* W(const automation::BStr& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline automation::BStr FromW(const wchar_t* s, std::size_t n) {
    return automation::BStr(reinterpret_cast<const char16_t*>(s), n);
}
automation::BStr WindowText(HWND h);

class Backend final : public ui::Platform {
public:
    explicit Backend(HINSTANCE module);
    ~Backend() override;
    Backend(const Backend&) = delete;
    Backend& operator=(const Backend&) = delete;

    // The one backend of the process, or nullptr.
    static Backend* Current();

    // ui::Platform
    void Attach(ui::Control& c) override;
    void Detach(ui::Control& c) override;
    std::int32_t MsgBox(const automation::BStr& text, std::int32_t style, const automation::BStr& title) override;
    void Help(const ui::HelpCall& call) override;
    void EnterWhatsThisMode(ui::Window& w) override;
    void Sleep(std::uint32_t ms) override;
    void DoEvents() override;
    void ShowModal(ui::Window& dialog, ui::Window* owner) override;
    void SetMousePointer(std::int16_t pointer) override;
    float ScreenWidth() const override;
    float ScreenHeight() const override;
    automation::BStr LoadResString(std::int32_t id) override;
    std::int32_t AnsiCode(char16_t c) const override;
    char16_t AnsiChar(std::uint8_t code) const override;

    HINSTANCE Module() const { return module_; }
    // The icon resource `id` at the system's large or small icon size, loaded once and kept for
    // the life of the backend: a form's icon is set at every load of the form.
    HICON Icon(int id, bool small);

    // Twips <-> pixels of the screen (1440 twips an inch).
    int PxX(float twips) const;
    int PxY(float twips) const;
    float TwipsX(int px) const;
    float TwipsY(int px) const;

    // Peers by window handle and by command id (child controls, menu items, timers).
    void Register(HWND h, NativePeer* p);
    void Unregister(HWND h);
    NativePeer* Lookup(HWND h) const;
    UINT NewId(NativePeer* p);
    void FreeId(UINT id);
    NativePeer* LookupId(UINT id) const;

    // The window a control's platform window goes into, and the peer of its form.
    HWND ParentFor(const ui::Control& c);
    NativePeer* ContainerPeer(const ui::Control& c) const;
    WindowPeer* FormPeer(const ui::Control& c) const;

    // Timers live on the hidden message window, keyed by the timer peer's id.
    HWND MessageWindow() const { return messages_; }

    // A form became the active window: the previous one is deactivated first.
    void Activated(ui::Window& w);
    // A form is about to be shown: the host's windows hear of it first.
    void Showing() { Pumping(ui::PumpPoint::Show); }
    // The window no longer shows modally: its owner is enabled again.
    void EndModal(HWND dialog);
    // Whether the keys reaching a form or its children are checked against its menu shortcuts.
    // The host runs the message loop: a hook on the form's thread sees each key before the host
    // dispatches it, while any form of that thread has shortcuts.
    void WatchShortcuts(HWND form, bool watch);

    static LRESULT CALLBACK OwnProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK SubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    // Routes the messages that any of our parent windows receives from its children.
    static bool RouteFromChild(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    static bool Handle(Backend* b, NativePeer* peer, bool routeWithoutPeer, HWND h, UINT msg, WPARAM wp, LPARAM lp,
                       LRESULT& result);
    // Makes a system-class window report to its peer (and forget it when it goes).
    static void Subclass(HWND h);

private:
    static LRESULT CALLBACK MessageProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK KeyHook(int code, WPARAM wp, LPARAM lp);
    void RegisterClasses();
    HWND Parking();

    struct Modal {
        HWND dialog;
        HWND owner;
        bool disabledOwner;
    };

    HINSTANCE module_;
    int dpiX_ = 96, dpiY_ = 96;
    HWND messages_ = nullptr;
    HWND parking_ = nullptr;
    std::unordered_map<HWND, NativePeer*> peers_;
    std::unordered_map<UINT, NativePeer*> ids_;
    UINT nextId_ = 0;
    std::weak_ptr<ui::Control> active_;
    std::vector<Modal> modal_;
    std::unordered_map<HWND, DWORD> shortcutForms_;  // forms with shortcuts, by their thread
    std::unordered_map<DWORD, HHOOK> keyHooks_;      // one hook per thread with such forms
    HCURSOR cursor_ = nullptr;
    HMODULE hhctrl_ = nullptr;
    std::map<std::pair<int, bool>, GdiObject> icons_;
    bool hhctrlTried_ = false;
};

}  // namespace win32::backend
