#include "support/HostSession.h"

#include <gtest/gtest.h>

#include "automation/ComponentFactory.h"
#include "headless/TextDump.h"
#include "session/MMain.h"

std::string U8(const automation::BStr& s) { return automation::ToUtf8(s); }

HostSession::HostSession(bool defaultPlugin) {
    MMain::ResetForComponentLoad();
    automation::Components().Clear();
    platform = headless::HeadlessPlatform::Install();
    world = sim::SimWorld::Create();
    if (defaultPlugin) AddFanPlugin({{1, u"&Configure"}, {2, u"&Monitor"}});
    world->RegisterComponents();
    device = world->MakeAppDevice(kDeviceName, kProgramId);
    system = world->MakeSystem();
    cps = std::make_shared<automation::Collection>();
    server = std::make_shared<IHalvernServer>();
    exitSub_ = server->OnAppExit.Subscribe([this] { hostEvents.push_back("OnAppExit"); });
}

HostSession::~HostSession() {
    if (server && server->Started()) automation::IgnoreFailure([&] { server->ExitApp(); });
    exitSub_.Reset();
    server.reset();
    window_.reset();
    MMain::ResetForComponentLoad();
    automation::Components().Clear();
    ui::InstallPlatform(nullptr);
    device.reset();
    system.reset();
    world.reset();
}

sim::PluginConfig HostSession::Plugin(std::vector<sim::FeatureConfig> features, automation::BStr helpFile,
                                      automation::BStr workspaceProgId) {
    return {kProgramId, std::move(helpFile), std::move(features), std::move(workspaceProgId)};
}

void HostSession::AddFanPlugin(std::vector<sim::FeatureConfig> features, automation::BStr helpFile, bool unitsControl) {
    world->AddPlugin(Plugin(std::move(features), std::move(helpFile), kWorkspaceProgId));
    sim::WorkspaceControlConfig w;
    w.progId = kWorkspaceProgId;
    w.supportsUnits = unitsControl;
    world->AddWorkspaceControl(w);
}

automation::VBool HostSession::Start() {
    auto r = server->StartApp(device, system, objSvrVersion, supportsFileType2, description, nvDeviceNameAddress, cps, isLnsPi);
    if (MMain::MainWindow()) window_ = MMain::MainWindow();
    return r;
}

std::int32_t HostSession::Open() { return server->RunFullAppView(); }

void HostSession::StartAndOpen() {
    ASSERT_EQ(Start(), automation::kTrue);
    ASSERT_EQ(Open(), -1);
}

void HostSession::Exit() { server->ExitApp(); }

std::shared_ptr<sim::SimPluginServer> HostSession::PluginServer() const {
    return std::dynamic_pointer_cast<sim::SimPluginServer>(world->LastPluginServer());
}

std::shared_ptr<FMainHalvern> HostSession::Form() const { return std::dynamic_pointer_cast<FMainHalvern>(MMain::MainForm()); }

ui::Window& HostSession::Window() const {
    auto w = MMain::MainWindow() ? MMain::MainWindow() : window_;
    if (!w) throw std::runtime_error("no main window");
    return *w;
}

automation::BStr HostSession::Status() const { return Window().Get<ui::StatusBar>(u"staStatusBar")->GetPanel(1).text; }

std::string HostSession::Dump() const { return headless::DumpWindow(Window()); }

std::vector<std::string> HostSession::Boxes() const {
    std::vector<std::string> out;
    for (auto& b : platform->MessageBoxes()) out.push_back(U8(b.title) + "|" + U8(b.text));
    return out;
}
