#include "commands/CMenu_Toolbar.h"

#include <set>
#include <vector>

#include "StringIds.h"
#include "commands/CIconPicture.h"
#include "commands/ModHelp.h"
#include "commands/frmOptions.h"
#include "common/MCommon.h"
#include "session/IQuilletMainForm.h"
#include "session/MMain.h"

using automation::BStr;
using automation::Error;
using automation::IgnoreFailure;
using automation::VBool;

namespace {

constexpr char16_t kMenuFeatures[] = u"mnuDevPI";
constexpr char16_t kMenuHelps[] = u"mnuHelps";
constexpr char16_t kFeatureButtons[] = u"cmdDevice";
constexpr char16_t kHelpButton[] = u"cmdHelp";
constexpr std::int32_t kModeExiting = -99;

void RefreshWorkspaceOf(const std::shared_ptr<IQuilletMainForm>& form) {
    auto workspace = form->QuilletWorkspace();
    if (!workspace) automation::RaiseObjectNotSet(u"QuilletWorkspace");
    workspace->RefreshWorkspace();
}

struct FeatureEntry {
    std::int16_t id;
    BStr caption;
};

}  // namespace

CMenu_Toolbar::CMenu_Toolbar() {
    m_iFeatureCount = 0;
    auto form = MMain::MainForm();
    auto tree = form ? form->ActiveTree() : nullptr;
    if (tree)
        m_objActiveTreeEvents = tree->DevicePluginChanged.Subscribe(
            [this](const ui::NodeRef& nodX, const std::shared_ptr<outside::IFeatureList>& oFeatureList, VBool) {
                OnDevicePluginChanged(nodX, oFeatureList);
            });
}

CMenu_Toolbar::~CMenu_Toolbar() {
    m_objActiveTreeEvents.Reset();
    m_frmMain.reset();
}

void CMenu_Toolbar::Initialization(const std::shared_ptr<IQuilletMainForm>& frmMain) {
    if (auto window = frmMain ? frmMain->FormWindow() : nullptr) {
        m_frmMain = frmMain;
        m_window = window;
        m_bHaveMainForm = true;
    }
    m_bShowStatusBar = automation::kTrue;
}

std::shared_ptr<ui::Window> CMenu_Toolbar::Form() const {
    if (!m_bHaveMainForm) return nullptr;
    return m_window.lock();
}

std::intptr_t CMenu_Toolbar::WindowHandle() const {
    auto form = Form();
    return form ? form->Handle() : 0;
}

void CMenu_Toolbar::RaisePIButtonsChanged(std::int16_t count) {
    std::int16_t buttonCount = count;
    PIButtonsChanged.Raise(buttonCount);
}

void CMenu_Toolbar::UpdateMenuStates(VBool, VBool) {
    auto form = Form();
    if (!form) return;
    form->Get(kMenuFeatures, 0)->SetVisible(false);
    form->Get(kMenuHelps, 1)->SetVisible(false);
}

// Feature ids index the Device menu's items, where 0 is the template item. An entry whose id is
// not positive, or repeats an id already placed, gets neither a menu item nor a button and takes
// no button place; it still counts in PIButtonsChanged, which carries the list's count.
void CMenu_Toolbar::LoadPluginFeatures(const std::shared_ptr<outside::IFeatureList>& oFeatureList) {
    auto main = m_frmMain.lock();
    auto form = Form();
    if (!main || !form) automation::RaiseObjectNotSet(u"FMainHalvern");

    m_iFeatureCount = oFeatureList->Count();
    ClearPluginFeatures();

    const bool piOnly = automation::IsTrue(main->HalvernPIOnly());
    if (m_iFeatureCount == 0) {
        if (!piOnly) form->Get(kHelpButton)->SetEnabled(false);
        return;
    }

    if (!piOnly) {
        BStr helpFile = ModHelp::PluginHelpFile(main);
        form->Get(kHelpButton)->SetEnabled(ModHelp::HasPluginHelp(helpFile));

        // Everything is read before anything is built, so a list that fails halfway leaves the
        // entries cleared rather than half built.
        std::vector<FeatureEntry> entries;
        for (const auto& feature : oFeatureList->Features()) {
            if (!feature) automation::RaiseObjectNotSet(u"Feature");
            std::int16_t id = feature->Id();
            entries.push_back(FeatureEntry{id, feature->Caption()});
        }

        std::set<std::int16_t> placed;
        int buttonCounter = 1;
        for (const auto& entry : entries) {
            if (entry.id <= 0 || !placed.insert(entry.id).second) continue;
            auto item = form->LoadElement(kMenuFeatures, entry.id);
            item->SetCaption(entry.caption);
            item->SetVisible(true);
            if (buttonCounter <= kMaxFeatureButtons) {
                // The window shows and places the new buttons when it hears PIButtonsChanged.
                auto button = form->LoadElement(kFeatureButtons, buttonCounter);
                button->SetCaption(entry.caption);
                button->SetTag(automation::DecimalText(entry.id));
                ++buttonCounter;
            }
        }
    }

    RaisePIButtonsChanged(m_iFeatureCount);
}

