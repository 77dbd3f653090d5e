// The display as users see it, under Wine: LNSQuilletVexaProxy.dll created by ProgID over the
// simulated components, driven through its real windows (menu commands, button clicks, modal
// dialogs and message boxes answered from a timer) and checked through what those windows show.
// Ends with 50 open/close cycles in this one process, watching windows, memory and GDI objects.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <olectl.h>
#include <psapi.h>

#include <initguid.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ComTestSupport.h"
#include "LNSQuilletVexaProxy_h.h"
#include "TestHarness.h"

using namespace qvtest;

namespace {

constexpr wchar_t kDescription[] = L"Quillet Display Test";
constexpr wchar_t kCannotCommunicate[] = L"Cannot communicate with device - please check connections";
constexpr wchar_t kPluginFileMissing[] =
    L"Unable to display information about this device. The required plug-in file is not available.";
// The device object's link interface, as the workspace control receives it.
const IID kDeviceLinkIid = {0x4C725D56, 0x5B85, 0x11D5, {0x8D, 0xE3, 0x00, 0xC0, 0x4F, 0x5C, 0xAA, 0xEE}};

// ---- the real windows ----------------------------------------------------------------------

// Chooses a menu item as the user does; returns once the command (and any modal window it
// opened) has finished.
bool Choose(HWND main, const std::wstring& caption) {
    UINT id = main && GetMenu(main) ? MenuCommand(GetMenu(main), caption) : 0;
    if (!id) {
        Fail("no menu item " + Show(caption), __LINE__);
        return false;
    }
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    Pump(50);
    return true;
}

bool Grayed(HWND main, const std::wstring& caption) {
    UINT state = 0;
    if (!main || !GetMenu(main) || !MenuCommand(GetMenu(main), caption, &state)) return false;
    return (state & MF_GRAYED) != 0;
}

// Sees every message sent to a window of this thread while it lives.
class SentWatch {
public:
    explicit SentWatch(std::function<void(const CWPSTRUCT&)> see) : see_(std::move(see)) {
        current_ = this;
        hook_ = SetWindowsHookExW(WH_CALLWNDPROC, &SentWatch::Proc, nullptr, GetCurrentThreadId());
    }
    ~SentWatch() {
        if (hook_) UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    bool Hooked() const { return hook_ != nullptr; }

private:
    static LRESULT CALLBACK Proc(int code, WPARAM wp, LPARAM lp) {
        if (current_ && code == HC_ACTION && lp) current_->see_(*reinterpret_cast<const CWPSTRUCT*>(lp));
        return CallNextHookEx(nullptr, code, wp, lp);
    }
    static inline SentWatch* current_ = nullptr;
    std::function<void(const CWPSTRUCT&)> see_;
    HHOOK hook_ = nullptr;
};

void Click(HWND parent, const wchar_t* caption) {
    if (HWND b = Child(parent, L"Button", caption)) SendMessageW(b, BM_CLICK, 0, 0);
    else Fail(std::string("no button ") + Show(caption), __LINE__);
}

// ---- help viewers, seen where they are entered ------------------------------------------------

// Sends the first instructions of a function to a replacement for as long as it lives.
class Detour {
public:
    Detour(void* target, void* replacement) : target_(static_cast<BYTE*>(target)) {
        if (!target_) return;
#ifdef _WIN64
        BYTE code[12] = {0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xE0};  // mov rax, imm64; jmp rax
        std::memcpy(code + 2, &replacement, sizeof(void*));
#else
        BYTE code[5] = {0xE9, 0, 0, 0, 0};  // jmp rel32
        const auto rel = static_cast<LONG>(reinterpret_cast<BYTE*>(replacement) - (target_ + 5));
        std::memcpy(code + 1, &rel, sizeof rel);
#endif
        size_ = sizeof code;
        DWORD old = 0;
        if (!VirtualProtect(target_, size_, PAGE_EXECUTE_READWRITE, &old)) {
            target_ = nullptr;
            return;
        }
        std::memcpy(saved_, target_, size_);
        std::memcpy(target_, code, size_);
        VirtualProtect(target_, size_, old, &old);
        FlushInstructionCache(GetCurrentProcess(), target_, size_);
    }
    ~Detour() {
        if (!target_) return;
        DWORD old = 0;
        VirtualProtect(target_, size_, PAGE_EXECUTE_READWRITE, &old);
        std::memcpy(target_, saved_, size_);
        VirtualProtect(target_, size_, old, &old);
        FlushInstructionCache(GetCurrentProcess(), target_, size_);
    }
    Detour(const Detour&) = delete;
    Detour& operator=(const Detour&) = delete;
    bool Active() const { return target_ != nullptr; }

private:
    BYTE* target_;
    BYTE saved_[16] = {};
    size_t size_ = 0;
};

struct HelpCall {
    const char* viewer;
    HWND owner;
    std::string file;
    UINT command;
    ULONG_PTR data;
};
std::vector<HelpCall> g_helpCalls;

HWND WINAPI RecordHtmlHelpA(HWND owner, LPCSTR file, UINT command, DWORD_PTR data) {
    g_helpCalls.push_back({"HtmlHelpA", owner, file ? file : "", command, data});
    return nullptr;  // what a missing file gives
}

BOOL WINAPI RecordWinHelpA(HWND owner, LPCSTR file, UINT command, ULONG_PTR data) {
    g_helpCalls.push_back({"WinHelpA", owner, file ? file : "", command, data});
    return FALSE;
}

void* Export(const wchar_t* module, const char* name) {
    HMODULE m = GetModuleHandleW(module);
    return m ? reinterpret_cast<void*>(GetProcAddress(m, name)) : nullptr;
}

// ---- sessions --------------------------------------------------------------------------------

// The simulated world with one plug-in whose help file and workspace control are given.
struct World : SimulatedWorld {
    World(const wchar_t* help, const wchar_t* workspace, bool unitsWorkspace = false) : SimulatedWorld(L"QV.DISPLAY.DEVICE") {
        AddPlugin(L"QV.DISPLAY.DEVICE", help, workspace);
        Args ws;
        ws.Str(workspace).Bool(true).Bool(true).Bool(true);
        if (unitsWorkspace) CHECK_HR(CallByName(control.Get(), L"ConfigureWorkspace", ws), S_OK);
    }
};

// One host session, started on the world's objects and shown.
struct Session : HostSession {
    HWND main = nullptr;

