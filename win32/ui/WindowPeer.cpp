#include "win32/ui/WindowPeer.h"

#include <algorithm>
#include <set>
#include <vector>

#include "automation/Error.h"

namespace win32::backend {
namespace {

// A menu shortcut as a menu shows it ("F5", "Ctrl+S", "Shift+Del", "Alt+Bksp"): its virtual key
// and modifiers; false for a text that names no key.
bool ParseShortcut(const automation::BStr& text, WORD& key, BYTE& modifiers) {
    automation::BStr rest = automation::UpperAscii(text);
    modifiers = 0;
    for (;;) {
        const auto plus = rest.find(u'+');
        if (plus == automation::BStr::npos || plus + 1 == rest.size()) break;
        const auto word = rest.substr(0, plus);
        if (word == u"CTRL") modifiers |= FCONTROL;
        else if (word == u"SHIFT") modifiers |= FSHIFT;
        else if (word == u"ALT") modifiers |= FALT;
        else return false;
        rest.erase(0, plus + 1);
    }
    key = 0;
    if (rest.size() == 1 && ((rest[0] >= u'A' && rest[0] <= u'Z') || (rest[0] >= u'0' && rest[0] <= u'9'))) {
        key = static_cast<WORD>(rest[0]);
    } else if (rest.size() >= 2 && rest.size() <= 3 && rest[0] == u'F') {
        int n = 0;
        for (std::size_t i = 1; i < rest.size(); ++i) {
            if (rest[i] < u'0' || rest[i] > u'9') return false;
            n = n * 10 + (rest[i] - u'0');
        }
        if (n < 1 || n > 24) return false;
        key = static_cast<WORD>(VK_F1 + n - 1);
    } else if (rest == u"DEL" || rest == u"DELETE") {
        key = VK_DELETE;
    } else if (rest == u"INS" || rest == u"INSERT") {
        key = VK_INSERT;
    } else if (rest == u"BKSP" || rest == u"BACKSPACE") {
        key = VK_BACK;
    }
    return key != 0;
}

}  // namespace

std::unique_ptr<NativePeer> MakeTypedPeer(Backend& b, ui::Window& w) { return std::make_unique<WindowPeer>(b, w); }

WindowPeer::~WindowPeer() { WindowPeer::Release(); }

void WindowPeer::Create() {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0))
        font_ = GdiObject(GdiObject::Type::Font, CreateFontIndirectW(&ncm.lfMessageFont));
    if (!font_) {
        LOGFONTW lf{};
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
        font_ = GdiObject(GdiObject::Type::Font, CreateFontIndirectW(&lf));
    }
    auto& f = Form();
    HWND h = CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, W(f.Caption()), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                             b_.PxX(f.Left()), b_.PxY(f.Top()), std::max(0, b_.PxX(f.Width())), std::max(0, b_.PxY(f.Height())),
                             nullptr, nullptr, b_.Module(), static_cast<NativePeer*>(this));
    if (!h) automation::Raise(automation::code::kFail, u"Cannot create the window " + f.Name());
    if (f.IconId()) ApplyIcon();
    if (!f.Enabled()) EnableWindow(hwnd_, FALSE);
    if (f.Visible()) ApplyFormVisible();
}

void WindowPeer::Release() {
    if (hwnd_) {
        b_.EndModal(hwnd_);
        if (tooltip_) DestroyWindow(std::exchange(tooltip_, nullptr));
        shortcuts_.clear();
        b_.WatchShortcuts(hwnd_, false);
        NativePeer::Release();  // the menu bar goes with the window
    }
    // Only once the window and its controls are gone: they drew with it.
    font_.Reset();
}

bool WindowPeer::ClientSize(float& width, float& height) const {
    if (!hwnd_) return false;
    // The menu bar takes its height from the client area: a pending one is built first, on the
    // window at its pending place.
    const_cast<WindowPeer*>(this)->PlaceForm();
    if (!hwnd_) return false;
    if (menusDirty_) const_cast<WindowPeer*>(this)->BuildMenus(nullptr);
    if (!hwnd_) return false;
    RECT rc;
    if (!GetClientRect(hwnd_, &rc)) return false;
    width = b_.TwipsX(rc.right - rc.left);
    height = b_.TwipsY(rc.bottom - rc.top);
    return true;
}