void CMenu_Toolbar::ClearPluginFeatures() {
    if (!MMain::MainForm()) return;
    if (auto form = Form()) {
        for (const auto& item : form->Array(kMenuFeatures)) {
            if (item->Index() != 0) IgnoreFailure([&] { form->UnloadElement(item); });
            else IgnoreFailure([&] { item->SetVisible(false); });
        }
        for (const auto& button : form->Array(kFeatureButtons))
            if (button->Index() != 0) IgnoreFailure([&] { form->UnloadElement(button); });
    }
    RaisePIButtonsChanged(0);
}

void CMenu_Toolbar::OnDevicePluginChanged(const ui::NodeRef&, const std::shared_ptr<outside::IFeatureList>& oFeatureList) {
    auto self = weak_from_this().lock();
    if (!oFeatureList) {
        ClearPluginFeatures();
        return;
    }
    if (m_bHaveMainForm) LoadPluginFeatures(oFeatureList);
    VBool communicating = MCommon::ProbeDeviceCommunication(MMain::LnsAppDevice());
    UpdateMenuStates(communicating, automation::kFalse);
}

void CMenu_Toolbar::MenuClickPlugin(std::int16_t Index) {
    if (Index == 0) ExitQuillet();
}

void CMenu_Toolbar::MenuClickDevice(std::int16_t) {}

void CMenu_Toolbar::MenuClickPluginFeature(std::int16_t Index) {
    auto self = weak_from_this().lock();
    auto mainForm = MMain::RequireMainForm();

    const VBool timerState = mainForm->TimerStatus();
    mainForm->SetStatusTimer(automation::kFalse);

    std::shared_ptr<outside::IPluginServer> server;
    BStr caption;
    bool found = IgnoreFailure([&] {
        server = mainForm->PluginServer();
        if (!server) automation::RaiseObjectNotSet(u"PluginServer");
        auto list = server->FeatureList();
        if (!list) automation::RaiseObjectNotSet(u"FeatureList");
        auto feature = list->Item(Index);
        if (!feature) automation::RaiseObjectNotSet(u"Feature");
        caption = feature->Caption();
    });
    if (!found) {
        mainForm->SetStatusTimer(timerState);
        return;
    }

    if (auto marker = caption.find(u'&'); marker != BStr::npos) caption.erase(marker, 1);

    // A failure while preparing the launch is reported like a failed launch. Each preparation
    // step still runs, so the report can name the device even when the link is missing.
    bool failed = false;
    automation::ObjectRef icon;
    std::shared_ptr<outside::INetServDevice> link;
    BStr deviceName;
    auto prepare = [&failed](auto&& step) {
        if (!IgnoreFailure(step)) failed = true;
    };
    if (m_bHaveMainForm)
        prepare([&] {
            auto form = Form();
            if (!form) automation::RaiseObjectNotSet(u"FMainHalvern");
            icon = std::make_shared<CIconPicture>(form->IconId());
        });
    prepare([&] { link = server->CurrentDevice(); });
    prepare([&] {
        auto device = MMain::LnsAppDevice();
        if (!device) automation::RaiseObjectNotSet(u"LnsAppDevice");
        deviceName = device->Name();
    });
    if (!failed) prepare([&] { server->SetFeatureWindowAppearance(caption + u" " + deviceName, icon); });

    if (!failed) {
        // Both steps run even when the first fails; either failure is reported once.
        if (!IgnoreFailure([&] {
                if (!link) automation::RaiseObjectNotSet(u"PluginServerLink");
                link->UploadDevice();
            }))
            failed = true;
        if (m_bHaveMainForm && !IgnoreFailure([&] { server->LaunchFeature(Index, static_cast<std::int32_t>(WindowHandle())); }))
            failed = true;
    }

    if (failed) {
        BStr typeText;
        IgnoreFailure([&] {
            auto tree = mainForm->ActiveTree();
            if (!tree) return;
            auto node = tree->CurrentNode();
            if (!node) return;
            if (auto parent = node->Parent()) typeText = parent->Text();
        });
        using MCommon::LoadResString;
        const BStr title =
            LoadResString(res::kMsgLaunchTitlePrefix) + deviceName + u" " + caption + LoadResString(res::kMsgLaunchTitleSuffix);
        const BStr text = LoadResString(res::kMsgLaunchLine1) + u"\r\n" + caption + LoadResString(res::kMsgLaunchLine2Middle) +
                          deviceName + u"." + u"\r\n" + LoadResString(res::kMsgLaunchLine3) + u"\r\n" +
                          LoadResString(res::kMsgLaunchLine4Prefix) + typeText + LoadResString(res::kMsgLaunchLine4Suffix) +
                          u"\r\n" + LoadResString(res::kMsgLaunchLine5);
        ui::CurrentPlatform().MsgBox(text, ui::mb::kOkOnly, title);
    }

    try {
        RefreshWorkspaceOf(mainForm);
    } catch (const Error&) {
        // The failure goes on to the caller, but the status timer must not stay stopped.
        IgnoreFailure([&] { mainForm->SetStatusTimer(timerState); });
        throw;
    }
    link.reset();
    mainForm->SetStatusTimer(timerState);
    icon.reset();
    server.reset();
}

