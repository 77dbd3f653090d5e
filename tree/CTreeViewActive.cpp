#include "tree/CTreeViewActive.h"

#include "automation/ComponentFactory.h"
#include "common/MCommon.h"
#include "session/MMain.h"
#include "session/IQuilletMainForm.h"
#include "tree/NodeKeys.h"
#include "ui/Platform.h"
#include "StringIds.h"

using automation::BStr;
using automation::IgnoreFailure;
using automation::VBool;

CTreeViewActive::CTreeViewActive() = default;

CTreeViewActive::~CTreeViewActive() {
    serverSubs_.clear();
    m_oPIServer.reset();
    m_oCurrentPIDev.reset();
    treSub_.Reset();
    m_tre.reset();
    workspace_.reset();
}

void CTreeViewActive::Initialization(const std::shared_ptr<ui::TreeView>& tre) {
    treSub_.Reset();
    m_tre = tre;
    if (m_tre) treSub_ = m_tre->NodeClick.Subscribe([this](const ui::NodeRef& n) { NodeClicked(n); });
    auto form = MMain::RequireMainForm();
    status_ = form->StatusBar();
    workspace_ = form->QuilletWorkspace();
    SetPluginServer(form->PluginServer());
}

void CTreeViewActive::SetPluginServer(const std::shared_ptr<outside::IPluginServer>& server) {
    // Assigning again re-subscribes: one subscription per server, never two.
    serverSubs_.clear();
    m_oPIServer = server;
    if (!m_oPIServer) return;
    auto& ev = m_oPIServer->Events();
    serverSubs_.push_back(ev.RequestDownload.Subscribe([this] { RunTransfer(false); }));
    serverSubs_.push_back(ev.RequestUpload.Subscribe([this] { RunTransfer(true); }));
    serverSubs_.push_back(ev.WorkspaceAvailable.Subscribe([this](const BStr& id) { OnWorkspaceAvailable(id); }));
}

BStr CTreeViewActive::GetNodeIcon(const BStr&) { return {}; }
void CTreeViewActive::FindNode(const BStr&) {}
void CTreeViewActive::RemoveNode(const BStr&) {}
ui::NodeRef CTreeViewActive::CurrentNode() { return currentNode_; }
void CTreeViewActive::NodeClicked(const ui::NodeRef& node) { currentNode_ = node; }

void CTreeViewActive::SetMode(std::int32_t lNewMode) {
    if (lNewMode == 0 || lNewMode == 1 || lNewMode == 2) mode_ = lNewMode;
}

VBool CTreeViewActive::LoadDevicePlugin() {
    auto device = automation::CreateAs<outside::INetServDevice>(outside::kNetServDeviceClsid);
    auto appDevice = MMain::LnsAppDevice();
    auto system = MMain::LnsSystem();
    float version = MMain::LnsObjSvrVersion();
    VBool fileType2 = MMain::SupportsFileType2Config();
    auto cps = MMain::CPsRefNVsCol();
    device->Initialize(appDevice, system, version, fileType2, cps);
    MMain::SetPluginServerLink(device);
    m_oCurrentPIDev.reset();
    m_oCurrentPIDev = device;

    VBool accepted = automation::kFalse;
    std::shared_ptr<automation::Collection> features;
    IgnoreFailure([&] { features = std::make_shared<automation::Collection>(); });
    IgnoreFailure([&] { SetPluginServer(MMain::RequireMainForm()->PluginServer()); });
    IgnoreFailure([&] {
        if (!m_oPIServer) automation::RaiseObjectNotSet(u"PluginServer");
        accepted = m_oPIServer->LoadDevice(automation::Variant(automation::ObjectRef(device)), features, automation::kTrue,
                                           MMain::IsLNSPI());
    });
    features.reset();

    if (!m_oPIServer) automation::RaiseObjectNotSet(u"PluginServer");
    auto featureList = m_oPIServer->FeatureList();
    DevicePluginChanged.Raise(ui::NodeRef{}, featureList, automation::kFalse);
    return accepted;
}

