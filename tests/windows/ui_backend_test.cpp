// The Win32 backend against real windows: run under Wine with a virtual display. Each check looks
// at what the platform shows (window tree, texts, places in pixels, menus) or at what reaches the
// control model from user actions, timers and the message pump.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <type_traits>
#include <vector>

#include "ComTestSupport.h"
#include "TestHarness.h"
#include "automation/Error.h"
#include "ui/Window.h"
#include "win32/ui/Win32Platform.h"

using namespace qvtest;

namespace {

// ---- helpers ----------------------------------------------------------------------------------

using automation::BStr;
using ui::ControlRef;

HWND H(const ui::Control& c) { return reinterpret_cast<HWND>(c.GetPeer() ? c.GetPeer()->Handle() : 0); }
HWND H(const ControlRef& c) { return H(*c); }

// What a list or tree item shows.
struct Item {
    std::wstring text;
    int image = -99, selectedImage = -99;
};

Item ListItem(HWND lv, int row, int sub = 0) {
    wchar_t text[128] = {};
    LVITEMW it{};
    it.mask = LVIF_TEXT | LVIF_IMAGE;
    it.iItem = row;
    it.iSubItem = sub;
    it.pszText = text;
    it.cchTextMax = 128;
    SendMessageW(lv, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return {text, it.iImage};
}

// The rows as the user reads them: cells joined by '|', rows by ' '.
std::wstring Rows(HWND lv) {
    std::wstring out;
    const auto columns = SendMessageW(reinterpret_cast<HWND>(SendMessageW(lv, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0);
    for (int row = 0, n = static_cast<int>(SendMessageW(lv, LVM_GETITEMCOUNT, 0, 0)); row < n; ++row)
        for (int sub = 0; sub < columns; ++sub) out += (sub ? L"|" : row ? L" " : L"") + ListItem(lv, row, sub).text;
    return out;
}

Item TreeItem(HWND tv, HTREEITEM item) {
    wchar_t text[128] = {};
    TVITEMW it{};
    it.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    it.hItem = item;
    it.pszText = text;
    it.cchTextMax = 128;
    SendMessageW(tv, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return {text, it.iImage, it.iSelectedImage};
}

// A tree item by text, searched depth first.
Item TreeItem(HWND tv, const std::wstring& text, HTREEITEM under = TVI_ROOT) {
    for (HTREEITEM item = TreeView_GetChild(tv, under); item; item = TreeView_GetNextSibling(tv, item)) {
        if (Item found = TreeItem(tv, item); found.text == text) return found;
        if (Item inner = TreeItem(tv, text, item); inner.text == text) return inner;
    }
    return {};
}

// A menu as the user reads it: captions, each submenu in brackets, grayed items after a '~'.
std::wstring MenuTree(HMENU menu) {
    std::wstring out;
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        out += std::wstring(i ? L" " : L"") + (GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED ? L"~" : L"") + MenuText(menu, i);
        if (HMENU sub = GetSubMenu(menu, i)) out += L"[" + MenuTree(sub) + L"]";
    }
    return out;
}

std::string Joined(const std::vector<std::string>& log) {
    std::string out;
    for (const auto& entry : log) out += (out.empty() ? "" : " ") + entry;
    return out;
}

// Lets the platform's message pump run for a while, as a host's message loop would.
// Lets messages run for `ms`, or until `done` holds: a wait that bounds, never a check.
void RunEvents(DWORD ms, const std::function<bool()>& done = nullptr) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms && !(done && done())) {
        ui::CurrentPlatform().DoEvents();
        Sleep(5);
    }
}

// A window with a bit of everything the main window is made of.
struct TestForm {
    std::shared_ptr<ui::Window> w;
    ControlRef frame, label, hiddenLabel, ok, cancel, grab, picture, mnuFile, mnuHelp;
    std::shared_ptr<ui::ListView> list;
    std::shared_ptr<ui::StatusBar> status;
    std::shared_ptr<ui::Timer> timer;

    explicit TestForm(const char16_t* caption = u"Backend Test") {
        w = ui::Window::Create(u"frmTest");
        w->SetCaption(caption);
        w->Move(1500, 1200, 9000, 6000);
        frame = w->AddPlain(ui::Kind::Frame, u"fraMain");
        frame->SetCaption(u"Devices");
        frame->Move(150, 150, 6000, 4000);
        label = w->AddPlain(ui::Kind::Label, u"lblCount", frame);
        label->SetCaption(u"Total: 3");
        label->Move(120, 300, 3000, 255);
        hiddenLabel = w->AddPlain(ui::Kind::Label, u"lblHidden", frame);
        hiddenLabel->SetVisible(false);
        list = w->Add<ui::ListView>(u"lvwDevices", frame);
        list->Move(120, 700, 5700, 3000);
        list->AddColumn(u"Name", u"Device Name", 1800);
        list->AddColumn(u"Type", u"Device Type", 1500);
        list->Add(u"k1", u"Pump");
        list->SetSubItem(u"k1", 1, u"Actuator");
        list->Add(u"k2", u"Fan");
        list->SetSubItem(u"k2", 1, u"Blower");
        list->Add(u"k3", u"Valve");
        list->SetSorted(true);
        ok = w->AddPlain(ui::Kind::CommandButton, u"cmdOk");
        ok->SetCaption(u"&OK");
        ok->SetDefault(true);
        ok->SetToolTipText(u"Accept");
        ok->Move(6500, 300, 1485, 375);
        cancel = w->AddPlain(ui::Kind::CommandButton, u"cmdCancel");
        cancel->SetCaption(u"Cancel");
        cancel->SetCancel(true);
        cancel->Move(6500, 800, 1485, 375);
        grab = w->AddPlain(ui::Kind::Image, u"imgGrab");
        grab->Move(6300, 1500, 75, 2000);
        picture = w->AddPlain(ui::Kind::PictureBox, u"picBar");
        picture->Move(6300, 1500, 75, 2000);
        picture->SetVisible(false);
        status = w->Add<ui::StatusBar>(u"staStatus");
        status->AddPanel(ui::Panel{u"Ready", {}, 3000, true});
        status->AddPanel(ui::Panel{u"Online", u"Link state", 1500, false});
        auto progress = w->Add<ui::ProgressBar>(u"ProgressBar", status);
        progress->Move(4000, 30, 1200, 200);
        progress->SetValue(40);
        mnuFile = w->AddPlain(ui::Kind::MenuItem, u"mnuFile");
        mnuFile->SetCaption(u"&File");
        w->AddPlain(ui::Kind::MenuItem, u"mnuFiles", mnuFile, 0)->SetCaption(u"&Open");
        w->AddPlain(ui::Kind::MenuItem, u"mnuFiles", mnuFile, 1)->SetCaption(u"E&xit");
        mnuHelp = w->AddPlain(ui::Kind::MenuItem, u"mnuHelp");
        mnuHelp->SetCaption(u"&Help");
        auto about = w->AddPlain(ui::Kind::MenuItem, u"mnuHelps", mnuHelp, 0);
        about->SetCaption(u"&About");
        about->SetVisible(false);
        auto contents = w->AddPlain(ui::Kind::MenuItem, u"mnuHelps", mnuHelp, 1);
        contents->SetCaption(u"&Contents");
        contents->SetEnabled(false);
        timer = w->Add<ui::Timer>(u"tmrPoll");
        auto images = w->Add<ui::ImageList>(u"imlIcons");
        images->AddImage(u"dev");
        images->AddImage(u"grp");
    }
};

// ---- the window tree mirrors the model ---------------------------------------------------------

TEST_CASE(WindowTreeMirrorsTheModel) {
    TestForm t;
    auto& w = *t.w;
    w.Show();
    HWND form = H(w);
    CHECK(IsWindowVisible(form));
    CHECK_EQ(TextOf(form), std::wstring(L"Backend Test"));

    RECT r;
    GetWindowRect(form, &r);
    CHECK_EQ(static_cast<int>(r.left), Pixels(1500));
    CHECK_EQ(static_cast<int>(r.top), Pixels(1200, LOGPIXELSY));
    CHECK_EQ(static_cast<int>(r.right - r.left), Pixels(9000));
    CHECK_EQ(static_cast<int>(r.bottom - r.top), Pixels(6000, LOGPIXELSY));
    RECT client;
    GetClientRect(form, &client);
    CHECK_EQ(w.ClientWidth(), Twips(client.right));
    CHECK_EQ(w.ClientHeight(), Twips(client.bottom, LOGPIXELSY));

    // Children of a frame are child windows of the frame, placed relative to it.
    HWND frame = H(t.frame), label = H(t.label);
    CHECK_EQ(GetParent(frame), form);
    CHECK_EQ(GetParent(label), frame);
    RECT lr = RectIn(label);
    CHECK_EQ(static_cast<int>(lr.left), Pixels(120));
    CHECK_EQ(static_cast<int>(lr.top), Pixels(300, LOGPIXELSY));
    CHECK_EQ(static_cast<int>(lr.right - lr.left), Pixels(3000));
    CHECK_EQ(TextOf(label), std::wstring(L"Total: 3"));
    CHECK(IsWindowVisible(label));
    CHECK(!IsWindowVisible(H(t.hiddenLabel)));
    CHECK_EQ(ClassOf(H(t.ok)), std::wstring(L"Button"));
    CHECK_EQ(TextOf(H(t.ok)), std::wstring(L"&OK"));
    CHECK(GetWindowLongW(H(t.ok), GWL_STYLE) & BS_DEFPUSHBUTTON);
    CHECK(!IsWindowVisible(H(t.picture)));
    CHECK(IsWindowVisible(H(t.grab)));

    // The list: columns with their widths, rows in sorted order with sub-items.
    HWND lv = H(t.list);
    HWND header = reinterpret_cast<HWND>(SendMessageW(lv, LVM_GETHEADER, 0, 0));
    CHECK_EQ(static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)), 2);
    wchar_t buf[128] = {};
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = buf;
    col.cchTextMax = 128;
    SendMessageW(lv, LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&col));
    CHECK_EQ(std::wstring(buf), std::wstring(L"Device Type"));
    CHECK_EQ(static_cast<int>(SendMessageW(lv, LVM_GETCOLUMNWIDTH, 0, 0)), Pixels(1800));
    CHECK_EQ(Rows(lv), std::wstring(L"Fan|Blower Pump|Actuator Valve|"));

    // The status bar sits at the bottom of the client area, with its panels and the progress bar in it.
    HWND sta = H(t.status);
    CHECK_EQ(static_cast<int>(SendMessageW(sta, SB_GETPARTS, 0, 0)), 2);
    CHECK_EQ(StatusText(form, 1), std::wstring(L"Online"));
    RECT sr = RectIn(sta);
    CHECK_EQ(sr.bottom, client.bottom);
    CHECK_EQ(t.status->Height(), Twips(sr.bottom - sr.top, LOGPIXELSY));
    HWND progress = H(w.Get(u"ProgressBar"));
    CHECK_EQ(GetParent(progress), sta);
    CHECK_EQ(static_cast<int>(SendMessageW(progress, PBM_GETPOS, 0, 0)), 40);

    // Menus: hidden items are not in the menu at all, disabled ones are grayed.
    CHECK_EQ(MenuTree(GetMenu(form)), std::wstring(L"&File[&Open E&xit] &Help[~&Contents]"));

    // The tree, the tab strip and the image list.
    auto tree = w.Add<ui::TreeView>(u"treActive");
    tree->Move(6300, 3600, 2400, 1500);
    tree->Add({}, u"agRt", u"Active Group");
    tree->Add(u"agRt", u"Dev_1", u"Pump 1");
    tree->Add(u"agRt", u"Dev_2", u"Fan 2");
    tree->EnsureVisible(tree->Node(u"Dev_1"));
    tree->SetSelected(tree->Node(u"agRt"));
    HWND tv = H(tree);
    CHECK_EQ(static_cast<int>(SendMessageW(tv, TVM_GETCOUNT, 0, 0)), 3);
    CHECK_EQ(TreeItem(tv, TreeView_GetSelection(tv)).text, std::wstring(L"Active Group"));
    std::vector<BStr> clicked;
    auto nodeSub = tree->NodeClick.Subscribe([&](ui::NodeRef n) { clicked.push_back(n->Key()); });
    SendMessageW(tv, WM_KEYDOWN, VK_DOWN, 0);  // the user moves the selection
    CHECK_EQ(TreeItem(tv, TreeView_GetSelection(tv)).text, std::wstring(L"Pump 1"));
    CHECK(clicked.size() == 1 && clicked[0] == u"Dev_1");
    CHECK(tree->SelectedNode() == tree->Node(u"Dev_1"));
    auto tabs = w.Add<ui::TabbedDialog>(u"tabOptions");
    tabs->SetTabs(2);
    tabs->SetTabCaption(0, u"&Units");
    tabs->Move(100, 4300, 4000, 1200);
    auto onTab = w.AddPlain(ui::Kind::Frame, u"fraOption", tabs, 0);
    HWND strip = FindWindowExW(H(tabs), nullptr, WC_TABCONTROLW, nullptr);
    CHECK_EQ(static_cast<int>(SendMessageW(strip, TCM_GETITEMCOUNT, 0, 0)), 2);
    CHECK_EQ(TabText(strip, 0), std::wstring(L"&Units"));
    CHECK_EQ(GetParent(H(onTab)), H(tabs));
    CHECK_EQ(GetWindow(strip, GW_HWNDNEXT), static_cast<HWND>(nullptr));  // under what lies on the tabs

    // Model changes reach the real controls.
    w.SetCaption(u"Renamed");
    CHECK_EQ(TextOf(form), std::wstring(L"Renamed"));
    t.label->SetCaption(u"Total: 4");
    CHECK_EQ(TextOf(label), std::wstring(L"Total: 4"));
    t.ok->Move(6500, 900, 1485, 375);
    CHECK_EQ(static_cast<int>(RectIn(H(t.ok)).top), Pixels(900, LOGPIXELSY));
    t.list->Add(u"k0", u"Actuator");
    CHECK_EQ(Rows(lv), std::wstring(L"Actuator| Fan|Blower Pump|Actuator Valve|"));
    t.list->Select(3, true);  // "Valve", the last row
    CHECK_EQ(static_cast<int>(SendMessageW(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)), 3);
    t.list->SetColumnWidth(2, 3000);
    CHECK_EQ(static_cast<int>(SendMessageW(lv, LVM_GETCOLUMNWIDTH, 1, 0)), Pixels(3000));
    t.status->SetPanelText(1, u"Busy");
    CHECK_EQ(StatusText(form, 0), std::wstring(L"Busy"));
    w.Get(u"mnuHelps", 0)->SetVisible(true);
    w.Get(u"mnuHelps", 1)->SetEnabled(true);
    const std::wstring help = L" &Help[&About &Contents]";
    CHECK_EQ(MenuTree(GetMenu(form)), L"&File[&Open E&xit]" + help);
    auto recent = w.LoadElement(u"mnuFiles", 5);  // loaded hidden, as a copy of element 0
    CHECK_EQ(MenuTree(GetMenu(form)), L"&File[&Open E&xit]" + help);
    recent->SetCaption(u"&Recent");
    recent->SetVisible(true);
    CHECK_EQ(MenuTree(GetMenu(form)), L"&File[&Open E&xit &Recent]" + help);
    w.UnloadElement(recent);
    CHECK_EQ(MenuTree(GetMenu(form)), L"&File[&Open E&xit]" + help);
    t.frame->SetVisible(false);
    CHECK(!IsWindowVisible(label));  // hidden with its frame, though the label itself is visible
    CHECK(t.label->Visible());

    w.Unload();
    CHECK(!IsWindow(form));
    CHECK(!IsWindow(label));
    CHECK(!IsWindow(sta));
}

