// Simulated ActiveX controls: the plug-in workspace controls and the units control. They activate
// in place in a child window of their own (as AtlAxWin hosts them) and also draw through IViewObject.
#include <cstdio>

#include "SimCom.h"

namespace qsim {

namespace {

constexpr wchar_t kWindowClass[] = L"QuilletSimControl";
constexpr DISPID kDataChanged = 1;
constexpr DISPID kUnitsApplied = 110;  // position 9 of the units control's notifications
constexpr DISPID kCloseRequest = 111;  // position 10

template <class T>
HRESULT Hand(T* obj, REFIID iid, void** out) {
    HRESULT hr = obj->QueryInterface(iid, out);
    obj->Release();
    return hr;
}

class ActiveControl;
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

std::wstring Joined(const std::vector<std::wstring>& lines) {
    std::wstring s;
    for (const auto& l : lines) {
        if (!s.empty()) s += L"\n";
        s += l;
    }
    return s;
}

void DrawLines(HDC dc, const RECT& r, const std::vector<std::wstring>& lines) {
    HBRUSH back = CreateSolidBrush(RGB(250, 250, 240));
    FillRect(dc, &r, back);
    DeleteObject(back);
    HBRUSH frame = CreateSolidBrush(RGB(40, 80, 160));
    FrameRect(dc, &r, frame);
    DeleteObject(frame);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    int y = r.top + 8;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SetTextColor(dc, i == 0 ? RGB(40, 80, 160) : RGB(0, 0, 0));
        TextOutW(dc, r.left + 10, y, lines[i].c_str(), static_cast<int>(lines[i].size()));
        y += 18;
    }
    SelectObject(dc, old);
}

// What every simulated control shares: in-place activation, drawing, persistence stubs and its
// source interface.
class ActiveControl : public IOleObject,
                      public IOleInPlaceObject,
                      public IOleInPlaceActiveObject,
                      public IOleControl,
                      public IViewObject2,
                      public IPersistStreamInit,
                      public IConnectionPointContainer,
                      public IProvideClassInfo2,
                      public Counted {
public:
    ActiveControl(const CLSID& clsid, const IID& source) : clsid_(clsid), sourceIid_(source) {
        source_ = ComRef<Source>::Adopt(new Source(this, source));
    }
    ~ActiveControl() override {
        if (hwnd_) {
            SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            DestroyWindow(hwnd_);
        }
        source_->Orphan();
    }

    virtual std::vector<std::wstring> Lines() = 0;
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
    HRESULT STDMETHODCALLTYPE Close(DWORD) override {
        InPlaceDeactivate();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** m) override {
        if (m) *m = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** d) override {
        if (d) *d = nullptr;
        return E_NOTIMPL;
    }
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
        *id = clsid_;
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
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** e) override {
        if (e) *e = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
        if (!status) return E_POINTER;
        *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                  OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        if (!hwnd) return E_POINTER;
        *hwnd = hwnd_;
        return hwnd_ ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
        if (hwnd_) {
            SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            DestroyWindow(hwnd_);
            hwnd_ = nullptr;
        }
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
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

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
        RECT r{bounds->left, bounds->top, bounds->right, bounds->bottom};
        Paint(dc, r);
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

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override { return EnumPoints(source_.Get(), out); }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override { return FindPoint(source_.Get(), iid, out); }

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = TypeInfoOf(clsid_);
        if (!*out) return E_UNEXPECTED;
        (*out)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* out) override {
        if (!out) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *out = sourceIid_;
        return S_OK;
    }

protected:
    // The OLE side of QueryInterface.
    void* ControlInterface(REFIID iid) {
        if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
        if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) return static_cast<IOleInPlaceObject*>(this);
        if (iid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
        if (iid == IID_IOleControl) return static_cast<IOleControl*>(this);
        if (iid == IID_IViewObject || iid == IID_IViewObject2) return static_cast<IViewObject2*>(this);
        if (iid == IID_IPersist || iid == IID_IPersistStreamInit) return static_cast<IPersistStreamInit*>(this);
        if (iid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
        if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) return static_cast<IProvideClassInfo2*>(this);
        return nullptr;
    }
    void Changed() {
        if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
    }
    HWND Hwnd() const { return hwnd_; }
    ComRef<Source> source_;

private:
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

