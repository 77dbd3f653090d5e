#pragma once
// What the COM host tests share: argument lists for IDispatch::Invoke, small COM objects of the
// test's own (event sinks, objects answering chosen interfaces) and the simulated components.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "win32/com/ComRef.h"

namespace qvtest {

using win32::com::ComRef;

// Arguments in the order a caller writes them; named ones follow in their own list.
class Args {
public:
    Args() = default;
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;
    ~Args();

    Args& Str(const wchar_t* s);
    Args& R8(double d);
    Args& I4(long i);
    Args& Bool(bool b);
    Args& Obj(IUnknown* o, VARTYPE vt = VT_DISPATCH);  // adds its own reference
    Args& Null();
    Args& Missing();             // an omitted argument, as script hosts pass it
    Args& Ref(VARIANT* target);  // VT_BYREF|VT_VARIANT, as script hosts pass variables
    Args& RefBstr(BSTR* target);
    Args& RefR4(float* target);
    Args& RefBool(VARIANT_BOOL* target);
    Args& Named(DISPID id, const wchar_t* s);

    DISPPARAMS* Params();
    size_t Count() const { return positional_.size() + named_.size(); }

private:
    Args& Add(VARIANT v);
    std::vector<VARIANT> positional_;
    std::vector<VARIANT> named_;
    std::vector<DISPID> namedIds_;
    std::vector<VARIANT> rgvarg_;
    DISPPARAMS params_{};
};

struct Invoked {
    HRESULT hr = E_FAIL;
    VARIANT result;
    EXCEPINFO excep{};
    UINT argErr = 0xFFFFFFFF;
    Invoked() { VariantInit(&result); }
    Invoked(const Invoked&) = delete;
    Invoked& operator=(const Invoked&) = delete;
    ~Invoked();
    std::wstring Description() const { return excep.bstrDescription ? excep.bstrDescription : L""; }
    std::wstring Source() const { return excep.bstrSource ? excep.bstrSource : L""; }
};

void Call(Invoked& out, IDispatch* d, DISPID id, Args& args, WORD flags = DISPATCH_METHOD);
DISPID IdOf(IDispatch* d, const wchar_t* name);
// Late-bound call by name; fails the check when the call fails.
HRESULT CallByName(IDispatch* d, const wchar_t* name, Args& args, VARIANT* result = nullptr);
HRESULT PutByName(IDispatch* d, const wchar_t* name, Args& value);

ComRef<IDispatch> CreateByProgId(const wchar_t* progId);
bool IsRegistered(const wchar_t* progId);
std::wstring Text(BSTR s);

// Records each call of the outgoing interface, and whether it came while `insideCall` was set.
class EventSink final : public IDispatch {
public:
    struct Received {
        DISPID id;
        bool inside;
    };
    static ComRef<EventSink> Create(REFIID eventIid, const bool* insideCall);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

    std::vector<Received> received;

private:
    EventSink(REFIID eventIid, const bool* insideCall) : eventIid_(eventIid), inside_(insideCall) {}
    ULONG refs_ = 1;
    IID eventIid_;
    const bool* inside_;
};

// An IDispatch object that answers one further interface id (or none), with no members.
class PlainObject final : public IDispatch {
public:
    static ComRef<IDispatch> Create(const IID& extra = IID_NULL);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    explicit PlainObject(const IID& extra) : extra_(extra) {}
    ULONG refs_ = 1;
    IID extra_;
};

// The simulated outside components (QuilletSimComponents.dll), configured through their control
// object: one plug-in for the device's program id, with two features and a workspace control.
struct SimulatedWorld {
    static bool Available() { return IsRegistered(L"QuilletSim.Control"); }
    explicit SimulatedWorld(const wchar_t* programId = L"QV.TEST.DEVICE");
    ComRef<IDispatch> control, device, system, collection;
};

// Top-level windows of this thread that are shown with this caption.
HWND FindShownWindow(const std::wstring& caption);
// Lets the window messages of this thread run for a while.
void Pump(DWORD ms);

}  // namespace qvtest