void WindowPeer::Changed(ui::Control& c, ui::Prop p) {
    if (!hwnd_) return;
    switch (p) {
        case ui::Prop::Caption: SetText(hwnd_, c.Caption()); break;
        case ui::Prop::Visible: ApplyFormVisible(); break;
        case ui::Prop::Geometry: ApplyFormGeometry(); break;
        case ui::Prop::WindowState: ApplyState(); break;
        case ui::Prop::Icon: ApplyIcon(); break;
        case ui::Prop::Enabled: EnableWindow(hwnd_, c.Enabled() ? TRUE : FALSE); break;
        case ui::Prop::Focus: SetActiveWindow(hwnd_); break;
        default: break;
    }
}

bool WindowPeer::PixelsDiffer() const {
    RECT r;
    GetWindowRect(hwnd_, &r);
    const auto& f = Form();
    return r.left != b_.PxX(f.Left()) || r.top != b_.PxY(f.Top()) || r.right - r.left != b_.PxX(f.Width()) ||
           r.bottom - r.top != b_.PxY(f.Height());
}

void WindowPeer::ApplyFormGeometry() {
    // A hidden window only notes its new place until someone needs it (its client size, its
    // showing): a form is placed at design time and again from its saved placement before it
    // shows, and each move of a top-level window is a trip to the X server as well.
    if (!IsWindowVisible(hwnd_) && !IsIconic(hwnd_) && !IsZoomed(hwnd_)) {
        formPlacePending_ = true;
        return;
    }
    formPlacePending_ = true;
    PlaceForm();
}

void WindowPeer::PlaceForm() {
    if (!formPlacePending_ || !hwnd_) return;
    formPlacePending_ = false;
    const auto& f = Form();
    RECT r{b_.PxX(f.Left()), b_.PxY(f.Top()), 0, 0};
    r.right = r.left + std::max(0, b_.PxX(f.Width()));
    r.bottom = r.top + std::max(0, b_.PxY(f.Height()));
    auto token = Token();
    applying_ = true;
    if (IsIconic(hwnd_) || IsZoomed(hwnd_)) {
        // The restored placement changes; the minimized or maximized window stays as it is.
        WINDOWPLACEMENT wp{};
        wp.length = sizeof(wp);
        GetWindowPlacement(hwnd_, &wp);
        wp.rcNormalPosition = r;
        if (!IsWindowVisible(hwnd_)) wp.showCmd = SW_HIDE;
        SetWindowPlacement(hwnd_, &wp);
    } else {
        SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (token.expired()) return;
    applying_ = false;
}

void WindowPeer::ApplyFormVisible() {
    auto& f = Form();
    if (!f.Visible()) {
        if (IsWindowVisible(hwnd_)) {
            b_.EndModal(hwnd_);
            ShowWindow(hwnd_, SW_HIDE);
        }
        return;
    }
    if (menusDirty_) {
        auto token = Token();
        BuildMenus(nullptr);
        if (token.expired() || !hwnd_) return;
    }
    if (IsWindowVisible(hwnd_)) {
        // Showing what already shows is the model's Refresh: what waits to be painted is painted
        // now. A display refreshes several times while it opens; painting all of it again each
        // time costs dozens of round trips to the Wine server and shows nothing new.
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASENOW | RDW_UPDATENOW | RDW_ALLCHILDREN);
        return;
    }
    {
        auto token = Token();
        PlaceForm();
        if (token.expired() || !hwnd_) return;
    }
    if (!shownOnce_) {
        shownOnce_ = true;
        // A window never placed by the model opens in the middle of the screen.
        if (f.Left() == 0 && f.Top() == 0) {
            autoPlaced_ = true;
            CenterOver(nullptr);
        }
    }
    const int state = f.WindowState();
    const int cmd = state == ui::state::kMinimized   ? SW_SHOWMINIMIZED
                    : state == ui::state::kMaximized ? SW_SHOWMAXIMIZED
                                                     : SW_SHOW;
    auto token = Token();
    if (!f.IsModal()) b_.Showing();
    if (token.expired() || !Live(f)) return;
    ShowWindow(hwnd_, cmd);  // activation runs the model's handlers
    if (token.expired() || !Live(f)) return;
    if (state != ui::state::kMinimized && PixelsDiffer()) SizedByPlatform(SIZE_RESTORED);
}