    explicit Session(World& w) {
        if (w.Start(server.Get(), kDescription, L"Display Node (1/7)")) main = Open(kDescription);
    }
    ~Session() { Exit(); }
    void Exit() {
        if (server) CHECK_HR(server->ExitApp(), S_OK);
        Release();
        Pump(50);
    }
};

// The process's working set, and the bytes in use in all its heaps (the DLL's allocations among them).
struct Memory {
    long long workingSet = 0;
    long long heap = 0;
};

Memory MemoryNow() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return {static_cast<long long>(pmc.WorkingSetSize), HeapInUse()};
}

}  // namespace

TEST_CASE(WorkspaceControlIsHostedAttachedRefreshedAndRemoved) {
    World world(L"", L"QuilletSim.Workspace");
    Session s(world);
    if (!s.main) return;

    // Shown in the device view beside its buttons, and the only workspace control there is.
    HWND view = Child(s.main, L"QuilletVexaContainer", L"Device View");
    CHECK(view && IsWindowVisible(view));
    auto hosts = Children(s.main, L"AtlAxWin");
    CHECK_EQ(hosts.size(), 1u);
    HWND host = hosts.empty() ? nullptr : hosts.front();
    CHECK(host && GetParent(host) == view && TextOf(host) == L"QuilletSim.Workspace" && IsWindowVisible(host));
    HWND buttons = Child(view, L"QuilletVexaContainer", L"buttons");
    if (host && buttons) {
        RECT h = RectIn(host, view), b = RectIn(buttons, view);
        CHECK_EQ(h.left, Pixels(150));
        CHECK(h.right <= b.left && h.bottom > h.top + 100);
        CHECK(Child(host, L"QuilletSimControl") != nullptr);
    }
    CHECK_EQ(world.Long(L"LiveWorkspaceControls"), 1);

    // Attached to the link of the device object the plug-in server was handed, then uploaded.
    auto link = world.Object(world.control.Get(), L"LastAttachedLink");
    auto device = world.Object(world.control.Get(), L"LastLoadedDevice");
    CHECK(link && device && SameObject(link.Get(), device.Get()));
    ComRef<IUnknown> linkItf;
    if (link) link->QueryInterface(kDeviceLinkIid, reinterpret_cast<void**>(linkItf.Put()));
    CHECK(linkItf);
    CHECK_EQ(world.String(link.Get(), L"DeviceName"), std::wstring(L"Quillet Test Node"));
    auto appDevice = world.Object(device.Get(), L"AppDevice");
    CHECK(SameObject(appDevice.Get(), world.device.Get()));
    CHECK_EQ(world.CountOf(L"Workspace.AttachLink"), 1);
    CHECK_EQ(world.CountOf(L"Workspace.Upload"), 1);
    CHECK_EQ(StatusText(s.main), std::wstring());
    // A control without engineering units leaves the Tools item disabled.
    CHECK(Grayed(s.main, L"&Engineering Units"));

    // The tree and both lists draw from one list of the eight images.
    CHECK_EQ(Children(s.main, WC_TREEVIEWW).size(), 1u);
    auto shared = reinterpret_cast<HIMAGELIST>(SendMessageW(Child(s.main, WC_TREEVIEWW), TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    CHECK(shared != nullptr);
    CHECK_EQ(ImageList_GetImageCount(shared), 8);
    int cx = 0, cy = 0;
    CHECK(ImageList_GetIconSize(shared, &cx, &cy) && cx == 16 && cy == 16);
    auto lists = Children(s.main, WC_LISTVIEWW);
    CHECK_EQ(lists.size(), 2u);
    for (HWND list : lists) {
        CHECK(reinterpret_cast<HIMAGELIST>(SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0)) == shared);
        CHECK(reinterpret_cast<HIMAGELIST>(SendMessageW(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0)) == shared);
    }
    // Eight different pictures.
    std::vector<COLORREF> centres;
    if (shared) {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bmp = CreateCompatibleBitmap(screen, 16, 16);
        HGDIOBJ old = SelectObject(dc, bmp);
        for (int i = 0; i < ImageList_GetImageCount(shared); ++i) {
            RECT all{0, 0, 16, 16};
            FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            ImageList_Draw(shared, i, dc, 0, 0, ILD_NORMAL);
            centres.push_back(GetPixel(dc, 8, 8));
        }
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }
    std::sort(centres.begin(), centres.end());
    CHECK_EQ(std::unique(centres.begin(), centres.end()) - centres.begin(), 8);

    // View > Refresh reads the device again; a device that does not answer is reported.
    long uploads = 1;
    for (bool answering : {true, false, true}) {
        world.Set(world.device.Get(), L"Answering", answering);
        Choose(s.main, L"&Refresh");
        CHECK_EQ(world.CountOf(L"Workspace.Upload"), uploads += answering ? 1 : 0);
        CHECK_EQ(StatusText(s.main), std::wstring(answering ? L"" : kCannotCommunicate));
    }

    // The plug-in server announcing the control again replaces it: still exactly one.
    Args announce;
    announce.Str(L"QuilletSim.Workspace");
    CHECK_HR(CallByName(world.control.Get(), L"RaiseWorkspaceAvailable", announce), S_OK);
    Pump(50);
    CHECK_EQ(Children(s.main, L"AtlAxWin").size(), 1u);
    CHECK_EQ(world.Long(L"LiveWorkspaceControls"), 1);
    CHECK(host && !IsWindow(host));

    HWND main = s.main;
    s.Exit();
    CHECK(!IsWindow(main) || !IsWindowVisible(main));
    CHECK(Children(main, L"AtlAxWin").empty());
    CHECK_EQ(world.Long(L"LiveWorkspaceControls"), 0);
}

// A key pressed on the keyboard: down and up through the system's input queue.
bool PressKey(WORD vk) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(2, in, sizeof(INPUT)) == 2;
}

