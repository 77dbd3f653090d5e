// The Windows demo: a host that opens a simulated device's display with the real DLL and real
// windows, plays a short session, prints the window after each step and saves screenshots; then
// opens a second device whose plug-in control is missing.
//   quillet-demo-win.exe [--shots FOLDER] [--screenshot FILE.bmp]
//   --shots: workspace.bmp, feature-menu.bmp, options.bmp and error-view.bmp in FOLDER
//   --screenshot: the first device's display window
// Needs LNSQuilletVexaProxy.dll and QuilletSimComponents.dll registered (tools/windows/windows.sh demo).
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <olectl.h>

#include <initguid.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "LNSQuilletVexaProxy_h.h"
#include "win32/com/ComRef.h"
#include "win32/comsupport/LateBound.h"
#include "win32/ui/WindowText.h"
#include "tools/windows/StartAppArgs.h"

using win32::com::ComRef;

namespace {

constexpr wchar_t kDescription[] = L"Fan Coil Unit";
constexpr wchar_t kProgramId[] = L"80000A1B2C3D4E5F";
constexpr wchar_t kSensorDescription[] = L"Room Sensor";
constexpr wchar_t kSensorProgramId[] = L"80000A1B2C3D4F21";

std::string Utf8(const std::wstring& s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void Step(const char* title) {
    std::printf("\n=== %s ===\n", title);
    std::fflush(stdout);
}

void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

using win32::ClassOf;
using win32::TextOf;

void DumpMenu(HMENU menu, int depth) {
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (state & MF_SEPARATOR) continue;
        std::printf("%*s- %s%s\n", depth * 2, "", Utf8(text).c_str(), (state & MF_GRAYED) ? " (disabled)" : "");
        if (HMENU sub = GetSubMenu(menu, i)) DumpMenu(sub, depth + 1);
    }
}

// The window's shown descendants: class, text and place in the parent's client area.
void DumpWindow(HWND w, int depth, bool withMenu = false) {
    RECT r{};
    GetWindowRect(w, &r);
    if (HWND parent = GetParent(w); parent && depth > 0) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    const std::wstring cls = ClassOf(w);
    std::printf("%*s%s \"%s\" (%ld,%ld %ldx%ld)\n", depth * 2, "", Utf8(cls).c_str(), Utf8(TextOf(w)).c_str(), r.left, r.top,
                r.right - r.left, r.bottom - r.top);
    if (cls == STATUSCLASSNAMEW) {
        int parts = static_cast<int>(SendMessageW(w, SB_GETPARTS, 0, 0));
        for (int i = 0; i < parts; ++i) {
            wchar_t text[512] = {};
            if (LOWORD(SendMessageW(w, SB_GETTEXTLENGTHW, i, 0)) < 512)
                SendMessageW(w, SB_GETTEXTW, i, reinterpret_cast<LPARAM>(text));
            std::printf("%*s  panel %d: \"%s\"\n", depth * 2, "", i + 1, Utf8(text).c_str());
        }
    }
    if (withMenu && GetMenu(w)) {
        std::printf("  menu:\n");
        DumpMenu(GetMenu(w), 2);
    }
    for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c)) DumpWindow(c, depth + 1);
}

struct Search {
    std::wstring text;
    std::wstring cls;
    HWND exclude;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    if (w == s->exclude || !IsWindowVisible(w)) return TRUE;
    if (!s->text.empty() && TextOf(w) != s->text) return TRUE;
    s->found = w;
    return FALSE;
}

HWND FindTopLevel(const std::wstring& text, HWND exclude = nullptr) {
    Search s{text, L"", exclude, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchTopLevel, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

BOOL CALLBACK MatchChild(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    if (!IsWindowVisible(w) || ClassOf(w) != s->cls || TextOf(w) != s->text) return TRUE;
    s->found = w;
    return FALSE;
}

HWND FindChild(HWND parent, const std::wstring& cls, const std::wstring& text) {
    Search s{text, cls, nullptr, nullptr};
    EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

UINT FindMenuCommand(HMENU menu, const std::wstring& text) {
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            if (UINT id = FindMenuCommand(sub, text)) return id;
            continue;
        }
        wchar_t buf[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), buf, 256, MF_BYPOSITION);
        std::wstring caption = buf;
        if (text == caption.substr(0, caption.find(L'\t'))) return GetMenuItemID(menu, i);
    }
    return 0;
}

