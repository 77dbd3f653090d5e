#include "win32/ui/NativePeer.h"

#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "automation/Error.h"
#include "win32/ui/WindowPeer.h"

namespace win32::backend {

bool Live(const ui::Control& c) {
    const ui::Window* form = c.GetKind() == ui::Kind::Window ? static_cast<const ui::Window*>(&c) : c.Form();
    return form && !form->IsUnloaded();
}

std::int16_t ShiftState() {
    std::int16_t s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= 1;
    if (GetKeyState(VK_CONTROL) < 0) s |= 2;
    if (GetKeyState(VK_MENU) < 0) s |= 4;
    return s;
}

std::int16_t ButtonsOf(WPARAM keys) {
    std::int16_t b = 0;
    if (keys & MK_LBUTTON) b |= 1;
    if (keys & MK_RBUTTON) b |= 2;
    if (keys & MK_MBUTTON) b |= 4;
    return b;
}

NativePeer::~NativePeer() { NativePeer::Release(); }

void NativePeer::Release() {
    if (id_) b_.FreeId(std::exchange(id_, 0u));
    if (!hwnd_) return;
    HWND h = std::exchange(hwnd_, nullptr);
    if (!c_.ToolTipText().empty())
        if (auto* form = b_.FormPeer(c_); form && form != this) form->SetToolTip(h, {});
    // Forgotten first: nothing raised while the window goes.
    b_.Unregister(h);
    if (IsWindow(h)) DestroyWindow(h);
}

void NativePeer::WindowGone() {
    if (!hwnd_) return;
    b_.Unregister(hwnd_);
    hwnd_ = nullptr;
}

void NativePeer::MakeChild(const wchar_t* cls, DWORD style, DWORD exStyle, bool ownClass, const wchar_t* text) {
    HWND parent = b_.ParentFor(c_);
    id_ = b_.NewId(this);
    DWORD s = WS_CHILD | WS_CLIPSIBLINGS | style;
    if (c_.Visible()) s |= WS_VISIBLE;
    if (!c_.Enabled()) s |= WS_DISABLED;
    HWND h = CreateWindowExW(exStyle, cls, text ? text : W(c_.Caption()), s, b_.PxX(c_.Left()), b_.PxY(c_.Top()),
                             std::max(0, b_.PxX(c_.Width())), std::max(0, b_.PxY(c_.Height())), parent,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id_)), b_.Module(), ownClass ? this : nullptr);
    if (!h) automation::Raise(automation::code::kFail, u"Cannot create the window of " + c_.Name());
    Bind(h);
    if (!ownClass) {
        b_.Register(h, this);
        if (subclass_) Backend::Subclass(h);
    }
    WindowPeer* form = b_.FormPeer(c_);
    if (form && form->Font()) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(form->Font()), FALSE);
    // Later controls lie over earlier ones, as they were drawn at design time.
    SetWindowPos(h, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | (IsWindowVisible(parent) ? 0 : SWP_DEFERERASE));
    if (auto* container = b_.ContainerPeer(c_)) container->ChildCreated(h);
    if (form && !c_.ToolTipText().empty()) form->SetToolTip(h, c_.ToolTipText());
}

// Layout passes repeat themselves and a moved or shown window costs several round trips to the
// Wine server: what is already so on the screen is left alone. Reading a window's place, style or
// text (without a message) stays inside the process.
void NativePeer::ApplyGeometry() {
    // While its form or container is hidden a control only notes that it moved: the form's layout
    // passes move most controls several times before it first shows, a hosted control is sized one
    // edge at a time, and every move of a list lays out its header again. The places are taken
    // when the form or container shows; a hidden control's own place waits for it to show.
    if (BehindHiddenWindow() || !(GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE)) {
        placePending_ = true;
        return;
    }
    Place();
}

bool NativePeer::BehindHiddenWindow() const {
    const WindowPeer* form = b_.FormPeer(c_);
    if (!form || form == this || !form->Hwnd()) return false;
    HWND parent = GetParent(hwnd_);
    return parent && !IsWindowVisible(parent) && GetAncestor(hwnd_, GA_ROOT) == form->Hwnd();
}