// The host's own top-level window with an edit box, as a host application has.
struct HostWindow {
    HWND frame = OwnFrame(L"Host", 20, 20, 320, 200);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 5, 5, 200, 22, frame, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ~HostWindow() { DestroyWindow(frame); }
};

void Activate(HWND top, HWND focus) {
    SetForegroundWindow(top);
    SetActiveWindow(top);
    SetFocus(focus);
    Pump(50);
}

TEST_CASE(F5RefreshesWhileTheDisplayOrAChildHasTheFocus) {
    World world(L"", L"QuilletSim.Workspace");
    Session s(world);
    if (!s.main) return;
    HostWindow host;
    HWND button = Child(s.main, L"Button", L"&Configure");
    HWND control = Child(s.main, L"QuilletSimControl");
    CHECK(button && control);
    const long start = world.CountOf(L"Workspace.Upload");
    CHECK_EQ(start, 1);

    // This host's loop (Pump) translates no accelerators: the display does it itself. The control
    // is inside the hosted workspace control.
    Activate(s.main, button);
    CHECK_EQ(GetActiveWindow(), s.main);
    long uploads = start;
    for (HWND to : {button, control, s.main}) {
        PostKey(to, VK_F5);
        Pump(100);
        CHECK_EQ(world.CountOf(L"Workspace.Upload"), ++uploads);
    }
    // From the keyboard, through the system's input queue.
    CHECK(PressKey(VK_F5));
    Pump(200);
    CHECK_EQ(world.CountOf(L"Workspace.Upload"), start + 4);
    // A key that is no shortcut does nothing.
    PostKey(button, VK_F6);
    Pump(100);
    CHECK_EQ(world.CountOf(L"Workspace.Upload"), start + 4);

    // The host's own window is active: F5 is its own, typed keys still reach it.
    Activate(host.frame, host.edit);
    CHECK_EQ(GetActiveWindow(), host.frame);
    CHECK_EQ(GetFocus(), host.edit);
    PostKey(host.edit, VK_F5);
    PostKey(host.frame, VK_F5);
    CHECK(PressKey(VK_F5));
    CHECK(PressKey('A'));
    Pump(200);
    CHECK_EQ(world.CountOf(L"Workspace.Upload"), start + 4);
    CHECK_EQ(TextOf(host.edit), std::wstring(L"a"));
    // Even a key aimed at the display's child while the host is active does nothing.
    PostKey(button, VK_F5);
    Pump(100);
    CHECK_EQ(world.CountOf(L"Workspace.Upload"), start + 4);

    // After the display has gone the host's keys are left alone.
    s.Exit();
    Activate(host.frame, host.edit);
    CHECK(PressKey('B'));
    Pump(100);
    CHECK_EQ(TextOf(host.edit), std::wstring(L"ab"));
}

