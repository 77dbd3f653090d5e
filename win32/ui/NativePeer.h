#pragma once
// The peer of one control: makes the control's platform window (or timer, image list, menu
// entry), mirrors the model's changes onto it and raises the model's events for user actions.
//
// A handler of those events may unload the window, and with it destroy this peer, while the
// peer is still inside its own message handling: raising an event is always the last thing a
// handler does, and it holds the control alive meanwhile.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <utility>

#include "ui/Window.h"
#include "win32/ui/Backend.h"

namespace win32::backend {

// Whether the control's window still takes events (loaded, not unloaded).
bool Live(const ui::Control& c);

template <class Ev, class... A>
void Fire(ui::Control& c, Ev& ev, A&&... args) {
    if (!Live(c)) return;
    auto keep = c.weak_from_this().lock();
    ev.Raise(std::forward<A>(args)...);
}

// Sets the window's text unless it shows that text already.
void SetText(HWND h, const automation::BStr& text);

// VB mouse button and shift codes from a mouse message.
std::int16_t ShiftState();
std::int16_t ButtonsOf(WPARAM keys);

class NativePeer : public ui::Peer {
public:
    NativePeer(Backend& b, ui::Control& c) : b_(b), c_(c) {}
    ~NativePeer() override;
    NativePeer(const NativePeer&) = delete;
    NativePeer& operator=(const NativePeer&) = delete;

    std::intptr_t Handle() const override { return reinterpret_cast<std::intptr_t>(hwnd_); }
    void Changed(ui::Control& c, ui::Prop p) override;

    HWND Hwnd() const { return hwnd_; }
    ui::Control& Model() const { return c_; }
    UINT Id() const { return id_; }

    // Makes the platform side from the model's current state. May raise.
    virtual void Create() = 0;
    // The control holds the peer now.
    virtual void Attached() {}
    // Undoes Create; safe to call twice.
    virtual void Release();
    // The window this control's children go into; null for controls that hold none.
    virtual HWND ChildParent() const { return nullptr; }
    virtual void ChildCreated(HWND) {}

    // Messages to the peer's own window (all of them for our classes, those the subclass sees
    // for system classes). Return true when handled, with the result.
    virtual bool OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }
    // WM_COMMAND notifications and WM_NOTIFY from this control, as its parent receives them.
    virtual void OnCommand(WORD) {}
    virtual bool OnNotify(NMHDR&, LRESULT&) { return false; }
    // The form's client area changed size.
    virtual void ParentResized() {}
    // The form is about to show: what was noted while it was hidden is applied now.
    virtual void ApplyPending();

    // The window was created for this peer (set before its first message is handled).
    void Bind(HWND h) {
        if (!hwnd_) hwnd_ = h;
    }
    // The platform destroyed the window (its parent went first).
    void WindowGone();

protected:
    // Creates the child window at the model's place; ownClass windows get the peer at creation.
    void MakeChild(const wchar_t* cls, DWORD style, DWORD exStyle, bool ownClass, const wchar_t* text = nullptr);
    void ApplyGeometry();
    void Place();
    // Whether the control's window lies behind a hidden one of its form (the form itself or a
    // container): changes it makes then may wait for that to show.
    bool BehindHiddenWindow() const;
    // The window went to the model's place (sized: what lies inside follows).
    virtual void Placed() {}
    void ApplyVisible();
    void SetStyleBit(DWORD bit, bool on, bool ex = false);
    // Reports a mouse message as MouseDown/MouseMove/MouseUp in twips; true when it was one.
    bool ReportMouse(UINT msg, WPARAM wp, LPARAM lp);

    // Expires when the peer goes: checked after a call that may run handlers of the model.
    std::weak_ptr<int> Token() const { return token_; }

    Backend& b_;
    ui::Control& c_;
    HWND hwnd_ = nullptr;
    UINT id_ = 0;
    bool subclass_ = true;  // system-class windows report their messages to the peer
    bool placePending_ = false;

private:
    std::shared_ptr<int> token_ = std::make_shared<int>(0);
};

class GdiObject;
// The platform image list of an image-list control, shared with the controls that draw from it
// so that it outlives them whatever order they go in; null when it has none.
std::shared_ptr<GdiObject> SharedImages(const std::shared_ptr<ui::ImageList>& images);

std::unique_ptr<NativePeer> MakePeer(Backend& b, ui::Control& c);
// The peers of the control classes that have files of their own.
std::unique_ptr<NativePeer> MakeTypedPeer(Backend& b, ui::Window& w);
std::unique_ptr<NativePeer> MakeTypedPeer(Backend& b, ui::ListView& l);
std::unique_ptr<NativePeer> MakeTypedPeer(Backend& b, ui::TreeView& t);
std::unique_ptr<NativePeer> MakeTypedPeer(Backend& b, ui::HostedControl& h);

}  // namespace win32::backend