void ChooseMenu(HWND main, const std::wstring& text) {
    UINT id = GetMenu(main) ? FindMenuCommand(GetMenu(main), text) : 0;
    if (!id) {
        std::printf("(no menu item %s)\n", Utf8(text).c_str());
        return;
    }
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    Pump(500);
}

HWND g_main = nullptr;  // the display window of the session that runs

// Work for the times when a modal loop (a dropped-down menu, a dialog) runs on this thread: a
// timer calls `step` from inside that loop until it says it is done. After ten seconds the
// modal window is closed, so that the demo never hangs.
class WhileModal {
public:
    explicit WhileModal(std::function<bool()> step) : step_(std::move(step)) {
        current_ = this;
        started_ = GetTickCount();
        timer_ = SetTimer(nullptr, 0, 100, &WhileModal::Tick);
    }
    ~WhileModal() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    WhileModal(const WhileModal&) = delete;
    WhileModal& operator=(const WhileModal&) = delete;
    bool Done() const { return done_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        WhileModal* w = current_;
        if (!w || w->done_ || w->busy_) return;
        if (GetTickCount() - w->started_ > 10000) {
            std::printf("(nothing to do came up: closing what is open)\n");
            w->done_ = true;
            EndMenu();
            if (HWND modal = GetActiveWindow(); modal && modal != g_main) PostMessageW(modal, WM_CLOSE, 0, 0);
            return;
        }
        w->busy_ = true;
        const bool done = w->step_();
        if (current_ == w) {
            w->busy_ = false;
            w->done_ = done;
        }
        std::fflush(stdout);
    }
    static inline WhileModal* current_ = nullptr;
    std::function<bool()> step_;
    UINT_PTR timer_ = 0;
    DWORD started_ = 0;
    bool done_ = false;
    bool busy_ = false;
};

BOOL CALLBACK MatchTopLevelClass(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    if (!IsWindowVisible(w) || ClassOf(w) != s->cls) return TRUE;
    s->found = w;
    return FALSE;
}

// A shown top-level window of this thread of the given class.
HWND FindTopLevelOfClass(const std::wstring& cls) {
    Search s{L"", cls, nullptr, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchTopLevelClass, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

RECT RectOf(HWND a, HWND b = nullptr) {
    RECT r{}, other{};
    GetWindowRect(a, &r);
    if (b && GetWindowRect(b, &other)) UnionRect(&r, &r, &other);
    return r;
}

// What the screen shows in `r`, as a 24-bit BMP file.
bool SaveScreen(RECT r, const std::wstring& file) {
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&r, &r, &screen);
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;
    HDC dc = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, dc, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi{sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    std::vector<BYTE> pixels(stride * static_cast<DWORD>(height));
    GetDIBits(mem, bmp, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, dc);
    BITMAPFILEHEADER fh{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* f = _wfopen(file.c_str(), L"wb");
    if (!f) return false;
    bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&bi, sizeof bi, 1, f) == 1 &&
              std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
    return std::fclose(f) == 0 && ok;
}

std::wstring g_shots;  // folder of the named screenshots; empty: none

// Repaints what is about to be captured, then saves it as NAME.bmp in the screenshot folder.
void Shot(const wchar_t* name, RECT r, std::initializer_list<HWND> paint) {
    for (HWND w : paint)
        if (w) RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    Sleep(100);  // the X server shows what was drawn
    if (g_shots.empty()) return;
    const std::wstring file = g_shots + L"\\" + name + L".bmp";
    std::printf("screenshot %s: %s\n", Utf8(name).c_str(), SaveScreen(r, file) ? "saved" : "could not be saved");
}

class ExitSink final : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID___IHalvernServer) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        std::printf("host: OnAppExit received (dispatch id %ld)\n", static_cast<long>(id));
        return S_OK;
    }
};

