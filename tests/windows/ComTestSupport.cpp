#include "ComTestSupport.h"

#include <commctrl.h>

#include <initguid.h>

#include <algorithm>
#include <cstring>

#include "LNSQuilletVexaProxy_h.h"
#include "TestHarness.h"

namespace qvtest {

Args::~Args() {
    for (auto& v : positional_) VariantClear(&v);
    for (auto& v : named_) VariantClear(&v);
}

Args& Args::Add(VARIANT v) {
    positional_.push_back(v);
    return *this;
}

namespace {
VARIANT Typed(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = vt;
    return v;
}

// Every value starts where the union does; a reference is a pointer there.
template <class T>
Args& AddAs(Args& a, VARTYPE vt, T value) {
    VARIANT v = Typed(vt);
    std::memcpy(&V_UI1(&v), &value, sizeof value);
    return a.Add(v);
}
}  // namespace

Args& Args::Str(const wchar_t* s) { return AddAs(*this, VT_BSTR, SysAllocString(s)); }
Args& Args::I4(long i) { return AddAs(*this, VT_I4, static_cast<LONG>(i)); }
Args& Args::Bool(bool b) { return AddAs(*this, VT_BOOL, VARIANT_BOOL(b ? VARIANT_TRUE : VARIANT_FALSE)); }
Args& Args::RefBstr(BSTR* target) { return AddAs(*this, VT_BYREF | VT_BSTR, target); }

Args& Args::Named(DISPID id, const wchar_t* s) {
    VARIANT v = Typed(VT_BSTR);
    V_BSTR(&v) = SysAllocString(s);
    named_.push_back(v);
    namedIds_.push_back(id);
    return *this;
}

DISPPARAMS* Args::Params() {
    // Named arguments first, then the positional ones from last to first.
    rgvarg_ = named_;
    rgvarg_.insert(rgvarg_.end(), positional_.rbegin(), positional_.rend());
    params_.rgvarg = rgvarg_.empty() ? nullptr : rgvarg_.data();
    params_.cArgs = static_cast<UINT>(rgvarg_.size());
    params_.rgdispidNamedArgs = namedIds_.empty() ? nullptr : namedIds_.data();
    params_.cNamedArgs = static_cast<UINT>(namedIds_.size());
    return &params_;
}

Invoked::~Invoked() {
    VariantClear(&result);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
}

void Call(Invoked& out, IDispatch* d, DISPID id, Args& args, WORD flags) {
    out.hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, args.Params(), &out.result, &out.excep, &out.argErr);
}

DISPID IdOf(IDispatch* d, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

HRESULT CallByName(IDispatch* d, const wchar_t* name, Args& args, VARIANT* result) {
    if (!d) return E_POINTER;
    DISPID id = IdOf(d, name);
    if (id == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
    EXCEPINFO ex{};
    HRESULT hr =
        d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args.Params(), result, &ex, nullptr);
    SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrHelpFile);
    return hr;
}

HRESULT PutByName(IDispatch* d, const wchar_t* name, Args& value) {
    if (!d) return E_POINTER;
    DISPID id = IdOf(d, name);
    if (id == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
    DISPPARAMS* p = value.Params();
    DISPID put = DISPID_PROPERTYPUT;
    p->rgdispidNamedArgs = &put;
    p->cNamedArgs = 1;
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, p, nullptr, nullptr, nullptr);
}

ComRef<IDispatch> CreateByProgId(const wchar_t* progId) {
    CLSID clsid;
    ComRef<IDispatch> d;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(d.Put()));
    return d;
}

bool IsRegistered(const wchar_t* progId) {
    CLSID clsid;
    return SUCCEEDED(CLSIDFromProgID(progId, &clsid));
}

std::wstring Text(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

HRESULT OwnDispatch::QueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || (extra_ != IID_NULL && riid == extra_)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG OwnDispatch::Release() {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

ComRef<IDispatch> PlainObject::Create(const IID& extra) { return ComRef<IDispatch>::Adopt(new PlainObject(extra)); }

ComRef<EventSink> EventSink::Create(REFIID eventIid, const bool* insideCall) {
    return ComRef<EventSink>::Adopt(new EventSink(eventIid, insideCall));
}

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    received.push_back({id, inside_ && *inside_});
    return S_OK;
}

ComRef<IDispatch> NewServer() {
    ComRef<IDispatch> d;
    CLSID clsid{};
    CHECK_HR(CLSIDFromProgID(kServerProgId, &clsid), S_OK);
    CHECK_HR(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(d.Put())), S_OK);
    return d;
}

