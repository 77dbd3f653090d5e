// The group and device-type lists: rows fed by the tree's device notifications, count labels,
// captions, column widths, sorting on header clicks, and mouse and keyboard selection.
#include <gtest/gtest.h>

#include "common/MCommon.h"
#include "support/ErrorCode.h"
#include "support/HostSession.h"
#include "tree/CTreeViewActive.h"
#include "workspace/CQuilletWorkspace.h"
#include "workspace/CViewDeviceType.h"

using automation::BStr;

namespace {

const BStr kGroupCount = u"Total Number of Devices: ";
const BStr kTypeCount = u"Total Number of Devices of this Type: ";

// An opened session's lists and what feeds them.
class ViewLists : public ::testing::Test {
protected:
    OpenedSession s;
    std::shared_ptr<CQuilletWorkspace> ws = std::dynamic_pointer_cast<CQuilletWorkspace>(s.Form()->QuilletWorkspace());
    std::shared_ptr<CTreeViewActive> tree = std::dynamic_pointer_cast<CTreeViewActive>(s.Form()->ActiveTree());
    std::shared_ptr<ui::ListView> group = s.Control<ui::ListView>(u"lvwGroup");
    std::shared_ptr<ui::ListView> types = s.Control<ui::ListView>(u"lvwDeviceTypes");

    BStr GroupLabel() const { return s.Control(u"lblGroupDeviceCount")->Caption(); }
    BStr TypeLabel() const { return s.Control(u"lblDeviceTypeCount")->Caption(); }
    void ShowType(const BStr& key, const BStr& text) { ws->ShowViewForNode(std::make_shared<ui::TreeNode>(key, text)); }
    void ShowGroup() { ws->ShowViewForNode(std::make_shared<ui::TreeNode>(u"agRt", u"Active Group")); }
    void Added(const std::shared_ptr<CTreeDevice>& d) { tree->DeviceAdded.Raise(d, automation::kFalse); }
    void Changed(const std::shared_ptr<CTreeDevice>& d) { tree->DeviceChanged.Raise(d, automation::kFalse); }
    void Removed(const BStr& id) { tree->DeviceRemoved.Raise(id); }
    void Repopulating() {
        automation::VBool remote = automation::kFalse;
        tree->TreeRepopulating.Raise(remote);
    }
};

std::shared_ptr<CTreeDevice> Device(const BStr& id, const BStr& name, const BStr& type, const BStr& state = u"Online") {
    auto d = std::make_shared<CTreeDevice>();
    d->SetDeviceID(id);
    d->SetName(name);
    d->SetDeviceType(type);
    d->SetState(state);
    d->SetIcon(u"devonline");
    d->SetProgramID(u"80000A1B2C3D4E5F");
    d->SetNeuronID(u"000A1B2C3D4E");
    return d;
}

std::vector<float> Widths(const ui::ListView& l) {
    std::vector<float> w;
    for (int i = 1; i <= l.ColumnCount(); ++i) w.push_back(l.Column(i).width);
    return w;
}

BStr WidthText(ui::ListView& l) {
    BStr text;
    MCommon::ColumnWidthsText(l, false, text);
    return text;
}

std::vector<BStr> ShownNames(const ui::ListView& l) {
    std::vector<BStr> names;
    for (int i : l.DisplayOrder()) names.push_back(l.Item(i).text);
    return names;
}

// A point inside the row that shows the item with this key.
float RowY(const ui::ListView& l, const BStr& key) {
    auto order = l.DisplayOrder();
    for (std::size_t p = 0; p < order.size(); ++p)
        if (l.Item(order[p]).key == key) return ui::ListView::kHeaderHeight + ui::ListView::kRowHeight * (p + 0.5f);
    ADD_FAILURE() << "no row " << U8(key);
    return 0;
}

int IndexOf(const ui::ListView& l, const BStr& key) {
    for (int i = 1; i <= l.Count(); ++i)
        if (l.Item(i).key == key) return i;
    return 0;
}

}  // namespace

TEST(ViewListsOnLoad, DefaultWidthsCaptionsAndCountLabels) {
    HostSession s;
    ASSERT_EQ(s.Start(), automation::kTrue);
    auto group = s.Control<ui::ListView>(u"lvwGroup");
    auto types = s.Control<ui::ListView>(u"lvwDeviceTypes");
    EXPECT_EQ(WidthText(*group), u"1800,2640.189,1800,1599.874,1800,1440,1440,");
    EXPECT_EQ(WidthText(*types), u"2349.921,1800,1899.78,2349.921,1440,1440,");
    EXPECT_EQ(s.Control(u"lblGroupDeviceCount")->Caption(), kGroupCount + u"0");
    EXPECT_EQ(s.Control(u"lblDeviceTypeCount")->Caption(), kTypeCount) << "no number before the first showing";
    EXPECT_EQ(s.Control(u"FraWorkspace", 1)->Caption(), u"Device Type - ");

    // The lists are bound but never shown by opening the display.
    ASSERT_EQ(s.Open(), -1);
    EXPECT_FALSE(s.Control(u"FraWorkspace", 0)->Visible());
    EXPECT_FALSE(s.Control(u"FraWorkspace", 1)->Visible());
}