// ---- user actions raise the model's events ------------------------------------------------------

TEST_CASE(UserActionsRaiseModelEvents) {
    TestForm t;
    auto& w = *t.w;
    w.Show();
    HWND form = H(w);
    std::vector<std::string> log;
    std::vector<automation::Subscription> subs;
    for (const auto& [control, name] :
         {std::pair{t.ok, "ok"}, {t.cancel, "cancel"}, {w.Get(u"mnuFiles", 1), "exit"}, {t.mnuFile, "file"}})
        subs.push_back(control->Click.Subscribe([&log, name] { log.push_back(name); }));
    subs.push_back(t.list->ColumnClick.Subscribe([&](int c) { log.push_back("column" + std::to_string(c)); }));
    subs.push_back(t.list->KeyDown.Subscribe([&](std::int16_t k, std::int16_t) { log.push_back("key" + std::to_string(k)); }));
    float downX = -1, downY = -1;
    subs.push_back(t.grab->MouseDown.Subscribe([&](std::int16_t b, std::int16_t, float x, float y) {
        log.push_back("down" + std::to_string(b));
        downX = x;
        downY = y;
    }));
    subs.push_back(t.grab->MouseMove.Subscribe(
        [&](std::int16_t b, std::int16_t, float, float) { log.push_back("move" + std::to_string(b)); }));
    subs.push_back(
        t.grab->MouseUp.Subscribe([&](std::int16_t b, std::int16_t, float, float) { log.push_back("up" + std::to_string(b)); }));
    int resizes = 0;
    subs.push_back(w.Resize.Subscribe([&] { ++resizes; }));

    SendMessageW(H(t.ok), BM_CLICK, 0, 0);
    HMENU file = GetSubMenu(GetMenu(form), 0);
    SendMessageW(form, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    SendMessageW(form, WM_COMMAND, MAKEWPARAM(GetMenuItemID(file, 1), 0), 0);
    SendMessageW(form, WM_COMMAND, IDCANCEL, 0);  // Escape, as the dialog manager reports it
    CHECK_EQ(static_cast<int>(SendMessageW(form, DM_GETDEFID, 0, 0) & 0xFFFF), GetDlgCtrlID(H(t.ok)));

    HWND grab = H(t.grab);
    SendMessageW(grab, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 20));
    CHECK_EQ(GetCapture(), grab);
    SendMessageW(grab, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 20));
    SendMessageW(grab, WM_LBUTTONUP, 0, MAKELPARAM(40, 20));
    CHECK(GetCapture() != grab);
    CHECK_EQ(downX, Twips(6));
    CHECK_EQ(downY, Twips(20, LOGPIXELSY));

    // A click on the list's second column header, and a key in the list.
    HWND lv = H(t.list);
    HWND header = reinterpret_cast<HWND>(SendMessageW(lv, LVM_GETHEADER, 0, 0));
    RECT hr{};
    SendMessageW(header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&hr));
    LPARAM at = MAKELPARAM((hr.left + hr.right) / 2, (hr.top + hr.bottom) / 2);
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(header, WM_LBUTTONUP, 0, at);
    SendMessageW(lv, WM_KEYDOWN, VK_F5, 0);

    CHECK_EQ(Joined(log), std::string("ok file exit cancel down1 move1 up1 column2 key116"));

    // The user selects a row: the model follows.
    LVITEMW it{};
    it.stateMask = LVIS_SELECTED;
    it.state = LVIS_SELECTED;
    SendMessageW(lv, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&it));  // "Valve"
    CHECK_EQ(t.list->SelectedIndex(), 3);

    // The user sizes the window: the model takes the real size first, then Resize runs once.
    resizes = 0;
    SetWindowPos(form, nullptr, 0, 0, Pixels(8000), Pixels(5000, LOGPIXELSY), SWP_NOMOVE | SWP_NOZORDER);
    CHECK_EQ(resizes, 1);
    CHECK_EQ(w.Width(), Twips(Pixels(8000)));
    CHECK_EQ(w.Height(), Twips(Pixels(5000, LOGPIXELSY), LOGPIXELSY));
    RECT client;
    GetClientRect(form, &client);
    CHECK_EQ(w.ClientHeight(), Twips(client.bottom, LOGPIXELSY));
    CHECK_EQ(static_cast<int>(RectIn(H(t.status)).bottom), static_cast<int>(client.bottom));
    // A size set by the model raises Resize once (the model's own), and keeps the model's value.
    resizes = 0;
    w.SetWidth(8510);
    CHECK_EQ(resizes, 1);
    CHECK_EQ(w.Width(), 8510.0f);
    ShowWindow(form, SW_MINIMIZE);
    CHECK_EQ(w.WindowState(), ui::state::kMinimized);
    ShowWindow(form, SW_RESTORE);
    CHECK_EQ(w.WindowState(), ui::state::kNormal);
    w.SetWindowState(ui::state::kMaximized);
    CHECK(IsZoomed(form));
    w.SetWindowState(ui::state::kNormal);
    CHECK(!IsZoomed(form));

    // Closing through the frame asks the model, which may keep the window.
    bool keep = true;
    subs.push_back(w.CloseRequested.Subscribe([&](bool& cancel) { cancel = keep; }));
    SendMessageW(form, WM_CLOSE, 0, 0);
    CHECK(IsWindow(form));
    CHECK(!w.IsUnloaded());
    keep = false;
    SendMessageW(form, WM_CLOSE, 0, 0);
    CHECK(w.IsUnloaded());
    CHECK(!IsWindow(form));
}