bool SameObject(IUnknown* a, IUnknown* b) {
    auto ua = As<IUnknown>(a, IID_IUnknown), ub = As<IUnknown>(b, IID_IUnknown);
    return ua && ua.Get() == ub.Get();
}

ComRef<win32::com::IQuilletDiagnostics> NewDiagnostics() {
    return As<win32::com::IQuilletDiagnostics>(NewServer().Get(), win32::com::kIidQuilletDiagnostics);
}

HRESULT CanUnloadNow() {
    HMODULE module = GetModuleHandleW(L"LNSQuilletVexaProxy.dll");
    auto fn =
        module ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")))
               : nullptr;
    return fn ? fn() : E_FAIL;
}

SimulatedWorld::SimulatedWorld(const wchar_t* programId) {
    control = CreateByProgId(L"QuilletSim.Control");
    device = CreateByProgId(L"QuilletSim.AppDevice");
    system = CreateByProgId(L"QuilletSim.System");
    collection = CreateByProgId(L"QuilletSim.Collection");
    CHECK(control && device && system && collection);
    if (!control || !device || !system || !collection) return;
    Args none;
    CHECK_HR(CallByName(control.Get(), L"Reset", none), S_OK);
    AddPlugin(programId, L"", L"QuilletSim.Workspace");
    Args second, name, program, asksToClose;
    second.Str(programId).I4(2).Str(L"&Test");
    CHECK_HR(CallByName(control.Get(), L"AddFeature", second), S_OK);
    name.Str(L"Quillet Test Node");
    program.Str(programId);
    asksToClose.Bool(true);
    CHECK_HR(PutByName(device.Get(), L"Name", name), S_OK);
    CHECK_HR(PutByName(device.Get(), L"ProgramId", program), S_OK);
    // As a real units control does, it asks to close once OK has applied the units.
    CHECK_HR(PutByName(control.Get(), L"ApplyAsksToClose", asksToClose), S_OK);
}

void SimulatedWorld::AddPlugin(const wchar_t* programId, const wchar_t* help, const wchar_t* workspace) {
    Args plugin, feature;
    plugin.Str(programId).Str(help).Str(workspace).Bool(true);
    CHECK_HR(CallByName(control.Get(), L"AddPlugin", plugin), S_OK);
    feature.Str(programId).I4(1).Str(L"&Configure");
    CHECK_HR(CallByName(control.Get(), L"AddFeature", feature), S_OK);
}

namespace {

// A result of the control (or another simulated object) by name, as a variant of the caller's.
struct Answer {
    VARIANT v;
    Answer(IDispatch* from, const wchar_t* name, Args& args) {
        VariantInit(&v);
        if (from) CallByName(from, name, args, &v);
    }
    ~Answer() { VariantClear(&v); }
};

}  // namespace

long SimulatedWorld::CountOf(const wchar_t* call) {
    Args a;
    a.Str(call);
    Answer r(control.Get(), L"CountOf", a);
    return V_VT(&r.v) == VT_I4 ? V_I4(&r.v) : -1;
}

long SimulatedWorld::Long(const wchar_t* name) {
    Args none;
    Answer r(control.Get(), name, none);
    return V_VT(&r.v) == VT_I4 ? V_I4(&r.v) : -1;
}

ComRef<IDispatch> SimulatedWorld::Object(IDispatch* from, const wchar_t* name) {
    Args none;
    Answer r(from, name, none);
    return V_VT(&r.v) == VT_DISPATCH ? ComRef<IDispatch>::Share(V_DISPATCH(&r.v)) : ComRef<IDispatch>();
}

std::wstring SimulatedWorld::String(IDispatch* from, const wchar_t* name) {
    Args none;
    Answer r(from, name, none);
    return V_VT(&r.v) == VT_BSTR ? Text(V_BSTR(&r.v)) : std::wstring();
}

void SimulatedWorld::Set(IDispatch* on, const wchar_t* name, bool value) {
    Args a;
    a.Bool(value);
    CHECK_HR(PutByName(on, name, a), S_OK);
}