TEST_F(ViewLists, HidingAndShowingAgainRestoresDefaultWidths) {
    ShowGroup();
    EXPECT_EQ(s.Control(u"FraWorkspace", 0)->Caption(), u"Active Group View");
    EXPECT_EQ(GroupLabel(), kGroupCount + u"0");

    // The user drags dividers; showing the same view again only gives Status the name's width.
    group->SetColumnWidthFromPlatform(1, 3000);
    group->SetColumnWidthFromPlatform(2, 500);
    ShowGroup();
    EXPECT_EQ(Widths(*group), (std::vector<float>{3000, 500, 1800, 1599.874f, 3000, 1440, 1440}));

    // Hidden and shown again: the defaults come back, Status as wide as Device Name.
    ShowType(u"Typ_1", u"Fan");
    ShowGroup();
    EXPECT_EQ(WidthText(*group), u"1800,2640.189,1800,1599.874,1800,1440,1440,");

    ShowType(u"Typ_1", u"Fan");
    types->SetColumnWidthFromPlatform(1, 2000);
    types->SetColumnWidthFromPlatform(3, 100);
    ShowType(u"Typ_1", u"Fan");
    EXPECT_EQ(Widths(*types), (std::vector<float>{2000, 1800, 100, 2000, 1440, 1440}));
    ShowGroup();
    ShowType(u"Typ_1", u"Fan");
    EXPECT_EQ(WidthText(*types), u"2349.921,1800,1899.78,2349.921,1440,1440,");
}

TEST_F(ViewLists, DeviceTypeListBuildsRowsFromTreeNotifications) {
    ShowType(u"Typ_Fan", u"FanCoil");
    EXPECT_EQ(s.Control(u"FraWorkspace", 1)->Caption(), u"Device Type -  FanCoil");
    EXPECT_TRUE(s.Control(u"FraWorkspace", 1)->Visible());
    EXPECT_EQ(TypeLabel(), kTypeCount + u"0");

    Added(Device(u"D1", u"Bravo", u"FanCoil"));
    Added(Device(u"D2", u"alpha", u"FanCoil", u"Offline"));
    Added(Device(u"V1", u"Valve", u"Valve"));
    Added(Device(u"F9", u"Lower", u"fancoil"));
    Added(Device(u"D3", u"Charlie", u"FanCoil", u"Fault"));
    Added(Device(u"D1", u"Bravo again", u"FanCoil"));
    ASSERT_EQ(types->Count(), 3);
    EXPECT_EQ(TypeLabel(), kTypeCount + u"3");
    const ui::ListItem& first = types->Item(u"Dev_D1");
    EXPECT_EQ(first.text, u"Bravo");
    EXPECT_EQ(first.icon, u"devonline");
    EXPECT_EQ(first.smallIcon, u"devonline");
    EXPECT_EQ(first.subItems, (std::vector<BStr>{u"80000A-1B2C-3D4E-5F", u"00-0A-1B-2C-3D-4E", u"Online"}));
    EXPECT_EQ(group->Count(), 0) << "the group list is not fed by DeviceAdded";

    auto changed = Device(u"D2", u"Alpha Prime", u"FanCoil", u"Online");
    changed->SetIcon(u"devquestion");
    Changed(changed);
    const ui::ListItem& second = types->Item(u"Dev_D2");
    EXPECT_EQ(second.text, u"Alpha Prime");
    EXPECT_EQ(second.icon, u"devquestion");
    EXPECT_EQ(second.smallIcon, u"devquestion");
    EXPECT_EQ(second.subItems.at(2), u"Online");
    EXPECT_EQ(second.subItems.at(0), u"80000A-1B2C-3D4E-5F");
    Changed(Device(u"X7", u"Ghost", u"FanCoil"));
    EXPECT_EQ(types->Count(), 3);
    EXPECT_FALSE(types->Contains(u"Dev_X7"));

    Removed(u"D1");
    Removed(u"nope");
    EXPECT_EQ(types->Count(), 2);
    EXPECT_EQ(TypeLabel(), kTypeCount + u"2");

    // Repopulating empties the rows, and the list repaints empty, but leaves the label's last number.
    const bool tabStop = types->TabStop();
    std::vector<int> rowsAtPaint;
    s.platform->OnPaint([&](const ui::Control& c) {
        if (&c == types.get()) rowsAtPaint.push_back(types->Count());
    });
    Repopulating();
    s.platform->OnPaint(nullptr);
    EXPECT_EQ(rowsAtPaint, std::vector<int>{0});
    EXPECT_EQ(types->Count(), 0);
    EXPECT_EQ(TypeLabel(), kTypeCount + u"2");
    EXPECT_EQ(types->TabStop(), tabStop);

    // While hidden nothing reaches the list.
    Added(Device(u"D1", u"Bravo", u"FanCoil"));
    EXPECT_EQ(types->Count(), 1);
    ShowGroup();
    EXPECT_FALSE(s.Control(u"FraWorkspace", 1)->Visible());
    Added(Device(u"D4", u"Delta", u"FanCoil"));
    Changed(Device(u"D1", u"Renamed", u"FanCoil"));
    Removed(u"D1");
    EXPECT_EQ(types->Count(), 1);
    EXPECT_EQ(types->Item(u"Dev_D1").text, u"Bravo");

    // The All Devices node keeps its leading blank, in the caption and in the type match; a new
    // showing starts from an empty list.
    ShowType(u"AlD_", u" All Devices");
    EXPECT_EQ(s.Control(u"FraWorkspace", 1)->Caption(), u"Device Type -   All Devices");
    EXPECT_EQ(types->Count(), 0);
    Added(Device(u"A1", u"Anything", u"All Devices"));
    Added(Device(u"A2", u"Everything", u" All Devices"));
    EXPECT_EQ(types->Count(), 1);
    EXPECT_TRUE(types->Contains(u"Dev_A2"));
    EXPECT_EQ(TypeLabel(), kTypeCount + u"1");

    // The type shown is the node's text: without a node the view refuses before it names one.
    const auto view = std::make_shared<CViewDeviceType>();
    EXPECT_EQ(ErrorCode([&] { view->ShowViewForNode(nullptr); }), automation::code::kObjectNotSet);
}

