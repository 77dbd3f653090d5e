#pragma once
// A host session over the headless platform and the simulated outside components: what a test
// needs to play the building-automation host and look at the window.
#include <memory>
#include <string>
#include <vector>

#include "automation/Collection.h"
#include "headless/HeadlessPlatform.h"
#include "host/IHalvernServer.h"
#include "mainwindow/FMainHalvern.h"
#include "sim/SimPluginServer.h"
#include "sim/SimWorld.h"
#include "ui/Window.h"

class HostSession {
public:
    static constexpr char16_t kProgramId[] = u"80000A1B2C3D4E5F";
    static constexpr char16_t kWorkspaceProgId[] = u"QuilletSim.FanWorkspace";
    static constexpr char16_t kDeviceName[] = u"Fan Coil 1";
    static constexpr char16_t kDescription[] = u"Fan Controller";

    // With the default plug-in: program id kProgramId, help "FanCtl.chm", features
    // 1 "&Configure" and 2 "&Monitor", workspace control kWorkspaceProgId (needs an upload).
    explicit HostSession(bool defaultPlugin = true);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    std::shared_ptr<headless::HeadlessPlatform> platform;
    std::shared_ptr<sim::SimWorld> world;
    std::shared_ptr<outside::ILnsAppDevice> device;
    std::shared_ptr<outside::ILnsSystem> system;
    std::shared_ptr<automation::Collection> cps;
    std::shared_ptr<IHalvernServer> server;
    std::vector<std::string> hostEvents;  // "OnAppExit" as the host receives it

    // StartApp's arguments, changeable before Start.
    float objSvrVersion = 3.2f;
    automation::VBool supportsFileType2 = automation::kTrue;
    automation::BStr description = kDescription;
    automation::BStr nvDeviceNameAddress = u"Fan Coil 1/nvoStatus";
    automation::VBool isLnsPi = automation::kTrue;

    // A plug-in for kProgramId.
    static sim::PluginConfig Plugin(std::vector<sim::FeatureConfig> features, automation::BStr helpFile = {},
                                    automation::BStr workspaceProgId = {});
    // A plug-in for kProgramId with these features and help file, and its workspace control
    // kWorkspaceProgId.
    void AddFanPlugin(std::vector<sim::FeatureConfig> features, automation::BStr helpFile = u"FanCtl.chm",
                      bool unitsControl = false);

    automation::VBool Start();  // StartApp
    std::int32_t Open();        // RunFullAppView
    void StartAndOpen();        // both, expecting success
    void Exit();                // ExitApp

    std::shared_ptr<sim::SimPluginServer> PluginServer() const;  // the one created last, if any
    std::shared_ptr<FMainHalvern> Form() const;                  // none once the window has gone
    ui::Window& Window() const;                                  // fails the test when there is none
    template <class T = ui::Control>
    std::shared_ptr<T> Control(const automation::BStr& name, int index = -1) const {
        return Window().Get<T>(name, index);
    }
    std::shared_ptr<ui::Control> Control(const automation::BStr& name, int index = -1) const { return Window().Get(name, index); }
    automation::BStr Status() const;  // the status bar's first panel
    std::string Dump() const;         // the window as text
    // Message boxes shown since the session began, as "title|text".
    std::vector<std::string> Boxes() const;

private:
    automation::Subscription exitSub_;
    std::shared_ptr<ui::Window> window_;
};

// A session that the host has started and opened, with the default plug-in or one with these
// features and help file.
struct OpenedSession : HostSession {
    OpenedSession() { StartAndOpen(); }
    explicit OpenedSession(std::vector<sim::FeatureConfig> features, automation::BStr helpFile = u"FanCtl.chm")
        : HostSession(false) {
        AddFanPlugin(std::move(features), std::move(helpFile));
        StartAndOpen();
    }
};

std::string U8(const automation::BStr& s);
