// The COM face of the simulated workspace controls and the units control: ActiveX controls that
// activate in place in a child window of their own (as AtlAxWin hosts them), showing what their
// sim object holds.
#include <cstdio>

#include "SimCom.h"
#include "sim/SimWorkspaceControl.h"
#include "win32/comsupport/TypeInfo.h"

namespace qsim {

namespace {

constexpr wchar_t kWindowClass[] = L"QuilletSimControl";
constexpr DISPID kUnitsApplied = 110;  // position 9 of the units control's notifications
constexpr DISPID kCloseRequest = 111;  // position 10

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

void RegisterWindowClass() {
    static const bool done = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = ControlProc;
        wc.hInstance = g_module;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = kWindowClass;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    (void)done;
}

void DrawLines(HDC dc, RECT r, const std::vector<BStr>& lines) {
    BStr text;
    for (const auto& line : lines) text += line + u"\n";
    HBRUSH back = CreateSolidBrush(RGB(250, 250, 240)), frame = CreateSolidBrush(RGB(40, 80, 160));
    FillRect(dc, &r, back);
    FrameRect(dc, &r, frame);
    DeleteObject(back);
    DeleteObject(frame);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    InflateRect(&r, -10, -8);
    DrawTextW(dc, Wide(text), static_cast<int>(text.size()), &r, DT_LEFT | DT_NOPREFIX);
    SelectObject(dc, old);
}

// What every simulated control shares: in-place activation in a window of its own, drawing there.
class ActiveControl : public ComObject, public IOleObject, public IOleInPlaceObject {
public:
    ActiveControl(ObjectRef target, const Kind& kind, const CLSID& clsid) : ComObject(std::move(target), kind), clsid_(clsid) {}
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
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** m) override { return Cleared(E_NOTIMPL, m); }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** d) override { return Cleared(E_NOTIMPL, d); }
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
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** e) override { return Cleared(OLEOBJ_E_NOVERBS, e); }
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* id) override {
        if (!id) return E_POINTER;
        *id = clsid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR* name) override { return Cleared(OLE_S_USEREG, name); }
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
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD* c) override { return Cleared(E_NOTIMPL, c); }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** e) override { return Cleared(E_NOTIMPL, e); }
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

protected:
    void* Extra(REFIID iid) override {
        if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
        if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) return static_cast<IOleInPlaceObject*>(this);
        return nullptr;
    }
    void Called() override {
        if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
    }

private:
    // Clears the out-parameters given.
    template <class... T>
    static HRESULT Cleared(HRESULT hr, T*... out) {
        ((out ? void(*out = T{}) : void()), ...);
        return hr;
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

    CLSID clsid_;
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
    {u"AttachLink", 7,
     QSIM_ON(sim::SimWorkspaceControl, ObjectRef link = a.Obj(0); Variant r = s.AttachLink(link); a.Replace(0, link); return r;)},
    {u"Upload", 8, QSIM_ON(sim::SimWorkspaceControl, return Bool(s.Upload());)},
    {u"SupportsEngUnits", 9, QSIM_ON(outside::IPluginWorkspaceUnits, return Bool(s.SupportsEngUnits());)},
    {u"ApplyEngUnits", 10,
     QSIM_ON(outside::IPluginWorkspaceUnits, ObjectRef units = a.Obj(0); Variant r = s.ApplyEngUnits(units); a.Replace(0, units);
             return r;)},
};
// The default interface of a control whose workspace members are not on it.
const Member kPlainControl[] = {
    {u"Caption", 1, QSIM_ON(sim::SimWorkspaceControl, return Variant(s.Config().progId);)},
};
const Kind kWorkspaceKind{{}, kWorkspace, nullptr, &__uuidof(::Workspace)};
const Kind kPlainControlKind{{}, kPlainControl, nullptr, &__uuidof(::Workspace)};

// The vtable side of a dual interface of our library, as DispInvoke needs it.
ComRef<ITypeInfo> VtableInfo(const IID& iid) {
    ComRef<ITypeInfo> info;
    TypeInfoOf(iid, info.Put());
    return win32::VtableSide(std::move(info));
}

