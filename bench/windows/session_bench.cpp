// One display session under Wine, timed against a bare Win32 program that makes the same windows.
//   quillet-bench-win.exe [--runs N] [--warmup N] [--census] [--only dll|baseline] [--profile]
//   quillet-bench-win.exe --first dll|baseline
// --census prints the windows both sides build; --only times one side alone, for a profiler;
// --profile counts the messages of one session of each side by phase, window class and message;
// --first times the first session of this process (DLL load, type library, window classes) alone.
// Needs LNSQuilletVexaProxy.dll and QuilletSimComponents.dll registered (tools/windows/bench.sh).
// Prints markdown: the per-session times of both, their ratio and the phases of each.
#include <windows.h>
#include <ole2.h>
#include <commctrl.h>

#include <initguid.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numeric>
#include <optional>
#include <tuple>
#include <string>
#include <vector>

#include "BareSession.h"
#include "Census.h"
#include "LNSQuilletVexaProxy_h.h"
#include "win32/com/ComRef.h"
#include "win32/comsupport/LateBound.h"
#include "tools/windows/StartAppArgs.h"

using bench::kBarePhases;
using win32::com::ComRef;

namespace {

constexpr wchar_t kServerProgId[] = L"LNSQuilletVexaProxy.IHalvernServer";
constexpr wchar_t kProgramId[] = L"80000A1B2C3D4E5F";
constexpr wchar_t kWorkspace[] = L"QuilletSim.UnitsWorkspace";
constexpr double kTarget = 1.5;
constexpr double kMessageTarget = 1.3;

const bench::Display kDisplay{L"Fan Coil Unit", kWorkspace, {L"&Configure", L"&Recalibrate"}};

enum DllPhase { kCreate, kStart, kView, kExit, kRelease, kDllPhases };
constexpr const char* kDllPhaseNames[kDllPhases] = {"create by ProgID", "StartApp", "RunFullAppView and message loop", "ExitApp",
                                                    "Release and message loop"};

using win32::Bool;
using win32::CallByName;
using win32::CreateByProgId;
using win32::I4;
using win32::Str;

long LongProperty(IDispatch* d, const wchar_t* name) {
    VARIANT v;
    VariantInit(&v);
    long result = -1;
    if (SUCCEEDED(CallByName(d, name, {}, DISPATCH_PROPERTYGET, &v)) && SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4)))
        result = V_I4(&v);
    VariantClear(&v);
    return result;
}

struct FindArgs {
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK MatchCaption(HWND w, LPARAM p) {
    auto* a = reinterpret_cast<FindArgs*>(p);
    wchar_t buf[256] = {};
    GetWindowTextW(w, buf, 256);
    if (GetWindow(w, GW_OWNER) || std::wstring(buf) != a->caption) return TRUE;
    a->found = w;
    return FALSE;
}

HWND FindDisplay() {
    FindArgs a{kDisplay.caption.c_str(), nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchCaption, reinterpret_cast<LPARAM>(&a));
    return a.found;
}

// The host's side: the simulated world and the LNS objects it hands to StartApp.
class Host {
public:
    // checkServer: the DLL is loaded to see that it is registered (not for a first session).
    bool Prepare(std::string& why, bool checkServer = true) {
        control_ = CreateByProgId(L"QuilletSim.Control");
        device_ = CreateByProgId(L"QuilletSim.AppDevice");
        system_ = CreateByProgId(L"QuilletSim.System");
        properties_ = CreateByProgId(L"QuilletSim.Collection");
        if (!control_ || !device_ || !system_ || !properties_) {
            why = "QuilletSimComponents.dll is not registered";
            return false;
        }
        if (checkServer && !CreateByProgId(kServerProgId)) {
            why = "LNSQuilletVexaProxy.dll is not registered";
            return false;
        }
        CallByName(control_.Get(), L"Reset", {});
        CallByName(control_.Get(), L"AddPlugin", {Str(kProgramId), Str(L"FanCoil.chm"), Str(kWorkspace), Bool(true)});
        for (std::size_t i = 0; i < kDisplay.features.size(); ++i)
            CallByName(control_.Get(), L"AddFeature",
                       {Str(kProgramId), I4(static_cast<long>(i) + 1), Str(kDisplay.features[i].c_str())});
        CallByName(control_.Get(), L"ConfigureWorkspace", {Str(kWorkspace), Bool(false), Bool(true), Bool(true)});
        CallByName(device_.Get(), L"Name", {Str(L"Fan Coil 1")}, DISPATCH_PROPERTYPUT);
        CallByName(device_.Get(), L"ProgramId", {Str(kProgramId)}, DISPATCH_PROPERTYPUT);
        CallByName(system_.Get(), L"Name", {Str(L"Building Network")}, DISPATCH_PROPERTYPUT);
        return true;
    }

