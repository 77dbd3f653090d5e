#include "win32/ui/Backend.h"

#include <cmath>
#include <set>
#include <utility>

#include "automation/Error.h"
#include "win32/ui/NativePeer.h"
#include "win32/ui/WindowPeer.h"

namespace win32::backend {
namespace {

Backend* g_backend = nullptr;
// The procedures our subclass replaced, by window: looked up on every message, so kept here
// rather than in window properties (a server round trip each under Wine).
std::unordered_map<HWND, WNDPROC>& OriginalProcs() {
    static std::unordered_map<HWND, WNDPROC> procs;
    return procs;
}
constexpr UINT kFirstId = 100;
constexpr UINT kLastId = 0xEFFF;

template <class Fn>
Fn ProcAs(FARPROC p) {
    // Through the generic function pointer type, which converts to any other without a warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p));
}

// The IDC_ names are narrow or wide with the UNICODE setting; their numbers are the same.
template <class Name>
HCURSOR SystemCursor(Name id) {
    return LoadCursorW(nullptr, MAKEINTRESOURCEW(reinterpret_cast<ULONG_PTR>(id)));  // shared: nothing to free
}

HCURSOR CursorFor(std::int16_t pointer) {
    HCURSOR id = nullptr;
    switch (pointer) {
        case 1: id = SystemCursor(IDC_ARROW); break;
        case 2: id = SystemCursor(IDC_CROSS); break;
        case 3: id = SystemCursor(IDC_IBEAM); break;
        case 5:
        case 15: id = SystemCursor(IDC_SIZEALL); break;
        case 6: id = SystemCursor(IDC_SIZENESW); break;
        case 7: id = SystemCursor(IDC_SIZENS); break;
        case 8: id = SystemCursor(IDC_SIZENWSE); break;
        case 9: id = SystemCursor(IDC_SIZEWE); break;
        case 10: id = SystemCursor(IDC_UPARROW); break;
        case 11: id = SystemCursor(IDC_WAIT); break;
        case 12: id = SystemCursor(IDC_NO); break;
        case 13: id = SystemCursor(IDC_APPSTARTING); break;
        case 14: id = SystemCursor(IDC_HELP); break;
        default: break;  // 0 (default) and pointers we have no cursor for
    }
    return id;
}

}  // namespace

automation::BStr WindowText(HWND h) {
    int n = GetWindowTextLengthW(h);
    std::wstring buf(static_cast<std::size_t>(n) + 1, L'\0');
    int got = GetWindowTextW(h, buf.data(), n + 1);
    return FromW(buf.data(), static_cast<std::size_t>(got > 0 ? got : 0));
}

Backend::Backend(HINSTANCE module) : module_(module) {
    g_backend = this;
    HDC screen = GetDC(nullptr);
    if (screen) {
        dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
        dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    if (dpiX_ <= 0) dpiX_ = 96;
    if (dpiY_ <= 0) dpiY_ = 96;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                              ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    RegisterClasses();
    messages_ = CreateWindowExW(0, kMessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module_, nullptr);
}

Backend::~Backend() {
    for (auto& [thread, hook] : keyHooks_) UnhookWindowsHookEx(hook);
    if (messages_) DestroyWindow(messages_);
    if (parking_) DestroyWindow(parking_);
    for (const wchar_t* cls : {kFormClass, kContainerClass, kGrabClass, kMessageClass}) UnregisterClassW(cls, module_);
    if (hhctrl_) FreeLibrary(hhctrl_);
    if (g_backend == this) g_backend = nullptr;
}

Backend* Backend::Current() { return g_backend; }

HICON Backend::Icon(int id, bool small) {
    auto [it, added] = icons_.try_emplace({id, small});
    if (added)
        it->second =
            GdiObject(GdiObject::Type::Icon,
                      LoadImageW(module_, MAKEINTRESOURCEW(id), IMAGE_ICON, GetSystemMetrics(small ? SM_CXSMICON : SM_CXICON),
                                 GetSystemMetrics(small ? SM_CYSMICON : SM_CYICON), 0),
                      true);
    return it->second.Icon();
}

void Backend::RegisterClasses() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.hInstance = module_;
    wc.hCursor = SystemCursor(IDC_ARROW);
    wc.lpfnWndProc = &Backend::OwnProc;

    wc.style = CS_DBLCLKS;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    RegisterClassExW(&wc);

    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpszClassName = kContainerClass;
    RegisterClassExW(&wc);

    // The grab area paints nothing: what lies beneath shows through.
    wc.hbrBackground = nullptr;
    wc.lpszClassName = kGrabClass;
    RegisterClassExW(&wc);

    wc.style = 0;
    wc.hCursor = nullptr;
    wc.lpfnWndProc = &Backend::MessageProc;
    wc.lpszClassName = kMessageClass;
    RegisterClassExW(&wc);
}

HWND Backend::Parking() {
    if (!parking_)
        parking_ =
            CreateWindowExW(0, kContainerClass, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0, 0, nullptr, nullptr, module_, nullptr);
    return parking_;
}

// ---- controls -----------------------------------------------------------------------------

void Backend::Attach(ui::Control& c) {
    auto peer = MakePeer(*this, c);
    peer->Create();  // a failure leaves nothing behind: the peer's destructor undoes what was made
    auto* raw = peer.get();
    c.SetPeer(std::move(peer));
    raw->Attached();
}

void Backend::Detach(ui::Control& c) {
    if (auto* p = dynamic_cast<NativePeer*>(c.GetPeer())) p->Release();
    if (auto a = active_.lock(); a.get() == &c) active_.reset();
    // An unloading form loses its controls one by one, the last made first. Once no hosted control
    // is left (each lets go of its object before its host window goes), the form's window goes and
    // takes the windows of the controls still to come with it: one destroy, not one a control with
    // a repaint of the form each.
    ui::Window* form = c.Form();
    if (!form || form == &c || !form->IsUnloaded()) return;
    auto* formPeer = FormPeer(*form);
    if (!formPeer || !formPeer->Hwnd()) return;
    for (const auto& other : form->Controls())
        if (other.get() != &c && other->GetKind() == ui::Kind::HostedControl && other->GetPeer() && other->GetPeer()->Handle())
            return;
    formPeer->Release();
}

int Backend::PxX(float twips) const { return static_cast<int>(std::lround(static_cast<double>(twips) * dpiX_ / 1440.0)); }
int Backend::PxY(float twips) const { return static_cast<int>(std::lround(static_cast<double>(twips) * dpiY_ / 1440.0)); }
float Backend::TwipsX(int px) const { return static_cast<float>(px * 1440.0 / dpiX_); }
float Backend::TwipsY(int px) const { return static_cast<float>(px * 1440.0 / dpiY_); }

void Backend::Register(HWND h, NativePeer* p) {
    if (h) peers_[h] = p;
}

void Backend::Unregister(HWND h) { peers_.erase(h); }

NativePeer* Backend::Lookup(HWND h) const {
    auto it = peers_.find(h);
    return it == peers_.end() ? nullptr : it->second;
}

UINT Backend::NewId(NativePeer* p) {
    if (ids_.size() >= kLastId - kFirstId) automation::Raise(automation::code::kFail, u"Too many controls");
    for (;;) {
        if (++nextId_ < kFirstId || nextId_ > kLastId) nextId_ = kFirstId;
        if (ids_.emplace(nextId_, p).second) return nextId_;
    }
}

void Backend::FreeId(UINT id) { ids_.erase(id); }

NativePeer* Backend::LookupId(UINT id) const {
    auto it = ids_.find(id);
    return it == ids_.end() ? nullptr : it->second;
}

NativePeer* Backend::ContainerPeer(const ui::Control& c) const {
    auto container = c.Container();
    if (!container) return nullptr;
    auto* p = dynamic_cast<NativePeer*>(container->GetPeer());
    return p && p->ChildParent() ? p : nullptr;
}

HWND Backend::ParentFor(const ui::Control& c) {
    if (auto* p = ContainerPeer(c)) return p->ChildParent();
    if (auto* f = FormPeer(c); f && f->Hwnd()) return f->Hwnd();
    return Parking();
}

WindowPeer* Backend::FormPeer(const ui::Control& c) const {
    const ui::Control* form = c.GetKind() == ui::Kind::Window ? &c : c.Form();
    return form ? dynamic_cast<WindowPeer*>(form->GetPeer()) : nullptr;
}

void Backend::Activated(ui::Window& w) {
    auto prev = active_.lock();
    if (prev.get() == &w) return;
    auto self = w.weak_from_this().lock();
    active_ = self;
    if (prev) Fire(*prev, static_cast<ui::Window&>(*prev).Deactivate);
    Fire(w, w.Activate);
}

void Backend::EndModal(HWND dialog) {
    for (auto it = modal_.begin(); it != modal_.end(); ++it) {
        if (it->dialog != dialog) continue;
        Modal m = *it;
        modal_.erase(it);
        // Enabled again before the dialog disappears, so activation returns to the owner.
        if (m.disabledOwner && IsWindow(m.owner)) EnableWindow(m.owner, TRUE);
        return;
    }
}

void Backend::WatchShortcuts(HWND form, bool watch) {
    if (!form) return;
    auto it = shortcutForms_.find(form);
    if (watch == (it != shortcutForms_.end())) return;
    const DWORD thread = watch ? GetWindowThreadProcessId(form, nullptr) : it->second;
    if (watch) {
        shortcutForms_.emplace(form, thread);
        if (!keyHooks_.count(thread))
            if (HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, &Backend::KeyHook, nullptr, thread))
                keyHooks_.emplace(thread, hook);
        return;
    }
    shortcutForms_.erase(it);
    for (const auto& [other, t] : shortcutForms_)
        if (t == thread) return;
    if (auto hook = keyHooks_.find(thread); hook != keyHooks_.end()) {
        UnhookWindowsHookEx(hook->second);
        keyHooks_.erase(hook);
    }
}