TEST_CASE(FeaturesLaunchFromTheDeviceMenuAndButtonsOwnedByTheDisplay) {
    World world(L"", L"QuilletSim.Workspace");
    Args second;
    second.Str(L"QV.DISPLAY.DEVICE").I4(7).Str(L"&Recalibrate");
    CHECK_HR(CallByName(world.control.Get(), L"AddFeature", second), S_OK);
    Session s(world);
    if (!s.main) return;
    const std::wstring device = world.String(world.device.Get(), L"Name");
    CHECK(!device.empty());
    const long owner = static_cast<long>(reinterpret_cast<LONG_PTR>(s.main));
    // Device menu items and feature buttons: the server gets the feature's id from either.
    HMENU menu = SubMenu(GetMenu(s.main), L"&Device");
    const UINT recalibrate = MenuCommand(menu, L"&Recalibrate"), configure = MenuCommand(menu, L"&Configure");
    CHECK(recalibrate != 0 && configure != 0 && recalibrate != configure);
    HWND configureButton = Child(s.main, L"Button", L"&Configure"), recalibrateButton = Child(s.main, L"Button", L"&Recalibrate");
    CHECK(configureButton && IsWindowVisible(configureButton) && recalibrateButton);
    auto command = [&s](UINT id) { return [&s, id] { SendMessageW(s.main, WM_COMMAND, MAKEWPARAM(id, 0), 0); }; };
    auto click = [](HWND button) { return [button] { SendMessageW(button, BM_CLICK, 0, 0); }; };
    const struct {
        std::function<void()> launch;
        long feature;
        std::wstring caption;
        bool fails;
    } launches[] = {{command(recalibrate), 7, L"Recalibrate", false},
                    {click(configureButton), 1, L"Configure", false},
                    {click(recalibrateButton), 7, L"Recalibrate", true},
                    {command(configure), 1, L"Configure", true}};
    long launched = 0, uploads = world.CountOf(L"Workspace.Upload");
    for (const auto& l : launches) {
        if (l.fails && launched == 2) {
            Args fail;
            fail.Str(L"LaunchFeature").I4(2);
            CHECK_HR(CallByName(world.control.Get(), L"SetOutcome", fail), S_OK);
        }
        const Box box = AnsweringTheBox(l.launch);
        CHECK_EQ(world.CountOf(L"PluginServer.LaunchFeature"), ++launched);
        CHECK_EQ(world.Long(L"LastLaunchedFeature"), l.feature);
        CHECK_EQ(world.Long(L"LastLaunchOwner"), owner);
        CHECK_EQ(world.CountOf(L"Workspace.Upload"), ++uploads);  // refreshed after a failure as after a success
        CHECK_EQ(box.seen, l.fails ? 1 : 0);
        if (!l.fails) {
            CHECK_EQ(world.String(world.control.Get(), L"FeatureWindowCaption"), l.caption + L" " + device);
            continue;
        }
        // The plug-in server cannot launch: one box names the feature and the device, and says why.
        CHECK_EQ(box.title, L"Quillet - " + device + L" " + l.caption + L" Error");
        CHECK_EQ(box.text, L"An error occurred while trying to launch the \r\n" + l.caption + L" feature for device " + device +
                               L".\r\nThe necessary files to run the feature are not available.\r\n"
                               L"Please refer to your user manual for  devices\r\n"
                               L"for more information on how to install device plug-ins.");
        CHECK(box.okOnly);
        CHECK(TopLevel(L"#32770") == nullptr);
        CHECK(IsWindowEnabled(s.main));
    }
}

