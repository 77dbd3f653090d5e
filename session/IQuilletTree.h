#pragma once
// The tree controller as the window and the other controllers hold it: the Active Group tree,
// the device hand-off to the plug-in server and the notifications about both.
#include <cstdint>
#include <memory>

#include "automation/Event.h"
#include "automation/Variant.h"
#include "outside/PluginServer.h"
#include "ui/TreeView.h"

class CTreeDevice;

class IQuilletTree {
public:
    virtual ~IQuilletTree() = default;

    // Notifications, in declaration order; delivered synchronously.
    automation::Event<automation::VBool&> TreeRepopulating;                                   // bRemoteConnection
    automation::Event<const std::shared_ptr<CTreeDevice>&, automation::VBool> DeviceAdded;    // oTreeDevice, bChangeColor
    automation::Event<const automation::BStr&> DeviceRemoved;                                 // sDevID
    automation::Event<const std::shared_ptr<CTreeDevice>&, automation::VBool> DeviceChanged;  // oTreeDevice, bPIUploadRequired
    automation::Event<automation::ObjectRef&> PluginEngUnitsChanged;                          // oQtyUnits
    automation::Event<const ui::NodeRef&, const std::shared_ptr<outside::IFeatureList>&, automation::VBool>
        DevicePluginChanged;  // nodX, oFeatureList, DevCommunicating

    virtual void Initialization(const std::shared_ptr<ui::TreeView>& tre) = 0;
    virtual automation::BStr GetNodeIcon(const automation::BStr& sNodeKey) = 0;
    virtual ui::NodeRef PopulateTree() = 0;
    virtual void FindNode(const automation::BStr& sCriteria) = 0;
    virtual void RemoveNode(const automation::BStr& sNodeKey) = 0;
    virtual automation::Variant ShowWorkspace(const ui::NodeRef& nodX) = 0;
    virtual ui::NodeRef CurrentNode() = 0;

    virtual void SelectNodeInTree(const automation::BStr& sDeviceID) = 0;
    virtual void PrepareForShutdown() = 0;
    virtual void UpdateWorkspaceUnits(automation::ObjectRef& oQtyUnits) = 0;
    virtual void ClearWorkspace() = 0;
    virtual void SetMode(std::int32_t lNewMode) = 0;
    virtual std::int32_t Mode() const = 0;
    // Hands the session's device to the plug-in server; whether the server accepted it.
    virtual automation::VBool LoadDevicePlugin() = 0;
};
