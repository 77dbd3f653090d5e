#pragma once
// The workspace manager as the window and the other controllers hold it: shows one view at a
// time and falls back to the error view when a device's workspace control cannot be shown.
#include <memory>

#include "session/IQuilletWorkspaceView.h"

class IQuilletWorkspace {
public:
    virtual ~IQuilletWorkspace() = default;
    virtual void ShowPluginWorkspace(const ui::NodeRef& nodX, automation::BStr WorkspaceActiveXID) = 0;
    virtual void ShowViewForNode(const ui::NodeRef& nodX) = 0;
    virtual void RefreshWorkspace() = 0;
    virtual std::shared_ptr<IQuilletWorkspaceView> CurrentView() = 0;
    virtual void SetIsDirty(automation::VBool bNewValue) = 0;
    virtual automation::VBool IsDirty() const = 0;
};
