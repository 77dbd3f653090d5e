#pragma once
// The controller behind the Active Group tree and the owner of the link between the displayed
// device and the plug-in server: hands the device over, relays the server's notifications.
#include <cstdint>
#include <memory>

#include "automation/Event.h"
#include "outside/PluginServer.h"
#include "session/IQuilletStatus.h"
#include "session/IQuilletTree.h"
#include "session/IQuilletWorkspace.h"
#include "tree/CTreeDevice.h"

class CTreeViewActive : public IQuilletTree, public std::enable_shared_from_this<CTreeViewActive> {
public:
    static constexpr std::int32_t kModeInitializing = -1;
    static constexpr std::int32_t kModeExiting = -99;

    CTreeViewActive();
    ~CTreeViewActive() override;

    // IQuilletTree
    void Initialization(const std::shared_ptr<ui::TreeView>& tre) override;
    automation::BStr GetNodeIcon(const automation::BStr& sNodeKey) override;
    ui::NodeRef PopulateTree() override;
    void FindNode(const automation::BStr& sCriteria) override;
    void RemoveNode(const automation::BStr& sNodeKey) override;
    automation::Variant ShowWorkspace(const ui::NodeRef& nodX) override;
    ui::NodeRef CurrentNode() override;

    void SelectNodeInTree(const automation::BStr& sDeviceID) override;
    void PrepareForShutdown() override;
    void UpdateWorkspaceUnits(automation::ObjectRef& oQtyUnits) override;
    void ClearWorkspace() override;
    void SetMode(std::int32_t lNewMode) override;
    std::int32_t Mode() const override { return mode_; }
    automation::VBool LoadDevicePlugin() override;

private:
    void NodeClicked(const ui::NodeRef& node);
    void SetPluginServer(const std::shared_ptr<outside::IPluginServer>& server);
    void RunTransfer(bool upload);
    void OnWorkspaceAvailable(const automation::BStr& WorkspaceActiveXID);

    std::shared_ptr<ui::TreeView> m_tre;
    automation::Subscription treSub_;
    std::shared_ptr<outside::IPluginServer> m_oPIServer;
    std::vector<automation::Subscription> serverSubs_;
    std::shared_ptr<outside::INetServDevice> m_oCurrentPIDev;
    ui::NodeRef currentNode_;
    std::shared_ptr<IQuilletStatus> status_;
    std::shared_ptr<IQuilletWorkspace> workspace_;
    std::int32_t mode_ = kModeInitializing;
};
