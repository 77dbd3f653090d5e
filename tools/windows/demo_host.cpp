// The Windows demo: a host that opens a simulated device's display with the real DLL and real
// windows, plays a short session and prints the window after each step.
//   quillet-demo-win.exe [--screenshot FILE.bmp]
// Needs LNSQuilletVexaProxy.dll and QuilletSimComponents.dll registered (tools/windows/windows.sh demo).
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <olectl.h>

#include <initguid.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "LNSQuilletVexaProxy_h.h"
#include "win32/com/ComRef.h"

using win32::com::ComRef;

namespace {

constexpr wchar_t kDescription[] = L"Fan Coil Unit";
constexpr wchar_t kProgramId[] = L"80000A1B2C3D4E5F";

std::string Utf8(const std::wstring& s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void Step(const char* title) { std::printf("\n=== %s ===\n", title); std::fflush(stdout); }

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

std::wstring TextOf(HWND w) {
    wchar_t buf[512] = {};
    GetWindowTextW(w, buf, 512);
    return buf;
}

std::wstring ClassOf(HWND w) {
    wchar_t buf[128] = {};
    GetClassNameW(w, buf, 128);
    return buf;
}

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
    std::printf("%*s%s \"%s\" (%ld,%ld %ldx%ld)\n", depth * 2, "", Utf8(cls).c_str(), Utf8(TextOf(w)).c_str(), r.left,
                r.top, r.right - r.left, r.bottom - r.top);
    if (cls == STATUSCLASSNAMEW) {
        int parts = static_cast<int>(SendMessageW(w, SB_GETPARTS, 0, 0));
        for (int i = 0; i < parts; ++i) {
            wchar_t text[512] = {};
            if (LOWORD(SendMessageW(w, SB_GETTEXTLENGTHW, i, 0)) < 512) SendMessageW(w, SB_GETTEXTW, i, reinterpret_cast<LPARAM>(text));
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

// A modal dialog runs its own message loop: this timer, called from inside it, shows the dialog
// and closes it with its OK button (then Cancel, then the title bar, should it stay).
HWND g_main = nullptr;
void CALLBACK CloseDialog(HWND, UINT, UINT_PTR id, DWORD) {
    static int attempts = 0;
    HWND dialog = FindTopLevel(L"", g_main);
    if (!dialog) {
        if (attempts > 0) KillTimer(nullptr, id);
        return;
    }
    switch (attempts++) {
        case 0:
            std::printf("dialog:\n");
            DumpWindow(dialog, 0);
            std::printf("user: OK\n");
            if (HWND ok = FindChild(dialog, L"Button", L"OK")) SendMessageW(ok, BM_CLICK, 0, 0);
            break;
        case 1:
            std::printf("(the dialog is still open: Cancel)\n");
            if (HWND cancel = FindChild(dialog, L"Button", L"Cancel")) SendMessageW(cancel, BM_CLICK, 0, 0);
            break;
        default:
            std::printf("(the dialog is still open: closing it)\n");
            PostMessageW(dialog, WM_CLOSE, 0, 0);
            if (attempts > 5) {
                KillTimer(nullptr, id);
                DestroyWindow(dialog);
            }
    }
    std::fflush(stdout);
}

bool SaveScreenshot(HWND w, const std::wstring& file) {
    RECT r{};
    GetWindowRect(w, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi{sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    std::vector<BYTE> pixels(stride * static_cast<DWORD>(height));
    GetDIBits(mem, bmp, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER fh{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* f = _wfopen(file.c_str(), L"wb");
    if (!f) return false;
    std::fwrite(&fh, sizeof fh, 1, f);
    std::fwrite(&bi, sizeof bi, 1, f);
    std::fwrite(pixels.data(), 1, pixels.size(), f);
    std::fclose(f);
    return true;
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
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        std::printf("host: OnAppExit received (dispatch id %ld)\n", static_cast<long>(id));
        return S_OK;
    }
};

ComRef<IDispatch> Create(const wchar_t* progId) {
    CLSID clsid;
    ComRef<IDispatch> d;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(d.Put()));
    return d;
}

// A late-bound call with string, integer and boolean arguments given left to right.
HRESULT Call(IDispatch* d, const wchar_t* name, std::vector<VARIANT> args, WORD flags = DISPATCH_METHOD) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS p{reversed.data(), flags == DISPATCH_PROPERTYPUT ? &put : nullptr, static_cast<UINT>(reversed.size()),
                 flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    if (SUCCEEDED(hr)) hr = d->Invoke(id, IID_NULL, 0, flags, &p, nullptr, nullptr, nullptr);
    for (auto& v : args) VariantClear(&v);
    return hr;
}

VARIANT Str(const wchar_t* s) { VARIANT v; VariantInit(&v); V_VT(&v) = VT_BSTR; V_BSTR(&v) = SysAllocString(s); return v; }
VARIANT I4(long i) { VARIANT v; VariantInit(&v); V_VT(&v) = VT_I4; V_I4(&v) = i; return v; }
VARIANT Bool(bool b) { VARIANT v; VariantInit(&v); V_VT(&v) = VT_BOOL; V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE; return v; }

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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring screenshot;
    for (int i = 1; i < argc; ++i)
        if (std::wstring(argv[i]) == L"--screenshot" && i + 1 < argc) screenshot = argv[++i];

    OleInitialize(nullptr);
    int rc = 0;
    {
        auto control = Create(L"QuilletSim.Control");
        auto device = Create(L"QuilletSim.AppDevice");
        auto system = Create(L"QuilletSim.System");
        auto properties = Create(L"QuilletSim.Collection");
        auto server = Create(L"LNSQuilletVexaProxy.IHalvernServer");
        if (!server || !control || !device || !system || !properties) {
            std::printf("LNSQuilletVexaProxy.dll and QuilletSimComponents.dll must be registered\n");
            OleUninitialize();
            return 1;
        }
        Call(control.Get(), L"Reset", {});
        Call(control.Get(), L"AddPlugin", {Str(kProgramId), Str(L"FanCoil.chm"), Str(L"QuilletSim.UnitsWorkspace"), Bool(true)});
        Call(control.Get(), L"AddFeature", {Str(kProgramId), I4(1), Str(L"&Configure")});
        Call(control.Get(), L"AddFeature", {Str(kProgramId), I4(2), Str(L"&Recalibrate")});
        Call(control.Get(), L"ConfigureWorkspace", {Str(L"QuilletSim.UnitsWorkspace"), Bool(false), Bool(true), Bool(true)});
        Call(device.Get(), L"Name", {Str(L"Fan Coil 1")}, DISPATCH_PROPERTYPUT);
        Call(device.Get(), L"ProgramId", {Str(kProgramId)}, DISPATCH_PROPERTYPUT);
        Call(system.Get(), L"Name", {Str(L"Building Network")}, DISPATCH_PROPERTYPUT);

        ComRef<_IHalvernServer> dual;
        server->QueryInterface(IID__IHalvernServer, reinterpret_cast<void**>(dual.Put()));
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
        HRESULT hr = dual->IsPlugInExist(&program, &exists);
        std::printf("host: IsPlugInExist -> %s\n", FAILED(hr) ? Failure(hr).c_str() : exists ? "True" : "False");
        SysFreeString(program);

        Step("Host: StartApp(Fan Coil 1, network, 3.2, True, \"Fan Coil Unit\", ...)");
        AppDevice* dev = nullptr;
        System* sys = nullptr;
        Collection* col = nullptr;
        device->QueryInterface(IID_AppDevice, reinterpret_cast<void**>(&dev));
        system->QueryInterface(IID_System, reinterpret_cast<void**>(&sys));
        properties->QueryInterface(IID_Collection, reinterpret_cast<void**>(&col));
        float version = 3.2f;
        VARIANT_BOOL ft2 = VARIANT_TRUE, lnspi = VARIANT_TRUE, started = VARIANT_FALSE;
        BSTR description = SysAllocString(kDescription), address = SysAllocString(L"Fan Coil 1 (1/12)");
        hr = dual->StartApp(&dev, &sys, &version, &ft2, &description, &address, &col, &lnspi, &started);
        std::printf("host: StartApp -> %s\n", FAILED(hr) ? Failure(hr).c_str() : started ? "True" : "False");
        SysFreeString(description);
        SysFreeString(address);
        if (dev) dev->Release();
        if (sys) sys->Release();
        if (col) col->Release();

        Step("Host: RunFullAppView");
        LONG opened = 0;
        hr = dual->RunFullAppView(&opened);
        if (FAILED(hr)) std::printf("host: RunFullAppView -> %s\n", Failure(hr).c_str());
        else std::printf("host: RunFullAppView -> %ld\n", static_cast<long>(opened));
        Pump(1000);
        PrintNewCalls(control.Get());
        g_main = FindTopLevel(kDescription);
        if (!g_main) {
            std::printf("no display window\n");
            rc = 1;
        } else {
            DumpWindow(g_main, 0, true);

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

            Step("User: Tools > Engineering Units, closed with OK");
            SetTimer(nullptr, 0, 700, CloseDialog);
            ChooseMenu(g_main, L"&Engineering Units");
            Pump(1000);

            if (!screenshot.empty()) {
                Step("Screenshot");
                std::printf("%s %s\n", SaveScreenshot(g_main, screenshot) ? "saved" : "could not save", Utf8(screenshot).c_str());
            }
        }

        Step("Host: ExitApp");
        hr = dual->ExitApp();
        Pump(300);
        std::printf("host: ExitApp -> %s; display window %s\n", FAILED(hr) ? Failure(hr).c_str() : "done",
                    FindTopLevel(kDescription) ? "still shown" : "gone");
        if (cp) cp->Unadvise(cookie);
    }
    OleUninitialize();
    return rc;
}
