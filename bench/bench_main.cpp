// Speed of the portable core over the headless platform and the simulated components. The
// designed waits (1000 ms, 250 ms) run on the virtual clock and cost nothing here.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>

#include "automation/ComponentFactory.h"
#include "commands/CMenu_Toolbar.h"
#include "common/MCommon.h"
#include "headless/HeadlessPlatform.h"
#include "host/IHalvernServer.h"
#include "session/MMain.h"
#include "mainwindow/FMainHalvern.h"
#include "outside/Traced.h"
#include "sim/SimWorld.h"
#include "tree/CTreeViewActive.h"

// Counts allocations, so a benchmark can report how many a call makes. The replacement pair is
// malloc/free underneath, which GCC cannot see through when it inlines them.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
static std::atomic<long long> g_allocations{0};
void* operator new(std::size_t n) {
    ++g_allocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {
constexpr char16_t kProgramId[] = u"80000A1B2C3D4E5F";

// One simulated world and platform for the whole run; each benchmark opens its own sessions.
struct Rig {
    std::shared_ptr<headless::HeadlessPlatform> platform;
    std::shared_ptr<sim::SimWorld> world;
    std::shared_ptr<outside::ILnsAppDevice> device;
    std::shared_ptr<outside::ILnsSystem> system;
    std::shared_ptr<automation::Collection> cps = std::make_shared<automation::Collection>();

    explicit Rig(int features = 3) {
        automation::Components().Clear();
        MMain::ResetForComponentLoad();
        platform = headless::HeadlessPlatform::Install();
        world = sim::SimWorld::Create();
        sim::PluginConfig p;
        p.programId = kProgramId;
        p.helpFile = u"Fan.chm";
        for (int i = 1; i <= features; ++i)
            p.features.push_back({static_cast<std::int16_t>(i), u"&Feature " + automation::DecimalText(i)});
        p.workspaceProgId = u"Bench.Workspace";
        world->AddPlugin(p);
        sim::WorkspaceControlConfig w;
        w.progId = u"Bench.Workspace";
        world->AddWorkspaceControl(w);
        world->RegisterComponents();
        device = world->MakeAppDevice(u"Fan Coil 1", kProgramId);
        system = world->MakeSystem();
    }
    ~Rig() {
        MMain::ResetForComponentLoad();
        automation::Components().Clear();
        ui::InstallPlatform(nullptr);
    }
    std::shared_ptr<IHalvernServer> Open() {
        auto server = std::make_shared<IHalvernServer>();
        server->StartApp(device, system, 3.2f, automation::kTrue, u"Fan Controller", u"Fan Coil 1/nvoStatus", cps,
                         automation::kTrue);
        server->RunFullAppView();
        return server;
    }
    void Session() {
        auto server = Open();
        server->ExitApp();
    }
};

void BM_FullHostSession(benchmark::State& state) {
    Rig rig;
    for (auto _ : state) {
        rig.Session();
        rig.world->ClearLog();
    }
}
BENCHMARK(BM_FullHostSession)->Unit(benchmark::kMicrosecond);

// The trace of outside calls off (nothing wrapped) and on (every call a record, to a sink that
// only counts them).
void BM_TracedSession(benchmark::State& state) {
    Rig rig;
    std::size_t records = 0;
    if (state.range(0)) outside::EnableTrace([&records](const std::string&) { ++records; });
    for (auto _ : state) {
        rig.Session();
        rig.world->ClearLog();
    }
    outside::DisableTrace();
    state.counters["records"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kAvgIterations);
    state.SetLabel(state.range(0) ? "trace on" : "trace off");
}
BENCHMARK(BM_TracedSession)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_StatusTick(benchmark::State& state) {
    Rig rig;
    auto server = rig.Open();
    const bool answering = state.range(0) != 0;
    rig.world->SetAnswering(rig.device, answering);
    auto timer = MMain::MainWindow()->Get<ui::Timer>(u"tmrStatus");
    for (auto _ : state) {
        timer->Tick.Raise();
        rig.world->ClearLog();
    }
    state.SetLabel(answering ? "device answering (probe, menus, 250 ms refresh)" : "device silent (probe, 1000 ms wait)");
    server->ExitApp();
}
BENCHMARK(BM_StatusTick)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_CaptionPass(benchmark::State& state) {
    Rig rig;
    auto form = FMainHalvern::Create();
    auto& w = *form->Window();
    // Put the authored captions back before every pass (the pass replaces them).
    std::vector<std::pair<std::shared_ptr<ui::Control>, automation::BStr>> authored;
    std::vector<std::pair<std::shared_ptr<ui::ListView>, std::vector<automation::BStr>>> headers;
    for (auto& c : w.Controls()) {
        authored.emplace_back(c, c->Caption());
        if (auto l = std::dynamic_pointer_cast<ui::ListView>(c)) {
            std::vector<automation::BStr> h;
            for (int i = 1; i <= l->ColumnCount(); ++i) h.push_back(l->Column(i).text);
            headers.emplace_back(l, h);
        }
    }
    for (auto _ : state) {
        for (auto& [c, caption] : authored) c->SetCaption(caption);
        for (auto& [l, h] : headers)
            for (int i = 1; i <= l->ColumnCount(); ++i) l->SetColumnText(i, h[i - 1]);
        MCommon::LoadFormResources(w, false);
    }
    state.SetLabel(std::to_string(w.Controls().size()) + " controls");
    w.Unload();
}
BENCHMARK(BM_CaptionPass)->Unit(benchmark::kMicrosecond);

void BM_LoadPluginFeatures(benchmark::State& state) {
    Rig rig(static_cast<int>(state.range(0)));
    auto server = rig.Open();
    auto tree = MMain::MainForm()->ActiveTree();
    auto list = MMain::MainForm()->PluginServer()->FeatureList();
    for (auto _ : state) tree->DevicePluginChanged.Raise(ui::NodeRef{}, list, automation::kFalse);
    state.SetLabel(std::to_string(state.range(0)) + " features, menu items and up to 8 buttons rebuilt");
    server->ExitApp();
}
BENCHMARK(BM_LoadPluginFeatures)->Arg(8)->Arg(64)->Unit(benchmark::kMicrosecond);

template <class F>
void PerCall(benchmark::State& state, F f) {
    long long before = g_allocations.load();
    for (auto _ : state) benchmark::DoNotOptimize(f());
    state.counters["allocs/call"] =
        benchmark::Counter(static_cast<double>(g_allocations.load() - before) / static_cast<double>(state.iterations()));
}

void BM_GetResId(benchmark::State& state) {
    const automation::BStr text = u" 1305 :Device Name";
    PerCall(state, [&] { return MCommon::GetResId(text); });
}
BENCHMARK(BM_GetResId);

void BM_FormatNeuronID(benchmark::State& state) {
    const automation::BStr text = u"000A1B2C3D4E";
    PerCall(state, [&] { return MCommon::FormatNeuronID(text); });
}
BENCHMARK(BM_FormatNeuronID);

void BM_FormatProgramID(benchmark::State& state) {
    const automation::BStr text = u"80000A1B2C3D4E5F";
    PerCall(state, [&] { return MCommon::FormatProgramID(text); });
}
BENCHMARK(BM_FormatProgramID);

long ResidentKiB() {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Resident size after 1, 100 and 10,000 sessions in one process.
void BM_ResidentAfterSessions(benchmark::State& state) {
    Rig rig;
    long after1 = 0, after100 = 0, after10000 = 0;
    for (auto _ : state) {
        for (int i = 1; i <= 10000; ++i) {
            rig.Session();
            rig.world->ClearLog();
            if (i == 1) after1 = ResidentKiB();
            if (i == 100) after100 = ResidentKiB();
        }
        after10000 = ResidentKiB();
    }
    state.counters["RSS_KiB@1"] = static_cast<double>(after1);
    state.counters["RSS_KiB@100"] = static_cast<double>(after100);
    state.counters["RSS_KiB@10000"] = static_cast<double>(after10000);
    state.counters["growth_KiB_100_to_10000"] = static_cast<double>(after10000 - after100);
}
BENCHMARK(BM_ResidentAfterSessions)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
