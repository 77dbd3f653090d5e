#pragma once
// What the COM host tests share: argument lists for IDispatch::Invoke, small COM objects of the
// test's own (event sinks, objects answering chosen interfaces) and the simulated components.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <map>
#include <source_location>
#include <string>
#include <vector>

#include "TestHarness.h"
#include "automation/Error.h"
#include "win32/com/ComRef.h"
#include "win32/com/Diagnostics.h"
#include "win32/ui/WindowText.h"

struct _IHalvernServer;

namespace qvtest {

constexpr wchar_t kServerProgId[] = L"LNSQuilletVexaProxy.IHalvernServer";
constexpr DISPID kStartApp = 0x60030002, kRunFullAppView = 0x60030003, kIsPlugInExist = 0x60030004, kExitApp = 0x60030005;

using win32::com::ComRef;

// Arguments in the order a caller writes them; named ones follow in their own list.
class Args {
public:
    Args() = default;
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;
    ~Args();

    Args& Str(const wchar_t* s);
    Args& I4(long i);
    Args& Bool(bool b);
    Args& RefBstr(BSTR* target);
    Args& Named(DISPID id, const wchar_t* s);
    Args& Add(VARIANT v);  // owned by the list from here on

    DISPPARAMS* Params();

private:
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
// A new server object by ProgID; fails the check when none is made.
ComRef<IDispatch> NewServer();
template <class I>
ComRef<I> As(IUnknown* u, REFIID iid) {
    ComRef<I> p;
    if (u) u->QueryInterface(iid, reinterpret_cast<void**>(p.Put()));
    return p;
}
bool SameObject(IUnknown* a, IUnknown* b);
// The server DLL's answer to DllCanUnloadNow (E_FAIL when it is not loaded).
HRESULT CanUnloadNow();
// The test hosts' private interface of a new server object.
ComRef<win32::com::IQuilletDiagnostics> NewDiagnostics();

// Runs `f`, which must raise an automation error of `code` (and `description`, when given).
template <class F>
void ExpectError(std::int32_t code, F&& f, const char16_t* description = nullptr,
                 std::source_location at = std::source_location::current()) {
    try {
        f();
        Fail("no error was raised", static_cast<int>(at.line()));
    } catch (const automation::Error& e) {
        if (e.Code() != code || (description && e.Description() != description))
            Fail(Hr(e.Code()) + " " + e.what() + ", expected " + Hr(code), static_cast<int>(at.line()));
    }
}

// An IDispatch object of the test's own that answers one further interface id (or none), with no
// members.
class OwnDispatch : public IDispatch {
public:
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

protected:
    explicit OwnDispatch(const IID& extra) : extra_(extra) {}
    virtual ~OwnDispatch() = default;
    ULONG refs_ = 1;
    IID extra_;
};

class PlainObject final : public OwnDispatch {
public:
    static ComRef<IDispatch> Create(const IID& extra = IID_NULL);

private:
    using OwnDispatch::OwnDispatch;
};

// Records each call of the outgoing interface, and whether it came while `insideCall` was set.
class EventSink final : public OwnDispatch {
public:
    struct Received {
        DISPID id;
        bool inside;
    };
    static ComRef<EventSink> Create(REFIID eventIid, const bool* insideCall);
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    std::vector<Received> received;

private:
    EventSink(REFIID eventIid, const bool* insideCall) : OwnDispatch(eventIid), inside_(insideCall) {}
    const bool* inside_;
};

// The simulated outside components (QuilletSimComponents.dll), configured through their control
// object: one plug-in for the device's program id, with two features and a workspace control.
struct SimulatedWorld {
    static bool Available() { return IsRegistered(L"QuilletSim.Control"); }
    explicit SimulatedWorld(const wchar_t* programId = L"QV.TEST.DEVICE");
    // One more plug-in (its help file and workspace control) with a feature 1, "&Configure".
    void AddPlugin(const wchar_t* programId, const wchar_t* help, const wchar_t* workspace);
    // What the simulation was asked and holds: calls made, numbers, objects and texts by name.
    long CountOf(const wchar_t* call);
    long Long(const wchar_t* name);
    ComRef<IDispatch> Object(IDispatch* from, const wchar_t* name);
    std::wstring String(IDispatch* from, const wchar_t* name);
    void Set(IDispatch* on, const wchar_t* name, bool value);
    // StartApp through the dual interface with these objects (the collection: `collection`, when
    // given); whether it started.
    bool Start(_IHalvernServer* server, const wchar_t* description, const wchar_t* address, IDispatch* collection = nullptr);
    ComRef<IDispatch> control, device, system, collection;
};

// One host's session: the object made by ProgID, its events sunk into `sink` (a call counts as
// inside while `*inside` is set).
struct HostSession {
    ComRef<_IHalvernServer> server;
    ComRef<IConnectionPoint> point;
    ComRef<EventSink> sink;
    DWORD cookie = 0;
    explicit HostSession(const bool* inside = nullptr);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;
    // RunFullAppView; the main window then shown with this caption, or nullptr.
    HWND Open(const wchar_t* caption);
    size_t AppExits() const { return sink ? sink->received.size() : 0; }
    // Lets go of the object without ExitApp.
    void Release();
};

// ---- windows of this thread --------------------------------------------------------------------
using win32::ClassOf;
using win32::TextOf;
// Descendants of `parent` of one class (and caption, when given).
std::vector<HWND> Children(HWND parent, const std::wstring& cls, const wchar_t* text = nullptr);
HWND Child(HWND parent, const std::wstring& cls, const wchar_t* text = nullptr);
// A top-level window of this thread of a class (any, when empty) and caption (any, when empty).
HWND TopLevel(const std::wstring& cls, const std::wstring& caption = {}, bool shownOnly = true);
inline HWND FindShownWindow(const std::wstring& caption) { return TopLevel(L"", caption); }
// Every window of this thread, top-level and child, by class; their number; what changed.
std::map<std::wstring, int> WindowCensus();
int WindowCount(const std::map<std::wstring, int>& census = WindowCensus());
std::string CensusChange(const std::map<std::wstring, int>& before, const std::map<std::wstring, int>& after);
// A rectangle of a window in the client coordinates of `parent` (its own parent, when none).
RECT RectIn(HWND w, HWND parent = nullptr);
// A shown top-level window of the test's own (an empty frame), made anew each call.
HWND OwnFrame(const wchar_t* title, int x, int y, int width, int height);
// Twips on the screen in pixels, across (LOGPIXELSX) or down (LOGPIXELSY), and back.
int Pixels(float twips, int axis = LOGPIXELSX);
float Twips(int pixels, int axis = LOGPIXELSX);
// The caption of a menu item as shown (its shortcut too), by position.
std::wstring MenuText(HMENU menu, int pos);
// A submenu by caption, or nullptr.
HMENU SubMenu(HMENU menu, const std::wstring& caption);
// The command of a menu item by caption (without its shortcut), searching submenus.
UINT MenuCommand(HMENU menu, const std::wstring& caption, UINT* state = nullptr);
std::wstring StatusText(HWND main, int panel = 0);
std::wstring TabText(HWND tabStrip, int index);
void PostKey(HWND to, UINT vk);
// Lets the window messages of this thread run for a while.
void Pump(DWORD ms);
// Bytes in use in all the process's heaps (PrivateUsage answers 0 under Wine).
long long HeapInUse();

// Runs `act` on the first shown top-level window of this thread of class `cls` (and caption, when
// given) that appears while the script lives, from a timer inside whatever modal loop runs; `act`
// returns true when it is done with it.
class ModalScript {
public:
    using Action = std::function<bool(HWND)>;
    ModalScript(std::wstring cls, std::wstring caption, Action act);
    ~ModalScript();
    int Seen() const { return seen_; }
    bool Done() const { return done_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    static inline ModalScript* current_ = nullptr;
    std::wstring cls_, caption_;
    Action act_;
    UINT_PTR timer_ = 0;
    DWORD started_ = 0;
    int seen_ = 0;
    bool done_ = false, busy_ = false;
};

// What the first message box `act` shows said; it is answered with OK.
struct Box {
    std::wstring title, text;
    bool okOnly = false;
    int seen = 0;
};
Box AnsweringTheBox(const std::function<void()>& act);

}  // namespace qvtest
