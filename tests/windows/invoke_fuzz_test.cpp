// Bad input through the real DLL: a seeded run of IDispatch::Invoke calls on
// LNSQuilletVexaProxy.IHalvernServer objects created by ProgID, with every kind of member id, flag
// set and argument, a few of them real display sessions over the simulated components. Every
// answer must keep the Invoke contract; references, the callers' arguments, the heap and the
// thread's windows must come back as they were.
//   invoke_fuzz_test.exe [seed [count]]
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <initguid.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ComTestSupport.h"
#include "LNSQuilletVexaProxy_h.h"
#include "TestHarness.h"

using namespace qvtest;

namespace {

// The interface's members in slot order, with their parameter counts.
struct Member {
    DISPID id;
    const char* name;
    UINT params;
};
constexpr Member kMembers[] = {{kStartApp, "StartApp", 8},
                               {kRunFullAppView, "RunFullAppView", 0},
                               {kIsPlugInExist, "IsPlugInExist", 1},
                               {kExitApp, "ExitApp", 0}};
constexpr UINT kNoArgErr = 0xDEADBEEF;
constexpr UINT kLongestText = 1048576;  // characters

unsigned long long g_seed = 1729;
unsigned long g_count = 10000;
bool g_verbose = false;  // a line per object

// What a crash or a hang report names: the call in progress.
char g_current[1024] = "(before the first call)";
volatile LONG g_progress = 0;

LONG WINAPI OnCrash(EXCEPTION_POINTERS* e) {
    char module[MAX_PATH] = "?";
    HMODULE m = nullptr;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCSTR>(e->ExceptionRecord->ExceptionAddress), &m))
        GetModuleFileNameA(m, module, MAX_PATH);
    std::printf("[FAIL] the process crashed: exception 0x%08lX at %p (%s+0x%llX)\n    during %s\n",
                static_cast<unsigned long>(e->ExceptionRecord->ExceptionCode), e->ExceptionRecord->ExceptionAddress, module,
                static_cast<unsigned long long>(static_cast<const char*>(e->ExceptionRecord->ExceptionAddress) -
                                                reinterpret_cast<const char*>(m)),
                g_current);
    std::printf("invoke_fuzz: 0 passed, 1 failed\n");
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Only a call that never returns trips this: two minutes without any call finishing.
HANDLE g_stopWatchdog = nullptr;
DWORD WINAPI Watchdog(void*) {
    LONG last = -1;
    int still = 0;
    while (WaitForSingleObject(g_stopWatchdog, 5000) == WAIT_TIMEOUT) {
        const LONG now = g_progress;
        if (now != last) {
            last = now;
            still = 0;
        } else if (++still == 24) {
            std::printf("[FAIL] a call did not return: %s\ninvoke_fuzz: 0 passed, 1 failed\n", g_current);
            std::fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 4);
        }
    }
    return 0;
}

// ---- small helpers ---------------------------------------------------------------------------

ULONG RefCount(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

std::string Narrow(const std::wstring& s, size_t max = 80) {
    std::string out;
    for (wchar_t c : s) {
        if (out.size() >= max) return out + "...";
        out += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
    }
    return out;
}

// One of the DISP_E_ codes, 0x80020001 to 0x80020013 (2 is none).
bool IsDispError(HRESULT hr) {
    const unsigned long i = static_cast<unsigned long>(hr) - 0x80020001ul;
    return i < 19 && i != 1;
}

// A message box left open inside a call would block it: closed from a timer, and counted.
int g_dialogsClosed = 0;
BOOL CALLBACK CloseDialog(HWND h, LPARAM) {
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    if (IsWindowVisible(h) && std::wstring(cls) == L"#32770") {
        ++g_dialogsClosed;
        PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
        PostMessageW(h, WM_CLOSE, 0, 0);
    }
    return TRUE;
}
void CALLBACK DialogTimer(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), CloseDialog, 0); }