TEST_CASE(ActivationAndHandlersThatUnloadTheirWindow) {
    TestForm a(u"First"), b(u"Second");
    std::vector<std::string> log;
    std::vector<automation::Subscription> subs;
    subs.push_back(a.w->Activate.Subscribe([&] { log.push_back("A+"); }));
    subs.push_back(a.w->Deactivate.Subscribe([&] { log.push_back("A-"); }));
    subs.push_back(b.w->Activate.Subscribe([&] { log.push_back("B+"); }));
    subs.push_back(b.w->Deactivate.Subscribe([&] { log.push_back("B-"); }));
    a.w->Show();
    b.w->Show();
    SetActiveWindow(H(*a.w));
    CHECK_EQ(Joined(log), std::string("A+ A- B+ B- A+"));

    // Handlers that unload their own window while the backend is inside that window's messages.
    HWND fa = H(*a.w);
    subs.push_back(a.ok->Click.Subscribe([&] { a.w->Unload(); }));
    SendMessageW(H(a.ok), BM_CLICK, 0, 0);
    CHECK(a.w->IsUnloaded());
    CHECK(!IsWindow(fa));

    HWND fb = H(*b.w);
    subs.push_back(b.w->Resize.Subscribe([&] { b.w->Unload(); }));
    SetWindowPos(fb, nullptr, 0, 0, Pixels(7000), Pixels(5000, LOGPIXELSY), SWP_NOMOVE | SWP_NOZORDER);
    CHECK(b.w->IsUnloaded());
    CHECK(!IsWindow(fb));

    TestForm c(u"Third");
    subs.push_back(c.w->Activate.Subscribe([&] { c.w->Unload(); }));
    c.w->Show();
    CHECK(c.w->IsUnloaded());
    HWND fc = H(*c.w);
    CHECK(fc == nullptr);

    TestForm d(u"Fourth");
    d.w->Show();
    HWND fd = H(*d.w);
    HMENU file = GetSubMenu(GetMenu(fd), 0);
    subs.push_back(d.w->Get(u"mnuFiles", 0)->Click.Subscribe([&] { d.w->Unload(); }));
    SendMessageW(fd, WM_COMMAND, MAKEWPARAM(GetMenuItemID(file, 0), 0), 0);
    CHECK(!IsWindow(fd));
}