// Sees every message the thread's loop takes out of the queue. A key aimed at the active form, or
// at one of its children, that is the shortcut of one of its menu items becomes that item's
// command, posted so that it runs when the host dispatches it; the key itself goes nowhere.
LRESULT CALLBACK Backend::KeyHook(int code, WPARAM wp, LPARAM lp) {
    Backend* b = g_backend;
    auto* msg = reinterpret_cast<MSG*>(lp);
    if (b && code == HC_ACTION && wp == PM_REMOVE && msg && msg->hwnd &&
        (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN)) {
        HWND form = GetAncestor(msg->hwnd, GA_ROOT);
        if (form && b->shortcutForms_.count(form) && form == GetActiveWindow() && IsWindowEnabled(form))
            if (auto* peer = dynamic_cast<WindowPeer*>(b->Lookup(form)))
                if (UINT command = peer->ShortcutCommand(msg->wParam, (HIWORD(msg->lParam) & KF_ALTDOWN) != 0)) {
                    PostMessageW(form, WM_COMMAND, MAKEWPARAM(command, 1), 0);
                    msg->message = WM_NULL;
                }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

// ---- window procedures --------------------------------------------------------------------

LRESULT CALLBACK Backend::OwnProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Backend* b = g_backend;
    if (msg == WM_NCCREATE && b) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        if (auto* peer = static_cast<NativePeer*>(cs->lpCreateParams)) {
            peer->Bind(h);
            b->Register(h, peer);
        }
    }
    NativePeer* peer = b ? b->Lookup(h) : nullptr;
    if (msg == WM_NCDESTROY) {
        if (b) b->WatchShortcuts(h, false);
        if (peer) peer->WindowGone();
        return DefWindowProcW(h, msg, wp, lp);
    }
    if (LRESULT result = 0; Handle(b, peer, true, h, msg, wp, lp, result)) return result;
    return DefWindowProcW(h, msg, wp, lp);
}

