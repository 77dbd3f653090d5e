#include "ComTestSupport.h"

#include <algorithm>

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

Args& Args::Str(const wchar_t* s) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(s);
    return Add(v);
}

Args& Args::R8(double d) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_R8;
    V_R8(&v) = d;
    return Add(v);
}

Args& Args::I4(long i) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = i;
    return Add(v);
}

Args& Args::Bool(bool b) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE;
    return Add(v);
}

Args& Args::Obj(IUnknown* o, VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = vt;
    V_UNKNOWN(&v) = o;
    if (o) o->AddRef();
    return Add(v);
}

Args& Args::Null() {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_NULL;
    return Add(v);
}

Args& Args::Missing() {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_ERROR;
    V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    return Add(v);
}

Args& Args::Ref(VARIANT* target) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = target;
    return Add(v);
}

Args& Args::RefBstr(BSTR* target) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&v) = target;
    return Add(v);
}

Args& Args::RefR4(float* target) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_R4;
    V_R4REF(&v) = target;
    return Add(v);
}

Args& Args::RefBool(VARIANT_BOOL* target) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&v) = target;
    return Add(v);
}

Args& Args::Named(DISPID id, const wchar_t* s) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
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

ComRef<EventSink> EventSink::Create(REFIID eventIid, const bool* insideCall) {
    return ComRef<EventSink>::Adopt(new EventSink(eventIid, insideCall));
}

HRESULT EventSink::QueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == eventIid_) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG EventSink::Release() {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    received.push_back({id, inside_ && *inside_});
    return S_OK;
}

ComRef<IDispatch> PlainObject::Create(const IID& extra) { return ComRef<IDispatch>::Adopt(new PlainObject(extra)); }

HRESULT PlainObject::QueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || (extra_ != IID_NULL && riid == extra_)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG PlainObject::Release() {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
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
    Args plugin;
    plugin.Str(programId).Str(L"").Str(L"QuilletSim.Workspace").Bool(true);
    CHECK_HR(CallByName(control.Get(), L"AddPlugin", plugin), S_OK);
    Args first, second;
    first.Str(programId).I4(1).Str(L"&Configure");
    second.Str(programId).I4(2).Str(L"&Test");
    CHECK_HR(CallByName(control.Get(), L"AddFeature", first), S_OK);
    CHECK_HR(CallByName(control.Get(), L"AddFeature", second), S_OK);
    Args name, program, asksToClose;
    name.Str(L"Quillet Test Node");
    program.Str(programId);
    asksToClose.Bool(true);
    CHECK_HR(PutByName(device.Get(), L"Name", name), S_OK);
    CHECK_HR(PutByName(device.Get(), L"ProgramId", program), S_OK);
    // As a real units control does, it asks to close once OK has applied the units.
    CHECK_HR(PutByName(control.Get(), L"ApplyAsksToClose", asksToClose), S_OK);
}

namespace {

struct WindowSearch {
    const std::wstring* caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<WindowSearch*>(param);
    if (!IsWindowVisible(hwnd)) return TRUE;
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    if (*s->caption == text) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindShownWindow(const std::wstring& caption) {
    WindowSearch s{&caption, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&s));
    return s.found;
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

}  // namespace qvtest
