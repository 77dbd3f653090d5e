#pragma once
// The group view: every device of the Active Group in lvwGroup, frame 0.
#include "workspace/CViewList.h"

class CViewGroup : public CViewList {
public:
    static constexpr const char16_t* kDefaultWidths = u"1800,2640.189,1800,1599.874,1800,1440,1440,";

    CViewGroup();
    ~CViewGroup() override;

    void DeviceAdded(const std::shared_ptr<CTreeDevice>& oTreeDevice, automation::VBool bChangeColor) override;
    void TreeRepopulating(automation::VBool& bRemoteConnection) override;

protected:
    void BeforeShowing() override;
};