// Which control shows the device: the plug-in's, the generic one when the plug-in's is not there, or
// the error view when neither is. Controls as a classic Visual Basic-style runtime makes them are
// bound to the workspace interface by its id and member positions, so names that do not work on it
// do not matter; a control with members of those names on its default dispatch only is refused.
TEST_CASE(TheDeviceShowsInItsControlTheGenericOneOrTheErrorView) {
    const struct {
        const wchar_t* progId;
        bool fallbackInstalled;
        const wchar_t* shown;  // nullptr: the error view
        long created;
    } cases[] = {{L"QuilletSim.NoSuchWorkspace", false, nullptr, 0},
                 {L"QuilletSim.NoSuchWorkspace", true, L"CEAQuilletUnknownWS.Workspace", 1},
                 {L"QuilletSim.VbWorkspace", false, L"QuilletSim.VbWorkspace", 1},
                 {L"QuilletSim.NamelessWorkspace", false, L"QuilletSim.NamelessWorkspace", 1},
                 {L"QuilletSim.NamesOnlyWorkspace", false, nullptr, 1}};
    for (const auto& c : cases) {
        World world(L"", c.progId);
        world.Set(world.control.Get(), L"FallbackInstalled", c.fallbackInstalled);
        Session s(world);
        if (!s.main) return;
        HWND errorView = Child(s.main, L"QuilletVexaContainer", L"Device View Error");
        HWND deviceView = Child(s.main, L"QuilletVexaContainer", L"Device View");
        HWND host = Child(s.main, L"AtlAxWin");
        CHECK(errorView && (IsWindowVisible(errorView) != FALSE) == !c.shown);
        CHECK_EQ(world.CountOf(L"Workspace.Create"), c.created);
        CHECK_EQ(world.CountOf(L"Workspace.AttachLink"), c.shown ? 1 : 0);
        if (c.shown) {
            CHECK(host && TextOf(host) == c.shown && IsWindowVisible(host));
            CHECK_EQ(world.CountOf(L"Workspace.Upload"), 1);
            continue;
        }
        CHECK(deviceView && !IsWindowVisible(deviceView));
        CHECK(host == nullptr);
        CHECK_EQ(world.Long(L"LiveWorkspaceControls"), 0);
        HWND label = errorView ? Child(errorView, L"Static") : nullptr;
        CHECK(label && IsWindowVisible(label));
        if (!label) continue;
        CHECK_EQ(TextOf(label), std::wstring(kPluginFileMissing));
        // Centred in its frame.
        RECT f{}, l = RectIn(label, errorView);
        GetClientRect(errorView, &f);
        CHECK(std::abs((l.left + l.right) / 2 - f.right / 2) <= 2);
        CHECK(std::abs((l.top + l.bottom) / 2 - f.bottom / 2) <= 2);
    }
}

// What the screen shows in `area`, one COLORREF a pixel, row by row.
std::vector<COLORREF> ScreenPixels(const RECT& area) {
    const int w = area.right - area.left, h = area.bottom - area.top;
    std::vector<COLORREF> out;
    if (w <= 0 || h <= 0) return out;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bmp && bits) {
        HGDIOBJ old = SelectObject(dc, bmp);
        BitBlt(dc, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const auto* px = static_cast<const DWORD*>(bits);
        for (int i = 0; i < w * h; ++i) out.push_back(RGB((px[i] >> 16) & 0xFF, (px[i] >> 8) & 0xFF, px[i] & 0xFF));
        SelectObject(dc, old);
    }
    if (bmp) DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return out;
}