void WindowPeer::ApplyState() {
    auto& f = Form();
    if (!IsWindowVisible(hwnd_)) return;  // applied when the window is shown
    const int state = f.WindowState();
    const int cmd = state == ui::state::kMinimized ? SW_MINIMIZE : state == ui::state::kMaximized ? SW_MAXIMIZE : SW_RESTORE;
    auto token = Token();
    applying_ = true;
    ShowWindow(hwnd_, cmd);
    if (token.expired()) return;
    applying_ = false;
    if (state == ui::state::kMaximized && PixelsDiffer()) {
        RECT r;
        GetWindowRect(hwnd_, &r);
        f.SetGeometryFromPlatform(b_.TwipsX(r.left), b_.TwipsY(r.top), b_.TwipsX(r.right - r.left), b_.TwipsY(r.bottom - r.top));
    }
}

void WindowPeer::ApplyIcon() {
    // The backend keeps the icons: loading them anew costs dozens of round trips at every load.
    const int id = Form().IconId();
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(id > 0 ? b_.Icon(id, false) : nullptr));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(id > 0 ? b_.Icon(id, true) : nullptr));
}

bool WindowPeer::PlacedByModel() const {
    if (autoPlaced_) return false;
    const auto& f = Form();
    return shownOnce_ || f.Left() != 0 || f.Top() != 0;
}

void WindowPeer::CenterOver(HWND other) {
    auto token = Token();
    PlaceForm();
    if (token.expired() || !hwnd_) return;
    if (other && PlacedByModel()) return;
    // Placed here before it first shows: showing it must not place it again.
    if (!shownOnce_) shownOnce_ = autoPlaced_ = true;
    RECT area;
    if (other && IsWindowVisible(other) && !IsIconic(other)) GetWindowRect(other, &area);
    else SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT me;
    GetWindowRect(hwnd_, &me);
    const int w = me.right - me.left, h = me.bottom - me.top;
    const int x = std::max(0, static_cast<int>(area.left + (area.right - area.left - w) / 2));
    const int y = std::max(0, static_cast<int>(area.top + (area.bottom - area.top - h) / 2));
    applying_ = true;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (token.expired()) return;
    applying_ = false;
    auto& f = Form();
    f.SetGeometryFromPlatform(b_.TwipsX(x), b_.TwipsY(y), f.Width(), f.Height());
}

void WindowPeer::SizedByPlatform(WPARAM kind) {
    auto& f = Form();
    const int state = kind == SIZE_MINIMIZED || IsIconic(hwnd_) ? ui::state::kMinimized
                      : IsZoomed(hwnd_)                         ? ui::state::kMaximized
                                                                : ui::state::kNormal;
    f.SetWindowStateFromPlatform(state);
    // Only a real change moves the model: rounding to pixels must not shift what it holds.
    if (state != ui::state::kMinimized && PixelsDiffer()) {
        RECT r;
        GetWindowRect(hwnd_, &r);
        f.SetGeometryFromPlatform(b_.TwipsX(r.left), b_.TwipsY(r.top), b_.TwipsX(r.right - r.left), b_.TwipsY(r.bottom - r.top));
    }
    Fire(f, f.Resize);
}