void NativePeer::Place() {
    placePending_ = false;
    const int x = b_.PxX(c_.Left()), y = b_.PxY(c_.Top());
    const int w = std::max(0, b_.PxX(c_.Width())), h = std::max(0, b_.PxY(c_.Height()));
    RECT r{};
    GetWindowRect(hwnd_, &r);
    MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
    if (r.left == x && r.top == y && r.right - r.left == w && r.bottom - r.top == h) return;
    // Behind a hidden parent there is nothing to erase now: all of it is painted when it shows.
    const UINT erase = IsWindowVisible(GetParent(hwnd_)) ? 0 : SWP_DEFERERASE;
    auto token = Token();
    SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE | erase);
    if (!token.expired() && hwnd_) Placed();
}

void NativePeer::ApplyPending() {
    if (placePending_ && hwnd_) Place();
}

void NativePeer::ApplyVisible() {
    const bool shown = (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown == c_.Visible()) return;
    if (c_.Visible()) {
        // What waited, inside it and its own place, is applied while it is still hidden.
        auto token = Token();
        if (WindowPeer* form = b_.FormPeer(c_); form && form != this && ChildParent()) form->PlaceControls(&c_);
        if (token.expired() || !hwnd_) return;
        ApplyPending();
        if (token.expired() || !hwnd_) return;
    }
    ShowWindow(hwnd_, c_.Visible() ? SW_SHOWNA : SW_HIDE);
}

void SetText(HWND h, const automation::BStr& text) {
    std::wstring shown(text.size() + 2, L'\0');
    const int n = InternalGetWindowText(h, shown.data(), static_cast<int>(shown.size()));
    if (n == static_cast<int>(text.size()) && std::wmemcmp(shown.data(), W(text), text.size()) == 0) return;
    SetWindowTextW(h, W(text));
}

void NativePeer::SetStyleBit(DWORD bit, bool on, bool ex) {
    const int which = ex ? GWL_EXSTYLE : GWL_STYLE;
    auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, which));
    DWORD next = on ? (style | bit) : (style & ~bit);
    if (next == style) return;
    SetWindowLongPtrW(hwnd_, which, static_cast<LONG_PTR>(next));
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void NativePeer::Changed(ui::Control& c, ui::Prop p) {
    if (!hwnd_) return;
    switch (p) {
        case ui::Prop::Caption: SetText(hwnd_, c.Caption()); break;
        case ui::Prop::Visible: ApplyVisible(); break;
        case ui::Prop::Enabled: EnableWindow(hwnd_, c.Enabled() ? TRUE : FALSE); break;
        case ui::Prop::Geometry: ApplyGeometry(); break;
        case ui::Prop::TabStop: SetStyleBit(WS_TABSTOP, c.TabStop()); break;
        case ui::Prop::ToolTip:
            if (auto* form = b_.FormPeer(c)) form->SetToolTip(hwnd_, c.ToolTipText());
            break;
        case ui::Prop::Focus: SetFocus(hwnd_); break;
        case ui::Prop::ZOrder: SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); break;
        default: break;
    }
}

bool NativePeer::ReportMouse(UINT msg, WPARAM wp, LPARAM lp) {
    // Most messages are not mouse messages: the key states cost a round trip each under Wine.
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: break;
        case WM_LBUTTONDBLCLK: Fire(c_, c_.DblClick); return true;
        default: return false;
    }
    const float x = b_.TwipsX(GET_X_LPARAM(lp));
    const float y = b_.TwipsY(GET_Y_LPARAM(lp));
    const std::int16_t shift = ShiftState();
    std::int16_t button = 0;
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            button = msg == WM_LBUTTONDOWN ? 1 : msg == WM_RBUTTONDOWN ? 2 : 4;
            SetCapture(hwnd_);
            Fire(c_, c_.MouseDown, button, shift, x, y);
            return true;
        case WM_MOUSEMOVE: Fire(c_, c_.MouseMove, ButtonsOf(wp), shift, x, y); return true;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: {
            button = msg == WM_LBUTTONUP ? 1 : msg == WM_RBUTTONUP ? 2 : 4;
            if (!(wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && GetCapture() == hwnd_) ReleaseCapture();
            // Click follows the release of the left button; only the control is used after MouseUp.
            std::weak_ptr<ui::Control> weak = c_.weak_from_this();
            Fire(c_, c_.MouseUp, button, shift, x, y);
            if (button == 1)
                if (auto c = weak.lock()) Fire(*c, c->Click);
            return true;
        }
        default: return false;
    }
}

}  // namespace win32::backend