int Distance(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) + std::abs(GetBValue(a) - GetBValue(b));
}

// Pixels of `area` on the screen, outside `covered`, within a small distance of `ink`.
int InkPixels(RECT area, const RECT& covered, COLORREF ink) {
    int n = 0, i = 0;
    auto pixels = ScreenPixels(area);
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x, ++i) {
            POINT p{x, y};
            if (!PtInRect(&covered, p) && i < static_cast<int>(pixels.size()) &&
                Distance(pixels[static_cast<size_t>(i)], ink) < 40)
                ++n;
        }
    return n;
}

// Tools > Engineering Units: the Options dialog, owned by the display from its first moment and
// centred over it while the display still paints behind it, and the units it hands back.
TEST_CASE(EngineeringUnitsDialogRoundTrip) {
    World world(L"", L"QuilletSim.UnitsWorkspace", true);
    Session s(world);
    if (!s.main) return;
    CHECK(!Grayed(s.main, L"&Engineering Units"));
    // Away from the screen's centre, so that centred on the screen and centred over the display differ.
    RECT m{};
    SetWindowPos(s.main, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Pump(100);
    GetWindowRect(s.main, &m);
    // What the dialog's owner was like at the moment the dialog was shown.
    bool seen = false, ownedThen = false, ownerEnabledThen = false;
    SentWatch shown([&](const CWPSTRUCT& m) {
        if (m.message != WM_SHOWWINDOW || !m.wParam || seen || TextOf(m.hwnd) != L"Quillet Options") return;
        seen = true;
        ownedThen = GetWindow(m.hwnd, GW_OWNER) == s.main;
        ownerEnabledThen = IsWindowEnabled(s.main) != FALSE;
    });
    CHECK(shown.Hooked());

    // OK: the units control applies, hands the units back and asks to close.
    bool hostsUnits = false, tabShown = false;
    {
        ModalScript script(L"QuilletVexaForm", L"Quillet Options", [&](HWND dialog) {
            // The user meets the dialog in its modal loop, with the main window disabled.
            if (IsWindowEnabled(s.main)) return false;
            HWND units = Child(dialog, L"AtlAxWin");
            hostsUnits = units && TextOf(units) == L"QUCtl.QtyUnits" && IsWindowVisible(units);
            tabShown = TabText(Child(dialog, WC_TABCONTROLW), 0) == L"&Units";
            Click(dialog, L"OK");
            return true;
        });
        Choose(s.main, L"&Engineering Units");
        CHECK(script.Done());
    }
    CHECK(hostsUnits);
    CHECK(tabShown);
    // Shown unowned, or while the main window still takes input, the dialog lets queued clicks
    // and keys (the Deactivate handler pumps messages) reach the main window behind it.
    CHECK(seen);
    CHECK(ownedThen);
    CHECK(!ownerEnabledThen);
    CHECK(FindShownWindow(L"Quillet Options") == nullptr);
    CHECK(IsWindowEnabled(s.main));
    CHECK_EQ(world.CountOf(L"QtyUnits.SetFlag"), 1);
    CHECK_EQ(world.CountOf(L"QtyUnits.Apply"), 1);
    CHECK_EQ(world.CountOf(L"Workspace.ApplyEngUnits"), 1);
    CHECK_EQ(world.String(world.Object(world.control.Get(), L"LastAppliedUnits").Get(), L"Name"), std::wstring(L"Units 1"));
    CHECK(world.String(world.control.Get(), L"LastWorkspaceText").find(L"Units: Units 1") != std::wstring::npos);

    // Cancel: nothing reaches the workspace. Before it, what the screen shows beside the dialog.
    RECT d{};
    std::wstring caption;
    int captionInk = -1, menuInk = -1, workspaceInk = -1, emptyPanelInk = -1;
    {
        ModalScript script(L"QuilletVexaForm", L"Quillet Options", [&](HWND dialog) {
            if (IsWindowEnabled(s.main)) return false;
            Pump(300);  // what the display repaints behind the dialog reaches the screen
            GetWindowRect(dialog, &d);
            caption = TextOf(s.main);
            const int border = GetSystemMetrics(SM_CXFRAME) + GetSystemMetrics(SM_CXPADDEDBORDER);
            RECT title{m.left + border + 20, m.top + GetSystemMetrics(SM_CYFRAME), m.left + border + 220,
                       m.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) - 1};
            captionInk = InkPixels(title, d, GetSysColor(COLOR_INACTIVECAPTIONTEXT));
            MENUBARINFO bar{};
            bar.cbSize = sizeof bar;
            if (GetMenuBarInfo(s.main, OBJID_MENU, 0, &bar)) menuInk = InkPixels(bar.rcBar, d, GetSysColor(COLOR_MENUTEXT));
            if (HWND control = Child(s.main, L"QuilletSimControl")) {
                RECT c{};
                GetWindowRect(control, &c);
                c.bottom = c.top + 150;
                workspaceInk = InkPixels(c, d, RGB(0, 0, 0));
            }
            // What the measure finds where nothing is written: the empty first panel of the status bar.
            if (HWND bar = Child(s.main, STATUSCLASSNAMEW)) {
                RECT panel{};
                SendMessageW(bar, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&panel));
                MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&panel), 2);
                InflateRect(&panel, -3, -3);
                emptyPanelInk = InkPixels(panel, d, RGB(0, 0, 0));
            }
            Click(dialog, L"Cancel");
            return true;
        });
        Choose(s.main, L"&Engineering Units");
        CHECK_EQ(script.Seen(), 1);
    }
    std::printf(
        "    display (%ld,%ld)-(%ld,%ld), dialog (%ld,%ld)-(%ld,%ld); text pixels beside the dialog: caption %d, menu bar %d, "
        "workspace %d, empty status panel %d\n",
        m.left, m.top, m.right, m.bottom, d.left, d.top, d.right, d.bottom, captionInk, menuInk, workspaceInk, emptyPanelInk);
    CHECK(d.right > d.left);
    CHECK(std::abs((d.left + d.right) / 2 - (m.left + m.right) / 2) <= 3);
    CHECK(std::abs((d.top + d.bottom) / 2 - (m.top + m.bottom) / 2) <= 3);
    CHECK_EQ(caption, std::wstring(kDescription));
    CHECK(captionInk > 20);
    CHECK(menuInk > 20);
    CHECK(workspaceInk > 20);
    CHECK(emptyPanelInk == 0);
    CHECK(FindShownWindow(L"Quillet Options") == nullptr);
    CHECK_EQ(world.CountOf(L"QtyUnits.Apply"), 1);
    CHECK_EQ(world.CountOf(L"Workspace.ApplyEngUnits"), 1);
    // A control that stays open after OK, whose units still count after Cancel: OptionsTest (unit).
}