// ---- timers and the message pump ----------------------------------------------------------------

TEST_CASE(TimersTickThroughTheMessagePump) {
    TestForm t;
    t.w->Show();
    int ticks = 0, depth = 0, deepest = 0;
    auto sub = t.timer->Tick.Subscribe([&] {
        ++ticks;
        ++depth;
        deepest = std::max(deepest, depth);
        ui::CurrentPlatform().DoEvents();  // a handler that lets messages run is not entered again
        Sleep(60);
        ui::CurrentPlatform().DoEvents();
        --depth;
    });
    RunEvents(200);
    CHECK_EQ(ticks, 0);  // no interval, no ticks
    t.timer->SetInterval(50);
    RunEvents(10000, [&] { return ticks >= 4; });
    CHECK(ticks >= 4);
    CHECK_EQ(deepest, 1);
    t.timer->SetEnabled(false);
    int stopped = ticks;
    RunEvents(250);
    CHECK_EQ(ticks, stopped);
    t.timer->SetInterval(20);
    RunEvents(150);
    CHECK_EQ(ticks, stopped);  // a new interval does not start a disabled timer
    t.timer->SetEnabled(true);
    RunEvents(10000, [&] { return ticks > stopped; });
    CHECK(ticks > stopped);

    // A tick that unloads the window it belongs to.
    sub.Reset();
    HWND form = H(*t.w);
    int last = 0;
    sub = t.timer->Tick.Subscribe([&] {
        ++last;
        t.w->Unload();
    });
    RunEvents(300);
    CHECK_EQ(last, 1);
    CHECK(!IsWindow(form));

    // Messages posted to a window run on the next DoEvents.
    TestForm u;
    u.w->Show();
    int clicks = 0;
    auto menuSub = u.w->Get(u"mnuFiles", 0)->Click.Subscribe([&] { ++clicks; });
    HMENU file = GetSubMenu(GetMenu(H(*u.w)), 0);
    PostMessageW(H(*u.w), WM_COMMAND, MAKEWPARAM(GetMenuItemID(file, 0), 0), 0);
    CHECK_EQ(clicks, 0);
    ui::CurrentPlatform().DoEvents();
    CHECK_EQ(clicks, 1);
    u.w->Unload();
}