TEST_F(ViewLists, GroupListUpdatesTheRowsItHolds) {
    ShowGroup();
    // Rows as a device-level tree would have put them there.
    group->Add(u"Dev_G1", u"Pump", u"devonline", u"devonline");
    group->SetSubItem(u"Dev_G1", 4, u"Online");
    group->Add(u"Dev_G2", u"Boiler", u"devonline", u"devonline");

    auto pump = Device(u"G1", u"Pump 2", u"Pumps", u"Offline");
    pump->SetIcon(u"devofflink");
    Changed(pump);
    const ui::ListItem& row = group->Item(u"Dev_G1");
    EXPECT_EQ(row.text, u"Pump 2");
    EXPECT_EQ(row.icon, u"devofflink");
    EXPECT_EQ(row.smallIcon, u"devofflink");
    EXPECT_EQ(row.subItems.at(3), u"Offline");

    Removed(u"G2");
    EXPECT_FALSE(group->Contains(u"Dev_G2"));
    EXPECT_EQ(group->Count(), 1);

    Repopulating();
    EXPECT_EQ(group->Count(), 0);
    EXPECT_EQ(GroupLabel(), kGroupCount + u"0");
    EXPECT_FALSE(group->TabStop());

    // Hidden: changes and removals pass it by, repopulating still empties it.
    ShowType(u"Typ_1", u"Fan");
    group->Add(u"Dev_G3", u"Chiller");
    Changed(Device(u"G3", u"Renamed", u""));
    Removed(u"G3");
    EXPECT_EQ(group->Item(u"Dev_G3").text, u"Chiller");
    Repopulating();
    EXPECT_EQ(group->Count(), 0);
}

TEST_F(ViewLists, HeaderClicksSortAscendingThenDescending) {
    ShowType(u"Typ_Fan", u"FanCoil");
    Added(Device(u"D1", u"Bravo", u"FanCoil", u"On"));
    Added(Device(u"D2", u"alpha", u"FanCoil", u"Off"));
    Added(Device(u"D3", u"Charlie", u"FanCoil", u"Fault"));
    ASSERT_TRUE(types->Sorted());
    EXPECT_EQ(ShownNames(*types), (std::vector<BStr>{u"alpha", u"Bravo", u"Charlie"}));

    types->ColumnClick.Raise(1);  // already the sort column: the order flips
    EXPECT_EQ(types->SortKey(), 0);
    EXPECT_EQ(types->SortOrder(), 1);
    EXPECT_EQ(ShownNames(*types), (std::vector<BStr>{u"Charlie", u"Bravo", u"alpha"}));

    types->ColumnClick.Raise(4);
    EXPECT_EQ(types->SortKey(), 3);
    EXPECT_EQ(types->SortOrder(), 0);
    EXPECT_EQ(ShownNames(*types), (std::vector<BStr>{u"Charlie", u"alpha", u"Bravo"}));  // Fault, Off, On
    types->ColumnClick.Raise(4);
    EXPECT_EQ(types->SortOrder(), 1);
    EXPECT_EQ(ShownNames(*types), (std::vector<BStr>{u"Bravo", u"alpha", u"Charlie"}));
    types->ColumnClick.Raise(2);
    EXPECT_EQ(types->SortKey(), 1);
    EXPECT_EQ(types->SortOrder(), 0);

    // The group list sorts the same way.
    group->ColumnClick.Raise(3);
    group->ColumnClick.Raise(3);
    EXPECT_EQ(group->SortKey(), 2);
    EXPECT_EQ(group->SortOrder(), 1);
}