void Backend::Subclass(HWND h) {
    auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(h, GWLP_WNDPROC));
    OriginalProcs()[h] = original;
    SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Backend::SubclassProc));
}

LRESULT CALLBACK Backend::SubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto& procs = OriginalProcs();
    auto found = procs.find(h);
    const WNDPROC original = found == procs.end() ? nullptr : found->second;
    Backend* b = g_backend;
    NativePeer* peer = b ? b->Lookup(h) : nullptr;
    if (msg == WM_NCDESTROY) {
        if (found != procs.end()) procs.erase(found);
        if (peer) peer->WindowGone();
        return original ? CallWindowProcW(original, h, msg, wp, lp) : DefWindowProcW(h, msg, wp, lp);
    }
    if (LRESULT result = 0; Handle(b, peer, false, h, msg, wp, lp, result)) return result;
    if (!IsWindow(h)) return 0;  // a handler destroyed it
    return original ? CallWindowProcW(original, h, msg, wp, lp) : DefWindowProcW(h, msg, wp, lp);
}

// The cursor, the notifications of child windows, then the peer's own handling: what both window
// procedures do before the default. True when the message was answered.
bool Backend::Handle(Backend* b, NativePeer* peer, bool routeWithoutPeer, HWND h, UINT msg, WPARAM wp, LPARAM lp,
                     LRESULT& result) {
    if (msg == WM_SETCURSOR && b && b->cursor_) {
        SetCursor(b->cursor_);
        result = TRUE;
        return true;
    }
    if (!peer && !(b && routeWithoutPeer)) return false;
    try {
        if (RouteFromChild(h, msg, wp, lp, result)) return true;
        if (peer && peer->OnMessage(msg, wp, lp, result)) return true;
    } catch (...) {
        // A failure of a handler has no caller to go to inside a window message.
        result = 0;
        return true;
    }
    return false;
}

