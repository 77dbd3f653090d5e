#pragma once
// The group view: every device of the Active Group in lvwGroup, frame 0.
#include "workspace/CViewList.h"

class CViewGroup : public CViewList {
public:
    CViewGroup();

    void TreeRepopulating(automation::VBool& bRemoteConnection) override;

protected:
    void BeforeShowing() override;
};
