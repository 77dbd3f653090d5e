#include "BareSession.h"

#include <commctrl.h>

#include <string>
#include <utility>

namespace bench {
namespace {

constexpr wchar_t kForm[] = L"QuilletBareForm";
constexpr wchar_t kContainer[] = L"QuilletBareContainer";
constexpr wchar_t kGrab[] = L"QuilletBareGrab";

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);
AtlAxGetControlFn g_getControl = nullptr;
HINSTANCE g_module = nullptr;
HFONT g_font = nullptr;  // the font of the session's form: one session at a time
LARGE_INTEGER g_frequency{};

template <class Fn>
Fn ProcAs(FARPROC p) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p));
}

// A frame with a border is drawn as a group box; the font is the form's.
LRESULT CALLBACK ContainerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_PAINT) return DefWindowProcW(h, msg, wp, lp);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    if (GetWindowLongPtrW(h, GWLP_USERDATA)) {
        RECT rc;
        GetClientRect(h, &rc);
        HGDIOBJ oldFont = SelectObject(dc, g_font);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        RECT box = rc;
        box.top += tm.tmHeight / 2;
        DrawEdge(dc, &box, EDGE_ETCHED, BF_RECT);
        wchar_t text[128];
        if (int n = GetWindowTextW(h, text, 128); n > 0) {
            RECT t{8, 0, rc.right - 8, tm.tmHeight};
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            DrawTextW(dc, text, n, &t, DT_SINGLELINE | DT_END_ELLIPSIS);
        }
        SelectObject(dc, oldFont);
    }
    EndPaint(h, &ps);
    return 0;
}

LRESULT CALLBACK GrabProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) return 1;
    if (msg == WM_PAINT) {
        ValidateRect(h, nullptr);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

// The status bar keeps to the bottom edge as the form's size changes.
LRESULT CALLBACK FormProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SIZE) {
        if (HWND bar = GetDlgItem(h, 2)) SendMessageW(bar, WM_SIZE, 0, 0);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

struct Session {
    HFONT font = nullptr;
    HWND form = nullptr;
    HWND deviceView = nullptr;

    HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD ex, int x, int y, int w, int h,
               bool visible = true, int id = 0) {
        HWND c = CreateWindowExW(ex, cls, text, WS_CHILD | WS_CLIPSIBLINGS | style | (visible ? WS_VISIBLE : 0), x, y, w, h,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_module, nullptr);
        if (c) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return c;
    }
    HWND Frame(HWND parent, const wchar_t* caption, int x, int y, int w, int h, bool visible, bool border) {
        HWND f = Child(parent, kContainer, caption, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, x, y, w, h, visible);
        if (f && border) SetWindowLongPtrW(f, GWLP_USERDATA, 1);
        return f;
    }
    using Column = std::pair<const wchar_t*, int>;  // caption, width in pixels
    HWND List(HWND parent, int x, int y, int w, int h, const std::vector<Column>& columns) {
        HWND l = Child(parent, WC_LISTVIEWW, L"", LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                       x, y, w, h);
        if (!l) return nullptr;
        SendMessageW(l, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        int i = 0;
        for (auto& [text, width] : columns) {
            LVCOLUMNW c{};
            c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
            c.fmt = LVCFMT_LEFT;
            c.cx = width;
            c.pszText = const_cast<wchar_t*>(text);
            c.iSubItem = i;
            SendMessageW(l, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i++), reinterpret_cast<LPARAM>(&c));
        }
        return l;
    }

    HMENU Menus(const Display& d) {
        HMENU bar = CreateMenu();
        auto popup = [bar](const wchar_t* caption, std::vector<const wchar_t*> items, UINT& id) {
            HMENU p = CreatePopupMenu();
            for (auto* item : items) AppendMenuW(p, MF_STRING, id++, item);
            AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(p), caption);
        };
        UINT id = 100;
        std::vector<const wchar_t*> features;
        for (auto& f : d.features) features.push_back(f.c_str());
        popup(L"&Plugin", {L"E&xit"}, id);
        popup(L"&Device", features, id);
        popup(L"&View", {L"&Refresh\tF5"}, id);
        popup(L"&Tools", {L"&Engineering Units"}, id);
        popup(L"&Help", {L"&Contents and Index"}, id);
        return bar;
    }

    bool Build(const Display& d) {
        NONCLIENTMETRICSW ncm{};
        ncm.cbSize = sizeof(ncm);
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) font = CreateFontIndirectW(&ncm.lfMessageFont);
        g_font = font;
        form = CreateWindowExW(WS_EX_CONTROLPARENT, kForm, d.caption.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 237, 203,
                               805, 618, nullptr, Menus(d), g_module, nullptr);
        if (!form) return false;

        // Placed where the display's layout puts them on a window of this size.
        Child(form, WC_TREEVIEWW, L"", TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_TABSTOP,
              WS_EX_CLIENTEDGE, 3, 3, 3, 549, false);
        Child(form, kGrab, L"", 0, WS_EX_TRANSPARENT, 6, 0, 5, 552, false);
        Child(form, kContainer, L"", WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, 6, 0, 5, 330, false);

        HWND group = Frame(form, L"Group View", 6, 3, 786, 546, false, true);
        Child(group, L"STATIC", L"Total Number of Devices: 0", SS_LEFT | SS_NOTIFY, 0, 8, 16, 300, 17);
        const Column name{L"Device Name", 120}, program{L"Program ID", 120};
        const Column neuron{L"Neuron ID", 120}, statusCol{L"Status", 120};
        const Column dsnA{L"DSN (A)", 96}, dsnB{L"DSN (B)", 96};
        List(group, 8, 43, 770, 501, {name, {L"Device Type", 120}, program, neuron, statusCol, dsnA, dsnB});
        HWND type = Frame(form, L"Device Type - ", 6, 3, 786, 546, false, true);
        Child(type, L"STATIC", L"Total Number of Devices of this Type: ", SS_LEFT | SS_NOTIFY, 0, 8, 16, 300, 17);
        List(type, 8, 43, 770, 501, {name, program, neuron, statusCol, dsnA, dsnB});
        deviceView = Frame(form, L"Device View", 6, 3, 786, 546, true, true);
        HWND buttons = Frame(deviceView, L"buttons", 677, 13, 99, 526, true, false);
        Child(buttons, L"BUTTON", L"PIButtons", BS_PUSHBUTTON | WS_TABSTOP, 0, 8, 16, 99, 25, false);
        Child(buttons, L"BUTTON", L"&Bindings", BS_PUSHBUTTON | WS_TABSTOP, 0, 0, 99, 99, 25, false);
        Child(buttons, L"BUTTON", L"&Help", BS_PUSHBUTTON | WS_TABSTOP, 0, 0, 99, 99, 25);
        int top = 30;
        for (auto& f : d.features) {
            Child(buttons, L"BUTTON", f.c_str(), BS_PUSHBUTTON | WS_TABSTOP, 0, 0, top, 99, 25);
            top += 35;
        }
        HWND error = Frame(form, L"Device View Error", 6, 3, 786, 546, false, true);
        Child(error, L"STATIC", L"Unable to display information about this device. The required plug-in file is not available.",
              SS_LEFT | SS_NOTIFY, 0, 213, 245, 360, 57);

        HWND status = Child(form, STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP | SBARS_TOOLTIPS | WS_CLIPCHILDREN | CCS_BOTTOM, 0, 0,
                            552, 797, 20, true, 2);
        if (!status) return false;
        int edges[] = {627, -1};
        SendMessageW(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
        Child(status, PROGRESS_CLASSW, L"", 0, 0, 472, 3, 153, 15, false);
        return true;
    }

    // The workspace control of the device view, in its frame.
    bool Host(const Display& d) {
        HWND host = Child(deviceView, L"AtlAxWin", d.workspaceProgId.c_str(), WS_CLIPCHILDREN | WS_TABSTOP, 0, 10, 20, 657, 516);
        IUnknown* control = nullptr;
        if (!host || FAILED(g_getControl(host, &control)) || !control) return false;
        control->Release();
        return true;
    }

    void Destroy() {
        if (form) DestroyWindow(form);
        if (font) DeleteObject(font);
        form = deviceView = nullptr;
        font = g_font = nullptr;
    }
};

}  // namespace

