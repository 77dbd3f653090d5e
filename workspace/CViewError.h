#pragma once
// The error view: frame 3 with the label that tells the plug-in file is missing.
#include <memory>

#include "ui/Window.h"
#include "session/IQuilletWorkspaceView.h"
#include "workspace/CViewFrame.h"

class CViewError : public CViewFrame<IQuilletWorkspaceView> {
public:
    CViewError();
    ~CViewError() override;

    void saveColWidthsToReg() override {}
    void readColWidthsFromReg() override {}
    void Initialization(const std::shared_ptr<IQuilletTree>&) override {}
    void ShowViewForNode(const ui::NodeRef& nodX) override;
    void RefreshView() override {}

    void SetViewMessage(const automation::BStr& sNewValue) { message_ = sNewValue; }
    const automation::BStr& ViewMessage() const { return message_; }

private:
    void BeforeFrameFollows() override;
    ui::NodeRef currentNode_;
    std::shared_ptr<ui::Control> label_;
    automation::BStr message_;
};
