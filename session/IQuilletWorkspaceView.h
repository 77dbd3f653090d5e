#pragma once
// What every workspace view offers the workspace manager and the main window.
#include <memory>

#include "automation/Object.h"
#include "ui/TreeView.h"

class IQuilletTree;

class IQuilletWorkspaceView : public automation::Object {
public:
    virtual void saveColWidthsToReg() = 0;
    virtual void readColWidthsFromReg() = 0;
    virtual void Initialization(const std::shared_ptr<IQuilletTree>& objTre) = 0;
    virtual void ShowViewForNode(const ui::NodeRef& nodX) = 0;
    virtual void RefreshView() = 0;
    virtual automation::VBool Visible() = 0;
    virtual void SetVisible(automation::VBool bNewValue) = 0;
};

// The device view's own: the window sizes its controls when it lays itself out.
class IQuilletDeviceView : public IQuilletWorkspaceView {
public:
    virtual void SizeControls() = 0;
};
