#pragma once
// What the group and device-type views share: a report list of devices inside one workspace
// frame with a count label below it, sorting on header clicks, mouse and keyboard selection that
// hands a device to the tree, and the tree controller's device notifications.
#include <cstdint>
#include <memory>
#include <vector>

#include "automation/Event.h"
#include "tree/CTreeDevice.h"
#include "ui/ListView.h"
#include "session/IQuilletWorkspaceView.h"
#include "workspace/CViewFrame.h"

class CViewList : public CViewFrame<IQuilletWorkspaceView> {
public:
    ~CViewList() override;

    // IQuilletWorkspaceView
    void saveColWidthsToReg() override {}
    void readColWidthsFromReg() override;
    void Initialization(const std::shared_ptr<IQuilletTree>& objTre) override;
    void ShowViewForNode(const ui::NodeRef& nodX) override;
    void RefreshView() override;

    // Handlers of the list control's events.
    void ColumnClick(int columnIndex);
    void MouseDown(std::int16_t Button, std::int16_t Shift, float x, float y);
    void Click();
    void KeyDown(std::int16_t KeyCode, std::int16_t Shift);
    void DblClick();

    // Handlers of the tree controller's notifications.
    // A list that builds its own rows takes them from here; the group list gets none of its own
    // (a device-level tree would feed it).
    virtual void DeviceAdded(const std::shared_ptr<CTreeDevice>&, automation::VBool) {}
    void DeviceChanged(const std::shared_ptr<CTreeDevice>& oTreeDevice, automation::VBool bPIUploadRequired);
    void DeviceRemoved(const automation::BStr& sDevID);
    virtual void TreeRepopulating(automation::VBool& bRemoteConnection) = 0;

    std::int16_t DeviceCount() const { return deviceCount_; }
    const ui::NodeRef& CurrentNode() const { return currentNode_; }

protected:
    // What tells the two lists apart in the window.
    struct Binding {
        int frameIndex;
        const char16_t* listName;
        const char16_t* labelName;
        const char16_t* defaultWidths;  // ColumnWidthsText format
        std::int32_t countPrefixId;
        int statusColumn;  // 1-based; the sub-item is one less
    };
    explicit CViewList(const Binding& binding);

    // Steps of a showing that differ between the lists.
    virtual void BeforeShowing() {}
    virtual void AfterEmptied() {}
    virtual void OnHidden() {}

    void UpdateCountLabel(std::int16_t count);
    void MatchStatusWidth();
    void ChangeCount(int delta);

    const Binding binding_;
    std::shared_ptr<ui::Control> countLabel_;
    ui::NodeRef currentNode_;
    std::int16_t deviceCount_ = 0;
    automation::BStr countPrefix_;
    bool rereadWidths_ = false;
    float mouseX_ = 0, mouseY_ = 0;
    std::shared_ptr<ui::ListView> list_;
    std::weak_ptr<IQuilletTree> tree_;

private:
    void BeforeFrameFollows() override;
    std::vector<automation::Subscription> listSubs_;
    std::vector<automation::Subscription> treeSubs_;
};