bool SimulatedWorld::Start(_IHalvernServer* server, const wchar_t* description, const wchar_t* address, IDispatch* properties) {
    if (!server) return false;
    auto dev = As<AppDevice>(device.Get(), IID_AppDevice);
    auto sys = As<System>(system.Get(), IID_System);
    auto col = As<Collection>(properties ? properties : collection.Get(), IID_Collection);
    AppDevice* d = dev.Get();
    System* s = sys.Get();
    Collection* c = col.Get();
    float version = 3.2f;
    VARIANT_BOOL ft2 = VARIANT_TRUE, lnspi = VARIANT_TRUE, started = VARIANT_FALSE;
    BSTR text = SysAllocString(description), where = SysAllocString(address);
    CHECK_HR(server->StartApp(&d, &s, &version, &ft2, &text, &where, &c, &lnspi, &started), S_OK);
    SysFreeString(text);
    SysFreeString(where);
    CHECK_EQ(started, VARIANT_TRUE);
    return started == VARIANT_TRUE;
}

HostSession::HostSession(const bool* inside) : server(As<_IHalvernServer>(NewServer().Get(), IID__IHalvernServer)) {
    if (auto container = As<IConnectionPointContainer>(server.Get(), IID_IConnectionPointContainer))
        container->FindConnectionPoint(DIID___IHalvernServer, point.Put());
    sink = EventSink::Create(DIID___IHalvernServer, inside);
    CHECK(point);
    if (point) CHECK_HR(point->Advise(sink.Get(), &cookie), S_OK);
}

HostSession::~HostSession() { Release(); }

HWND HostSession::Open(const wchar_t* caption) {
    LONG opened = 0;
    CHECK_HR(server->RunFullAppView(&opened), S_OK);
    CHECK_EQ(opened, -1L);
    Pump(100);
    HWND main = FindShownWindow(caption);
    CHECK(main != nullptr);
    return main;
}

void HostSession::Release() {
    if (point && cookie) point->Unadvise(cookie);
    cookie = 0;
    point.Reset();
    server.Reset();
}

namespace {

struct WindowSearch {
    const std::wstring& cls;
    const wchar_t* text;
    bool shownOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK MatchWindow(HWND h, LPARAM p) {
    auto* s = reinterpret_cast<WindowSearch*>(p);
    if ((s->shownOnly && !IsWindowVisible(h)) || (!s->cls.empty() && ClassOf(h) != s->cls) || (s->text && TextOf(h) != s->text))
        return TRUE;
    s->found.push_back(h);
    return TRUE;
}

BOOL CALLBACK CountChild(HWND h, LPARAM p) {
    ++(*reinterpret_cast<std::map<std::wstring, int>*>(p))[ClassOf(h)];
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND h, LPARAM p) {
    CountChild(h, p);
    EnumChildWindows(h, CountChild, p);
    return TRUE;
}

}  // namespace

std::vector<HWND> Children(HWND parent, const std::wstring& cls, const wchar_t* text) {
    WindowSearch s{cls, text, false, {}};
    if (parent) EnumChildWindows(parent, MatchWindow, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND Child(HWND parent, const std::wstring& cls, const wchar_t* text) {
    auto all = Children(parent, cls, text);
    return all.empty() ? nullptr : all.front();
}

HWND TopLevel(const std::wstring& cls, const std::wstring& caption, bool shownOnly) {
    WindowSearch s{cls, caption.empty() ? nullptr : caption.c_str(), shownOnly, {}};
    EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&s));
    return s.found.empty() ? nullptr : s.found.front();
}

std::map<std::wstring, int> WindowCensus() {
    std::map<std::wstring, int> byClass;
    EnumThreadWindows(GetCurrentThreadId(), CountTopLevel, reinterpret_cast<LPARAM>(&byClass));
    return byClass;
}

int WindowCount(const std::map<std::wstring, int>& census) {
    int n = 0;
    for (const auto& [cls, count] : census) n += count;
    return n;
}

std::string CensusChange(const std::map<std::wstring, int>& before, const std::map<std::wstring, int>& after) {
    std::string out;
    auto keys = before;
    for (const auto& [cls, n] : after) keys[cls];
    for (const auto& [cls, unused] : keys) {
        auto b = before.count(cls) ? before.at(cls) : 0;
        auto a = after.count(cls) ? after.at(cls) : 0;
        if (a != b) out += " " + Show(cls) + " " + std::to_string(b) + "->" + std::to_string(a);
    }
    return out;
}

RECT RectIn(HWND w, HWND parent) {
    RECT r{};
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, parent ? parent : GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

HWND OwnFrame(const wchar_t* title, int x, int y, int width, int height) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"QvTestFrame";
    RegisterClassW(&wc);  // fails harmlessly from the second frame on
    return CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width, height, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

namespace {
int Dpi(int axis) {
    HDC dc = GetDC(nullptr);
    const int d = GetDeviceCaps(dc, axis);
    ReleaseDC(nullptr, dc);
    return d;
}
}  // namespace

int Pixels(float twips, int axis) { return static_cast<int>(twips * static_cast<float>(Dpi(axis)) / 1440.0f + 0.5f); }
float Twips(int pixels, int axis) { return static_cast<float>(pixels * 1440.0 / Dpi(axis)); }

std::wstring MenuText(HMENU menu, int pos) {
    wchar_t buf[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(pos), buf, 256, MF_BYPOSITION);
    return buf;
}

HMENU SubMenu(HMENU menu, const std::wstring& caption) {
    for (int i = 0, n = menu ? GetMenuItemCount(menu) : 0; i < n; ++i)
        if (MenuText(menu, i) == caption) return GetSubMenu(menu, i);
    return nullptr;
}

UINT MenuCommand(HMENU menu, const std::wstring& caption, UINT* state) {
    for (int i = 0, n = menu ? GetMenuItemCount(menu) : 0; i < n; ++i) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            if (UINT id = MenuCommand(sub, caption, state)) return id;
            continue;
        }
        const std::wstring text = MenuText(menu, i);
        if (caption == text.substr(0, text.find(L'\t'))) {
            if (state) *state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
            return GetMenuItemID(menu, i);
        }
    }
    return 0;
}