void CMenu_Toolbar::MenuClickView(std::int16_t Index) {
    if (Index == 0) RefreshWorkspaceOf(MMain::RequireMainForm());
}

void CMenu_Toolbar::MenuClickTools(std::int16_t Index) {
    if (Index != 0) return;
    auto self = weak_from_this().lock();
    auto mainForm = MMain::RequireMainForm();
    auto dialog = frmOptions::Create();
    try {
        dialog->ShowModal(MMain::MainWindow().get());
        automation::ObjectRef units;
        const bool updated = automation::IsTrue(dialog->UpdatedEngUnits(units));
        if (updated && units) {
            auto tree = mainForm->ActiveTree();
            if (!tree) automation::RaiseObjectNotSet(u"ActiveTree");
            tree->UpdateWorkspaceUnits(units);
        }
        units.reset();
    } catch (const Error&) {
        // A failure goes to the caller; the dialog does not stay behind.
        IgnoreFailure([&] { dialog->Unload(); });
        throw;
    }
    dialog->Unload();
}

void CMenu_Toolbar::MenuClickHelp(std::int16_t Index) {
    if (Index == 0) RunHelpButton();
    else if (Index == 1) EnterWhatsThis();
}

void CMenu_Toolbar::RunButtonFunction(std::int16_t Index) { MenuClickPluginFeature(Index); }

void CMenu_Toolbar::RunHelpButton() { ShowPluginHelp(); }

void CMenu_Toolbar::ShowPluginHelp() {
    BStr helpFile;
    IgnoreFailure([&] { helpFile = ModHelp::PluginHelpFile(MMain::MainForm()); });
    ModHelp::OpenHelpFile(WindowHandle(), helpFile, MMain::PlugInDescription());
}

void CMenu_Toolbar::EnterWhatsThis() {
    // Without a plug-in server or current plug-in there is no help to point at: like an empty name.
    BStr helpFile;
    try {
        helpFile = ModHelp::PluginHelpFile(MMain::MainForm());
    } catch (const Error&) {
        helpFile.clear();
    }
    if (helpFile.empty()) return;
    MMain::RequireMainForm()->SetInWhatsThisMode(automation::kTrue);
    if (auto form = Form()) form->EnterWhatsThisMode();
}

void CMenu_Toolbar::ExitQuillet() {
    // Unloading the window runs the closing path, which may come back here; the window, and with
    // it this controller, may be gone when Unload returns, so nothing below touches members.
    if (m_bExiting) return;
    auto self = weak_from_this().lock();
    if (!MMain::MainForm()) return;
    auto window = MMain::MainWindow();
    if (!window) return;
    m_bExiting = true;
    std::int32_t mode = kModeExiting;
    try {
        UserChangedMode.Raise(mode);
        window->Unload();
    } catch (const Error&) {
        if (self) m_bExiting = false;
        throw;
    }
}

void CMenu_Toolbar::RefreshDeviceView() { MenuClickView(0); }