// ---- nothing outlives its window ------------------------------------------------------------------

void BuildAndUnload(bool show) {
    TestForm t;
    auto& w = *t.w;
    auto tree = w.Add<ui::TreeView>(u"treActive", t.frame);
    tree->Move(100, 100, 2000, 2000);
    auto root = tree->Add({}, u"agRt", u"Active Group");
    tree->Add(u"agRt", u"Dev_1", u"Pump 1");
    tree->EnsureVisible(tree->Node(u"Dev_1"));
    tree->SetSelected(root);
    // The image list goes before the list that draws from it.
    auto images = w.Get<ui::ImageList>(u"imlIcons");
    tree->SetImages(images);
    t.list->SetSmallIcons(images);
    auto tabs = w.Add<ui::TabbedDialog>(u"tabOptions");
    tabs->SetTabs(1);
    tabs->SetTabCaption(0, u"&Units");
    tabs->Move(100, 4300, 4000, 1200);
    w.AddPlain(ui::Kind::Frame, u"fraOption", tabs, 0)->Move(100, 400, 3000, 600);
    auto button = w.AddPlain(ui::Kind::CommandButton, u"cmdDevice", t.frame, 0);
    for (int i = 1; i <= 3; ++i) {
        auto e = w.LoadElement(u"cmdDevice", i);
        e->SetToolTipText(u"Feature");
        e->SetVisible(true);
    }
    w.UnloadElement(w.Get(u"cmdDevice", 2));
    w.SetIcon(101);
    t.timer->SetInterval(10);
    CHECK(win32::LiveGdiObjects() > 0);
    // Shown windows cost a window manager's round trip under Wine: only some cycles show theirs.
    if (show) {
        w.Show();
        RunEvents(50);
    }
    w.Unload();
}

