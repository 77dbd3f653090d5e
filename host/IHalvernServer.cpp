#include "host/IHalvernServer.h"

#include "automation/ComponentFactory.h"
#include "host/CHalvernView.h"
#include "session/MMain.h"
#include "mainwindow/FMainHalvern.h"
#include "outside/PluginServer.h"
#include "outside/Traced.h"
#include "session/IQuilletMainForm.h"

using automation::VBool;
namespace trace = automation::trace;

namespace {

// The host's calls are records of their own in the trace; `args` is run only when it is on.
template <class Args, class Body>
auto HostCall(std::string_view member, Args&& args, Body&& body) {
    if (!trace::On()) return body();
    return trace::Traced(trace::Kind::Host, "IHalvernServer", member, args(), std::forward<Body>(body));
}

}  // namespace

IHalvernServer::IHalvernServer() {
    MMain::SetLnsAppDevice(nullptr);
    MMain::SetLnsSystem(nullptr);
    MMain::SetLnsObjSvrVersion(-1.0f);
    m_oHalvernView = std::make_shared<CHalvernView>();
    started_ = automation::kFalse;
}

IHalvernServer::~IHalvernServer() {
    formTermSub_.Reset();
    // A host may let go of the object while the display is open; the window then stays usable
    // and, with nobody left to tell, clears the session's window values itself when it closes.
    if (m_frmHalvern && !m_frmHalvern->Window()->IsUnloaded()) m_frmHalvern->SetInHalvern(automation::kFalse);
    MMain::SetLnsAppDevice(nullptr);
    MMain::SetLnsSystem(nullptr);
    MMain::SetLnsObjSvrVersion(-1.0f);
}

VBool IHalvernServer::StartApp(const std::shared_ptr<outside::ILnsAppDevice>& oLnsAppDevice,
                               const std::shared_ptr<outside::ILnsSystem>& oLnsSystem, const float& sLnsObjSvrVersion,
                               const VBool& bSupportsFileType2Config, const automation::BStr& sPlugInDescription,
                               const automation::BStr& sNVDeviceNameAddress,
                               const std::shared_ptr<automation::Collection>& cCPsRefNVsCol, const VBool& bIsLNSPI) {
    auto args = [&] {
        return trace::List(oLnsAppDevice, oLnsSystem, sLnsObjSvrVersion, bSupportsFileType2Config, sPlugInDescription,
                           sNVDeviceNameAddress, cCPsRefNVsCol, bIsLNSPI);
    };
    return HostCall("StartApp", args, [&] {
        if (automation::IsTrue(started_) || used_) return automation::kFalse;
        auto self = weak_from_this().lock();

        MMain::SetLnsAppDevice(outside::TracedAppDevice(oLnsAppDevice));
        MMain::SetLnsSystem(oLnsSystem);
        MMain::SetLnsObjSvrVersion(sLnsObjSvrVersion);
        MMain::SetSupportsFileType2Config(bSupportsFileType2Config);
        MMain::SetPlugInDescription(sPlugInDescription);
        MMain::SetNVDeviceNameAddress(sNVDeviceNameAddress);
        MMain::SetCPsRefNVsCol(cCPsRefNVsCol);
        MMain::SetIsLNSPI(bIsLNSPI);

        auto form = FMainHalvern::Create();
        MMain::MainForm() = form;
        m_frmHalvern = form;
        formTermSub_ = form->OnHalvernFormTerm.Subscribe([this] { OnHalvernFormTerm(); });
        MMain::MainWindow() = form->Window();
        form->SetInHalvern(automation::kTrue);
        form->Load();

        started_ = automation::kTrue;
        used_ = true;
        return automation::kTrue;
    });
}

std::int32_t IHalvernServer::RunFullAppView() {
    return HostCall(
        "RunFullAppView", [&] { return std::string(); },
        [&] {
            auto self = weak_from_this().lock();  // the host may let go of us while messages run
            std::intptr_t hwnd = 0;
            if (automation::IsTrue(started_)) {
                auto relay = m_oHalvernView;
                if (!relay) automation::RaiseObjectNotSet(u"display relay");
                relay->OpenQuilletDisplay();
                // Showing lets messages run: the window may have been closed meanwhile.
                hwnd = MMain::RequireMainWindow()->Handle();
            }
            (void)hwnd;  // read as the host-facing call always has; the plug-in answer is what is returned
            auto tree = MMain::RequireMainForm()->ActiveTree();
            if (!tree) automation::RaiseObjectNotSet(u"ActiveTree");
            VBool accepted = tree->LoadDevicePlugin();
            return static_cast<std::int32_t>(accepted);
        });
}

VBool IHalvernServer::IsPlugInExist(const automation::BStr& sProgramID) {
    return HostCall(
        "IsPlugInExist", [&] { return trace::List(sProgramID); },
        [&] {
            VBool result = automation::kFalse;
            automation::IgnoreFailure([&] {
                auto server = automation::CreateAs<outside::IPluginServer>(outside::kPluginServerClsid);
                auto entry = server->PluginForProgramID(sProgramID);
                if (!entry) return;
                auto items = entry->Items();
                if (!items) return;
                result = automation::ToVBool(items->Count() > 1);
            });
            return result;
        });
}

void IHalvernServer::ExitApp() {
    return HostCall(
        "ExitApp", [&] { return std::string(); },
        [&] {
            if (!automation::IsTrue(started_)) return;
            auto self = weak_from_this().lock();
            started_ = automation::kFalse;
            auto form = MMain::MainForm();
            if (!form) return;
            auto menu = form->MenuToolbar();
            if (menu) menu->ExitQuillet();
        });
}

void IHalvernServer::OnHalvernFormTerm() {
    // The host may release this object from its OnAppExit handler: nothing here touches members
    // after the event is raised.
    m_oHalvernView.reset();
    formTermSub_.Reset();
    auto form = std::move(m_frmHalvern);
    // Only our own window: a later session's must not lose its values to an old window closing.
    if (MMain::MainForm() == form) {
        MMain::MainWindow().reset();
        MMain::MainForm().reset();
    }
    form.reset();
    MMain::SetLnsObjSvrVersion(-1.0f);
    HostCall(
        "OnAppExit", [] { return std::string(); }, [&] { OnAppExit.Raise(); });
}