    CLSID clsid_;
    IID sourceIid_;
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

enum class WorkspaceKind { Plain, Units, Fallback };

class WorkspaceControl final : public ActiveControl, public Dual<ISimWorkspace>, public Dual<ISimWorkspaceUnits> {
public:
    WorkspaceControl(WorkspaceKind kind, const CLSID& clsid, std::wstring progId)
        : ActiveControl(clsid, __uuidof(_ISimWorkspaceEvents)), kind_(kind), progId_(std::move(progId)) {
        ++TheWorld().liveWorkspaces;
        Record();
    }
    ~WorkspaceControl() override { --TheWorld().liveWorkspaces; }

    QSIM_COUNTED
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(ISimWorkspace))
            *out = static_cast<ISimWorkspace*>(this);
        else if (iid == __uuidof(ISimWorkspaceUnits) && kind_ == WorkspaceKind::Units)
            *out = static_cast<ISimWorkspaceUnits*>(this);
        else
            *out = ControlInterface(iid);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    std::vector<std::wstring> Lines() override {
        wchar_t temp[32];
        std::swprintf(temp, 32, L"%.1f", 20.0 + 0.5 * uploads_);
        return {progId_,
                L"Device: " + (deviceName_.empty() ? std::wstring(L"(no link)") : deviceName_),
                L"Uploads: " + std::to_wstring(uploads_),
                L"nvoSpaceTemp: " + std::wstring(uploads_ ? temp : L"---"),
                L"nvoFanSpeed: " + std::wstring(uploads_ ? L"40 %" : L"---"),
                L"Units: " + (unitsName_.empty() ? std::wstring(L"(default)") : unitsName_)};
    }

    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* value) override { return Put(value, L"Simulated workspace"); }
    HRESULT STDMETHODCALLTYPE get_Dirty(VARIANT_BOOL* value) override { return Put(value, false); }
    HRESULT STDMETHODCALLTYPE get_NeedsUpload(VARIANT_BOOL* value) override {
        if (HRESULT hr = Enter(L"Workspace.NeedsUpload"); FAILED(hr)) return hr;
        return Put(value, Config().needsUpload);
    }
    HRESULT STDMETHODCALLTYPE Download(VARIANT_BOOL* value) override {
        if (HRESULT hr = Enter(L"Workspace.Download"); FAILED(hr)) return hr;
        return Put(value, true);
    }
    HRESULT STDMETHODCALLTYPE DetachLink() override {
        link_.Reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Version(BSTR* value) override { return Put(value, L"1.0"); }
    HRESULT STDMETHODCALLTYPE AttachLink(IDispatch** link, VARIANT* value) override {
        if (!link || !value) return E_POINTER;
        VariantInit(value);
        if (HRESULT hr = Enter(L"Workspace.AttachLink"); FAILED(hr)) return hr;
        link_ = ComRef<IDispatch>(*link);
        TheWorld().lastAttachedLink = link_;
        deviceName_ = StringByName(link_.Get(), L"DeviceName");
        Refresh();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Upload(VARIANT_BOOL* value) override {
        if (!value) return E_POINTER;
        if (HRESULT hr = Enter(L"Workspace.Upload"); FAILED(hr)) return hr;
        if (!link_) return Failure(kObjectNotSet, L"Object variable not set: the device link of " + progId_);
        ++uploads_;
        deviceName_ = StringByName(link_.Get(), L"DeviceName");
        Refresh();
        source_->Fire(kDataChanged);
        return Put(value, Config().uploadReturns);
    }
    HRESULT STDMETHODCALLTYPE get_Text(BSTR* value) override { return Put(value, Joined(Lines()).c_str()); }
    HRESULT STDMETHODCALLTYPE get_UploadCount(long* value) override {
        if (!value) return E_POINTER;
        *value = uploads_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Window(long* value) override {
        if (!value) return E_POINTER;
        *value = static_cast<long>(reinterpret_cast<LONG_PTR>(Hwnd()));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_SupportsEngUnits(VARIANT_BOOL* value) override {
        if (HRESULT hr = Enter(L"Workspace.SupportsEngUnits"); FAILED(hr)) return hr;
        return Put(value, Config().unitsSupported);
    }
    HRESULT STDMETHODCALLTYPE ApplyEngUnits(IDispatch** units, VARIANT* value) override {
        if (!units || !value) return E_POINTER;
        VariantInit(value);
        if (HRESULT hr = Enter(L"Workspace.ApplyEngUnits"); FAILED(hr)) return hr;
        TheWorld().lastAppliedUnits = ComRef<IDispatch>(*units);
        unitsName_ = StringByName(*units, L"Name");
        Refresh();
        return S_OK;
    }

private:
    WorkspaceConfig Config() const { return TheWorld().WorkspaceFor(progId_); }
    void Record() { TheWorld().lastWorkspaceText = Joined(Lines()); }
    void Refresh() {
        Record();
        Changed();
    }
    static HRESULT Put(VARIANT_BOOL* out, bool b) {
        if (!out) return E_POINTER;
        *out = b ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    static HRESULT Put(BSTR* out, const wchar_t* s) {
        if (!out) return E_POINTER;
        *out = SysAllocString(s);
        return S_OK;
    }

    WorkspaceKind kind_;
    std::wstring progId_;
    ComRef<IDispatch> link_;
    std::wstring deviceName_;
    std::wstring unitsName_;
    long uploads_ = 0;
};

}  // namespace

class QtyUnitsControl final : public ActiveControl, public Dual<ISimQtyUnits> {
public:
    QtyUnitsControl() : ActiveControl(kClsidQtyUnits, __uuidof(_ISimQtyUnitsEvents)) { TheWorld().lastUnitsControl = this; }
    ~QtyUnitsControl() override {
        if (TheWorld().lastUnitsControl == this) TheWorld().lastUnitsControl = nullptr;
    }

    QSIM_COUNTED
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(ISimQtyUnits))
            *out = static_cast<ISimQtyUnits*>(this);
        else
            *out = ControlInterface(iid);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    std::vector<std::wstring> Lines() override {
        return {L"Engineering Units", L"Apply only: " + std::wstring(applyOnly_ ? L"yes" : L"no"),
                L"Current: " + (current_.empty() ? std::wstring(L"SI") : current_)};
    }

    HRESULT STDMETHODCALLTYPE get_ApplyOnly(VARIANT_BOOL* value) override {
        if (!value) return E_POINTER;
        *value = applyOnly_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_ApplyOnly(VARIANT_BOOL value) override {
        if (HRESULT hr = Enter(L"QtyUnits.SetFlag"); FAILED(hr)) return hr;
        applyOnly_ = value != VARIANT_FALSE;
        Changed();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ApplyUnits() override {
        if (HRESULT hr = Enter(L"QtyUnits.Apply"); FAILED(hr)) return hr;
        World& w = TheWorld();
        ComRef<ISimQtyUnits> keep(this);  // a listener may close the dialog that hosts us
        if (w.applyHandsBackUnits) HandBack(L"Units " + std::to_wstring(++w.unitsMade));
        if (w.applyAsksToClose) AskToClose();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Text(BSTR* value) override {
        if (!value) return E_POINTER;
        *value = NewBstr(Joined(Lines()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Window(long* value) override {
        if (!value) return E_POINTER;
        *value = static_cast<long>(reinterpret_cast<LONG_PTR>(Hwnd()));
        return S_OK;
    }

    void HandBack(const std::wstring& name) {
        current_ = name;
        Changed();
        VARIANT arg;
        VariantInit(&arg);
        V_VT(&arg) = VT_DISPATCH;
        V_DISPATCH(&arg) = NewUnits(name);
        source_->Fire(kUnitsApplied, {arg});
    }
    void AskToClose() { source_->Fire(kCloseRequest); }

private:
    bool applyOnly_ = true;
    std::wstring current_;
};

void RaiseOnLastUnitsControl(bool applied, const std::wstring& name) {
    QtyUnitsControl* c = TheWorld().lastUnitsControl;
    if (!c) return;
    ComRef<ISimQtyUnits> keep(c);
    if (applied) c->HandBack(name);
    else c->AskToClose();
}

HRESULT CreateControl(REFCLSID clsid, REFIID iid, void** out) {
    if (clsid == kClsidWorkspace) return Hand(new WorkspaceControl(WorkspaceKind::Plain, clsid, L"QuilletSim.Workspace"), iid, out);
    if (clsid == kClsidUnitsWorkspace)
        return Hand(new WorkspaceControl(WorkspaceKind::Units, clsid, L"QuilletSim.UnitsWorkspace"), iid, out);
    if (clsid == kClsidUnknownWorkspace) {
        if (!TheWorld().fallbackInstalled) return REGDB_E_CLASSNOTREG;
        return Hand(new WorkspaceControl(WorkspaceKind::Fallback, clsid, L"CEAQuilletUnknownWS.Workspace"), iid, out);
    }
    if (clsid == kClsidQtyUnits) return Hand(new QtyUnitsControl, iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace qsim