// A workspace interface a client binds to by its id. Calls go to the control's sim object; the
// IDispatch side answers as the control's binding says.
template <class Itf>
class Facet : public Itf {
public:
    Facet(ComObject& owner, sim::WorkspaceBinding binding) : owner_(owner), binding_(binding) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return owner_.QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (binding_ == sim::WorkspaceBinding::NamesFromDefault) return owner_.GetTypeInfoCount(count);
        if (!count) return E_POINTER;
        *count = binding_ == sim::WorkspaceBinding::Standard ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        if (binding_ == sim::WorkspaceBinding::NamesFromDefault) return owner_.GetTypeInfo(index, lcid, info);
        if (!info) return E_POINTER;
        *info = nullptr;
        if (binding_ != sim::WorkspaceBinding::Standard || index != 0) return DISP_E_BADINDEX;
        return TypeInfoOf(__uuidof(Itf), info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        switch (binding_) {
            case sim::WorkspaceBinding::NamesFromDefault: return owner_.GetIDsOfNames(riid, names, count, lcid, ids);
            case sim::WorkspaceBinding::Standard: {
                auto info = VtableInfo(__uuidof(Itf));
                return info ? DispGetIDsOfNames(info.Get(), names, count, ids) : TYPE_E_CANTLOADLIBRARY;
            }
            default:
                for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
                return DISP_E_UNKNOWNNAME;
        }
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argErr) override {
        switch (binding_) {
            case sim::WorkspaceBinding::NamesFromDefault:
                return owner_.Invoke(id, riid, lcid, flags, params, result, excep, argErr);
            case sim::WorkspaceBinding::Standard: {
                auto info = VtableInfo(__uuidof(Itf));
                return info ? DispInvoke(this, info.Get(), id, flags, params, result, excep, argErr) : TYPE_E_CANTLOADLIBRARY;
            }
            default: return DISP_E_MEMBERNOTFOUND;
        }
    }

protected:
    // A member of the control's tables as a client of the interface calls it: `slot` an object it
    // passes by reference, the result given as the type of `out`.
    template <class Out>
    HRESULT Call(std::span<const Member> members, DISPID id, Out* out, IDispatch** slot = nullptr) {
        if (!out) return E_POINTER;
        VARIANT arg, result;
        V_VT(&arg) = VT_BYREF | VT_DISPATCH;
        V_DISPATCHREF(&arg) = slot;
        VariantInit(&result);
        DISPPARAMS params{&arg, nullptr, slot ? 1u : 0u, 0};
        HRESULT hr = owner_.Call(members, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, &result, nullptr);
        if (SUCCEEDED(hr)) hr = Take(result, out);
        VariantClear(&result);
        return hr;
    }
    static HRESULT NotUsed() { return E_NOTIMPL; }

private:
    // Moves the result into `out` (whatever it held is not ours); what stays in `v` is cleared by the caller.
    static HRESULT Take(VARIANT& v, VARIANT* out) {
        *out = v;
        VariantInit(&v);
        return S_OK;
    }
    static HRESULT Take(VARIANT& v, VARIANT_BOOL* out) {
        const HRESULT hr = VariantChangeType(&v, &v, 0, VT_BOOL);
        if (SUCCEEDED(hr)) *out = V_BOOL(&v);
        return hr;
    }
    static HRESULT Take(VARIANT& v, BSTR* out) {
        const HRESULT hr = VariantChangeType(&v, &v, 0, VT_BSTR);
        if (SUCCEEDED(hr)) *out = std::exchange(V_BSTR(&v), nullptr);
        return hr;
    }

    ComObject& owner_;
    sim::WorkspaceBinding binding_;
};

