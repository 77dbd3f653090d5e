#pragma once
// The device-type view: the devices of one type in lvwDeviceTypes, frame 1. Builds its rows from
// the tree's DeviceAdded notifications.
#include "workspace/CViewList.h"

class CViewDeviceType : public CViewList {
public:
    CViewDeviceType();

    void DeviceAdded(const std::shared_ptr<CTreeDevice>& oTreeDevice, automation::VBool bDiscovery) override;
    void TreeRepopulating(automation::VBool& bRemoteConnection) override;

    const automation::BStr& BaseCaption() const { return baseCaption_; }

protected:
    void AfterEmptied() override;
    void OnHidden() override;

private:
    void RebuildTypeList();
    automation::BStr baseCaption_;
};