bool WindowPeer::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    auto& f = Form();
    switch (msg) {
        case WM_ACTIVATE: {
            if (LOWORD(wp) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
                return false;
            }
            result = DefWindowProcW(hwnd_, msg, wp, lp);
            if (lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_) && !HIWORD(wp)) SetFocus(lastFocus_);
            if (Live(f)) b_.Activated(f);
            return true;
        }
        case WM_SIZE: {
            // Controls that follow the form's edges first, so the model's handlers see them placed.
            for (auto& c : f.Controls())
                if (auto* p = dynamic_cast<NativePeer*>(c->GetPeer()); p && p->Hwnd() && GetParent(p->Hwnd()) == hwnd_)
                    p->ParentResized();
            result = 0;
            if (applying_ || !IsWindowVisible(hwnd_) || !Live(f)) return true;
            SizedByPlatform(wp);
            return true;
        }
        case WM_MOVE:
            if (!applying_ && IsWindowVisible(hwnd_) && !IsIconic(hwnd_) && !IsZoomed(hwnd_) && PixelsDiffer()) {
                RECT r;
                GetWindowRect(hwnd_, &r);
                f.SetGeometryFromPlatform(b_.TwipsX(r.left), b_.TwipsY(r.top), f.Width(), f.Height());
            }
            return false;
        case WM_CLOSE: {
            result = 0;
            if (!Live(f)) return true;
            auto keep = f.weak_from_this().lock();
            f.RequestClose();
            return true;
        }
        case DM_GETDEFID:
            result = 0;
            for (auto& c : f.Controls())
                if (c->GetKind() == ui::Kind::CommandButton && c->IsDefault() && c->Visible() && c->Enabled())
                    if (auto* p = dynamic_cast<NativePeer*>(c->GetPeer()); p && p->Id()) {
                        result = MAKELRESULT(p->Id(), DC_HASDEFID);
                        break;
                    }
            return true;
        case WM_SHOWWINDOW:
            // Shown by other means than the model's Visible: the menu bar must be there.
            if (wp) PlaceForm();
            if (wp && menusDirty_ && hwnd_) BuildMenus(nullptr);
            if (wp && hwnd_) PlaceControls();
            return false;
        case WM_WINDOWPOSCHANGING:
            if (reinterpret_cast<WINDOWPOS*>(lp)->flags & SWP_SHOWWINDOW) PlaceControls();
            return false;
        case WM_INITMENUPOPUP:
            result = 0;
            if (HIWORD(lp)) return false;  // the system menu
            for (auto& [menu, owner] : popups_)
                if (menu == reinterpret_cast<HMENU>(wp)) {
                    if (auto item = owner.lock()) Fire(*item, item->Click);
                    return true;
                }
            return true;
        default: return false;
    }
}

void WindowPeer::PlaceControls(const ui::Control* within) {
    auto token = Token();
    const auto controls = Form().Controls();
    for (const auto& c : controls) {
        bool inside = !within, shows = true;
        for (auto up = c->Container(); up && up.get() != &c_; up = up->Container()) {
            if (up.get() == within) {
                inside = true;
                break;
            }
            shows = shows && up->Visible();
        }
        if (!inside || !shows || !c->Visible()) continue;
        if (auto* p = dynamic_cast<NativePeer*>(c->GetPeer())) p->ApplyPending();
        if (token.expired()) return;
    }
}

// ---- menu bar -----------------------------------------------------------------------------

void WindowPeer::MenusChanged(const ui::Control* leaving) {
    if (!hwnd_ || Form().IsUnloaded()) return;
    // Loading a form adds its items one by one: a hidden window builds its bar once, when shown.
    if (!IsWindowVisible(hwnd_)) {
        menusDirty_ = true;
        return;
    }
    BuildMenus(leaving);
}

void WindowPeer::BuildMenus(const ui::Control* leaving) {
    menusDirty_ = false;
    if (!hwnd_ || Form().IsUnloaded()) return;
    popups_.clear();
    shortcuts_.clear();
    const auto top = MenuEntries(nullptr, leaving);
    std::vector<BarEntry> shape;
    for (const auto& e : top) shape.push_back(BarEntry{e.text, e.flags, e.id});
    HMENU old = GetMenu(hwnd_);
    if (old && old == bar_ && shape == barShape_) {
        // The bar looks as it did: only its menus are filled again. A new bar would be a new frame
        // for the window, with a repaint of it, and a display changes its menus a dozen times
        // while it opens.
        for (std::size_t i = 0; i < top.size(); ++i) {
            HMENU sub = GetSubMenu(old, static_cast<int>(i));
            if (!sub) continue;
            while (GetMenuItemCount(sub) > 0) DeleteMenu(sub, 0, MF_BYPOSITION);
            AddMenuItems(sub, MenuEntries(top[i].item.get(), leaving), leaving);
            popups_.emplace_back(sub, top[i].item);
        }
        b_.WatchShortcuts(hwnd_, !shortcuts_.empty());
        return;
    }
    HMENU bar = CreateMenu();
    AddMenuItems(bar, top, leaving);
    b_.WatchShortcuts(hwnd_, !shortcuts_.empty());
    const bool any = GetMenuItemCount(bar) > 0;
    bar_ = any ? bar : nullptr;
    barShape_ = std::move(shape);
    // SetMenu gives the window its new frame and draws the bar: no DrawMenuBar after it. A new
    // client height may run the model's Resize.
    SetMenu(hwnd_, any ? bar : nullptr);
    if (!any) DestroyMenu(bar);
    if (old) DestroyMenu(old);
}