    // One session; times in microseconds per phase. Checks afterwards that it opened the display
    // and left nothing behind.
    bool Session(double* times, bench::Census* census = nullptr) {
        std::optional<StartAppArgs> args;
        args.emplace(device_.Get(), system_.Get(), properties_.Get(), kDisplay.caption.c_str(), L"Fan Coil 1 (1/12)");
        VARIANT_BOOL started = VARIANT_FALSE;
        LONG opened = 0;
        HRESULT hrStart = E_FAIL, hrView = E_FAIL, hrExit = E_FAIL;
        bool shown = false;

        bench::Drain();
        double t = bench::NowUs(), next;
        auto phase = [&](DllPhase p) {
            next = bench::NowUs();
            times[p] = next - t;
            t = next;
            bench::PhaseBegins(p + 1);
        };
        bench::PhaseBegins(0);
        CLSID clsid;
        ComRef<_IHalvernServer> server;
        if (SUCCEEDED(CLSIDFromProgID(kServerProgId, &clsid)))
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__IHalvernServer, reinterpret_cast<void**>(server.Put()));
        phase(kCreate);
        if (server) hrStart = args->Call(server.Get(), &started);
        phase(kStart);
        if (server) hrView = server->RunFullAppView(&opened);
        bench::Drain();  // the host's message loop: what the call left to paint is painted
        phase(kView);
        if (census) {
            *census = bench::Take(FindDisplay());
            VARIANT log;
            VariantInit(&log);
            if (SUCCEEDED(CallByName(control_.Get(), L"Log", {}, DISPATCH_PROPERTYGET, &log)) && V_VT(&log) == VT_BSTR)
                census->calls = std::wstring(V_BSTR(&log), SysStringLen(V_BSTR(&log)));
            VariantClear(&log);
        }
        // Looking for the window is the benchmark's own business: it stays outside the phases.
        shown = FindDisplay() != nullptr;
        t = bench::NowUs();
        if (server) hrExit = server->ExitApp();
        phase(kExit);
        server.Reset();
        bench::Drain();
        phase(kRelease);

        args.reset();
        const bool clean = !FindDisplay() && LongProperty(control_.Get(), L"LiveWorkspaceControls") == 0 &&
                           LongProperty(control_.Get(), L"LivePluginServers") == 0;
        CallByName(control_.Get(), L"ClearLog", {});
        const bool ok = SUCCEEDED(hrStart) && started && SUCCEEDED(hrView) && opened != 0 && shown && SUCCEEDED(hrExit) && clean;
        if (!ok)
            std::printf(
                "DLL session failed: StartApp 0x%08lX (%d), RunFullAppView 0x%08lX (%ld), shown %d, ExitApp 0x%08lX, clean %d\n",
                static_cast<unsigned long>(hrStart), started, static_cast<unsigned long>(hrView), static_cast<long>(opened),
                shown, static_cast<unsigned long>(hrExit), clean);
        return ok;
    }

private:
    ComRef<IDispatch> control_, device_, system_, properties_;
};

struct Stats {
    double median = 0, mean = 0, min = 0, max = 0;
};

Stats Of(std::vector<double> v) {
    Stats s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    s.median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    s.mean = std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(n);
    s.min = v.front();
    s.max = v.back();
    return s;
}

std::string Ms(double us) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f ms", us / 1000.0);
    return buf;
}

// Messages sent to window procedures while a session runs: a measure of the work that does not
// move with the load of the machine.
long g_messages = 0;
LRESULT CALLBACK CountMessage(int code, WPARAM wp, LPARAM lp) {
    if (code >= 0) ++g_messages;
    return CallNextHookEx(nullptr, code, wp, lp);
}

template <class Fn>
long MessagesOf(Fn session) {
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountMessage, nullptr, GetCurrentThreadId());
    g_messages = 0;
    session();
    if (hook) UnhookWindowsHookEx(hook);
    return hook ? g_messages : -1;
}

// The profile: messages of one session by phase, class of the receiving window and message.
// Sent ones as the window procedure gets them, posted ones as the loop takes them out.
using ProfileKey = std::tuple<int, std::wstring, UINT, bool>;  // phase, class, message, posted
std::map<ProfileKey, long>* g_profile = nullptr;