int g_quitMessages = 0;
// Lets the windows that calls opened run, without waiting.
void Pump() {
    MSG msg;
    for (int i = 0; i < 5000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            ++g_quitMessages;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A record type the callee can safely read: a few bytes behind a record information object of
// the test's own, which counts its references. GetSize fails for one of the two, so that copying
// the record stops early.
class JunkRecordInfo final : public IRecordInfo {
public:
    explicit JunkRecordInfo(bool sized) : sized_(sized) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IRecordInfo) {
            *ppv = static_cast<IRecordInfo*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }
    HRESULT STDMETHODCALLTYPE RecordInit(PVOID p) override {
        if (p) std::memset(p, 0, kSize);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RecordClear(PVOID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RecordCopy(PVOID from, PVOID to) override {
        ++copies;
        if (from && to && from != to) std::memmove(to, from, kSize);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetGuid(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override {
        if (name) *name = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetSize(ULONG* size) override {
        if (!size) return E_POINTER;
        *size = sized_ ? kSize : 0;
        return sized_ ? S_OK : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetField(PVOID, LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFieldNoCopy(PVOID, LPCOLESTR, VARIANT*, PVOID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutField(ULONG, PVOID, LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutFieldNoCopy(ULONG, PVOID, LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFieldNames(ULONG* n, BSTR*) override {
        if (n) *n = 0;
        return E_NOTIMPL;
    }
    BOOL STDMETHODCALLTYPE IsMatchingType(IRecordInfo* other) override { return other == this; }
    PVOID STDMETHODCALLTYPE RecordCreate() override { return nullptr; }
    HRESULT STDMETHODCALLTYPE RecordCreateCopy(PVOID, PVOID* to) override {
        if (to) *to = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RecordDestroy(PVOID) override { return E_NOTIMPL; }

    static constexpr ULONG kSize = 8;
    int copies = 0;

private:
    LONG refs_ = 1;
    bool sized_;
};

unsigned char g_recordBytes[JunkRecordInfo::kSize] = {1, 2, 3, 4, 5, 6, 7, 8};

// ---- randomness ------------------------------------------------------------------------------

class Rng {
public:
    explicit Rng(unsigned long long seed) : g_(seed) {}
    std::uint64_t U64() { return g_(); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(g_() >> 16); }
    int Below(int n) { return static_cast<int>(g_() % static_cast<std::uint64_t>(n)); }
    bool OneIn(int n) { return Below(n) == 0; }
    bool Percent(int p) { return Below(100) < p; }
    double Unit() { return static_cast<double>(g_() >> 11) * (1.0 / 9007199254740992.0); }
    template <class T, size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(static_cast<int>(N))];
    }
    template <class T>
    const T& Pick(const std::vector<T>& items) {
        return items.size() == 1 ? items[0] : items[static_cast<size_t>(Below(static_cast<int>(items.size())))];
    }

private:
    std::mt19937_64 g_;
};

// ---- one call's arguments --------------------------------------------------------------------

// All the memory one call's arguments own: the by-value arguments and the variables that
// by-reference arguments point at.
class CallArgs {
public:
    CallArgs() = default;
    CallArgs(const CallArgs&) = delete;
    CallArgs& operator=(const CallArgs&) = delete;
    ~CallArgs() {
        for (auto& v : values) VariantClear(&v);
        for (auto& v : variables) VariantClear(&v);
    }
    VARIANT& Variable() {
        variables.emplace_back();
        VariantInit(&variables.back());
        return variables.back();
    }
    // Arguments in the order a caller writes them; `namedIds` name the first ones.
    DISPPARAMS* Params(std::vector<VARIANT> written, std::vector<DISPID> namedIds) {
        // Named arguments first, in their order; then the positional ones from last to first.
        const size_t named = namedIds.size();
        values.clear();
        for (size_t i = 0; i < named; ++i) values.push_back(written[i]);
        for (size_t i = written.size(); i > named; --i) values.push_back(written[i - 1]);
        ids = std::move(namedIds);
        params.rgvarg = values.empty() ? nullptr : values.data();
        params.cArgs = static_cast<UINT>(values.size());
        params.rgdispidNamedArgs = ids.empty() ? nullptr : ids.data();
        params.cNamedArgs = static_cast<UINT>(ids.size());
        return &params;
    }
    // Raw state of every argument and variable, and of the strings they hold.
    std::vector<unsigned char> Snapshot() const {
        std::vector<unsigned char> out;
        auto add = [&](const void* p, size_t n) {
            auto b = static_cast<const unsigned char*>(p);
            out.insert(out.end(), b, b + n);
        };
        for (auto& v : values) add(&v, sizeof v);
        add(ids.data(), ids.size() * sizeof(DISPID));
        for (auto& v : variables) add(&v, sizeof v);
        std::uint64_t h = 1469598103934665603ull;
        for (BSTR s : strings) {
            const UINT bytes = s ? SysStringByteLen(s) : 0;
            auto b = reinterpret_cast<const unsigned char*>(s);
            for (UINT i = 0; i < bytes; ++i) h = (h ^ b[i]) * 1099511628211ull;
            h = (h ^ bytes) * 1099511628211ull;
        }
        add(&h, sizeof h);
        return out;
    }

    std::vector<VARIANT> values;  // rgvarg
    std::deque<VARIANT> variables;
    std::vector<DISPID> ids;
    std::vector<BSTR> strings;  // held by values or variables, for the unchanged check
    DISPPARAMS params{};
};

// The objects arguments may carry.
struct Objects {
    IDispatch* self = nullptr;   // the server object being called
    IDispatch* plain = nullptr;  // a small IDispatch of the test's own
    JunkRecordInfo* record = nullptr;
    JunkRecordInfo* sizedRecord = nullptr;
    IDispatch* device = nullptr;  // the simulated AppDevice, System and Collection
    IDispatch* system = nullptr;
    IDispatch* collection = nullptr;
    // Objects of the test's own that answer the AppDevice, System or Collection interface id but
    // have no members at all.
    IDispatch* fakeDevice = nullptr;
    IDispatch* fakeSystem = nullptr;
    IDispatch* fakeCollection = nullptr;
};

// The variant types the run passes or names. A number: its size, the values worth trying (1 in
// `odds` draws takes one of them; a single one needs no draw) and otherwise random bits, or for a
// real, a random value up to 10^`exponent`.
struct TypeInfo {
    VARTYPE vt;
    const char* name;
    int size = 0, odds = 0;
    std::vector<long long> ints = {};
    std::vector<double> reals = {};
    int exponent = 0;
};
constexpr long long kMax64 = std::numeric_limits<long long>::max(), kMin64 = std::numeric_limits<long long>::min();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();
const std::vector<double> kFloats = {0.0, 3.2f, -1.0, kNaN, kInf, -kInf,
                                     // the largest float and the smallest above zero
                                     std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min(), -0.0};
const std::vector<double> kDoubles = {0.0, 3.2, -1.0, 36526.5, -657434.0, 2958465.99, 1e300, -1e300, 1e-300, kNaN, kInf,
                                      // the largest double, and a value beyond every float
                                      std::numeric_limits<double>::max(), 4e38};
const TypeInfo kTypes[] = {{VT_EMPTY, "EMPTY"},
                           {VT_NULL, "NULL"},
                           {VT_I1, "I1", 1, 2, {0, -1, 127, -128, 1}},
                           {VT_I2, "I2", 2, 2, {0, -1, 32767, -32768, 1}},
                           {VT_I4, "I4", 4, 2, {0, -1, 1, 0x7FFFFFFF, -0x80000000LL, 65536}},
                           {VT_INT, "INT", 4, 2, {0, -1, 1, 0x7FFFFFFF, -0x80000000LL, 65536}},
                           {VT_I8, "I8", 8, 2, {0, -1, kMax64, kMin64, 1LL << 40}},
                           {VT_UI1, "UI1", 1},
                           {VT_UI2, "UI2", 2, 3, {0xFFFF}},
                           {VT_UI4, "UI4", 4, 3, {0xFFFFFFFF}},
                           {VT_UINT, "UINT", 4, 3, {0xFFFFFFFF}},
                           {VT_UI8, "UI8", 8, 3, {-1}},
                           {VT_R4, "R4", 4, 2, {}, kFloats, 20},
                           {VT_R8, "R8", 8, 2, {}, kDoubles, 40},
                           {VT_DATE, "DATE", 8, 2, {}, kDoubles, 40},
                           {VT_CY, "CY", 8, 2, {0, 32000, -10000, kMax64, kMin64}},
                           {VT_ERROR, "ERROR", 4, 2, {DISP_E_PARAMNOTFOUND, 0, E_FAIL, DISP_E_TYPEMISMATCH}},
                           {VT_BOOL, "BOOL", 2, 2, {VARIANT_FALSE, VARIANT_TRUE, 1, 2, 0x7FFF, -0x8000}},
                           {VT_BSTR, "BSTR"},
                           {VT_DISPATCH, "DISPATCH"},
                           {VT_UNKNOWN, "UNKNOWN"},
                           {VT_VARIANT, "VARIANT"},
                           {VT_DECIMAL, "DECIMAL"},
                           {VT_RECORD, "RECORD"}};

const TypeInfo* InfoOf(VARTYPE vt) {
    for (const auto& t : kTypes)
        if (t.vt == vt) return &t;
    return nullptr;
}

class Maker {
public:
    Maker(Rng& rng, const Objects& objects) : r_(rng), o_(objects) {}

    BSTR Text(CallArgs& a, bool allowHuge = true) {
        static const wchar_t* const kMeaningful[] = {L"3.2", L"-1", L"0", L"True", L"False", L"#TRUE#", L"1e39", L"-1e39",
                                                     // the device's program id and the workspace control's
                                                     L"QV.TEST.DEVICE", L"qv.test.device", L"QuilletSim.Workspace",
                                                     // what only looks like a number, a date or a name
                                                     L" ", L"&HFFFF", L"12,5", L"NaN", L"Infinity", L"1/1/2000", L"0x7fffffff",
                                                     L"99999999999999999999", L"StartApp", L"\x00e9t\x00e9", L"  42  "};
        const int r = r_.Below(1000);
        const bool huge = r >= 990 && allowHuge;
        if (r < 50) return nullptr;
        BSTR s = nullptr;
        if (r < 130) {
            s = SysAllocStringLen(L"", 0);
        } else if (r < 450) {
            s = SysAllocString(r_.Pick(kMeaningful));
        } else if (r < 800) {
            s = Random(1 + r_.Below(40));
        } else if (!huge) {
            s = Random(40 + r_.Below(8000));
        } else {
            const UINT n = 65536 + static_cast<UINT>(r_.Below(static_cast<int>(kLongestText) - 65536 + 1));
            s = SysAllocStringLen(nullptr, n);
            for (UINT i = 0; i < n; ++i) s[i] = static_cast<wchar_t>(L'A' + (i % 26));
            if (r_.OneIn(2)) s[r_.Below(static_cast<int>(n))] = 0;
        }
        a.strings.push_back(s);
        return s;
    }

    // A value of exactly `vt` (by value) in `v`, which owns it.
    void Value(VARTYPE vt, VARIANT& v, CallArgs& a, int depth) {
        std::memset(&v, 0, sizeof v);  // a type no variant may have gets nothing behind it
        const TypeInfo* t = InfoOf(vt);
        if (t && t->size && !t->reals.empty()) {
            const double d = r_.OneIn(t->odds) ? r_.Pick(t->reals) : (r_.Unit() - 0.5) * std::pow(10.0, r_.Below(t->exponent));
            if (t->size == 4) V_R4(&v) = static_cast<float>(d);
            else V_R8(&v) = d;
        } else if (t && t->size) {
            // Every number starts where the union does: its low bytes are the value.
            const long long n = t->odds && r_.OneIn(t->odds) ? r_.Pick(t->ints)
                                : t->size == 8               ? static_cast<long long>(r_.U64())
                                                             : static_cast<long long>(r_.U32());
            std::memcpy(&V_UI1(&v), &n, static_cast<size_t>(t->size));
        } else if (vt == VT_BSTR) {
            V_BSTR(&v) = Text(a, depth == 0);
        } else if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
            IDispatch* const k[] = {nullptr, o_.plain, o_.self, o_.device, o_.system, o_.collection, o_.fakeDevice};
            IDispatch* d = r_.Pick(k);
            if (d) d->AddRef();
            V_DISPATCH(&v) = d;  // an IDispatch is also an IUnknown
        } else if (vt == VT_DECIMAL) {
            DECIMAL d{};
            d.scale = static_cast<BYTE>(r_.OneIn(4) ? r_.Below(256) : r_.Below(29));
            d.sign = static_cast<BYTE>(r_.OneIn(4) ? r_.Below(256) : (r_.OneIn(2) ? DECIMAL_NEG : 0));
            d.Hi32 = r_.OneIn(2) ? 0 : r_.U32();
            d.Lo64 = r_.U64() >> r_.Below(64);
            V_DECIMAL(&v) = d;
        } else if (vt == VT_RECORD) {
            const int r = r_.Below(8);
            V_RECORD(&v) = r == 0 ? nullptr : g_recordBytes;
            IRecordInfo* info = r < 2 ? nullptr : r < 7 ? o_.record : o_.sizedRecord;
            if (info) info->AddRef();
            V_RECORDINFO(&v) = info;
        } else if (vt & VT_ARRAY) {
            V_ARRAY(&v) = r_.OneIn(10) ? nullptr : Array(static_cast<VARTYPE>(vt & ~VT_ARRAY), a, depth);
        }
        V_VT(&v) = vt;
    }

    VARTYPE ValueType() {
        static const VARTYPE k[] = {VT_EMPTY, VT_NULL, VT_I1, VT_I2, VT_I4, VT_I8, VT_UI1, VT_UI2, VT_UI4, VT_UI8, VT_INT,
                                    VT_UINT, VT_R4, VT_R8, VT_CY, VT_DATE, VT_BSTR, VT_BSTR, VT_BSTR, VT_DISPATCH, VT_DISPATCH,
                                    VT_UNKNOWN, VT_ERROR, VT_BOOL, VT_BOOL, VT_DECIMAL, VT_RECORD, VT_ARRAY | VT_I4,
                                    VT_ARRAY | VT_VARIANT, VT_ARRAY | VT_BSTR,
                                    // types no variant has: nothing is read behind them
                                    15, 32, 0x7F, VT_VARIANT, VT_VOID, VT_HRESULT};
        return r_.Pick(k);
    }

    VARTYPE RefType() {
        static const VARTYPE k[] = {VT_I1, VT_I2, VT_I4, VT_I8, VT_UI1, VT_UI2, VT_UI4, VT_UI8, VT_INT, VT_UINT, VT_R4, VT_R8,
                                    VT_CY, VT_DATE, VT_BSTR, VT_BSTR, VT_DISPATCH, VT_UNKNOWN, VT_ERROR, VT_BOOL, VT_DECIMAL,
                                    // references to arrays
                                    VT_ARRAY | VT_I4, VT_ARRAY | VT_VARIANT, VT_ARRAY | VT_BSTR};
        return r_.Pick(k);
    }

    // A by-reference argument of type `vt` pointing at a new variable.
    void Ref(VARTYPE vt, VARIANT& v, CallArgs& a, int depth) {
        VARIANT& target = Variable(vt, a, depth + 1);
        VariantInit(&v);
        V_VT(&v) = VT_BYREF | vt;
        // A DECIMAL fills its whole variant; every other value starts where the union does.
        V_BYREF(&v) = vt == VT_DECIMAL ? static_cast<void*>(&V_DECIMAL(&target)) : static_cast<void*>(&V_UI1(&target));
    }

    VARIANT& Variable(VARTYPE vt, CallArgs& a, int depth) {
        VARIANT& target = a.Variable();
        Value(vt, target, a, depth);
        return target;
    }

    // VT_BYREF|VT_VARIANT to a chain of `links` variables ending in `inner`.
    void VariantRef(VARIANT& inner, int links, VARIANT& v, CallArgs& a) {
        VARIANT* target = &inner;
        for (int i = 1; i < links; ++i) {
            VARIANT& link = a.Variable();
            V_VT(&link) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&link) = target;
            target = &link;
        }
        VariantInit(&v);
        V_VT(&v) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&v) = target;
    }

    // Any argument: by value, by typed reference, through variant references, or junk.
    void Any(VARIANT& v, CallArgs& a, int depth = 0) {
        const int r = r_.Below(100);
        if (r < 62 || depth > 2) {
            const VARTYPE vt = ValueType();
            Value(vt, v, a, depth);
        } else if (r < 84) {
            Ref(RefType(), v, a, depth);
        } else if (r < 97) {
            VARIANT& inner = a.Variable();
            Any(inner, a, depth + 1);
            VariantRef(inner, r_.OneIn(4) ? 1 + r_.Below(11) : 1, v, a);
        } else if (r < 98) {
            // Variant references that go round in a circle.
            VARIANT& first = a.Variable();
            VARIANT* last = &first;
            for (int i = r_.Below(3); i > 0; --i) {
                VARIANT& link = a.Variable();
                V_VT(&link) = VT_BYREF | VT_VARIANT;
                V_VARIANTREF(&link) = last;
                last = &link;
            }
            V_VT(&first) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&first) = last;
            VariantInit(&v);
            V_VT(&v) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&v) = &first;
        } else {
            // A reference to a type that has no reference form, through a valid pointer.
            VARIANT& target = a.Variable();
            VariantInit(&v);
            V_VT(&v) = VT_BYREF | (r_.OneIn(2) ? VT_EMPTY : VT_NULL);
            V_BYREF(&v) = &target;
        }
    }

    // An argument a caller would pass for a parameter declared as `declared`, in one of the ways
    // callers pass it; `right` is the object for an interface parameter.
    void Plausible(VARTYPE declared, IDispatch* right, IDispatch* impostor, VARIANT& v, CallArgs& a, bool proper) {
        auto text = [&](const wchar_t* s) {
            return [&a, s](VARIANT& t) { a.strings.push_back(V_BSTR(&t) = SysAllocString(s)); };
        };
        if (declared == VT_DISPATCH) {
            IDispatch* const k[] = {right, right, right, nullptr, impostor, o_.plain, o_.self, o_.device, o_.collection};
            IDispatch* d = proper ? right : r_.Pick(k);
            auto object = [d](VARIANT& t) {
                if (d) d->AddRef();
                V_DISPATCH(&t) = d;
            };
            const Way ways[] = {{kValue, VT_DISPATCH, object},
                                {kValue, VT_UNKNOWN, object},
                                {kRef, VT_DISPATCH, object},
                                {kRef, VT_UNKNOWN, object},
                                {kVariant, VT_DISPATCH, object},
                                {kNone, VT_EMPTY},
                                {kNone, VT_NULL}};
            Pass(ways[r_.Below(proper ? 5 : 7)], v, a);
        } else if (declared == VT_R4) {
            const Way ways[] = {{kValue, VT_R4, [&](VARIANT& t) { V_R4(&t) = static_cast<float>(r_.Below(1000)) / 10.0f; }},
                                {kValue, VT_R8, [&](VARIANT& t) { V_R8(&t) = r_.Unit() * 100.0; }},
                                {kValue, VT_I2, [&](VARIANT& t) { V_I2(&t) = static_cast<SHORT>(r_.Below(10)); }},
                                {kValue, VT_BSTR, [&](VARIANT& t) { text(r_.OneIn(2) ? L"3" : L"-1")(t); }},
                                {kRef, VT_R4, [](VARIANT& t) { V_R4(&t) = 3.2f; }},
                                {kVariant, VT_CY, [](VARIANT& t) { V_CY(&t).int64 = 32000; }},
                                {kNone, VT_EMPTY}};
            Pass(r_.Pick(ways), v, a);
        } else if (declared == VT_BOOL) {
            const Way ways[] = {{kValue, VT_BOOL, [&](VARIANT& t) { Value(VT_BOOL, t, a, 1); }},
                                {kValue, VT_I4, [&](VARIANT& t) { V_I4(&t) = r_.Below(3) - 1; }},
                                {kValue, VT_BSTR, [&](VARIANT& t) { text(r_.OneIn(2) ? L"-1" : L"0")(t); }},
                                {kRef, VT_BOOL, [](VARIANT& t) { V_BOOL(&t) = VARIANT_TRUE; }},
                                {kVariant, VT_BOOL, [](VARIANT& t) { V_BOOL(&t) = VARIANT_FALSE; }, 0},
                                {kNone, VT_EMPTY}};
            Pass(r_.Pick(ways), v, a);
        } else {  // VT_BSTR
            auto any = [&](VARIANT& t) { V_BSTR(&t) = Text(a); };
            const Way ways[] = {{kValue, VT_BSTR, any},
                                {kValue, VT_BSTR, any},
                                {kValue, VT_I4, [&](VARIANT& t) { V_I4(&t) = static_cast<LONG>(r_.U32()); }},
                                {kRef, VT_BSTR, any},
                                {kVariant, VT_BSTR, any, 0},
                                {kNone, VT_EMPTY}};
            Pass(r_.Pick(ways), v, a);
        }
    }

    static std::string Name(VARTYPE vt) {
        const TypeInfo* t = InfoOf(vt & VT_TYPEMASK);
        return std::string(vt & VT_BYREF ? "BYREF|" : "") + (vt & VT_ARRAY ? "ARRAY|" : "") +
               (t ? t->name : "junk type " + std::to_string(vt & VT_TYPEMASK));
    }

private:
    // How a caller passes a value: as it is, by a typed reference or through variant references
    // (`links` of them, 0: one to three) to a variable holding it, or as no value at all (`vt`).
    enum Form { kValue, kRef, kVariant, kNone };
    struct Way {
        Form form;
        VARTYPE vt;
        std::function<void(VARIANT&)> fill = nullptr;
        int links = 1;
    };

    void Pass(const Way& w, VARIANT& v, CallArgs& a) {
        VARIANT& target = w.form == kValue || w.form == kNone ? v : a.Variable();
        V_VT(&target) = w.vt;
        if (w.fill) w.fill(target);
        if (w.form == kRef) {
            V_VT(&v) = VT_BYREF | w.vt;
            V_BYREF(&v) = &V_UI1(&target);
        } else if (w.form == kVariant) {
            VariantRef(target, w.links ? w.links : 1 + r_.Below(3), v, a);
        }
    }

    BSTR Random(int n) {
        BSTR s = SysAllocStringLen(nullptr, static_cast<UINT>(n));
        const int alphabet = r_.Below(4);
        for (int i = 0; i < n; ++i) {
            wchar_t c;
            if (alphabet == 0) c = static_cast<wchar_t>(L'0' + r_.Below(10));
            else if (alphabet == 1) c = static_cast<wchar_t>(32 + r_.Below(95));
            else if (alphabet == 2) c = static_cast<wchar_t>(r_.Below(0x10000));  // lone surrogates and NULs too
            else c = r_.OneIn(8) ? 0 : static_cast<wchar_t>(L'a' + r_.Below(26));
            s[i] = c;
        }
        return s;
    }
    SAFEARRAY* Array(VARTYPE element, CallArgs& a, int depth) {
        SAFEARRAY* sa = nullptr;
        if (r_.OneIn(8)) {
            SAFEARRAYBOUND b[2] = {{static_cast<ULONG>(r_.Below(4)), r_.Below(5) - 2},
                                   {static_cast<ULONG>(r_.Below(4)), r_.Below(5) - 2}};
            sa = SafeArrayCreate(element, 2, b);
        } else {
            sa = SafeArrayCreateVector(element, r_.Below(11) - 5, static_cast<ULONG>(r_.Below(17)));
        }
        if (!sa) return nullptr;
        ULONG total = 1;
        for (UINT d = 0; d < sa->cDims; ++d) total *= sa->rgsabound[d].cElements;
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(sa, &data))) return sa;
        for (ULONG i = 0; i < total; ++i) {
            if (element == VT_I4) {
                static_cast<LONG*>(data)[i] = static_cast<LONG>(r_.U32());
            } else if (element == VT_BSTR) {
                static_cast<BSTR*>(data)[i] = r_.OneIn(5) ? nullptr : Random(r_.Below(30));
            } else {
                VARIANT& e = static_cast<VARIANT*>(data)[i];
                static const VARTYPE k[] = {
                    VT_EMPTY, VT_I4, VT_R8, VT_BOOL, VT_DISPATCH, VT_ERROR, VT_DECIMAL, VT_ARRAY | VT_I4, VT_ARRAY | VT_VARIANT};
                VARTYPE vt = r_.Pick(k);
                if ((vt & VT_ARRAY) && depth >= 2) vt = VT_I4;
                if (r_.OneIn(4)) {
                    VariantInit(&e);
                    V_VT(&e) = VT_BSTR;
                    V_BSTR(&e) = Random(r_.Below(30));
                } else {
                    Value(vt, e, a, depth + 1);
                }
            }
        }
        SafeArrayUnaccessData(sa);
        return sa;
    }

    Rng& r_;
    const Objects& o_;
};

// ---- the run ---------------------------------------------------------------------------------

enum class State { Fresh, Open, Closed, Unknown };

struct Violations {
    std::map<std::string, int> count;
    void Add(const std::string& category, const std::string& what) {
        if (++count[category] <= 5) std::printf("    %s: %s\n      during %s\n", category.c_str(), what.c_str(), g_current);
    }
    int Of(const std::string& category) const {
        auto it = count.find(category);
        return it == count.end() ? 0 : it->second;
    }
};

struct RunResults {
    bool ran = false;
    unsigned long invokes = 0;
    unsigned long otherCalls = 0;  // GetIDsOfNames, GetTypeInfo, GetTypeInfoCount
    int objects = 0;
    int startsProper = 0, startsRandom = 0, displays = 0, displaysWithoutWindows = 0;
    std::map<int, int> flagsSeen;  // DISPATCH_* combinations (the low four bits)
    Violations v;
    long long heapAfterFirstThousand = -1, heapAtEnd = -1;
    unsigned long heapFirstAt = 0;
    int windowsBefore = -1, windowsAfter = -1, windowsOpenMax = 0;
    int objectsNotReleased = 0;
    DWORD ms = 0;
};

RunResults g_run;

class Run {
public:
    Run(unsigned long long seed, SimulatedWorld& world, RunResults& out) : r_(seed), world_(world), out_(out) {}

    void Go(unsigned long count) {
        auto plain = PlainObject::Create();
        JunkRecordInfo record(false), sizedRecord(true);
        objects_.plain = plain.Get();
        auto fakeDevice = PlainObject::Create(IID_AppDevice), fakeSystem = PlainObject::Create(IID_System),
             fakeCollection = PlainObject::Create(IID_Collection);
        objects_.fakeDevice = fakeDevice.Get();
        objects_.fakeSystem = fakeSystem.Get();
        objects_.fakeCollection = fakeCollection.Get();
        objects_.record = &record;
        objects_.sizedRecord = &sizedRecord;
        objects_.device = world_.device.Get();
        objects_.system = world_.system.Get();
        objects_.collection = world_.collection.Get();
        CLSID clsid{};
        CHECK_HR(CLSIDFromProgID(kServerProgId, &clsid), S_OK);

        Pump();
        out_.windowsBefore = WindowCount();
        const DWORD began = GetTickCount();
        while (out_.invokes < count) {
            ComRef<IDispatch> obj;
            HRESULT hr =
                CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(obj.Put()));
            if (FAILED(hr) || !obj) {
                out_.v.Add("creation", "CoCreateInstance answered " + Hr(hr));
                return;
            }
            ++out_.objects;
            objects_.self = obj.Get();
            state_ = State::Fresh;
            const ULONG baseRefs = RefCount(obj.Get());
            // The first object starts with a whole display session, so that what the first one
            // loads for good is loaded before the heap is first measured.
            const unsigned long calls = 150 + static_cast<unsigned long>(r_.Below(200));
            const long sessionAt = out_.objects == 1 ? 0 : r_.Percent(40) ? r_.Below(static_cast<int>(calls / 2)) : -1;
            for (unsigned long i = 0; i < calls && out_.invokes < count; ++i) {
                if (static_cast<long>(i) == sessionAt) {
                    ProperSession(obj.Get());
                    continue;
                }
                if (r_.OneIn(30)) {
                    OtherCall(obj.Get());
                    continue;
                }
                RandomInvoke(obj.Get());
                const ULONG refs = RefCount(obj.Get());
                if (refs != baseRefs)
                    out_.v.Add("reference count", "the server object holds " + std::to_string(refs) + " references, " +
                                                      std::to_string(baseRefs) + " before the call");
                if (RefCount(plain.Get()) != 1 || RefCount(&record) != 1 || RefCount(&sizedRecord) != 1)
                    out_.v.Add("reference count", "an argument object of the test's own kept a reference");
            }
            // A session is used once: closed and released.
            Invoke(obj.Get(), kExitApp, DISPATCH_METHOD, {}, {}, IID_NULL, LOCALE_USER_DEFAULT, true, true, true,
                   "closing ExitApp");
            Pump();
            objects_.self = nullptr;
            const ULONG left = obj->Release();
            obj.Detach();
            if (left != 0) {
                ++out_.objectsNotReleased;
                out_.v.Add("reference count",
                           "the server object kept " + std::to_string(left) + " references after its last Release");
            }
            Pump();
            const int windows = WindowCount();
            if (windows != out_.windowsBefore)
                out_.v.Add("windows", std::to_string(windows) + " windows of the thread after object " +
                                          std::to_string(out_.objects) + ", " + std::to_string(out_.windowsBefore) + " before");
            if (g_verbose)
                std::printf("    object %d: %lu calls so far, heap %lld, windows %d\n", out_.objects, out_.invokes, Heap(),
                            windows);
            if (out_.heapAfterFirstThousand < 0 && out_.invokes >= 1000) {
                out_.heapAfterFirstThousand = Heap();
                out_.heapFirstAt = out_.invokes;
            }
        }
        out_.ms = GetTickCount() - began;
        out_.heapAtEnd = Heap();
        out_.windowsAfter = WindowCount();
        out_.ran = true;
        if (RefCount(plain.Get()) != 1 || RefCount(&record) != 1 || RefCount(&sizedRecord) != 1)
            out_.v.Add("reference count", "an argument object of the test's own kept a reference at the end");
    }

private:
    // The simulation's call log is the test's own memory, and keeps the largest size it had:
    // emptied after every call, it stays at what one call logs.
    void ClearSimulationLog() {
        if (clearLogId_ == DISPID_UNKNOWN) clearLogId_ = IdOf(world_.control.Get(), L"ClearLog");
        DISPPARAMS none{};
        world_.control->Invoke(clearLogId_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    }

    long long Heap() {
        Pump();
        ClearSimulationLog();
        return HeapInUse();
    }

    static bool Real(DISPID id) { return id >= kStartApp && id <= kExitApp; }
    static UINT ParamCount(DISPID id) { return Real(id) ? kMembers[id - kStartApp].params : 0; }
    static const char* MemberName(DISPID id) { return Real(id) ? kMembers[id - kStartApp].name : "other ids"; }

    LCID RandomLcid() {
        static const LCID k[] = {LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT, 0, 0x409, 0x407, 0x40C, 0x411, 0x12345678};
        return r_.OneIn(20) ? static_cast<LCID>(r_.U32()) : r_.Pick(k);
    }

    struct Param {
        VARTYPE vt;
        IDispatch* right;
        IDispatch* impostor;
    };
    std::vector<Param> Params() const {
        return {{VT_DISPATCH, objects_.device, objects_.fakeDevice},
                {VT_DISPATCH, objects_.system, objects_.fakeSystem},
                {VT_R4, nullptr, nullptr},
                {VT_BOOL, nullptr, nullptr},
                {VT_BSTR, nullptr, nullptr},
                {VT_BSTR, nullptr, nullptr},
                {VT_DISPATCH, objects_.collection, objects_.fakeCollection},
                {VT_BOOL, nullptr, nullptr}};
    }

    // The parameters of StartApp, in the caller's order.
    void StartAppArgs(Maker& m, CallArgs& a, std::vector<VARIANT>& written, bool proper, int wildPercent) {
        for (auto& p : Params()) {
            VARIANT v;
            VariantInit(&v);
            if (!proper && r_.Percent(wildPercent)) m.Any(v, a);
            else m.Plausible(p.vt, p.right, p.impostor, v, a, proper);
            written.push_back(v);
        }
    }

    // Named arguments: some of the written ones (the first `named`) go by parameter id.
    std::vector<DISPID> NameSome(std::vector<VARIANT>& written, int named) {
        // Positional arguments fill the leading parameters: the trailing ones go by name, in a
        // shuffled order.
        std::vector<VARIANT> reordered;
        std::vector<DISPID> ids;
        const int first = static_cast<int>(written.size()) - named;
        std::vector<int> tail;
        for (int i = first; i < static_cast<int>(written.size()); ++i) tail.push_back(i);
        for (size_t i = tail.size(); i > 1; --i) std::swap(tail[i - 1], tail[static_cast<size_t>(r_.Below(static_cast<int>(i)))]);
        for (int i : tail) {
            reordered.push_back(written[static_cast<size_t>(i)]);
            ids.push_back(i);
        }
        for (int i = 0; i < first; ++i) reordered.push_back(written[static_cast<size_t>(i)]);
        written = reordered;
        return ids;
    }

    // StartApp with the simulated objects, then often the display, through Invoke as hosts do.
    void ProperSession(IDispatch* obj) {
        CallArgs a;
        Maker m(r_, objects_);
        std::vector<VARIANT> written;
        StartAppArgs(m, a, written, true, 0);
        if (out_.objects == 1) {
            // The session keeps its strings after it has closed, in buffers that keep the largest
            // size they held: the first one takes the longest strings the run passes.
            for (size_t i : {size_t{4}, size_t{5}}) {
                if (V_VT(&written[i]) == VT_BSTR)
                    a.strings.erase(std::remove(a.strings.begin(), a.strings.end(), V_BSTR(&written[i])), a.strings.end());
                VariantClear(&written[i]);
                V_VT(&written[i]) = VT_BSTR;
                V_BSTR(&written[i]) = SysAllocStringLen(nullptr, kLongestText);
                for (UINT k = 0; k < kLongestText; ++k) V_BSTR(&written[i])[k] = static_cast<wchar_t>(L'a' + k % 26);
                a.strings.push_back(V_BSTR(&written[i]));
            }
        }
        std::vector<DISPID> named;
        if (r_.OneIn(3)) {
            // Named as a script host names them: ids from GetIDsOfNames.
            named = NameSome(written, 1 + r_.Below(8));
            std::vector<DISPID> resolved = ResolveNamed(obj, named);
            if (resolved != named) out_.v.Add("names", "GetIDsOfNames gave other parameter ids for StartApp's parameters");
        }
        static const LCID lcids[] = {LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT, 0x409, 0x407};
        const bool wantResult = !r_.OneIn(5);
        VARIANT result;
        const HRESULT hr = Invoke(obj, kStartApp, DISPATCH_METHOD | (r_.OneIn(2) ? DISPATCH_PROPERTYGET : 0), std::move(written),
                                  std::move(named), IID_NULL, r_.Pick(lcids), wantResult, !r_.OneIn(5), !r_.OneIn(5),
                                  "proper StartApp", &a, &result);
        const bool first = state_ == State::Fresh;
        if (hr != S_OK) {
            out_.v.Add("wrong answer", "StartApp with the simulated objects answered " + Hr(hr));
            state_ = State::Unknown;
            return;
        }
        if (wantResult && V_BOOL(&result) != (first ? VARIANT_TRUE : VARIANT_FALSE))
            out_.v.Add("wrong answer", std::string("StartApp with the simulated objects answered ") +
                                           (V_BOOL(&result) ? "true" : "false") +
                                           (first ? " on a new object" : " on a used object"));
        VariantClear(&result);
        if (!first) return;
        ++out_.startsProper;
        state_ = State::Open;
        Pump();
        if (out_.objects == 1 || r_.Percent(70)) {
            const int windows = WindowCount();
            CallArgs none;
            const HRESULT run = Invoke(obj, kRunFullAppView, DISPATCH_METHOD, {}, {}, IID_NULL, LOCALE_USER_DEFAULT, true, true,
                                       true, "RunFullAppView after StartApp", &none, &result);
            Pump();
            if (run == S_OK) {
                ++out_.displays;
                // An accepting plug-in answers true.
                if (V_VT(&result) != VT_I4 || V_I4(&result) != -1)
                    out_.v.Add("wrong answer", "RunFullAppView answered " + Maker::Name(V_VT(&result)) + " " +
                                                   std::to_string(V_I4(&result)) + ", not -1");
                const int now = WindowCount();
                if (now <= windows) ++out_.displaysWithoutWindows;
                if (now > out_.windowsOpenMax) out_.windowsOpenMax = now;
            }
            VariantClear(&result);
        }
    }

    std::vector<DISPID> ResolveNamed(IDispatch* obj, const std::vector<DISPID>& ids) {
        static const wchar_t* const kParams[] = {
            L"oLnsAppDevice",      L"oLnsSystem",           L"sLnsObjSvrVersion", L"bSupportsFileType2Config",
            L"sPlugInDescription", L"sNVDeviceNameAddress", L"cCPsRefNVsCol",     L"bIsLNSPI"};
        std::vector<std::wstring> names{r_.OneIn(2) ? L"StartApp" : L"sTARTaPP"};
        for (DISPID id : ids) names.push_back(kParams[id]);
        std::vector<LPOLESTR> ptrs;
        for (auto& n : names) ptrs.push_back(n.data());
        std::vector<DISPID> got(names.size(), 12345);
        ++out_.otherCalls;
        const HRESULT hr =
            obj->GetIDsOfNames(IID_NULL, ptrs.data(), static_cast<UINT>(ptrs.size()), LOCALE_USER_DEFAULT, got.data());
        if (hr != S_OK || got[0] != kStartApp) return {};
        return std::vector<DISPID>(got.begin() + 1, got.end());
    }

    // StartApp with proper arguments but one, so that the answer and the argument it names are
    // known; some of the arguments go by name.
    void OneBadArgument(Maker& m, CallArgs& a, std::vector<VARIANT>& written, std::vector<DISPID>& named) {
        StartAppArgs(m, a, written, true, 0);
        const int p = r_.Below(8);
        VARIANT& v = written[static_cast<size_t>(p)];
        if (V_VT(&v) == VT_BSTR) a.strings.erase(std::remove(a.strings.begin(), a.strings.end(), V_BSTR(&v)), a.strings.end());
        VariantClear(&v);
        HRESULT expected = DISP_E_TYPEMISMATCH;
        auto object = [&](IDispatch* d, VARTYPE vt) {
            V_VT(&v) = vt;
            V_DISPATCH(&v) = d;
            d->AddRef();
        };
        auto text = [&](const wchar_t* t) {
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = SysAllocString(t);
            a.strings.push_back(V_BSTR(&v));
        };
        auto array = [&] {
            V_VT(&v) = VT_ARRAY | VT_I4;
            V_ARRAY(&v) = SafeArrayCreateVector(VT_I4, 0, 3);
        };
        const VARTYPE declared = Params()[static_cast<size_t>(p)].vt;
        const int how = r_.Below(5);
        if (r_.OneIn(6)) {
            V_VT(&v) = VT_ERROR;
            V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
            expected = DISP_E_PARAMNOTOPTIONAL;
        } else if (declared == VT_DISPATCH) {
            IDispatch* wrong = p == 0 ? objects_.system : objects_.device;
            if (how == 0) object(objects_.plain, VT_DISPATCH);
            else if (how == 1) object(objects_.self, VT_UNKNOWN);
            else if (how == 2) object(wrong, VT_DISPATCH);
            else if (how == 3) {
                V_VT(&v) = VT_I4;
                V_I4(&v) = 5;
            } else text(L"x");
        } else if (declared == VT_R4) {
            if (how < 2) {
                V_VT(&v) = VT_R8;
                V_R8(&v) = how ? 1e300 : -1e300;
                expected = DISP_E_OVERFLOW;
            } else if (how == 2) text(L"abc");
            else if (how == 3) V_VT(&v) = VT_NULL;
            else array();
        } else if (declared == VT_BOOL) {
            if (how < 2) text(L"maybe");
            else if (how < 4) V_VT(&v) = VT_NULL;
            else array();
        } else {
            if (how < 2) V_VT(&v) = VT_NULL;
            else if (how < 4) array();
            else object(objects_.plain, VT_UNKNOWN);
        }
        // Through a variant reference as script hosts pass variables; a missing one is passed as it is.
        if (expected != DISP_E_PARAMNOTOPTIONAL && r_.OneIn(3)) {
            VARIANT& target = a.Variable();
            target = v;
            m.VariantRef(target, 1 + r_.Below(3), v, a);
        }
        if (r_.OneIn(3)) named = NameSome(written, 1 + r_.Below(8));
        badHr_ = expected;
        badParam_ = p;
    }

    void RandomInvoke(IDispatch* obj) {
        CallArgs a;
        Maker m(r_, objects_);
        DISPID id;
        WORD flags;
        std::vector<VARIANT> written;
        std::vector<DISPID> named;
        std::string kind;
        static const DISPID kReal[] = {kStartApp, kRunFullAppView, kIsPlugInExist, kExitApp};
        static const DISPID kOther[] = {DISPID_VALUE, DISPID_NEWENUM, DISPID_PROPERTYPUT, DISPID_UNKNOWN, DISPID_EVALUATE, 1,
                                        0x60030000, 0x60030001, 0x60030006, 0x60020000, 0x7FFFFFFF,
                                        static_cast<DISPID>(0x80000000),
                                        // the ids the inherited IUnknown and IDispatch members have
                                        0x60000000, 0x60000001, 0x60000002, 0x60010000, 0x60010001, 0x60010002, 0x60010003};
        // The flag sets: each combination of the four, and now and then bits no caller should set.
        flags = static_cast<WORD>(r_.Below(16));
        if (r_.OneIn(8)) flags = static_cast<WORD>(flags | (r_.U32() & 0xFFF0) | (r_.OneIn(2) ? 0x8000 : 0x10));
        if (r_.Percent(50)) {
            // Near a real call: the member, method flags and arguments close to the declared ones.
            id = r_.Pick(kReal);
            if (r_.Percent(75)) flags = static_cast<WORD>(flags | DISPATCH_METHOD);
            UINT n = ParamCount(id);
            if (r_.OneIn(6)) n = static_cast<UINT>(r_.Below(11));
            if (id == kStartApp && n == 8 && r_.OneIn(4)) {
                OneBadArgument(m, a, written, named);
                flags = static_cast<WORD>(flags | DISPATCH_METHOD);
                kind = "one bad argument";
            } else if (id == kStartApp && n == 8) {
                StartAppArgs(m, a, written, false, r_.OneIn(3) ? 0 : 10 + r_.Below(60));
                kind = "near";
            } else if (id == kIsPlugInExist && n == 1 && r_.OneIn(2)) {
                VARIANT v;
                VariantInit(&v);
                m.Plausible(VT_BSTR, nullptr, nullptr, v, a, false);
                written.push_back(v);
                kind = "string for IsPlugInExist";
            } else {
                for (UINT i = 0; i < n; ++i) {
                    VARIANT v;
                    m.Any(v, a);
                    written.push_back(v);
                }
                kind = "near, any arguments";
            }
        } else {
            const int r = r_.Below(100);
            id = r < 40 ? r_.Pick(kReal) : r < 80 ? r_.Pick(kOther) : static_cast<DISPID>(r_.U32());
            const UINT n = static_cast<UINT>(r_.Below(11));
            for (UINT i = 0; i < n; ++i) {
                VARIANT v;
                m.Any(v, a);
                written.push_back(v);
            }
            kind = "wild";
        }
        // Named arguments: 1..2 of them, with DISPID_PROPERTYPUT, parameter ids and anything else.
        if (!written.empty() && kind != "one bad argument" && r_.OneIn(7)) {
            const size_t count = std::min<size_t>(written.size(), 1 + static_cast<size_t>(r_.Below(2)));
            static const DISPID kNamed[] = {DISPID_PROPERTYPUT, 0, 1, 2, 7, 8, -1, DISPID_UNKNOWN};
            for (size_t i = 0; i < count; ++i)
                named.push_back(r_.OneIn(4) ? static_cast<DISPID>(r_.U32()) : r_.OneIn(5) && i > 0 ? named[0] : r_.Pick(kNamed));
            kind += ", named";
        } else if (id == kStartApp && written.size() == 8 && kind == "near" && r_.OneIn(4)) {
            named = NameSome(written, 1 + r_.Below(8));
            kind += ", named by parameter";
        }
        const IID& riid = r_.OneIn(60) && kind != "one bad argument" ? IID_IDispatch : IID_NULL;
        // Text from numbers needs a locale that exists.
        static const LCID realLcids[] = {LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT, 0x409, 0x407};
        const LCID lcid = kind == "string for IsPlugInExist" ? r_.Pick(realLcids) : RandomLcid();
        VARIANT result;
        const bool wantResult = !r_.OneIn(6), wantExcep = !r_.OneIn(6), wantArgErr = !r_.OneIn(6);
        Invoke(obj, id, flags, std::move(written), std::move(named), riid, lcid, wantResult, wantExcep, wantArgErr, kind.c_str(),
               &a, &result);
        VariantClear(&result);
    }

    // GetIDsOfNames, GetTypeInfo and GetTypeInfoCount between the calls, on the same object.
    void OtherCall(IDispatch* obj) {
        ++out_.otherCalls;
        std::snprintf(g_current, sizeof g_current, "object %d, GetIDsOfNames/GetTypeInfo", out_.objects);
        const int r = r_.Below(3);
        if (r == 0) {
            UINT n = 7;
            if (obj->GetTypeInfoCount(&n) != S_OK || n != 1) out_.v.Add("wrong answer", "GetTypeInfoCount");
        } else if (r == 1) {
            const UINT index = r_.OneIn(3) ? 0 : r_.OneIn(2) ? 1 + static_cast<UINT>(r_.Below(4)) : r_.U32() | 1;
            ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
            const HRESULT hr = obj->GetTypeInfo(index, RandomLcid(), &info);
            if (index == 0 ? (hr != S_OK || !info) : (hr != DISP_E_BADINDEX || info))
                out_.v.Add("wrong answer", "GetTypeInfo(" + std::to_string(index) + ") answered " + Hr(hr));
            TYPEATTR* attr = nullptr;
            if (hr == S_OK && info && SUCCEEDED(info->GetTypeAttr(&attr))) {
                if (attr->guid != IID__IHalvernServer) out_.v.Add("wrong answer", "GetTypeInfo(0) describes another interface");
                info->ReleaseTypeAttr(attr);
            }
            if (hr == S_OK && info) info->Release();
        } else {
            // A member's name in any case, perhaps with text behind a NUL, or random characters.
            static const wchar_t* const kNames[] = {L"StartApp", L"RunFullAppView", L"IsPlugInExist", L"ExitApp"};
            std::wstring name;
            if (r_.OneIn(2)) {
                name = r_.Pick(kNames);
                for (auto& c : name)
                    if (r_.OneIn(2)) c = static_cast<wchar_t>(std::iswupper(c) ? std::towlower(c) : std::towupper(c));
                if (r_.OneIn(4)) name += std::wstring(1, L'\0') + L"tail";
            } else {
                for (int k = r_.OneIn(10) ? r_.Below(70000) : r_.Below(20); k > 0; --k)
                    name += static_cast<wchar_t>(1 + r_.Below(0xFFFF));
            }
            // What the NUL-terminated name spells decides; random characters may spell a member too.
            DISPID expected = DISPID_UNKNOWN;
            for (DISPID k = kStartApp; k <= kExitApp; ++k)
                if (CompareStringOrdinal(name.c_str(), -1, kNames[k - kStartApp], -1, TRUE) == CSTR_EQUAL) expected = k;
            LPOLESTR names[] = {name.data()};
            DISPID id = 12345;
            const HRESULT hr = obj->GetIDsOfNames(IID_NULL, names, 1, RandomLcid(), &id);
            if (hr != (expected == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK) || id != expected)
                out_.v.Add("wrong answer", "GetIDsOfNames(" + Narrow(name) + ") answered " + Hr(hr));
        }
        InterlockedIncrement(&g_progress);
    }

    // One Invoke, checked against the contract; `result` receives the result (VT_EMPTY when none).
    HRESULT Invoke(IDispatch* obj, DISPID id, WORD flags, std::vector<VARIANT> written, std::vector<DISPID> named,
                   const IID& riid, LCID lcid, bool wantResult, bool wantExcep, bool wantArgErr, const char* kind,
                   CallArgs* args = nullptr, VARIANT* resultOut = nullptr) {
        CallArgs own;
        CallArgs& a = args ? *args : own;
        DISPPARAMS* params = a.Params(std::move(written), std::move(named));
        ++out_.invokes;
        ++out_.flagsSeen[flags & 0xF];

        std::string shape;
        for (UINT i = params->cArgs; i > 0; --i) shape += (shape.empty() ? "" : ",") + Maker::Name(V_VT(&params->rgvarg[i - 1]));
        std::string namedText;
        for (DISPID n : a.ids) namedText += (namedText.empty() ? "" : ",") + std::to_string(n);
        std::snprintf(g_current, sizeof g_current,
                      "call %lu (object %d, %s): member 0x%08lX flags 0x%04X lcid 0x%lX riid %s, %u args [%s] named [%s]%s%s%s",
                      out_.invokes, out_.objects, kind, static_cast<unsigned long>(id), flags, static_cast<unsigned long>(lcid),
                      riid == IID_NULL ? "IID_NULL" : "IID_IDispatch", params->cArgs, shape.c_str(), namedText.c_str(),
                      wantResult ? "" : ", no result", wantExcep ? "" : ", no EXCEPINFO", wantArgErr ? "" : ", no argErr");

        const auto before = a.Snapshot();
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO excep{};
        UINT argErr = kNoArgErr;
        SetErrorInfo(0, nullptr);
        const HRESULT hr = obj->Invoke(id, riid, lcid, flags, params, wantResult ? &result : nullptr,
                                       wantExcep ? &excep : nullptr, wantArgErr ? &argErr : nullptr);
        InterlockedIncrement(&g_progress);
        std::wstring errorText;
        {
            ComRef<IErrorInfo> info;
            if (GetErrorInfo(0, info.Put()) == S_OK && info) {
                BSTR d = nullptr;
                info->GetDescription(&d);
                errorText = Text(d);
                SysFreeString(d);
            }
        }
        if (a.Snapshot() != before) out_.v.Add("arguments written", "the caller's arguments changed");

        // The answer itself. With no EXCEPINFO the member's error goes back as it is, its text in the
        // error object.
        if (hr == DISP_E_EXCEPTION) {
            if (!wantExcep) out_.v.Add("contract", "DISP_E_EXCEPTION without an EXCEPINFO to fill");
            if (!excep.bstrDescription || !*excep.bstrDescription) out_.v.Add("contract", "DISP_E_EXCEPTION with no description");
            if (!((excep.scode && SUCCEEDED(excep.scode) == false && excep.wCode == 0) || (excep.wCode && !excep.scode)))
                out_.v.Add("contract",
                           "DISP_E_EXCEPTION with scode " + Hr(excep.scode) + " and wCode " + std::to_string(excep.wCode));
        } else if (hr != S_OK && !IsDispError(hr) && !(FAILED(hr) && !wantExcep && !errorText.empty())) {
            out_.v.Add("contract",
                       "answered " + Hr(hr) + (errorText.empty() ? " with no error text" : " \"" + Narrow(errorText) + "\""));
        }
        const bool plainCall = riid == IID_NULL;

        // Arguments named in errors lie within the arguments.
        if (wantArgErr && (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) &&
            (argErr == kNoArgErr || argErr >= params->cArgs))
            out_.v.Add("contract", Hr(hr) + " with argErr " + std::to_string(argErr));
        if (wantArgErr && argErr != kNoArgErr && argErr >= params->cArgs)
            out_.v.Add("contract", "argErr " + std::to_string(argErr) + " outside the arguments");

        // What the result holds.
        if (wantResult) {
            if (hr != S_OK && V_VT(&result) != VT_EMPTY)
                out_.v.Add("contract", "a failed call left a result of type " + Maker::Name(V_VT(&result)));
            if (hr == S_OK) {
                const VARTYPE expected = id == kRunFullAppView ? VT_I4 : id == kExitApp ? VT_EMPTY : VT_BOOL;
                if (V_VT(&result) != expected)
                    out_.v.Add("wrong answer",
                               std::string(MemberName(id)) + " answered a result of type " + Maker::Name(V_VT(&result)));
                else if (expected == VT_BOOL && V_BOOL(&result) != VARIANT_TRUE && V_BOOL(&result) != VARIANT_FALSE)
                    out_.v.Add("wrong answer",
                               std::string(MemberName(id)) + " answered the boolean " + std::to_string(V_BOOL(&result)));
                else if (expected == VT_I4 && V_I4(&result) != -1 && V_I4(&result) != 0)
                    out_.v.Add("wrong answer", "RunFullAppView answered " + std::to_string(V_I4(&result)));
            }
        }

        // Answers the call's shape decides.
        const UINT cArgs = params->cArgs;
        HRESULT must = S_FALSE;  // none
        if (riid != IID_NULL) must = DISP_E_UNKNOWNINTERFACE;
        else if (!Real(id) || !(flags & DISPATCH_METHOD)) must = DISP_E_MEMBERNOTFOUND;
        else if (cArgs > ParamCount(id)) must = DISP_E_BADPARAMCOUNT;
        else if (id == kExitApp) must = S_OK;
        else if (id == kIsPlugInExist && params->cNamedArgs == 0 && std::string(kind) == "string for IsPlugInExist") must = S_OK;
        if (must != S_FALSE && hr != must) out_.v.Add("wrong answer", "answered " + Hr(hr) + ", not " + Hr(must));
        if (badParam_ >= 0) {
            // The one bad argument decides the answer and is the one named.
            UINT index = cArgs - 1 - static_cast<UINT>(badParam_);
            for (size_t i = 0; i < a.ids.size(); ++i)
                if (a.ids[i] == badParam_) index = static_cast<UINT>(i);
            if (hr != badHr_)
                out_.v.Add("wrong answer",
                           "answered " + Hr(hr) + ", not " + Hr(badHr_) + " for parameter " + std::to_string(badParam_));
            else if (wantArgErr && (hr != DISP_E_PARAMNOTOPTIONAL || argErr != kNoArgErr) && argErr != index)
                out_.v.Add("wrong answer", "argErr " + std::to_string(argErr) + ", not " + std::to_string(index) +
                                               " for parameter " + std::to_string(badParam_));
            badParam_ = -1;
        }
        // RunFullAppView fails before StartApp and after ExitApp, and opens the display between.
        if (must == S_FALSE && id == kRunFullAppView && cArgs == 0 && state_ != State::Unknown) {
            const bool ok = hr == S_OK;
            const bool failedWithText = hr == DISP_E_EXCEPTION || (!wantExcep && FAILED(hr) && !IsDispError(hr));
            if (state_ == State::Open ? !ok : !failedWithText)
                out_.v.Add("wrong answer", "RunFullAppView answered " + Hr(hr) +
                                               (state_ == State::Open ? " on an open display" : " with no display open"));
        }

        // What the call did to the session.
        if (plainCall && hr == S_OK && Real(id)) {
            if (id == kExitApp) {
                if (state_ == State::Open) state_ = State::Closed;
            } else if (id == kStartApp && std::string(kind) != "proper StartApp") {
                ++out_.startsRandom;
                if (!wantResult || V_BOOL(&result)) state_ = State::Unknown;
            }
        }

        if (resultOut) *resultOut = result;
        else VariantClear(&result);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
        Pump();
        ClearSimulationLog();
        return hr;
    }

    Rng r_;
    SimulatedWorld& world_;
    RunResults& out_;
    Objects objects_;
    State state_ = State::Fresh;
    DISPID clearLogId_ = DISPID_UNKNOWN;
    HRESULT badHr_ = S_OK;  // what the call with one bad argument must answer
    int badParam_ = -1;     // and the parameter that argument is for
};

struct NamesAnswer {
    HRESULT hr;
    std::vector<DISPID> ids;
};

NamesAnswer Names(IDispatch* d, std::vector<std::wstring> names, const IID& riid = IID_NULL) {
    std::vector<LPOLESTR> ptrs;
    for (auto& n : names) ptrs.push_back(n.data());
    NamesAnswer a{E_FAIL, std::vector<DISPID>(names.size(), 12345)};
    a.hr = d->GetIDsOfNames(riid, ptrs.data(), static_cast<UINT>(ptrs.size()), LOCALE_USER_DEFAULT, a.ids.data());
    return a;
}

}  // namespace

TEST_CASE(NamesResolveWithoutRegardToCaseAndOddNamesAreUnknown) {
    auto d = NewServer();
    if (!d) return;
    const ULONG refs = RefCount(d.Get());
    struct One {
        std::wstring name;
        DISPID id;
    };
    const One known[] = {{L"StartApp", kStartApp},
                         {L"startapp", kStartApp},
                         {L"STARTAPP", kStartApp},
                         {L"RunFullAppView", kRunFullAppView},
                         {L"runfullappview", kRunFullAppView},
                         {L"isPLUGinEXIST", kIsPlugInExist},
                         {L"ExitApp", kExitApp},
                         {std::wstring(L"StartApp\0Exit", 13), kStartApp}};
    for (auto& k : known) {
        auto a = Names(d.Get(), {k.name});
        CHECK_HR(a.hr, S_OK);
        CHECK_EQ(a.ids[0], k.id);
    }
    const std::wstring unknown[] = {
        L"", L"Start App", L"StartApp ", L"ExitApp\t", L"_IHalvernServer", std::wstring(L"Start\0App", 9),
        // long, look-alike, or the name of a parameter or an event
        std::wstring(100000, L'x'), L"StartAppX", L"\x0130sPlugInExist", L"pResult", L"oLnsAppDevice", L"OnAppExit"};
    for (auto& u : unknown) {
        auto a = Names(d.Get(), {u});
        if (a.hr != DISP_E_UNKNOWNNAME || a.ids[0] != DISPID_UNKNOWN)
            Fail("GetIDsOfNames(" + Narrow(u) + "): " + Hr(a.hr) + ", id " + std::to_string(a.ids[0]), __LINE__);
    }
    // Several names at once: a member and its parameters, as named arguments are resolved.
    auto all = Names(d.Get(), {L"StartApp", L"oLnsAppDevice", L"SLNSOBJSVRVERSION", L"bIsLNSPI", L"sPlugInDescription"});
    CHECK_HR(all.hr, S_OK);
    CHECK(all.ids == (std::vector<DISPID>{kStartApp, 0, 2, 7, 4}));
    auto one = Names(d.Get(), {L"isplugInexist", L"sProgramID"});
    CHECK_HR(one.hr, S_OK);
    CHECK(one.ids == (std::vector<DISPID>{kIsPlugInExist, 0}));
    // An unknown parameter name: the others still resolve, the unknown one is DISPID_UNKNOWN.
    auto some = Names(d.Get(), {L"StartApp", L"nope", L"bIsLNSPI"});
    CHECK_HR(some.hr, DISP_E_UNKNOWNNAME);
    CHECK_EQ(some.ids[0], kStartApp);
    CHECK_EQ(some.ids[1], DISPID_UNKNOWN);
    CHECK_EQ(some.ids[2], 7);
    // Parameters of another member, and of an unknown member, are unknown.
    auto other = Names(d.Get(), {L"ExitApp", L"sProgramID"});
    CHECK_HR(other.hr, DISP_E_UNKNOWNNAME);
    CHECK_EQ(other.ids[0], kExitApp);
    CHECK_EQ(other.ids[1], DISPID_UNKNOWN);
    auto none = Names(d.Get(), {L"NoSuchMember", L"bIsLNSPI"});
    CHECK_HR(none.hr, DISP_E_UNKNOWNNAME);
    CHECK_EQ(none.ids[0], DISPID_UNKNOWN);
    CHECK_EQ(none.ids[1], DISPID_UNKNOWN);
    CHECK_HR(Names(d.Get(), {L"StartApp"}, IID_IDispatch).hr, DISP_E_UNKNOWNINTERFACE);
    CHECK_EQ(RefCount(d.Get()), refs);
}

// The dispatch view of a dual interface lists the inherited IUnknown and IDispatch members: a
// caller may get an id for them, but never reach them through Invoke.
TEST_CASE(InheritedMembersCannotBeInvoked) {
    auto d = NewServer();
    if (!d) return;
    const ULONG refs = RefCount(d.Get());
    for (const wchar_t* name :
         {L"QueryInterface", L"AddRef", L"Release", L"GetTypeInfoCount", L"GetTypeInfo", L"GetIDsOfNames", L"Invoke"}) {
        auto a = Names(d.Get(), {name});
        if (a.hr == DISP_E_UNKNOWNNAME) {
            CHECK_EQ(a.ids[0], DISPID_UNKNOWN);
            continue;
        }
        CHECK_HR(a.hr, S_OK);
        for (UINT n = 0; n <= 3; ++n) {
            Args args;
            for (UINT i = 0; i < n; ++i) args.I4(static_cast<long>(i));
            Invoked out;
            Call(out, d.Get(), a.ids[0], args, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
            if (out.hr != DISP_E_MEMBERNOTFOUND)
                Fail(Show(std::wstring(name)) + " (id " + Hr(a.ids[0]) + ") with " + std::to_string(n) + " arguments answered " +
                         Hr(out.hr),
                     __LINE__);
        }
    }
    CHECK_EQ(RefCount(d.Get()), refs);
}

// A DECIMAL with a scale beyond 28 or stray sign bits is no number: a type mismatch naming the
// argument, however it is passed, and whatever type the parameter wants.
TEST_CASE(MalformedDecimalsAreATypeMismatch) {
    auto d = NewServer();
    if (!d) return;
    struct Answer {
        HRESULT hr;
        UINT argErr;
        VARTYPE vt;
    };
    // A DECIMAL passed by value (0), as BYREF|DECIMAL (1) or as BYREF|VARIANT (2): to IsPlugInExist,
    // which wants text, or as StartApp's version, which wants a float (the objects before it missing).
    auto pass = [&](BYTE scale, BYTE sign, int how, DISPID member) {
        VARIANT value, args[8], result;
        for (auto& a : args) VariantInit(&a);
        VariantInit(&result);
        VariantInit(&value);
        V_DECIMAL(&value).scale = scale;
        V_DECIMAL(&value).sign = sign;
        V_DECIMAL(&value).Lo64 = 12345;
        V_VT(&value) = VT_DECIMAL;
        VARIANT& arg = args[member == kStartApp ? 5 : 0];
        if (how == 0) {
            arg = value;
        } else if (how == 1) {
            V_VT(&arg) = VT_BYREF | VT_DECIMAL;
            V_BYREF(&arg) = &V_DECIMAL(&value);
        } else {
            V_VT(&arg) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&arg) = &value;
        }
        DISPPARAMS params{args, nullptr, member == kStartApp ? 8u : 1u, 0};
        Answer a{E_FAIL, kNoArgErr, VT_EMPTY};
        a.hr = d->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, &a.argErr);
        a.vt = V_VT(&result);
        VariantClear(&result);
        return a;
    };
    const BYTE bad[][2] = {{29, 0}, {100, DECIMAL_NEG}, {253, DECIMAL_NEG}, {255, 0xFF}, {5, 0x7F}, {0, 0x01}};
    for (const auto& b : bad)
        for (int how = 0; how < 3; ++how)
            for (DISPID member : {kIsPlugInExist, kStartApp}) {
                const Answer a = pass(b[0], b[1], how, member);
                if (a.hr != DISP_E_TYPEMISMATCH || a.argErr != (member == kStartApp ? 5u : 0u) || a.vt != VT_EMPTY)
                    Fail(std::string(member == kStartApp ? "StartApp" : "IsPlugInExist") + " with a DECIMAL of scale " +
                             std::to_string(b[0]) + " sign " + std::to_string(b[1]) + " passed " +
                             (how == 0   ? "by value"
                              : how == 1 ? "as BYREF|DECIMAL"
                                         : "as BYREF|VARIANT") +
                             ": " + Hr(a.hr) + ", argErr " + std::to_string(a.argErr),
                         __LINE__);
            }
    // A well-formed one is text like any number.
    const Answer good = pass(2, DECIMAL_NEG, 0, kIsPlugInExist);
    CHECK_HR(good.hr, S_OK);
    CHECK_EQ(good.vt, VT_BOOL);
}

TEST_CASE(SeededInvokeRunAnswersWithinTheContract) {
    SimulatedWorld world;
    if (!world.control) return;
    Run run(g_seed, world, g_run);
    run.Go(g_count);
    auto& r = g_run;
    std::printf("    seed %llu, %lu Invoke calls (%lu asked for) on %d objects in %lu ms, %lu other IDispatch calls\n", g_seed,
                r.invokes, g_count, r.objects, static_cast<unsigned long>(r.ms), r.otherCalls);
    std::printf("    sessions: %d proper StartApp, %d random StartApp answered S_OK, %d displays opened by RunFullAppView\n",
                r.startsProper, r.startsRandom, r.displays);
    if (g_dialogsClosed) std::printf("    dialogs that opened inside calls and were closed: %d\n", g_dialogsClosed);
    CHECK(r.ran);
    CHECK(r.invokes >= g_count);
    CHECK_EQ(r.v.Of("contract"), 0);
    CHECK_EQ(r.v.Of("wrong answer"), 0);
    CHECK_EQ(r.v.Of("names"), 0);
    CHECK_EQ(r.v.Of("creation"), 0);
    CHECK_EQ(g_quitMessages, 0);
    // The run must reach every flag set and the calls that really open a display.
    CHECK_EQ(r.flagsSeen.size(), 16u);
    CHECK(r.displays > 0);
    CHECK_EQ(r.displaysWithoutWindows, 0);
}

TEST_CASE(CallersArgumentsAreNeverWritten) {
    CHECK(g_run.ran);
    CHECK_EQ(g_run.v.Of("arguments written"), 0);
}

TEST_CASE(ReferenceCountsComeBack) {
    CHECK(g_run.ran);
    std::printf("    objects not released: %d\n", g_run.objectsNotReleased);
    CHECK_EQ(g_run.v.Of("reference count"), 0);
}

TEST_CASE(HeapDoesNotGrowBetweenFirstAndLastThousandCalls) {
    CHECK(g_run.ran);
    const long long growth = g_run.heapAtEnd - g_run.heapAfterFirstThousand;
    std::printf("    heap in use: %lld bytes after %lu calls, %lld after %lu (%+lld bytes)\n", g_run.heapAfterFirstThousand,
                g_run.heapFirstAt, g_run.heapAtEnd, g_run.invokes, growth);
    CHECK(g_run.heapAfterFirstThousand > 0);
    // One leaked variant or string per failing call would add far more than this.
    CHECK(growth < 16 * 1024);
}

TEST_CASE(ThreadWindowsComeBack) {
    CHECK(g_run.ran);
    std::printf("    windows of the thread: %d before, up to %d with a display open, %d after\n", g_run.windowsBefore,
                g_run.windowsOpenMax, g_run.windowsAfter);
    CHECK_EQ(g_run.v.Of("windows"), 0);
    CHECK_EQ(g_run.windowsAfter, g_run.windowsBefore);
    CHECK(g_run.windowsOpenMax > g_run.windowsBefore);
}

int main(int argc, char** argv) {
    if (argc > 1) g_seed = std::strtoull(argv[1], nullptr, 0);
    if (argc > 2) g_count = std::strtoul(argv[2], nullptr, 0);
    g_verbose = argc > 3 && std::string(argv[3]) == "-v";
    std::printf("invoke_fuzz: seed %llu, count %lu\n", g_seed, g_count);
    std::fflush(stdout);
    SetUnhandledExceptionFilter(OnCrash);
    // The automation runtime keeps freed strings for reuse, which would hide leaked ones and
    // count the run's own random strings as growth.
    using NoCacheFn = void(WINAPI*)();
    if (auto noCache =
            reinterpret_cast<NoCacheFn>(reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"oleaut32.dll"), "SetOaNoCache"))))
        noCache();
    OleInitialize(nullptr);
    g_stopWatchdog = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, DialogTimer);
    int rc = 1;
    if (!SimulatedWorld::Available() || !IsRegistered(kServerProgId)) {
        std::printf("invoke_fuzz: LNSQuilletVexaProxy.dll or QuilletSimComponents.dll is not registered\n");
        std::printf("invoke_fuzz: 0 passed, 1 failed\n");
    } else {
        rc = RunAll("invoke_fuzz");
    }
    KillTimer(nullptr, timer);
    SetEvent(g_stopWatchdog);
    WaitForSingleObject(watchdog, INFINITE);
    CloseHandle(watchdog);
    CloseHandle(g_stopWatchdog);
    OleUninitialize();
    return rc;
}
