#pragma once
// Where the main window's controls go: the workspace frames beside the (hidden) tree, the button
// column, the lists, and the splitter between tree and workspace that the user drags.
#include <memory>

#include "mainwindow/FMainHalvernControls.h"
#include "session/IQuilletWorkspaceView.h"

class CMainLayout {
public:
    CMainLayout(ui::Window& form, const FMainHalvernControls& controls) : w_(form), c_(controls) {}

    // deviceView: the device view when it is the current one, sized with the frames.
    // haveWorkspace: the workspace manager exists (the lists are placed only then).
    void Arrange(bool showStatusBar, const std::shared_ptr<IQuilletDeviceView>& deviceView, bool haveWorkspace);
    void ArrangeButtons(bool showHelp);

    void SplitterDown();
    void SplitterMove(float x);
    void SplitterReleased() {
        dragging_ = false;
        c_.picVertSplitter->SetVisible(false);
    }

    float TreeLeftEdge() const { return treeLeftEdge_; }
    void SetTreeLeftEdge(float v) { treeLeftEdge_ = v; }
    bool Dragging() const { return dragging_; }

private:
    ui::Window& w_;
    const FMainHalvernControls& c_;
    float treeLeftEdge_ = 0;
    bool dragging_ = false;
};