using win32::Bool;
using win32::CallByName;
using win32::CreateByProgId;
using win32::I4;
using win32::Str;

// The calls the simulated components logged since the last look.
std::vector<std::wstring> NewCalls(IDispatch* control) {
    static size_t seen = 0;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Log")};
    VARIANT v;
    VariantInit(&v);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    std::vector<std::wstring> lines;
    if (FAILED(control->GetIDsOfNames(IID_NULL, names, 1, 0, &id)) ||
        FAILED(control->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr)) || V_VT(&v) != VT_BSTR)
        return lines;
    std::wstring log(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
    VariantClear(&v);
    for (size_t pos = 0; pos < log.size();) {
        size_t end = log.find(L'\n', pos);
        if (end == std::wstring::npos) end = log.size();
        lines.push_back(log.substr(pos, end - pos));
        pos = end + 1;
    }
    std::vector<std::wstring> fresh(lines.begin() + static_cast<std::ptrdiff_t>(std::min(seen, lines.size())), lines.end());
    seen = lines.size();
    return fresh;
}

void PrintNewCalls(IDispatch* control) {
    auto calls = NewCalls(control);
    if (calls.empty()) return;
    std::wstring text;
    for (const auto& c : calls) text += (text.empty() ? L"" : L", ") + c;
    std::printf("simulated components were called: %s\n", Utf8(text).c_str());
}

std::string Failure(HRESULT hr) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "failed (0x%08lX)", static_cast<unsigned long>(hr));
    return buf;
}

ComRef<_IHalvernServer> NewServer() {
    auto d = CreateByProgId(L"LNSQuilletVexaProxy.IHalvernServer");
    ComRef<_IHalvernServer> dual;
    if (d) d->QueryInterface(IID__IHalvernServer, reinterpret_cast<void**>(dual.Put()));
    return dual;
}

// Opens the display: RunFullAppView, then the window as it shows.
HWND Open(_IHalvernServer* server, IDispatch* control, const wchar_t* description) {
    Step("Host: RunFullAppView");
    LONG opened = 0;
    HRESULT hr = server->RunFullAppView(&opened);
    if (FAILED(hr)) std::printf("host: RunFullAppView -> %s\n", Failure(hr).c_str());
    else std::printf("host: RunFullAppView -> %ld\n", static_cast<long>(opened));
    Pump(1000);
    PrintNewCalls(control);
    HWND main = FindTopLevel(description);
    if (main) DumpWindow(main, 0, true);
    else std::printf("no display window\n");
    return main;
}

void Exit(_IHalvernServer* server, const wchar_t* description) {
    Step("Host: ExitApp");
    HRESULT hr = server->ExitApp();
    Pump(300);
    std::printf("host: ExitApp -> %s; display window %s\n", FAILED(hr) ? Failure(hr).c_str() : "done",
                FindTopLevel(description) ? "still shown" : "gone");
}

