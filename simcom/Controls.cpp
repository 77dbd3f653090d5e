// The COM face of the simulated workspace controls and the units control: ActiveX controls that
// activate in place in a child window of their own (as AtlAxWin hosts them) and also draw through
// IViewObject, showing what their sim object holds.
#include <cstdio>

#include "SimCom.h"
#include "sim/SimQtyUnitsControl.h"
#include "sim/SimUnitsWorkspaceControl.h"

namespace qsim {

namespace {

constexpr wchar_t kWindowClass[] = L"QuilletSimControl";
constexpr DISPID kUnitsApplied = 110;  // position 9 of the units control's notifications
constexpr DISPID kCloseRequest = 111;  // position 10

Variant Bool(automation::VBool b) { return Variant::FromBool(automation::IsTrue(b)); }

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

void RegisterWindowClass() {
    static bool done = false;
    if (done) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ControlProc;
    wc.hInstance = g_module;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    done = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void DrawLines(HDC dc, const RECT& r, const std::vector<BStr>& lines) {
    HBRUSH back = CreateSolidBrush(RGB(250, 250, 240));
    FillRect(dc, &r, back);
    DeleteObject(back);
    HBRUSH frame = CreateSolidBrush(RGB(40, 80, 160));
    FrameRect(dc, &r, frame);
    DeleteObject(frame);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SetTextColor(dc, i == 0 ? RGB(40, 80, 160) : RGB(0, 0, 0));
        TextOutW(dc, r.left + 10, r.top + 8 + 18 * static_cast<int>(i), W(lines[i]), static_cast<int>(lines[i].size()));
    }
    SelectObject(dc, old);
}

// What every simulated control shares: in-place activation, drawing and persistence stubs.
class ActiveControl : public ComObject,
                      public IOleObject,
                      public IOleInPlaceObject,
                      public IOleControl,
                      public IViewObject2,
                      public IPersistStreamInit {
public:
    ActiveControl(ObjectRef target, const Kind& kind) : ComObject(std::move(target), kind) {}
    ~ActiveControl() override { DestroyOwnWindow(); }
    QSIM_UNKNOWN

    virtual std::vector<BStr> Lines() = 0;
    void Paint(HDC dc, const RECT& r) { DrawLines(dc, r, Lines()); }
    void WindowGone() { hwnd_ = nullptr; }

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
        site_ = ComRef<IOleClientSite>(site);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
        if (!site) return E_POINTER;
        *site = site_.AddRefed();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override { return InPlaceDeactivate(); }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** m) override { return Nothing(m); }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** d) override { return Nothing(d); }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) override {
        switch (verb) {
            case OLEIVERB_PRIMARY:
            case OLEIVERB_SHOW:
            case OLEIVERB_INPLACEACTIVATE:
            case OLEIVERB_UIACTIVATE: return Activate(site ? site : site_.Get(), parent, rect);
            case OLEIVERB_HIDE:
                if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
                return S_OK;
            default: return OLEOBJ_S_INVALIDVERB;
        }
    }
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** e) override {
        if (e) *e = nullptr;
        return OLEOBJ_E_NOVERBS;
    }
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* id) override {
        if (!id) return E_POINTER;
        *id = *Clsid();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR* name) override {
        if (name) *name = nullptr;
        return OLE_S_USEREG;
    }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override {
        if (aspect != DVASPECT_CONTENT || !size) return E_FAIL;
        extent_ = *size;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override {
        if (aspect != DVASPECT_CONTENT || !size) return E_FAIL;
        *size = extent_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD* c) override {
        if (c) *c = 0;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** e) override { return Nothing(e); }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
        if (!status) return E_POINTER;
        *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                  OLEMISC_SETCLIENTSITEFIRST;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        if (!hwnd) return E_POINTER;
        *hwnd = hwnd_;
        return hwnd_ ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
        DestroyOwnWindow();
        if (inPlaceSite_) {
            ComRef<IOleInPlaceSite> site = std::move(inPlaceSite_);
            site->OnInPlaceDeactivate();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT) override {
        if (!pos) return E_POINTER;
        if (hwnd_) MoveWindow(hwnd_, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top, TRUE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override {
        if (!info) return E_POINTER;
        info->hAccel = nullptr;
        info->cAccel = 0;
        info->dwFlags = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

    // IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                                   BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override {
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!dc || !bounds) return E_INVALIDARG;
        Paint(dc, RECT{bounds->left, bounds->top, bounds->right, bounds->bottom});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** p) override {
        if (p) *p = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD* f) override {
        if (f) *f = 0;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD, DWORD, IAdviseSink*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* a, DWORD* f, IAdviseSink** s) override {
        if (a) *a = 0;
        if (f) *f = 0;
        if (s) *s = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override {
        return GetExtent(aspect, size);
    }

    // IPersistStreamInit
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override { return GetUserClassID(id); }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override {
        if (!size) return E_POINTER;
        size->QuadPart = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InitNew() override { return S_OK; }

protected:
    virtual const CLSID* Clsid() const = 0;
    void* Extra(REFIID iid) override {
        if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
        if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) return static_cast<IOleInPlaceObject*>(this);
        if (iid == IID_IOleControl) return static_cast<IOleControl*>(this);
        if (iid == IID_IViewObject || iid == IID_IViewObject2) return static_cast<IViewObject2*>(this);
        if (iid == IID_IPersist || iid == IID_IPersistStreamInit) return static_cast<IPersistStreamInit*>(this);
        return nullptr;
    }
    void Called() override {
        if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
    }

private:
    template <class T>
    static HRESULT Nothing(T** out) {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    void DestroyOwnWindow() {
        if (!hwnd_) return;
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    HRESULT Activate(IOleClientSite* site, HWND parent, LPCRECT rect) {
        if (hwnd_) {
            ShowWindow(hwnd_, SW_SHOW);
            return S_OK;
        }
        if (!site) return E_INVALIDARG;
        ComRef<IOleInPlaceSite> ips;
        if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, ips.PutVoid())) || !ips) return E_NOINTERFACE;
        if (ips->CanInPlaceActivate() != S_OK) return E_FAIL;
        ips->OnInPlaceActivate();
        RECT pos{0, 0, 200, 100};
        if (rect) {
            pos = *rect;
        } else {
            ComRef<IOleInPlaceFrame> frame;
            ComRef<IOleInPlaceUIWindow> doc;
            RECT clip{};
            OLEINPLACEFRAMEINFO info{};
            info.cb = sizeof info;
            ips->GetWindowContext(frame.Put(), doc.Put(), &pos, &clip, &info);
        }
        if (!parent) ips->GetWindow(&parent);
        RegisterWindowClass();
        hwnd_ = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, pos.left, pos.top,
                                pos.right - pos.left, pos.bottom - pos.top, parent, nullptr, g_module, nullptr);
        if (!hwnd_) {
            ips->OnInPlaceDeactivate();
            return E_FAIL;
        }
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        inPlaceSite_ = std::move(ips);
        return S_OK;
    }

    ComRef<IOleClientSite> site_;
    ComRef<IOleInPlaceSite> inPlaceSite_;
    HWND hwnd_ = nullptr;
    SIZEL extent_{5080, 2540};
};

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* control = reinterpret_cast<ActiveControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT r;
            GetClientRect(hwnd, &r);
            if (control) control->Paint(dc, r);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_NCDESTROY:
            if (control) control->WindowGone();
            break;
        default: break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// The workspace control's members by position 0..7 (the ones the display calls), then its units.