// Items in their form's order, except that the elements of a control array keep together in
// index order where the first of them stands. Hidden items are not in the menu at all.
std::vector<WindowPeer::MenuEntry> WindowPeer::MenuEntries(const ui::Control* parent, const ui::Control* leaving) const {
    auto& f = Form();
    auto isItemUnder = [&](const ui::ControlRef& c, const ui::Control* under) {
        if (c.get() == leaving || c->GetKind() != ui::Kind::MenuItem) return false;
        // An item unloaded while the bar waited to be built has no command any more.
        auto* peer = dynamic_cast<NativePeer*>(c->GetPeer());
        if (!peer || !peer->Id()) return false;
        auto container = c->Container();
        return under ? container.get() == under : (!container || container->GetKind() == ui::Kind::Window);
    };
    std::vector<ui::ControlRef> children;
    for (auto& c : f.Controls())
        if (isItemUnder(c, parent)) children.push_back(c);
    std::vector<ui::ControlRef> ordered;
    std::set<automation::BStr> arraysDone;
    for (auto& c : children) {
        if (c->Index() < 0) {
            ordered.push_back(c);
            continue;
        }
        if (!arraysDone.insert(c->Name()).second) continue;
        std::vector<ui::ControlRef> elements;
        for (auto& e : children)
            if (e->Index() >= 0 && e->Name() == c->Name()) elements.push_back(e);
        std::stable_sort(elements.begin(), elements.end(),
                         [](const ui::ControlRef& a, const ui::ControlRef& b) { return a->Index() < b->Index(); });
        ordered.insert(ordered.end(), elements.begin(), elements.end());
    }

    std::vector<MenuEntry> entries;
    for (auto& item : ordered) {
        if (!item->Visible()) continue;
        auto* peer = dynamic_cast<NativePeer*>(item->GetPeer());
        if (!peer || !peer->Id()) continue;
        MenuEntry e{item, item->Caption(), item->Enabled() ? 0u : static_cast<UINT>(MF_GRAYED), 0};
        if (!item->Shortcut().empty()) e.text += u"\t" + item->Shortcut();
        bool hasChildren = false;
        for (auto& c : f.Controls())
            if (isItemUnder(c, item.get())) {
                hasChildren = true;
                break;
            }
        if (hasChildren) e.flags |= MF_POPUP | MF_STRING;
        else if (item->Caption() == u"-") e.flags = MF_SEPARATOR;
        else e.id = peer->Id();
        entries.push_back(std::move(e));
    }
    return entries;
}

void WindowPeer::AddMenuItems(HMENU menu, const std::vector<MenuEntry>& entries, const ui::Control* leaving) {
    for (const auto& e : entries) {
        if (e.flags & MF_POPUP) {
            HMENU sub = CreatePopupMenu();
            AddMenuItems(sub, MenuEntries(e.item.get(), leaving), leaving);
            AppendMenuW(menu, e.flags, reinterpret_cast<UINT_PTR>(sub), W(e.text));
            popups_.emplace_back(sub, e.item);
        } else if (e.flags & MF_SEPARATOR) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(menu, MF_STRING | e.flags, e.id, W(e.text));
            Shortcut sc{0, 0, e.id, e.item};
            if (!e.item->Shortcut().empty() && ParseShortcut(e.item->Shortcut(), sc.key, sc.modifiers)) shortcuts_.push_back(sc);
        }
    }
}

UINT WindowPeer::ShortcutCommand(WPARAM key, bool altDown) const {
    if (shortcuts_.empty()) return 0;
    BYTE modifiers = altDown ? FALT : 0;
    if (GetKeyState(VK_CONTROL) < 0) modifiers |= FCONTROL;
    if (GetKeyState(VK_SHIFT) < 0) modifiers |= FSHIFT;
    for (const auto& sc : shortcuts_) {
        if (sc.key != key || sc.modifiers != modifiers) continue;
        auto item = sc.item.lock();
        if (!item || !item->Enabled()) return 0;  // a grayed item's shortcut does nothing
        return sc.command;
    }
    return 0;
}

// ---- tooltips -----------------------------------------------------------------------------

void WindowPeer::SetToolTip(HWND tool, const automation::BStr& text) {
    if (!hwnd_ || !tool) return;
    if (!tooltip_) {
        if (text.empty()) return;
        tooltip_ =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, b_.Module(), nullptr);
        if (!tooltip_) return;
    }
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = hwnd_;
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    if (text.empty()) return;
    ti.lpszText = const_cast<wchar_t*>(W(text));
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

}  // namespace win32::backend