// With no help file the user is warned instead: HelpTest (unit) and ui_backend_test's PlatformServices.
TEST_CASE(HelpReachesTheViewers) {
    HMODULE hhctrl = LoadLibraryW(L"hhctrl.ocx");
    CHECK(hhctrl != nullptr);
    {
        World world(L"Display Test.chm", L"QuilletSim.Workspace");
        Session s(world);
        if (!s.main) return;
        // The real hhctrl with a file that is not there returns at once and opens nothing here.
        const int before = WindowCount();
        CHECK_EQ(AnsweringTheBox([&] { Choose(s.main, L"&Contents and Index"); }).seen, 0);
        CHECK_EQ(WindowCount(), before);

        Detour html(Export(L"hhctrl.ocx", "HtmlHelpA"), reinterpret_cast<void*>(&RecordHtmlHelpA));
        CHECK(html.Active());
        g_helpCalls.clear();
        const Box none = AnsweringTheBox([&] {
            Choose(s.main, L"&Contents and Index");
            Click(s.main, L"&Help");
        });
        CHECK_EQ(none.seen, 0);
        CHECK_EQ(g_helpCalls.size(), 2u);
        for (const auto& c : g_helpCalls) {
            CHECK_EQ(std::string(c.viewer), std::string("HtmlHelpA"));
            CHECK(c.owner == s.main);
            CHECK_EQ(c.file, std::string("Display Test.chm"));
            CHECK_EQ(c.command, 1u);
            CHECK_EQ(c.data, 0u);
        }
    }
    {
        World world(L"DISPLAY.HLP", L"QuilletSim.Workspace");
        Session s(world);
        if (!s.main) return;
        Detour win(Export(L"user32.dll", "WinHelpA"), reinterpret_cast<void*>(&RecordWinHelpA));
        CHECK(win.Active());
        g_helpCalls.clear();
        Choose(s.main, L"&Contents and Index");
        CHECK_EQ(g_helpCalls.size(), 1u);
        if (!g_helpCalls.empty()) {
            const auto& c = g_helpCalls.front();
            CHECK(std::string(c.viewer) == "WinHelpA" && c.owner == s.main && c.file == "DISPLAY.HLP");
            CHECK_EQ(c.command, 15u);
            CHECK_EQ(c.data, 3u);
        }
    }
    if (hhctrl) FreeLibrary(hhctrl);
}

