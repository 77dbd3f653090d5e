// Plays N full host sessions one after another in one process, each over a fresh headless platform
// and simulated world: StartApp, RunFullAppView, a status tick, a feature click, ExitApp. Every
// object a session made must be gone when it ends; the leak run under valgrind checks the rest.
//   quillet-sessions [N]   (default 100); exit status 0 when every session went as expected
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "automation/Collection.h"
#include "automation/ComponentFactory.h"
#include "automation/Error.h"
#include "headless/HeadlessPlatform.h"
#include "host/IHalvernServer.h"
#include "session/MMain.h"
#include "sim/SimWorld.h"
#include "ui/Window.h"

namespace {

constexpr char16_t kProgramId[] = u"80000A1B2C3D4E5F";
constexpr char16_t kWorkspaceProgId[] = u"QuilletSim.FanWorkspace";

struct Failure {
    std::string what;
};

void Expect(bool ok, const char* what) {
    if (!ok) throw Failure{what};
}

// What a session leaves behind that must not outlive it.
struct Remains {
    std::weak_ptr<headless::HeadlessPlatform> platform;
    std::weak_ptr<sim::SimWorld> world;
    std::weak_ptr<IHalvernServer> server;
    std::weak_ptr<ui::Window> window;
    std::weak_ptr<outside::ILnsAppDevice> device;
};

void PlaySession(Remains& remains) {
    MMain::ResetForComponentLoad();
    automation::Components().Clear();
    auto platform = headless::HeadlessPlatform::Install();
    auto world = sim::SimWorld::Create();
    sim::PluginConfig plugin;
    plugin.programId = kProgramId;
    plugin.helpFile = u"FanCtl.chm";
    plugin.features = {{1, u"&Configure"}, {2, u"&Monitor"}};
    plugin.workspaceProgId = kWorkspaceProgId;
    world->AddPlugin(plugin);
    sim::WorkspaceControlConfig workspace;
    workspace.progId = kWorkspaceProgId;
    world->AddWorkspaceControl(workspace);
    world->RegisterComponents();
    auto device = world->MakeAppDevice(u"Fan Coil 1", kProgramId);
    auto system = world->MakeSystem();
    auto cps = std::make_shared<automation::Collection>();
    auto server = std::make_shared<IHalvernServer>();
    int exits = 0;
    auto exitSub = server->OnAppExit.Subscribe([&exits] { ++exits; });
    remains = {platform, world, server, {}, device};

    Expect(server->StartApp(device, system, 3.2f, automation::kTrue, u"Fan Controller", u"Fan Coil 1/nvoStatus", cps,
                            automation::kTrue) == automation::kTrue,
           "StartApp did not answer True");
    Expect(server->RunFullAppView() == -1, "RunFullAppView did not answer -1");
    auto window = MMain::MainWindow();
    Expect(window != nullptr, "no main window after RunFullAppView");
    remains.window = window;

    const int probes = world->CountOf("AppDevice.State");
    platform->Advance(10000);
    Expect(world->CountOf("AppDevice.State") > probes, "the status tick did not probe the device");

    auto feature = window->Find(u"mnuDevPI", 1);
    Expect(feature != nullptr, "no feature in the Device menu");
    feature->Click.Raise();
    feature.reset();
    Expect(world->CountOf("PluginServer.LaunchFeature") == 1, "the feature click did not launch the feature");
    window.reset();

    server->ExitApp();
    Expect(exits == 1, "ExitApp did not raise OnAppExit once");
    Expect(MMain::MainWindow() == nullptr && MMain::MainForm() == nullptr, "the main window outlived ExitApp");

    exitSub.Reset();
    server.reset();
    MMain::ResetForComponentLoad();
    automation::Components().Clear();
    ui::InstallPlatform(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    const long n = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100;
    if (n < 1) {
        std::fprintf(stderr, "usage: quillet-sessions [N >= 1]\n");
        return 2;
    }
    for (long i = 1; i <= n; ++i) {
        Remains remains;
        try {
            PlaySession(remains);
        } catch (const Failure& f) {
            std::fprintf(stderr, "session %ld: %s\n", i, f.what.c_str());
            return 1;
        } catch (const automation::Error& e) {
            std::fprintf(stderr, "session %ld: unexpected error %08X %s\n", i, static_cast<unsigned>(e.Code()), e.what());
            return 1;
        }
        const char* kept = !remains.window.expired()     ? "the main window"
                           : !remains.server.expired()   ? "the host object"
                           : !remains.device.expired()   ? "the device object"
                           : !remains.world.expired()    ? "the simulated world"
                           : !remains.platform.expired() ? "the platform"
                                                         : nullptr;
        if (kept) {
            std::fprintf(stderr, "session %ld: %s outlived its session\n", i, kept);
            return 1;
        }
    }
    std::printf("%ld sessions played\n", n);
    return 0;
}