const Member kWorkspace[] = {
    {u"NeedsUpload", 3, QSIM_ON(sim::SimWorkspaceControl, return Bool(s.NeedsUpload());)},
    {u"AttachLink", 7, QSIM_ON(sim::SimWorkspaceControl,
        ObjectRef link = a.Obj(0);
        Variant r = s.AttachLink(link);
        a.Replace(0, link);
        return r;)},
    {u"Upload", 8, QSIM_ON(sim::SimWorkspaceControl, return Bool(s.Upload());)},
    {u"SupportsEngUnits", 9, QSIM_ON(outside::IPluginWorkspaceUnits, return Bool(s.SupportsEngUnits());)},
    {u"ApplyEngUnits", 10, QSIM_ON(outside::IPluginWorkspaceUnits,
        ObjectRef units = a.Obj(0);
        Variant r = s.ApplyEngUnits(units);
        a.Replace(0, units);
        return r;)},
};
const Kind kWorkspaceKind{{outside::IPluginWorkspace::kIid}, kWorkspace};

class WorkspaceControl final : public ActiveControl {
public:
    WorkspaceControl(ObjectRef target, const CLSID& clsid) : ActiveControl(std::move(target), kWorkspaceKind), clsid_(clsid) {
        if (automation::Query<outside::IPluginWorkspaceUnits>(Target())) Answer(outside::IPluginWorkspaceUnits::kIid);
    }
    std::vector<BStr> Lines() override { return WorkspaceLines(Target()); }
    static std::vector<BStr> WorkspaceLines(const ObjectRef& workspace) {
        auto* s = dynamic_cast<sim::SimWorkspaceControl*>(workspace.get());
        if (!s) return {};
        auto* withUnits = dynamic_cast<sim::SimUnitsWorkspaceControl*>(s);
        const BStr device = DeviceNameOf(s->Link());
        const BStr units = withUnits ? sim::UnitsName(withUnits->Units()) : BStr();
        const int uploads = s->Uploads();
        wchar_t temp[32];
        std::swprintf(temp, 32, L"%.1f", 20.0 + 0.5 * uploads);
        const BStr reading = reinterpret_cast<const char16_t*>(temp);
        return {s->Config().progId,
                u"Device: " + (device.empty() ? BStr(u"(no link)") : device),
                u"Uploads: " + automation::DecimalText(uploads),
                u"nvoSpaceTemp: " + (uploads ? reading : BStr(u"---")),
                u"nvoFanSpeed: " + BStr(uploads ? u"40 %" : u"---"),
                u"Units: " + (units.empty() ? BStr(u"(default)") : units)};
    }

protected:
    const CLSID* Clsid() const override { return &clsid_; }

private:
    CLSID clsid_;
};