class WorkspaceItf final : public Facet<ISimPluginWorkspace> {
public:
    using Facet::Facet;
    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* v) override { return Call(kPlainControl, 1, v); }
    HRESULT STDMETHODCALLTYPE get_Dirty(VARIANT_BOOL*) override { return NotUsed(); }
    HRESULT STDMETHODCALLTYPE get_NeedsUpload(VARIANT_BOOL* v) override { return Call(kWorkspace, 3, v); }
    HRESULT STDMETHODCALLTYPE Download(VARIANT_BOOL*) override { return NotUsed(); }
    HRESULT STDMETHODCALLTYPE DetachLink() override { return NotUsed(); }
    HRESULT STDMETHODCALLTYPE get_Version(BSTR*) override { return NotUsed(); }
    HRESULT STDMETHODCALLTYPE AttachLink(IDispatch** link, VARIANT* result) override {
        return link ? Call(kWorkspace, 7, result, link) : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE Upload(VARIANT_BOOL* v) override { return Call(kWorkspace, 8, v); }
};

class UnitsItf final : public Facet<ISimPluginWorkspaceUnits> {
public:
    using Facet::Facet;
    HRESULT STDMETHODCALLTYPE get_SupportsEngUnits(VARIANT_BOOL* v) override { return Call(kWorkspace, 9, v); }
    HRESULT STDMETHODCALLTYPE ApplyEngUnits(IDispatch** units, VARIANT* result) override {
        return units ? Call(kWorkspace, 10, result, units) : E_POINTER;
    }
};

// The sim object a workspace class gives, and how it binds: a control without the interface comes
// wrapped so that nothing takes it for one.
std::pair<ObjectRef, sim::WorkspaceBinding> Unwrap(const ObjectRef& obj) {
    if (auto* bare = dynamic_cast<sim::SimWorkspaceWithoutInterface*>(obj.get()))
        return {bare->Control(), sim::WorkspaceBinding::NoInterface};
    if (auto* s = dynamic_cast<sim::SimWorkspaceControl*>(obj.get())) return {obj, s->Config().binding};
    return {obj, sim::WorkspaceBinding::Standard};
}

const Kind& KindFor(sim::WorkspaceBinding binding) {
    const bool namesOnDefault = binding == sim::WorkspaceBinding::Standard || binding == sim::WorkspaceBinding::NoInterface;
    return namesOnDefault ? kWorkspaceKind : kPlainControlKind;
}

class WorkspaceControl final : public ActiveControl {
public:
    WorkspaceControl(std::pair<ObjectRef, sim::WorkspaceBinding> made, const CLSID& clsid)
        : ActiveControl(std::move(made.first), KindFor(made.second), clsid),
          binding_(made.second),
          workspace_(*this, made.second),
          units_(*this, made.second) {}
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
    void* Extra(REFIID iid) override {
        const bool offers = binding_ != sim::WorkspaceBinding::NoInterface;
        if (offers && iid == __uuidof(ISimPluginWorkspace)) return static_cast<ISimPluginWorkspace*>(&workspace_);
        if (offers && iid == __uuidof(ISimPluginWorkspaceUnits) && automation::Query<outside::IPluginWorkspaceUnits>(Target()))
            return static_cast<ISimPluginWorkspaceUnits*>(&units_);
        if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) return static_cast<IProvideClassInfo2*>(this);
        return ActiveControl::Extra(iid);
    }

private:
    sim::WorkspaceBinding binding_;
    WorkspaceItf workspace_;
    UnitsItf units_;
};

// Dispatch ids the display finds the units control by; its notifications count by position.
const Member kQtyUnits[] = {
    {u"ApplyOnly", 0x68030000,
     QSIM_ON(sim::SimQtyUnitsControl, if (!a.put) return Bool(s.Flag().value_or(automation::kTrue)); s.SetFlag(a[0].AsBool());
             return {};)},
    {u"ApplyUnits", 0x6003000b, QSIM_ON(sim::SimQtyUnitsControl, s.Apply(); return {};)},
};
const Kind kQtyUnitsKind{{}, kQtyUnits, &__uuidof(_ISimQtyUnitsEvents), &__uuidof(::QtyUnits), &__uuidof(ISimQtyUnits)};

class UnitsControl final : public ActiveControl {
public:
    explicit UnitsControl(ObjectRef target) : ActiveControl(std::move(target), kQtyUnitsKind, __uuidof(::QtyUnits)) {
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
    if (clsid == __uuidof(::QtyUnits)) return new UnitsControl(obj);
    return new WorkspaceControl(Unwrap(obj), clsid);
}

}  // namespace qsim
