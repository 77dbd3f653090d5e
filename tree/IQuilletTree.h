#pragma once
// The tree interface through which the window and the other controllers hold the tree controller.
#include <memory>

#include "automation/Variant.h"
#include "ui/TreeView.h"

class IQuilletTree {
public:
    virtual ~IQuilletTree() = default;
    virtual void Initialization(const std::shared_ptr<ui::TreeView>& tre) = 0;
    virtual automation::BStr GetNodeIcon(const automation::BStr& sNodeKey) = 0;
    virtual ui::NodeRef PopulateTree() = 0;
    virtual void FindNode(const automation::BStr& sCriteria) = 0;
    virtual void RemoveNode(const automation::BStr& sNodeKey) = 0;
    virtual automation::Variant ShowWorkspace(const ui::NodeRef& nodX) = 0;
    virtual ui::NodeRef CurrentNode() = 0;
};
