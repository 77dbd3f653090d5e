// The demo host: plays a building-automation front-end opening a simulated device's service
// display on the headless platform, and prints the window after each step.
//   quillet-demo [--trace]   --trace: also every outside call, notification and host call, as
//                            they end, timed by the virtual clock
#include <cstdio>
#include <iostream>
#include <string>

#include "automation/ComponentFactory.h"
#include "common/MCommon.h"
#include "headless/HeadlessPlatform.h"
#include "headless/TextDump.h"
#include "host/IHalvernServer.h"
#include "session/MMain.h"
#include "mainwindow/FMainHalvern.h"
#include "outside/Traced.h"
#include "sim/SimWorld.h"

namespace {
using automation::BStr;
using automation::ToUtf8;

std::shared_ptr<headless::HeadlessPlatform> g_platform;
std::size_t g_boxesShown = 0;

void Step(const std::string& title) { std::cout << "\n=== " << title << " ===\n"; }

void ShowBoxes() {
    const auto& boxes = g_platform->MessageBoxes();
    for (; g_boxesShown < boxes.size(); ++g_boxesShown) {
        std::string text = ToUtf8(boxes[g_boxesShown].text);
        for (std::size_t p; (p = text.find("\r\n")) != std::string::npos;) text.replace(p, 2, "\n    | ");
        std::cout << "  [message box] title: \"" << ToUtf8(boxes[g_boxesShown].title) << "\"\n    | " << text << "\n";
    }
}

void ShowWindow(bool full = false) {
    ShowBoxes();
    auto w = MMain::MainWindow();
    if (!w) {
        std::cout << "  (no main window)\n";
        return;
    }
    headless::DumpOptions o;
    o.hiddenControls = full;
    std::cout << headless::DumpWindow(*w, o);
}

void ShowCaptions(const ui::Window& w) {
    for (const auto& c : w.Controls()) {
        if (c->IsCaptionKind() && !c->Caption().empty())
            std::cout << "  " << ToUtf8(c->Name()) << (c->Index() >= 0 ? "(" + std::to_string(c->Index()) + ")" : "") << ": \""
                      << ToUtf8(c->Caption()) << "\"\n";
        if (auto l = std::dynamic_pointer_cast<ui::ListView>(c))
            for (int i = 1; i <= l->ColumnCount(); ++i)
                std::cout << "  " << ToUtf8(c->Name()) << " header " << i << ": \"" << ToUtf8(l->Column(i).text) << "\"\n";
    }
}

void Advance(std::int64_t ms) {
    g_platform->Advance(ms);
    std::cout << "  clock: " << g_platform->Now() << " ms, status: \""
              << ToUtf8(MMain::MainWindow()->Get<ui::StatusBar>(u"staStatusBar")->GetPanel(1).text) << "\"\n";
}

int Run(bool trace) {
    g_platform = headless::HeadlessPlatform::Install();
    if (trace)
        outside::EnableTrace([](const std::string& line) { std::cout << "  [trace] " << line << "\n"; },
                             [] { return g_platform->Now() * 1000; });
    auto world = sim::SimWorld::Create();
    sim::PluginConfig fan;
    fan.programId = u"80000A1B2C3D4E5F";
    fan.helpFile = u"FanCoil.chm";
    fan.features = {{1, u"&Configure"}, {2, u"&Monitor"}, {7, u"Re&calibrate"}};
    fan.workspaceProgId = u"FanCoil.Workspace";
    world->AddPlugin(fan);
    sim::WorkspaceControlConfig ws;
    ws.progId = u"FanCoil.Workspace";
    ws.supportsUnits = true;
    world->AddWorkspaceControl(ws);
    sim::PluginConfig valve;
    valve.programId = u"9000112233445566";
    valve.features = {{1, u"&Setup"}};
    valve.workspaceProgId = u"Valve.Workspace";  // not installed
    world->AddPlugin(valve);
    world->SetFallbackWorkspaceInstalled(false);
    world->RegisterComponents();

    Step("The main window's authored captions, before the caption pass");
    {
        auto preview = FMainHalvern::Create();
        ShowCaptions(*preview->Window());
        preview->Window()->Unload();
    }
    std::cout << "  conversions: FormatNeuronID(000A1B2C3D4E) = " << ToUtf8(MCommon::FormatNeuronID(u"000A1B2C3D4E"))
              << ", FormatProgramID(80000A1B2C3D4E5F) = " << ToUtf8(MCommon::FormatProgramID(u"80000A1B2C3D4E5F"))
              << ", GetResId(\" 1305 :Device Name\") = " << MCommon::GetResId(u" 1305 :Device Name") << "\n";

    auto device = world->MakeAppDevice(u"Fan Coil 1", fan.programId);
    auto system = world->MakeSystem();
    auto cps = std::make_shared<automation::Collection>();
    auto server = std::make_shared<IHalvernServer>();
    auto exitSub = server->OnAppExit.Subscribe([] { std::cout << "  [host] OnAppExit received\n"; });

    Step("Host: IsPlugInExist(\"80000A1B2C3D4E5F\")");
    const bool exists = automation::IsTrue(server->IsPlugInExist(fan.programId));
    std::cout << "  -> " << (exists ? "True" : "False") << "\n";

    Step("Host: StartApp(Fan Coil 1, network, 3.2, True, \"Fan Coil Unit\", ...)");
    const bool started = automation::IsTrue(server->StartApp(device, system, 3.2f, automation::kTrue, u"Fan Coil Unit",
                                                             u"Fan Coil 1/nvoStatus", cps, automation::kTrue));
    std::cout << "  -> " << (started ? "True" : "False") << "\n  captions after the caption pass:\n";
    ShowCaptions(*MMain::MainWindow());

    Step("Host: RunFullAppView");
    const auto opened = server->RunFullAppView();
    std::cout << "  -> " << opened << "\n";
    ShowWindow();

    Step("Status timer: two ticks with the device answering");
    Advance(10000);
    Advance(10000);

    Step("Status timer: the device stops answering");
    world->SetAnswering(device, false);
    Advance(10000);
    world->SetAnswering(device, true);
    Advance(10000);

    auto& w = *MMain::MainWindow();
    Step("User: Device > Configure");
    w.Get(u"mnuDevPI", 1)->Click.Raise();
    ShowBoxes();
    std::cout << "  (feature window opened by the plug-in server)\n";

    Step("User: the Recalibrate button, whose feature fails to launch");
    world->launchOutcome = sim::Outcome::Fail;
    w.Get(u"cmdDevice", 3)->Click.Raise();
    world->launchOutcome = sim::Outcome::Succeed;
    ShowBoxes();

    Step("User: View > Refresh");
    w.Get(u"mnuViews", 0)->Click.Raise();
    std::cout << "  clock: " << g_platform->Now() << " ms (the refresh waited 250 ms)\n";

    Step("User: Help > Contents and Index");
    w.Get(u"mnuHelps", 0)->Click.Raise();
    for (auto& h : g_platform->HelpCalls())
        std::cout << "  " << (h.html ? "HtmlHelpA" : "WinHelpA") << "(hwnd, \"" << h.file << "\", " << h.command << ", " << h.data
                  << ")\n";

    Step("User: Tools > Engineering Units, picks SI units and closes");
    g_platform->QueueModal([&](ui::Window& dialog) {
        std::cout << headless::DumpWindow(dialog, headless::DumpOptions{false, false});
        world->HandBackUnits(world->MakeUnits(u"SI"));
        world->AskToClose();
    });
    w.Get(u"mnuTools", 0)->Click.Raise();
    std::cout << "  units the workspace control received: " << ToUtf8(sim::UnitsName(world->LastAppliedUnits())) << "\n";

    Step("User: Plugin > Exit");
    w.Get(u"mnuPlugins", 0)->Click.Raise();
    ShowWindow();
    server.reset();

    Step("A second device whose plug-in control is not installed");
    auto valveDevice = world->MakeAppDevice(u"Valve 4", valve.programId);
    auto server2 = std::make_shared<IHalvernServer>();
    auto exitSub2 = server2->OnAppExit.Subscribe([] { std::cout << "  [host] OnAppExit received\n"; });
    server2->StartApp(valveDevice, system, 3.2f, automation::kTrue, u"Valve Actuator", u"Valve 4/nvoPos", cps, automation::kTrue);
    const auto opened2 = server2->RunFullAppView();
    std::cout << "  RunFullAppView -> " << opened2 << "\n";
    ShowWindow();

    Step("Host: ExitApp");
    server2->ExitApp();
    ShowWindow();
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    const bool trace = argc > 1 && std::string(argv[1]) == "--trace";
    if (argc > 2 || (argc == 2 && !trace)) {
        std::cerr << "usage: quillet-demo [--trace]\n";
        return 2;
    }
    try {
        return Run(trace);
    } catch (const automation::Error& e) {
        std::cerr << "demo failed: " << e.what() << "\n";
        return 1;
    }
}