TEST_CASE(UnloadDestroysEveryWindowAndGraphicsObject) {
    BuildAndUnload(true);  // the first run may make what a thread keeps for good
    const int windows = WindowCount();
    CHECK_EQ(win32::LiveGdiObjects(), 0L);
    for (int i = 0; i < 50; ++i) {
        BuildAndUnload(i < 3 || i % 10 == 0);
        if (WindowCount() != windows || win32::LiveGdiObjects() != 0) break;
    }
    CHECK_EQ(WindowCount(), windows);
    CHECK_EQ(win32::LiveGdiObjects(), 0L);

    // A window dropped without Unload takes its platform side with it too.
    {
        TestForm t;
        t.w->Show();
        CHECK(WindowCount() > windows);
    }
    CHECK_EQ(WindowCount(), windows);
    CHECK_EQ(win32::LiveGdiObjects(), 0L);
}

// ---- menu shortcuts in a host's message loop ----------------------------------------------------

// Holds Control down in this thread's key state for as long as it lives.
class ControlHeld {
public:
    ControlHeld() {
        GetKeyboardState(saved_);
        BYTE keys[256];
        std::memcpy(keys, saved_, sizeof keys);
        keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
        SetKeyboardState(keys);
    }
    ~ControlHeld() { SetKeyboardState(saved_); }

private:
    BYTE saved_[256] = {};
};

// A host's own active window keeps its keys: display_test checks that through the DLL.
TEST_CASE(MenuShortcutsWorkInAHostLoopForTheActiveFormOnly) {
    TestForm t;
    auto& w = *t.w;
    auto open = w.Get(u"mnuFiles", 0), exit = w.Get(u"mnuFiles", 1);
    auto about = w.Get(u"mnuHelps", 0), contents = w.Get(u"mnuHelps", 1);
    open->SetShortcut(u"F5");
    exit->SetShortcut(u"Ctrl+Q");
    about->SetShortcut(u"F7");     // hidden: not in the menu, no shortcut
    contents->SetShortcut(u"F6");  // grayed: its shortcut does nothing
    std::vector<std::string> log;
    std::vector<automation::Subscription> subs;
    for (const auto& [item, name] : {std::pair{open, "open"}, {exit, "exit"}, {about, "about"}, {contents, "contents"}})
        subs.push_back(item->Click.Subscribe([&log, name] { log.push_back(name); }));
    subs.push_back(
        t.list->KeyDown.Subscribe([&](std::int16_t key, std::int16_t) { log.push_back("key" + std::to_string(key)); }));
    w.Show();
    Pump(30);
    HWND form = H(w), lv = H(t.list);
    SetForegroundWindow(form);
    SetActiveWindow(form);
    SetFocus(lv);
    Pump(30);
    CHECK_EQ(GetActiveWindow(), form);
    CHECK_EQ(MenuTree(GetSubMenu(GetMenu(form), 0)), std::wstring(L"&Open\tF5 E&xit\tCtrl+Q"));

    // To a child or to the form itself, the shortcut runs the item and the key goes no further.
    log.clear();
    PostKey(lv, VK_F5);
    Pump(50);
    PostKey(H(t.ok), VK_F5);
    Pump(50);
    PostKey(form, VK_F5);
    Pump(50);
    CHECK_EQ(Joined(log), std::string("open open open"));
    {
        ControlHeld ctrl;
        log.clear();
        PostKey(lv, 'Q');
        Pump(50);
        PostKey(lv, VK_F5);  // Ctrl+F5 is no shortcut here
        Pump(50);
    }
    CHECK_EQ(Joined(log), "exit key" + std::to_string(VK_F5));
    log.clear();
    PostKey(lv, VK_F6);
    PostKey(lv, VK_F7);
    PostKey(lv, 'Q');
    Pump(50);
    CHECK_EQ(Joined(log), "key" + std::to_string(VK_F6) + " key" + std::to_string(VK_F7) + " key" + std::to_string('Q'));

    subs.clear();
    w.Unload();
}