TEST_CASE(FiftyOpenCloseCyclesLeaveNothingBehind) {
    World world(L"Display Test.chm", L"QuilletSim.UnitsWorkspace", true);
    Args none;
    // The graphics-object count is asked of an object of its own, made before the sessions (making
    // one clears the session's LNS objects) and never started.
    auto diagnostics = NewDiagnostics();
    auto liveGdi = [&diagnostics] {
        LONG n = -1;
        if (diagnostics) diagnostics->LiveGdiObjects(&n);
        return static_cast<long>(n);
    };
    Pump(50);
    const auto before = WindowCensus();
    int openWindows = 0;
    long openGdi = -1, gdiLeft = 0, workspacesLeft = 0;
    std::string windowsLeft;
    Memory start = MemoryNow(), after10, after50;
    const DWORD began = GetTickCount();
    for (int cycle = 1; cycle <= 50; ++cycle) {
        {
            Session s(world);
            if (!s.main) return;
            if (cycle == 1) {
                openWindows = WindowCount();
                openGdi = liveGdi();
            }
        }
        Pump(20);
        // The simulation's call log is the test's own memory.
        CallByName(world.control.Get(), L"ClearLog", none);
        if (long left = liveGdi(); left != 0 && gdiLeft == 0) gdiLeft = left;
        if (long w = world.Long(L"LiveWorkspaceControls"); w != 0 && workspacesLeft == 0) workspacesLeft = w;
        if (auto now = WindowCensus(); now != before && windowsLeft.empty())
            windowsLeft = "after cycle " + std::to_string(cycle) + ":" + CensusChange(before, now);
        if (cycle == 10) after10 = MemoryNow();
        if (cycle == 50) after50 = MemoryNow();
    }
    const auto after = WindowCensus();
    const long long heapGrowth = after50.heap - after10.heap;
    const long long setGrowth = after50.workingSet - after10.workingSet;
    std::printf("    50 cycles in %lu ms\n", static_cast<unsigned long>(GetTickCount() - began));
    std::printf("    windows of the thread: %d before, %d with the display open, %d after 50 cycles\n", WindowCount(before),
                openWindows, WindowCount(after));
    std::printf("    working set: %lld KiB at start, %lld KiB after 10 cycles, %lld KiB after 50 (cycles 10..50: %+lld KiB)\n",
                start.workingSet / 1024, after10.workingSet / 1024, after50.workingSet / 1024, setGrowth / 1024);
    std::printf("    heap in use: %lld bytes at start, %lld after 10 cycles, %lld after 50 (cycles 10..50: %+lld bytes)\n",
                start.heap, after10.heap, after50.heap, heapGrowth);
    std::printf("    GDI objects of the window backend: %ld with the display open, %ld after 50 cycles\n", openGdi, liveGdi());
    CHECK(diagnostics);
    // The measures must see the open display, or their return to the start proves nothing.
    CHECK(openWindows > WindowCount(before) + 10);
    CHECK(openGdi > 0);
    CHECK(after10.heap > 0 && after10.workingSet > 0);
    CHECK_EQ(windowsLeft, std::string());
    CHECK_EQ(WindowCount(after), WindowCount(before));
    CHECK_EQ(gdiLeft, 0);
    CHECK_EQ(workspacesLeft, 0);
    // A display that stayed behind costs far more than these allowances (one leaked server
    // object alone adds about 700 heap bytes a cycle).
    CHECK(heapGrowth < 4 * 1024);
    CHECK(setGrowth < 512 * 1024);
}

int main() {
    OleInitialize(nullptr);
    int rc = 1;
    if (!SimulatedWorld::Available()) {
        std::printf("display_test: QuilletSimComponents.dll is not registered\n");
        std::printf("display: 0 passed, 1 failed\n");
    } else {
        rc = RunAll("display");
    }
    OleUninitialize();
    return rc;
}