bool Backend::RouteFromChild(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    Backend* b = g_backend;
    if (!b) return false;
    if (msg == WM_COMMAND) {
        if (lp) {
            NativePeer* child = b->Lookup(reinterpret_cast<HWND>(lp));
            if (!child) return false;
            result = 0;
            child->OnCommand(HIWORD(wp));
            return true;
        }
        const UINT id = LOWORD(wp);
        if (NativePeer* target = b->LookupId(id)) {
            result = 0;
            target->OnCommand(HIWORD(wp) == 1 ? 0 : HIWORD(wp));  // menus and accelerators alike
            return true;
        }
        if (id != IDOK && id != IDCANCEL) return false;
        // Enter and Escape of the dialog manager: the form's default or cancel button.
        NativePeer* parentPeer = b->Lookup(parent);
        const ui::Window* form = nullptr;
        if (parentPeer) {
            const ui::Control& m = parentPeer->Model();
            form = m.GetKind() == ui::Kind::Window ? static_cast<const ui::Window*>(&m) : m.Form();
        }
        if (!form) return false;
        for (auto& c : form->Controls()) {
            if (c->GetKind() != ui::Kind::CommandButton || !c->Visible() || !c->Enabled()) continue;
            if (id == IDOK ? c->IsDefault() : c->IsCancel()) {
                if (auto* p = dynamic_cast<NativePeer*>(c->GetPeer())) {
                    result = 0;
                    p->OnCommand(BN_CLICKED);
                    return true;
                }
            }
        }
        return false;
    }
    if (msg == WM_NOTIFY && lp) {
        auto* nm = reinterpret_cast<NMHDR*>(lp);
        NativePeer* child = b->Lookup(nm->hwndFrom);
        // A list view passes on its header's notifications.
        if (!child && nm->hwndFrom) child = b->Lookup(GetParent(nm->hwndFrom));
        if (!child) return false;
        return child->OnNotify(*nm, result);
    }
    return false;
}