void Record(HWND h, UINT msg, bool posted) {
    if (!g_profile) return;
    wchar_t cls[64] = L"(none)";
    if (h) GetClassNameW(h, cls, 64);
    ++(*g_profile)[{bench::g_phase, cls, msg, posted}];
}
LRESULT CALLBACK ProfileSent(int code, WPARAM wp, LPARAM lp) {
    if (code >= 0)
        if (auto* cwp = reinterpret_cast<CWPSTRUCT*>(lp)) Record(cwp->hwnd, cwp->message, false);
    return CallNextHookEx(nullptr, code, wp, lp);
}
LRESULT CALLBACK ProfilePosted(int code, WPARAM wp, LPARAM lp) {
    if (code >= 0 && wp == PM_REMOVE)
        if (auto* m = reinterpret_cast<MSG*>(lp)) Record(m->hwnd, m->message, true);
    return CallNextHookEx(nullptr, code, wp, lp);
}

// The messages a session sends most; others print as numbers (the WM_USER range means one thing
// to a status bar and another to a tooltip).
const char* MessageName(UINT m) {
#define QV_NAME(id) \
    { id, #id }
    static const std::map<UINT, const char*> names = {
        QV_NAME(WM_CREATE),
        QV_NAME(WM_DESTROY),
        QV_NAME(WM_MOVE),
        QV_NAME(WM_SIZE),
        QV_NAME(WM_ACTIVATE),
        QV_NAME(WM_SETREDRAW),
        QV_NAME(WM_SETTEXT),
        QV_NAME(WM_GETTEXT),
        QV_NAME(WM_PAINT),
        QV_NAME(WM_ERASEBKGND),
        QV_NAME(WM_SHOWWINDOW),
        QV_NAME(WM_ACTIVATEAPP),
        QV_NAME(WM_CHILDACTIVATE),
        QV_NAME(WM_SETFONT),
        QV_NAME(WM_WINDOWPOSCHANGING),
        QV_NAME(WM_WINDOWPOSCHANGED),
        QV_NAME(WM_NOTIFY),
        QV_NAME(WM_GETICON),
        QV_NAME(WM_SETICON),
        QV_NAME(WM_NCCREATE),
        QV_NAME(WM_NCDESTROY),
        QV_NAME(WM_NCCALCSIZE),
        QV_NAME(WM_NCPAINT),
        QV_NAME(WM_NCACTIVATE),
        QV_NAME(WM_CTLCOLORBTN),
        QV_NAME(WM_PARENTNOTIFY),
        QV_NAME(WM_COMMAND),
        QV_NAME(WM_TIMER),
        QV_NAME(LVM_SETIMAGELIST),
        QV_NAME(LVM_INSERTCOLUMNW),
        QV_NAME(LVM_SETCOLUMNW),
        QV_NAME(HDM_LAYOUT),
        QV_NAME(HDM_GETITEMW),
        QV_NAME(HDM_SETITEMW),
        QV_NAME(HDM_ORDERTOINDEX),
    };
#undef QV_NAME
    auto it = names.find(m);
    return it == names.end() ? nullptr : it->second;
}

template <std::size_t N>
void PrintProfile(const std::map<ProfileKey, long>& profile, const char* side, const char* const (&phases)[N]) {
    std::map<int, std::vector<std::pair<long, std::string>>> byPhase;
    std::map<int, long> totals;
    for (const auto& [key, n] : profile) {
        const auto& [phase, cls, msg, posted] = key;
        char what[160];
        const char* name = MessageName(msg);
        char number[16];
        std::snprintf(number, sizeof number, "0x%04X", msg);
        std::snprintf(what, sizeof what, "%s%s to %s", name ? name : number, posted ? " (posted)" : "", bench::Utf8(cls).c_str());
        byPhase[phase].emplace_back(n, what);
        totals[phase] += n;
    }
    for (auto& [phase, rows] : byPhase) {
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        std::printf("%s, %s: %ld messages\n", side, phase < static_cast<int>(N) ? phases[phase] : "after", totals[phase]);
        for (std::size_t i = 0; i < rows.size() && i < 25; ++i) std::printf("  %5ld %s\n", rows[i].first, rows[i].second.c_str());
    }
}

template <class Fn>
std::map<ProfileKey, long> Profiled(Fn session) {
    std::map<ProfileKey, long> profile;
    HHOOK sent = SetWindowsHookExW(WH_CALLWNDPROC, ProfileSent, nullptr, GetCurrentThreadId());
    HHOOK posted = SetWindowsHookExW(WH_GETMESSAGE, ProfilePosted, nullptr, GetCurrentThreadId());
    g_profile = &profile;
    session();
    g_profile = nullptr;
    if (sent) UnhookWindowsHookEx(sent);
    if (posted) UnhookWindowsHookEx(posted);
    return profile;
}

// The first session of the process alone, on one line: "first SIDE TOTAL;PHASE=US;..." in
// microseconds, for tools/windows/bench.sh to gather over fresh processes.
int First(const std::wstring& side) {
    std::string why;
    std::string line;
    double total = 0;
    auto add = [&](const char* name, double us) {
        line += std::string(";") + name + "=" + std::to_string(us);
        total += us;
    };
    // The host's own objects are made first on both sides (the simulated components are loaded):
    // only the first session is timed.
    Host host;
    if (!host.Prepare(why, false)) {
        std::printf("cannot run: %s\n", why.c_str());
        return 1;
    }
    if (side == L"dll") {
        double d[kDllPhases] = {};
        if (!host.Session(d)) {
            std::printf("cannot run: %s\n", why.empty() ? "the session failed" : why.c_str());
            return 1;
        }
        for (int p = 0; p < kDllPhases; ++p) add(kDllPhaseNames[p], d[p]);
    } else {
        double b[kBarePhases] = {};
        const double start = bench::NowUs();
        const bool prepared = bench::PrepareBare(why);
        const double prepare = bench::NowUs() - start;
        if (!prepared || !bench::BareSession(kDisplay, b)) {
            std::printf("cannot run: %s\n", why.empty() ? "the session failed" : why.c_str());
            return 1;
        }
        add("atl.dll and window classes", prepare);
        for (int p = 0; p < kBarePhases; ++p) add(bench::kBarePhaseNames[p], b[p]);
    }
    std::printf("first %s %f%s\n", side == L"dll" ? "dll" : "baseline", total, line.c_str());
    return 0;
}

int Usage() {
    std::printf(
        "usage: quillet-bench-win.exe [--runs N] [--warmup N] [--census] [--only dll|baseline] [--profile]\n"
        "       quillet-bench-win.exe --first dll|baseline\n");
    return 2;
}

// Everything that holds COM objects, so that they are gone before COM is.
int Bench(int runs, int warmup, bool censusOnly, const std::wstring& only, bool profile) {
    Host host;
    std::string why;
    // Both sides must build the same window: compared once, before any timing. The DLL goes
    // first: under Wine, atl.dll's AtlAxWinInit fails once its window class exists, and the
    // DLL takes that failure for "cannot host controls".
    double scratch[std::max<int>(kDllPhases, kBarePhases)];
    bench::Census dllCensus, bareCensus;
    bool ok = host.Prepare(why) && host.Session(scratch, &dllCensus) && bench::PrepareBare(why) &&
              bench::BareSession(kDisplay, scratch, &bareCensus);
    if (!why.empty()) {
        std::printf("cannot run: %s\n", why.c_str());
        return 1;
    }
    const auto differences = bench::Differences(dllCensus, bareCensus);
    if (censusOnly) {
        bench::Print(dllCensus, "DLL");
        bench::Print(bareCensus, "baseline");
        for (const auto& d : differences) std::printf("differs: %s\n", d.c_str());
        return ok && differences.empty() ? 0 : 1;
    }

    for (int i = 0; ok && i < warmup; ++i) ok = host.Session(scratch) && bench::BareSession(kDisplay, scratch);
    if (profile) {
        bench::g_markPhases = true;
        PrintProfile(Profiled([&] { ok = ok && host.Session(scratch); }), "DLL", kDllPhaseNames);
        PrintProfile(Profiled([&] { ok = ok && bench::BareSession(kDisplay, scratch); }), "baseline", bench::kBarePhaseNames);
        return ok ? 0 : 1;
    }
    const long dllMessages = MessagesOf([&] { ok = ok && host.Session(scratch); });
    const long bareMessages = MessagesOf([&] { ok = ok && bench::BareSession(kDisplay, scratch); });

    // Interleaved, each side first in turn, so that drift of the machine falls on both alike.
    std::vector<double> dllTotal, bareTotal;
    std::vector<std::vector<double>> dllPhase(kDllPhases), barePhase(kBarePhases);
    for (int i = 0; ok && i < runs; ++i) {
        double d[kDllPhases] = {}, b[kBarePhases] = {};
        if (only == L"dll") ok = host.Session(d);
        else if (only == L"baseline") ok = bench::BareSession(kDisplay, b);
        else if (i % 2 == 0) ok = host.Session(d) && bench::BareSession(kDisplay, b);
        else ok = bench::BareSession(kDisplay, b) && host.Session(d);
        dllTotal.push_back(std::accumulate(d, d + kDllPhases, 0.0));
        bareTotal.push_back(std::accumulate(b, b + kBarePhases, 0.0));
        for (int p = 0; p < kDllPhases; ++p) dllPhase[p].push_back(d[p]);
        for (int p = 0; p < kBarePhases; ++p) barePhase[p].push_back(b[p]);
    }
    if (!ok) {
        std::printf("a session failed: no figures\n");
        return 1;
    }

    const Stats dll = Of(dllTotal), bare = Of(bareTotal);
    if (!only.empty()) {
        const Stats& s = only == L"dll" ? dll : bare;
        std::printf("%d sessions of the %s alone: median %s, mean %s\n", runs, only == L"dll" ? "DLL" : "baseline",
                    Ms(s.median).c_str(), Ms(s.mean).c_str());
        return 0;
    }
    const double ratioMedian = dll.median / bare.median, ratioMean = dll.mean / bare.mean;
    std::printf("One display session, %d runs after %d warm-up runs, the two sides interleaved.\n\n", runs, warmup);
    std::printf("| session | median | mean | min | max |\n|---|---|---|---|---|\n");
    std::printf("| LNSQuilletVexaProxy.dll: create by ProgID, StartApp, RunFullAppView, ExitApp, Release | %s | %s | %s | %s |\n",
                Ms(dll.median).c_str(), Ms(dll.mean).c_str(), Ms(dll.min).c_str(), Ms(dll.max).c_str());
    std::printf("| bare Win32 baseline: the same windows, menu and hosted workspace control | %s | %s | %s | %s |\n\n",
                Ms(bare.median).c_str(), Ms(bare.mean).c_str(), Ms(bare.min).c_str(), Ms(bare.max).c_str());
    std::printf("Ratio DLL / baseline: %.2fx by median, %.2fx by mean; target at most %.1fx: %s.\n\n", ratioMedian, ratioMean,
                kTarget, ratioMedian <= kTarget ? "met" : "missed");
    std::printf("| phase | median | mean |\n|---|---|---|\n");
    for (int p = 0; p < kDllPhases; ++p) {
        const Stats s = Of(dllPhase[p]);
        std::printf("| DLL: %s | %s | %s |\n", kDllPhaseNames[p], Ms(s.median).c_str(), Ms(s.mean).c_str());
    }
    for (int p = 0; p < kBarePhases; ++p) {
        const Stats s = Of(barePhase[p]);
        std::printf("| baseline: %s | %s | %s |\n", bench::kBarePhaseNames[p], Ms(s.median).c_str(), Ms(s.mean).c_str());
    }
    const double messageRatio = bareMessages > 0 ? static_cast<double>(dllMessages) / static_cast<double>(bareMessages) : 0;
    std::printf(
        "\nMessages sent to window procedures in one session (outside the timed runs): DLL %ld, baseline %ld; %.2fx, "
        "target at most %.1fx: %s.\n",
        dllMessages, bareMessages, messageRatio, kMessageTarget, messageRatio <= kMessageTarget ? "met" : "missed");
    std::printf("Windows built: DLL %zu, baseline %zu; menu entries %zu and %zu; %s.\n", dllCensus.windows.size(),
                bareCensus.windows.size(), dllCensus.menu.size(), bareCensus.menu.size(),
                differences.empty() ? "the same classes and menu" : "they differ");
    for (const auto& d : differences) std::printf("- differs: %s\n", d.c_str());
    std::fflush(stdout);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = 30, warmup = 5;
    bool censusOnly = false, profile = false;
    std::wstring only, first;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"--runs" && i + 1 < argc) runs = _wtoi(argv[++i]);
        else if (a == L"--warmup" && i + 1 < argc) warmup = _wtoi(argv[++i]);
        else if (a == L"--census") censusOnly = true;
        else if (a == L"--profile") profile = true;
        else if (a == L"--first" && i + 1 < argc &&
                 (std::wstring(argv[i + 1]) == L"dll" || std::wstring(argv[i + 1]) == L"baseline"))
            first = argv[++i];
        else if (a == L"--only" && i + 1 < argc &&
                 (std::wstring(argv[i + 1]) == L"dll" || std::wstring(argv[i + 1]) == L"baseline"))
            only = argv[++i];
        else return Usage();
    }
    if (runs < 1 || warmup < 0) return Usage();

    OleInitialize(nullptr);
    const int rc = first.empty() ? Bench(runs, warmup, censusOnly, only, profile) : First(first);
    OleUninitialize();
    return rc;
}