ui::NodeRef CTreeViewActive::PopulateTree() {
    if (mode_ == kModeExiting) return {};
    if (!m_oPIServer) automation::RaiseObjectNotSet(u"PluginServer");
    m_oPIServer->Reset();
    ClearWorkspace();
    if (!m_tre) automation::RaiseObjectNotSet(u"tree control");
    m_tre->Clear();
    MMain::RequireMainForm()->Refresh();
    auto root =
        m_tre->Add({}, BStr(nodekeys::kRoot), MCommon::LoadResString(res::kActiveGroup), GetNodeIcon(BStr(nodekeys::kRoot)));
    IgnoreFailure([&] {
        m_tre->SetFocus();
        m_tre->SetSelected(root);
    });
    auto all = m_tre->Add(BStr(nodekeys::kRoot), BStr(nodekeys::kAllDevices), MCommon::LoadResString(res::kAllDevices),
                          u"typenormal", u"typeselect");
    m_tre->SetSorted(all, true);
    m_tre->EnsureVisible(all);
    VBool remote = automation::ToVBool(mode_ == 2);
    TreeRepopulating.Raise(remote);
    NodeClicked(m_tre->Node(BStr(nodekeys::kRoot)));
    MMain::RequireMainForm()->Refresh();
    MMain::RequireMainForm()->Refresh();
    m_tre->SetTabStop(false);
    ui::CurrentPlatform().SetMousePointer(13);
    MMain::RequireMainForm()->Refresh();
    return {};
}

automation::Variant CTreeViewActive::ShowWorkspace(const ui::NodeRef& nodX) {
    if (!nodX) automation::RaiseObjectNotSet(u"node");
    if (nodekeys::HasPrefix(nodX->Key(), nodekeys::kDevicePrefix)) {
        if (!status_) automation::RaiseObjectNotSet(u"StatusBar");
        status_->SetQuilletStat(MCommon::LoadResString(res::kStatusGettingData));
    }
    MMain::RequireMainForm()->Refresh();
    if (!workspace_) automation::RaiseObjectNotSet(u"QuilletWorkspace");
    workspace_->ShowViewForNode(nodX);
    MMain::RequireMainForm()->Refresh();
    return {};
}

void CTreeViewActive::SelectNodeInTree(const BStr& sDeviceID) {
    if (sDeviceID == nodekeys::kRootId) {
        if (!m_tre) automation::RaiseObjectNotSet(u"tree control");
        m_tre->SetSelected(m_tre->Node(1));
        return;
    }
    const BStr key = nodekeys::DeviceKey(sDeviceID);
    try {
        currentNode_.reset();
        if (!m_tre) automation::RaiseObjectNotSet(u"tree control");
        auto node = m_tre->Node(key);
        m_tre->SetSelected(node);
        NodeClicked(node);
    } catch (const automation::Error&) {
        ui::CurrentPlatform().MsgBox(MCommon::LoadResString(res::kMsgDeviceNotInTree), ui::mb::kOkOnly, ui::kDefaultTitle);
    }
}

// The plug-in server asks for a download or an upload; a failure is reported in a box.
void CTreeViewActive::RunTransfer(bool upload) {
    auto self = weak_from_this().lock();  // the box lets messages run; the window may close meanwhile
    IgnoreFailure([&] {
        bool ok = false;
        IgnoreFailure([&] {
            if (!m_oCurrentPIDev) automation::RaiseObjectNotSet(u"device object");
            ok = automation::IsTrue(upload ? m_oCurrentPIDev->UploadDevice() : m_oCurrentPIDev->DownloadDevice());
        });
        if (ok) return;
        using MCommon::LoadResString;
        ui::CurrentPlatform().MsgBox(LoadResString(upload ? res::kMsgUploadText : res::kMsgDownloadText), ui::mb::kOkOnly,
                                     LoadResString(upload ? res::kMsgUploadTitle : res::kMsgDownloadTitle));
    });
}

void CTreeViewActive::OnWorkspaceAvailable(const BStr& WorkspaceActiveXID) {
    // Keep ourselves alive: the handler may run inside a server call while the window closes.
    auto self = shared_from_this();
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): the notification's own text may go with its source
    BStr id = WorkspaceActiveXID;
    MMain::RequireMainForm()->Refresh();
    workspace_ = MMain::RequireMainForm()->QuilletWorkspace();
    if (!workspace_) automation::RaiseObjectNotSet(u"QuilletWorkspace");
    workspace_->ShowPluginWorkspace(currentNode_, id);
    MMain::RequireMainForm()->Refresh();
}

void CTreeViewActive::ClearWorkspace() {
    if (m_oPIServer) m_oPIServer->Clear();
    DevicePluginChanged.Raise(ui::NodeRef{}, std::shared_ptr<outside::IFeatureList>{}, automation::kFalse);
    if (auto form = MMain::MainForm()) form->ClearWorkspace();
}

void CTreeViewActive::PrepareForShutdown() {
    if (m_oPIServer) m_oPIServer->Reset();
    ClearWorkspace();
    mode_ = kModeExiting;
    if (m_tre) {
        m_tre->Clear();
        MMain::RequireMainForm()->Refresh();
    }
}

void CTreeViewActive::UpdateWorkspaceUnits(automation::ObjectRef& oQtyUnits) { PluginEngUnitsChanged.Raise(oQtyUnits); }