LRESULT CALLBACK Backend::MessageProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Backend* b = g_backend;
    if (msg == WM_TIMER && b) {
        if (NativePeer* timer = b->LookupId(static_cast<UINT>(wp))) {
            LRESULT r = 0;
            try {
                timer->OnMessage(msg, wp, lp, r);
            } catch (...) {
            }
        } else {
            KillTimer(h, wp);  // a timer whose control has gone
        }
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

// ---- platform services --------------------------------------------------------------------

std::int32_t Backend::MsgBox(const automation::BStr& text, std::int32_t style, const automation::BStr& title) {
    const automation::BStr& caption = title.empty() ? automation::BStr(ui::kDefaultTitle) : title;
    Pumping(ui::PumpPoint::MessageBox);
    return MessageBoxW(GetActiveWindow(), W(text), W(caption), static_cast<UINT>(style));
}

void Backend::Help(const ui::HelpCall& call) {
    HWND owner = reinterpret_cast<HWND>(call.window);
    if (!call.html) {
        ::WinHelpA(owner, call.file.c_str(), call.command, call.data);
        return;
    }
    if (!hhctrlTried_) {
        hhctrlTried_ = true;
        hhctrl_ = LoadLibraryW(L"hhctrl.ocx");
    }
    if (!hhctrl_) return;
    using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
    if (auto fn = ProcAs<HtmlHelpFn>(GetProcAddress(hhctrl_, "HtmlHelpA"))) fn(owner, call.file.c_str(), call.command, call.data);
}

void Backend::EnterWhatsThisMode(ui::Window& w) {
    // Posted: the context-help mode runs its own loop, which must not start inside a menu click.
    if (HWND h = reinterpret_cast<HWND>(w.Handle())) PostMessageW(h, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
}

void Backend::Sleep(std::uint32_t ms) {
    Pumping(ui::PumpPoint::Sleep);
    ::Sleep(ms);
}

void Backend::DoEvents() {
    // Runs what is waiting. A timer whose handler outlasts its interval would keep the queue
    // from ever emptying; its second tick within one call ends the call instead.
    Pumping(ui::PumpPoint::DoEvents);
    std::set<std::pair<HWND, WPARAM>> ticked;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (msg.message == WM_TIMER && !ticked.emplace(msg.hwnd, msg.wParam).second) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Backend::ShowModal(ui::Window& dialog, ui::Window* owner) {
    auto keep = dialog.weak_from_this().lock();
    auto keepOwner = owner ? owner->weak_from_this().lock() : nullptr;
    HWND dlg = reinterpret_cast<HWND>(dialog.Handle());
    if (!dlg) return;
    HWND own = owner ? reinterpret_cast<HWND>(owner->Handle()) : nullptr;
    if (own == dlg) own = nullptr;
    if (own) {
        SetWindowLongPtrW(dlg, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(own));
        if (auto* peer = dynamic_cast<WindowPeer*>(dialog.GetPeer())) peer->CenterOver(own);
    }
    bool disabled = own && IsWindowEnabled(own);
    modal_.push_back(Modal{dlg, own, disabled});
    if (disabled) EnableWindow(own, FALSE);
    // Shown only now: from its first moment it belongs to its owner, which takes no input.
    if (dialog.IsShown() && !IsWindowVisible(dlg)) ShowWindow(dlg, SW_SHOW);
    if (IsWindowVisible(dlg)) SetActiveWindow(dlg);
    Pumping(ui::PumpPoint::Modal);

    MSG msg;
    while (!dialog.IsUnloaded() && dialog.IsShown()) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        HWND current = reinterpret_cast<HWND>(dialog.Handle());
        if (current && IsDialogMessageW(current, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    EndModal(dlg);
    if (own && IsWindowVisible(own)) SetActiveWindow(own);
}

void Backend::SetMousePointer(std::int16_t pointer) {
    cursor_ = CursorFor(pointer);
    SetCursor(cursor_ ? cursor_ : SystemCursor(IDC_ARROW));
}

float Backend::ScreenWidth() const { return TwipsX(GetSystemMetrics(SM_CXSCREEN)); }
float Backend::ScreenHeight() const { return TwipsY(GetSystemMetrics(SM_CYSCREEN)); }

automation::BStr Backend::LoadResString(std::int32_t id) {
    const wchar_t* text = nullptr;
    int n = 0;
    if (id >= 0 && id <= 0xFFFF) n = LoadStringW(module_, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || !text)
        automation::Raise(automation::code::kResourceNotFound,
                          u"Resource with identifier '" + automation::DecimalText(id) + u"' not found");
    return FromW(text, static_cast<std::size_t>(n));
}

std::int32_t Backend::AnsiCode(char16_t c) const {
    wchar_t w = static_cast<wchar_t>(c);
    char buf[4] = {};
    int n = WideCharToMultiByte(CP_ACP, 0, &w, 1, buf, sizeof buf, nullptr, nullptr);
    if (n == 1) return static_cast<unsigned char>(buf[0]);
    if (n == 2) return (static_cast<unsigned char>(buf[0]) << 8) | static_cast<unsigned char>(buf[1]);
    return '?';
}

char16_t Backend::AnsiChar(std::uint8_t code) const {
    char c = static_cast<char>(code);
    wchar_t w = 0;
    if (MultiByteToWideChar(CP_ACP, 0, &c, 1, &w, 1) != 1) return static_cast<char16_t>(code);
    return static_cast<char16_t>(w);
}

}  // namespace win32::backend