std::wstring StatusText(HWND main, int panel) {
    HWND bar = Child(main, STATUSCLASSNAMEW);
    if (!bar) return L"(no status bar)";
    wchar_t text[512] = {};
    if (LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(panel), 0)) >= 512) return L"(too long)";
    SendMessageW(bar, SB_GETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring TabText(HWND tabStrip, int index) {
    wchar_t text[128] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 128;
    SendMessageW(tabStrip, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

void PostKey(HWND to, UINT vk) { PostMessageW(to, WM_KEYDOWN, vk, 1 | (MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) << 16)); }

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

long long HeapInUse() {
    long long total = 0;
    HANDLE heaps[64];
    const DWORD n = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < n && i < 64; ++i) {
        PROCESS_HEAP_ENTRY e{};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &e))
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += static_cast<long long>(e.cbData);
        HeapUnlock(heaps[i]);
    }
    return total;
}

ModalScript::ModalScript(std::wstring cls, std::wstring caption, Action act)
    : cls_(std::move(cls)), caption_(std::move(caption)), act_(std::move(act)) {
    current_ = this;
    started_ = GetTickCount();
    timer_ = SetTimer(nullptr, 0, 50, &ModalScript::Tick);
}

ModalScript::~ModalScript() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
}

void ModalScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
    ModalScript* s = current_;
    if (!s || s->done_ || s->busy_) return;
    HWND w = TopLevel(s->cls_, s->caption_);
    if (!w) return;
    if (GetTickCount() - s->started_ > 10000) {
        // A window the script cannot finish with would hang the test.
        Fail("a " + Show(s->cls_) + " window stayed open: closing it", __LINE__);
        s->done_ = true;
        PostMessageW(w, WM_CLOSE, 0, 0);
        return;
    }
    ++s->seen_;
    s->busy_ = true;
    const bool finished = s->act_(w);
    if (current_ == s) {
        s->busy_ = false;
        s->done_ = finished;
    }
}

Box AnsweringTheBox(const std::function<void()>& act) {
    Box box;
    ModalScript script(L"#32770", L"", [&](HWND b) {
        box.title = TextOf(b);
        box.text = TextOf(GetDlgItem(b, 0xFFFF));
        box.okOnly = GetDlgItem(b, IDOK) && !GetDlgItem(b, IDCANCEL);
        SendMessageW(b, WM_COMMAND, IDOK, 0);
        return true;
    });
    act();
    Pump(100);
    box.seen = script.Seen();
    return box;
}

}  // namespace qvtest