TEST_F(ViewLists, PressClickAndEnterHandTheDeviceToTheTree) {
    // A tree that knows D2 but not D3.
    auto treeControl = s.Control<ui::TreeView>(u"treActive");
    tree->Initialization(treeControl);
    treeControl->Add(u"", u"agRt", u"Active Group");
    treeControl->Add(u"agRt", u"Dev_D2", u"alpha");

    ShowType(u"Typ_Fan", u"FanCoil");
    Added(Device(u"D1", u"Bravo", u"FanCoil"));
    Added(Device(u"D2", u"alpha", u"FanCoil"));
    Added(Device(u"D3", u"Charlie", u"FanCoil"));
    auto& list = *types;
    const float x = 600;
    auto boxes = [&] { return s.platform->MessageBoxes().size(); };

    // A click or Enter with no press stored does nothing.
    list.Select(1, true);
    list.Click.Raise();
    EXPECT_EQ(list.SelectedIndex(), 1);
    list.KeyDown.Raise(13, 0);
    list.DblClick.Raise();
    EXPECT_EQ(boxes(), 0u);
    EXPECT_EQ(tree->CurrentNode(), nullptr);

    // A left press on a row: the list selects it, the view takes the press and drops the selection;
    // the click selects the row under the press; Enter hands it to the tree.
    list.Select(IndexOf(list, u"Dev_D2"), true);
    list.MouseDown.Raise(1, 0, x, RowY(list, u"Dev_D2"));
    EXPECT_EQ(list.SelectedIndex(), 0);
    list.Click.Raise();
    EXPECT_EQ(list.SelectedIndex(), IndexOf(list, u"Dev_D2"));
    list.KeyDown.Raise(65, 0);  // other keys do nothing
    EXPECT_EQ(tree->CurrentNode(), nullptr);
    list.KeyDown.Raise(13, 0);
    ASSERT_NE(tree->CurrentNode(), nullptr);
    EXPECT_EQ(tree->CurrentNode()->Key(), u"Dev_D2");
    EXPECT_EQ(boxes(), 0u);

    // A device the tree does not know is reported once; the press is used up by then.
    list.Select(1, true);
    list.MouseDown.Raise(1, 0, x, RowY(list, u"Dev_D3"));
    list.DblClick.Raise();
    ASSERT_EQ(boxes(), 1u);
    EXPECT_EQ(s.platform->MessageBoxes()[0].text, u"Unable to locate this device in the tree.");
    EXPECT_EQ(tree->CurrentNode(), nullptr);
    list.KeyDown.Raise(13, 0);
    EXPECT_EQ(boxes(), 1u);

    // A right press drops the selection but is not stored; a press without a selection is ignored.
    list.Select(IndexOf(list, u"Dev_D3"), true);
    list.MouseDown.Raise(2, 0, x, RowY(list, u"Dev_D3"));
    EXPECT_EQ(list.SelectedIndex(), 0);
    list.MouseDown.Raise(1, 0, x, RowY(list, u"Dev_D3"));
    list.Click.Raise();
    list.DblClick.Raise();
    EXPECT_EQ(list.SelectedIndex(), 0);
    EXPECT_EQ(boxes(), 1u);

    // A left press on empty space below the rows: the click leaves nothing selected.
    list.Select(1, true);
    list.MouseDown.Raise(1, 0, x, ui::ListView::kHeaderHeight + ui::ListView::kRowHeight * 10);
    list.Select(2, true);
    list.Click.Raise();
    EXPECT_EQ(list.SelectedIndex(), 0);
    list.DblClick.Raise();
    EXPECT_EQ(boxes(), 1u);

    // A press at the very left edge reads as no press at all: neither the click nor Enter acts.
    list.Select(IndexOf(list, u"Dev_D2"), true);
    list.MouseDown.Raise(1, 0, 0, RowY(list, u"Dev_D2"));
    list.Click.Raise();
    EXPECT_EQ(list.SelectedIndex(), 0);
    list.KeyDown.Raise(13, 0);
    EXPECT_EQ(tree->CurrentNode(), nullptr);
}