double NowUs() {
    if (!g_frequency.QuadPart) QueryPerformanceFrequency(&g_frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(g_frequency.QuadPart);
}

void PhaseBegins(int phase) {
    g_phase = phase;
    if (g_markPhases) OutputDebugStringA(("quillet-bench phase " + std::to_string(phase) + "\n").c_str());
}

void Drain() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool PrepareBare(std::string& why) {
    g_module = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                              ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    HMODULE atl = LoadLibraryW(L"atl.dll");
    auto init = atl ? ProcAs<AtlAxWinInitFn>(GetProcAddress(atl, "AtlAxWinInit")) : nullptr;
    g_getControl = atl ? ProcAs<AtlAxGetControlFn>(GetProcAddress(atl, "AtlAxGetControl")) : nullptr;
    // The class may be there already (the DLL registered it): atl.dll then refuses to register it again.
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    const bool registered = GetClassInfoExW(g_module, L"AtlAxWin", &existing) != FALSE;
    if (!init || !g_getControl || (!registered && !init())) {
        why = "atl.dll cannot host controls";
        return false;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.hInstance = g_module;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
    wc.style = CS_DBLCLKS;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpfnWndProc = FormProc;
    wc.lpszClassName = kForm;
    bool ok = RegisterClassExW(&wc) != 0;
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ContainerProc;
    wc.lpszClassName = kContainer;
    ok = ok && RegisterClassExW(&wc) != 0;
    wc.hbrBackground = nullptr;
    wc.lpfnWndProc = GrabProc;
    wc.lpszClassName = kGrab;
    ok = ok && RegisterClassExW(&wc) != 0;
    if (!ok) why = "cannot register the baseline's window classes";
    return ok;
}

bool BareSession(const Display& d, double* times, Census* census) {
    Session s;
    Drain();
    double t = NowUs(), next;
    auto phase = [&](BarePhase p) {
        next = NowUs();
        times[p] = next - t;
        t = next;
        PhaseBegins(p + 1);
    };
    PhaseBegins(0);
    bool ok = s.Build(d);
    phase(kBareCreate);
    ok = ok && s.Host(d);
    phase(kBareHost);
    if (s.form) {
        ShowWindow(s.form, SW_SHOW);
        UpdateWindow(s.form);
    }
    Drain();
    phase(kBareShow);
    if (census) {
        *census = Take(s.form);
        t = NowUs();
    }
    s.Destroy();
    Drain();
    phase(kBareDestroy);
    return ok;
}

}  // namespace bench