// ---- image lists ------------------------------------------------------------------------------

TEST_CASE(ImageListsReachTreeAndListsWithImagesByKey) {
    TestForm t;
    auto& w = *t.w;
    auto tree = w.Add<ui::TreeView>(u"treActive");
    tree->Move(6300, 3600, 2400, 1500);
    tree->Add({}, u"agRt", u"Active Group");
    tree->Add(u"agRt", u"AlD_", u"All Devices", u"grp", u"typ");
    t.list->SetItemSmallIcon(u"k2", u"grp");
    t.list->SetItemSmallIcon(u"k3", u"nothing");
    auto images = w.Get<ui::ImageList>(u"imlIcons");
    HWND tv = H(tree), lv = H(t.list);
    CHECK_EQ(SendMessageW(tv, TVM_GETIMAGELIST, TVSIL_NORMAL, 0), LRESULT{0});
    CHECK_EQ(SendMessageW(lv, LVM_GETIMAGELIST, LVSIL_SMALL, 0), LRESULT{0});

    tree->SetImages(images);
    t.list->SetSmallIcons(images);
    t.list->SetIcons(images);
    auto attached = reinterpret_cast<HIMAGELIST>(SendMessageW(tv, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    CHECK(attached != nullptr);
    CHECK_EQ(attached, reinterpret_cast<HIMAGELIST>(images->GetPeer()->Handle()));
    CHECK_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(lv, LVM_GETIMAGELIST, LVSIL_SMALL, 0)), attached);
    CHECK_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(lv, LVM_GETIMAGELIST, LVSIL_NORMAL, 0)), attached);
    // The lists share the images with the tree: they must not destroy them.
    CHECK(GetWindowLongW(lv, GWL_STYLE) & LVS_SHAREIMAGELISTS);
    CHECK_EQ(ImageList_GetImageCount(attached), 2);
    // A key added later gets its image in the list the controls already hold.
    images->AddImage(u"typ");
    CHECK_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(tv, TVM_GETIMAGELIST, TVSIL_NORMAL, 0)), attached);
    CHECK_EQ(ImageList_GetImageCount(attached), 3);
    tree->Add(u"agRt", u"Dev_1", u"Pump 1", u"dev");

    const int none = I_IMAGENONE;
    const struct {
        const wchar_t* text;
        int image, selectedImage;
    } nodes[] = {{L"All Devices", 1, 2}, {L"Pump 1", 0, 0}, {L"Active Group", none, none}};
    for (const auto& n : nodes) {
        const Item item = TreeItem(tv, n.text);
        CHECK(item.image == n.image && item.selectedImage == n.selectedImage);
    }
    // The rows in sorted order: Fan, Pump, Valve (a key the list does not hold).
    CHECK_EQ(Rows(lv), std::wstring(L"Fan|Blower Pump|Actuator Valve|"));
    CHECK(ListItem(lv, 0).image == 1 && ListItem(lv, 1).image == none && ListItem(lv, 2).image == none);
}

// ---- platform services -------------------------------------------------------------------------