// Dispatch ids the display finds the units control by; its notifications count by position.
const Member kQtyUnits[] = {
    {u"ApplyOnly", 0x68030000, QSIM_ON(sim::SimQtyUnitsControl,
        if (!a.put) return Bool(s.Flag().value_or(automation::kTrue));
        s.SetFlag(a[0].AsBool());
        return {};)},
    {u"ApplyUnits", 0x6003000b, QSIM_ON(sim::SimQtyUnitsControl, s.Apply(); return {};)},
};
const Kind kQtyUnitsKind{{}, kQtyUnits, &__uuidof(_ISimQtyUnitsEvents), &kClsidQtyUnits, &__uuidof(ISimQtyUnits)};

class UnitsControl final : public ActiveControl {
public:
    explicit UnitsControl(ObjectRef target) : ActiveControl(std::move(target), kQtyUnitsKind) {
        auto& s = Of<sim::SimQtyUnitsControl>(*this);
        Keep(s.UnitsApplied.Subscribe([this](const ObjectRef& units) {
            current_ = sim::UnitsName(units);
            Called();
            Fire(kUnitsApplied, {Variant(units)});
        }));
        Keep(s.CloseRequest.Subscribe([this] { Fire(kCloseRequest); }));
    }
    std::vector<BStr> Lines() override {
        const auto flag = Of<sim::SimQtyUnitsControl>(*this).Flag().value_or(automation::kTrue);
        return {u"Engineering Units", u"Apply only: " + BStr(automation::IsTrue(flag) ? u"yes" : u"no"),
                u"Current: " + (current_.empty() ? BStr(u"SI") : current_)};
    }

protected:
    const CLSID* Clsid() const override { return &kClsidQtyUnits; }

private:
    BStr current_;
};

}  // namespace

BStr WorkspaceText(const ObjectRef& workspace) {
    BStr text;
    for (const auto& line : WorkspaceControl::WorkspaceLines(workspace)) text += (text.empty() ? u"" : u"\n") + line;
    return text;
}

IDispatch* NewControl(const ObjectRef& obj, const CLSID& clsid) {
    if (clsid == kClsidQtyUnits) return new UnitsControl(obj);
    return new WorkspaceControl(obj, clsid);
}

}  // namespace qsim