// The Device menu dropped down from the menu bar, as Alt+D opens it.
void ShowFeatureMenu(HWND main) {
    Step("User: Alt+D opens the Device menu");
    WhileModal menu([main] {
        HWND popup = FindTopLevelOfClass(L"#32768");
        if (!popup) return false;
        std::printf("the Device menu shows:\n");
        if (HMENU bar = GetMenu(main))
            for (int i = 0, n = GetMenuItemCount(bar); i < n; ++i) {
                wchar_t text[64] = {};
                GetMenuStringW(bar, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
                if (std::wstring(text) == L"&Device" && GetSubMenu(bar, i)) DumpMenu(GetSubMenu(bar, i), 1);
            }
        Shot(L"feature-menu", RectOf(main, popup), {main, popup});
        EndMenu();
        return true;
    });
    PostMessageW(main, WM_SYSCOMMAND, SC_KEYMENU, 'd');
    for (int i = 0; i < 30 && !menu.Done(); ++i) Pump(100);
    Pump(200);
}

// Tools > Engineering Units: the dialog with the hosted units control, closed with OK.
void EngineeringUnits(HWND main) {
    Step("User: Tools > Engineering Units, closed with OK");
    int attempts = 0;
    WhileModal dialog([main, &attempts] {
        HWND dlg = FindTopLevel(L"Quillet Options");
        if (!dlg || IsWindowEnabled(main)) return false;  // not yet in its modal loop
        switch (attempts++) {
            case 0:
                DumpWindow(dlg, 0);
                Shot(L"options", RectOf(main, dlg), {main, dlg});
                std::printf("user: OK\n");
                if (HWND ok = FindChild(dlg, L"Button", L"OK")) SendMessageW(ok, BM_CLICK, 0, 0);
                return !IsWindow(dlg) || !IsWindowVisible(dlg);
            case 1:
                std::printf("(the dialog is still open: Cancel)\n");
                if (HWND cancel = FindChild(dlg, L"Button", L"Cancel")) SendMessageW(cancel, BM_CLICK, 0, 0);
                return false;
            default:
                std::printf("(the dialog is still open: closing it)\n");
                PostMessageW(dlg, WM_CLOSE, 0, 0);
                return attempts > 5;
        }
    });
    ChooseMenu(main, L"&Engineering Units");
    for (int i = 0; i < 30 && !dialog.Done(); ++i) Pump(100);
    std::printf("dialog %s\n", FindTopLevel(L"Quillet Options") ? "still shown" : "closed");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring screenshot;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--screenshot" && i + 1 < argc) screenshot = argv[++i];
        else if (arg == L"--shots" && i + 1 < argc) g_shots = argv[++i];
    }
    if (!g_shots.empty()) CreateDirectoryW(g_shots.c_str(), nullptr);

    OleInitialize(nullptr);
    int rc = 0;
    {
        auto control = CreateByProgId(L"QuilletSim.Control");
        auto device = CreateByProgId(L"QuilletSim.AppDevice");
        auto sensor = CreateByProgId(L"QuilletSim.AppDevice");
        auto system = CreateByProgId(L"QuilletSim.System");
        auto properties = CreateByProgId(L"QuilletSim.Collection");
        auto server = NewServer();
        if (!server || !control || !device || !sensor || !system || !properties) {
            std::printf("LNSQuilletVexaProxy.dll and QuilletSimComponents.dll must be registered\n");
            OleUninitialize();
            return 1;
        }
        CallByName(control.Get(), L"Reset", {});
        CallByName(control.Get(), L"AddPlugin",
                   {Str(kProgramId), Str(L"FanCoil.chm"), Str(L"QuilletSim.UnitsWorkspace"), Bool(true)});
        CallByName(control.Get(), L"AddFeature", {Str(kProgramId), I4(1), Str(L"&Configure")});
        CallByName(control.Get(), L"AddFeature", {Str(kProgramId), I4(2), Str(L"&Recalibrate")});
        CallByName(control.Get(), L"ConfigureWorkspace",
                   {Str(L"QuilletSim.UnitsWorkspace"), Bool(false), Bool(true), Bool(true)});
        // The second device's plug-in names a control that is not installed, nor is the generic one.
        CallByName(control.Get(), L"AddPlugin", {Str(kSensorProgramId), Str(L""), Str(L"RoomSensor.Workspace"), Bool(true)});
        CallByName(control.Get(), L"FallbackInstalled", {Bool(false)}, DISPATCH_PROPERTYPUT);
        CallByName(device.Get(), L"Name", {Str(L"Fan Coil 1")}, DISPATCH_PROPERTYPUT);
        CallByName(device.Get(), L"ProgramId", {Str(kProgramId)}, DISPATCH_PROPERTYPUT);
        CallByName(sensor.Get(), L"Name", {Str(L"Room Sensor 3")}, DISPATCH_PROPERTYPUT);
        CallByName(sensor.Get(), L"ProgramId", {Str(kSensorProgramId)}, DISPATCH_PROPERTYPUT);
        // The units control asks to close once OK has applied the units, as the real one does.
        CallByName(control.Get(), L"ApplyAsksToClose", {Bool(true)}, DISPATCH_PROPERTYPUT);

        ComRef<IConnectionPointContainer> container;
        server->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Put()));
        ComRef<IConnectionPoint> cp;
        if (container) container->FindConnectionPoint(DIID___IHalvernServer, cp.Put());
        ExitSink sink;
        DWORD cookie = 0;
        if (cp) cp->Advise(&sink, &cookie);

        Step("Host: IsPlugInExist(\"80000A1B2C3D4E5F\")");
        BSTR program = SysAllocString(kProgramId);
        VARIANT_BOOL exists = VARIANT_FALSE;
        HRESULT hr = server->IsPlugInExist(&program, &exists);
        std::printf("host: IsPlugInExist -> %s\n", FAILED(hr) ? Failure(hr).c_str() : exists ? "True" : "False");
        SysFreeString(program);

        Step("Host: StartApp(Fan Coil 1, network, 3.2, True, \"Fan Coil Unit\", ...)");
        VARIANT_BOOL started = VARIANT_FALSE;
        hr = StartAppArgs(device.Get(), system.Get(), properties.Get(), kDescription, L"Fan Coil 1 (1/12)")
                 .Call(server.Get(), &started);
        std::printf("host: StartApp -> %s\n", FAILED(hr) ? Failure(hr).c_str() : started ? "True" : "False");

        g_main = Open(server.Get(), control.Get(), kDescription);
        if (!g_main) {
            rc = 1;
        } else {
            Step("Status timer: one tick (10 seconds)");
            Pump(10500);
            DumpWindow(g_main, 0);
            PrintNewCalls(control.Get());

            Step("User: Device > Configure");
            ChooseMenu(g_main, L"&Configure");
            PrintNewCalls(control.Get());

            Step("User: the Recalibrate button");
            if (HWND button = FindChild(g_main, L"Button", L"&Recalibrate")) {
                SendMessageW(button, BM_CLICK, 0, 0);
                Pump(500);
                PrintNewCalls(control.Get());
            } else {
                std::printf("(no Recalibrate button)\n");
            }
            if (HWND box = FindTopLevel(L"", g_main)) {
                std::printf("message box:\n");
                DumpWindow(box, 0);
                PostMessageW(box, WM_CLOSE, 0, 0);
                Pump(300);
            }

            Step("User: View > Refresh");
            ChooseMenu(g_main, L"&Refresh");
            PrintNewCalls(control.Get());
            DumpWindow(g_main, 0);

            ShowFeatureMenu(g_main);
            EngineeringUnits(g_main);
            Pump(300);
            PrintNewCalls(control.Get());

            Step("The display with the device's data in the chosen units");
            DumpWindow(g_main, 0);
            Shot(L"workspace", RectOf(g_main), {g_main});
            if (!screenshot.empty())
                std::printf("%s %s\n", SaveScreen(RectOf(g_main), screenshot) ? "saved" : "could not save",
                            Utf8(screenshot).c_str());
        }
        Exit(server.Get(), kDescription);
        if (cp) cp->Unadvise(cookie);

        std::printf("\n##### A second device, whose plug-in control is not installed #####\n");
        auto second = NewServer();
        if (second) {
            Step("Host: StartApp(Room Sensor 3, network, 3.2, True, \"Room Sensor\", ...)");
            started = VARIANT_FALSE;
            hr = StartAppArgs(sensor.Get(), system.Get(), properties.Get(), kSensorDescription, L"Room Sensor 3 (1/15)")
                     .Call(second.Get(), &started);
            std::printf("host: StartApp -> %s\n", FAILED(hr) ? Failure(hr).c_str() : started ? "True" : "False");
            g_main = Open(second.Get(), control.Get(), kSensorDescription);
            if (g_main) Shot(L"error-view", RectOf(g_main), {g_main});
            else rc = 1;
            Exit(second.Get(), kSensorDescription);
        }
    }
    OleUninitialize();
    return rc;
}