TEST_CASE(PlatformServices) {
    auto& p = ui::CurrentPlatform();
    CHECK(p.LoadResString(307) == u"E&xit");
    CHECK(p.LoadResString(152) == u"&Help");
    ExpectError(
        automation::code::kResourceNotFound, [&] { p.LoadResString(9999); }, u"Resource with identifier '9999' not found");
    CHECK_EQ(p.AnsiCode(u'A'), 65);
    CHECK(p.AnsiChar(65) == u'A');
    if (GetACP() == 1252) {
        CHECK_EQ(p.AnsiCode(u'\u00e9'), 0xE9);
        CHECK_EQ(p.AnsiCode(u'\u20ac'), 0x80);
        CHECK(p.AnsiChar(0x80) == u'\u20ac');
        CHECK(ui::ToAnsi(u"Caf\u00e9.chm") == "Caf\xe9.chm");
    }
    CHECK_EQ(p.ScreenWidth(), Twips(GetSystemMetrics(SM_CXSCREEN)));
    CHECK_EQ(p.ScreenHeight(), Twips(GetSystemMetrics(SM_CYSCREEN), LOGPIXELSY));

    TestForm owner;
    owner.w->Show();
    // The boxes and the dialog are answered from inside their modal loops.
    Box box = AnsweringTheBox([&] { CHECK_EQ(p.MsgBox(u"Unable to locate Fan help file", ui::mb::kExclamation, u"Fan"), IDOK); });
    CHECK_EQ(box.title, std::wstring(L"Fan"));
    CHECK_EQ(box.text, std::wstring(L"Unable to locate Fan help file"));
    box = AnsweringTheBox([&] { p.MsgBox(u"No title", ui::mb::kOkOnly, u""); });
    CHECK_EQ(box.title, std::wstring(L"LNSQuilletVexaProxy"));

    // A missing help file: the viewer comes back (a hang here ends the run at its time limit).
    p.WinHelpA(static_cast<std::intptr_t>(reinterpret_cast<std::uintptr_t>(H(*owner.w))), "C:\\missing\\nohelp.hlp",
               ui::help::kWinHelpTab, 3);

    // What's-this mode is entered once the menu click that asked for it has returned.
    owner.w->EnterWhatsThisMode();
    CHECK(owner.w->InWhatsThisMode());
    RunEvents(100);

    p.SetMousePointer(11);
    CHECK_EQ(GetCursor(), LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // the hourglass
    p.SetMousePointer(0);

    // A modal dialog disables its owner until the dialog is hidden.
    TestForm dialog(u"Options");
    auto hidden = dialog.cancel->Click.Subscribe([&] { dialog.w->Hide(); });
    HWND ownerWindow = H(*owner.w), dialogWindow = H(*dialog.w);
    bool ownerEnabled = true;
    auto cancel = [&](HWND d) {
        ownerEnabled = IsWindowEnabled(ownerWindow) != FALSE;
        PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
        return true;
    };
    {
        ModalScript escape(L"", L"Options", cancel);
        dialog.w->ShowModal(owner.w.get());
    }
    CHECK(!ownerEnabled);
    CHECK(IsWindowEnabled(ownerWindow));
    CHECK(!IsWindowVisible(dialogWindow));
    CHECK_EQ(reinterpret_cast<HWND>(GetWindowLongPtrW(dialogWindow, GWLP_HWNDPARENT)), ownerWindow);
    CHECK(!dialog.w->IsModal());
    // Unloading the dialog ends the modal display too.
    auto unload = dialog.cancel->Click.Subscribe([&] { dialog.w->Unload(); });
    {
        ModalScript escape(L"", L"Options", cancel);
        dialog.w->ShowModal(owner.w.get());
    }
    CHECK(dialog.w->IsUnloaded());
    CHECK(IsWindowEnabled(ownerWindow));
    owner.w->Unload();
}

// ---- a control created from a ProgID ------------------------------------------------------------

// The simulated components' workspace control, by the text of its class id.
TEST_CASE(HostedControlsComeFromTheirProgId) {
    CHECK(SimulatedWorld::Available());
    if (!SimulatedWorld::Available()) return;
    SimulatedWorld world;
    CLSID clsid{};
    CHECK_HR(CLSIDFromProgID(L"QuilletSim.Workspace", &clsid), S_OK);
    wchar_t clsidText[40] = {};
    StringFromGUID2(clsid, clsidText, 40);

    TestForm t;
    t.w->Show();
    const int before = WindowCount();
    auto hosted = t.w->ControlsAdd(BStr(reinterpret_cast<const char16_t*>(clsidText)), u"ctlWorkspace", t.frame);
    hosted->Move(150, 300, 3000, 2000);
    HWND host = H(hosted);
    CHECK_EQ(ClassOf(host), std::wstring(L"AtlAxWin"));
    CHECK_EQ(GetParent(host), H(t.frame));
    CHECK_EQ(TextOf(host), std::wstring(clsidText));
    CHECK(hosted->Object() != nullptr);
    CHECK_EQ(world.Long(L"LiveWorkspaceControls"), 1);
    CHECK_EQ(static_cast<int>(RectIn(host).left), Pixels(150));
    hosted->ZOrder();
    CHECK_EQ(GetWindow(H(t.frame), GW_CHILD), host);
    const int hostedWindows = WindowCount();
    CHECK(hostedWindows > before);

    // A name that makes nothing: the add fails and leaves no control and no window behind.
    ExpectError(static_cast<std::int32_t>(0x800A01AD), [&] { t.w->ControlsAdd(u"No.Such.Control", u"ctlBad", t.frame); });
    CHECK(t.w->Find(u"ctlBad") == nullptr);
    CHECK_EQ(WindowCount(), hostedWindows);

    t.w->ControlsRemove(u"ctlWorkspace");
    CHECK(!IsWindow(host));
    CHECK_EQ(WindowCount(), before);
    hosted.reset();
    CHECK_EQ(world.Long(L"LiveWorkspaceControls"), 0);
    // By ProgID: display_test's WorkspaceControlIsHostedAttachedRefreshedAndRemoved.
    t.w->Unload();
}

}  // namespace

// An argument picks the tests whose names contain it.
int main(int argc, char** argv) {
    OleInitialize(nullptr);
    win32::InstallWin32Platform(GetModuleHandleW(nullptr));
    const int rc = RunAll("ui_backend", argc > 1 ? argv[1] : nullptr);
    ui::InstallPlatform(nullptr);
    OleUninitialize();
    return rc;
}
