// The window's arrangement, checked against positions worked out by hand (twips).
#include <gtest/gtest.h>

#include "support/HostSession.h"
#include "tree/CTreeViewActive.h"

namespace {
struct Box {
    float left, top, width, height;
    bool operator==(const Box&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Box& b) {
    return o << b.left << ',' << b.top << ' ' << b.width << 'x' << b.height;
}
Box At(const std::shared_ptr<ui::Control>& c) { return {c->Left(), c->Top(), c->Width(), c->Height()}; }

void Resize(HostSession& s, float w, float h) {
    s.Window().SetWidth(w);
    s.Window().SetHeight(h);
}
}  // namespace

// Client area: width - 120, height - 690, less the 315 twips status bar. Tree left edge 75.
TEST(Layout, LoadedWindowAt12075By9270) {
    OpenedSession s;
    EXPECT_EQ(At(s.Control(u"imgVertSplitter")), (Box{90, 0, 75, 8265}));
    EXPECT_EQ(At(s.Control(u"treActive")), (Box{45, 45, 45, 8220}));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(At(s.Control(u"FraWorkspace", i)), (Box{90, 45, 11790, 8175})) << i;
    EXPECT_EQ(At(s.Control(u"lblViewError")), (Box{3195, 3660, 5400, 855}));
    EXPECT_EQ(At(s.Control(u"lvwGroup")), (Box{120, 637.5f, 11550, 7497.5f}));
    EXPECT_EQ(At(s.Control(u"lvwDeviceTypes")), (Box{120, 637.5f, 11550, 7497.5f}));
    // The device view sizes its control and the button column beside it.
    EXPECT_EQ(At(s.Control(u"fraButtons")), (Box{10155, 195, 1485, 7875}));
    EXPECT_EQ(At(s.Control(u"ctlWorkspace")), (Box{150, 300, 9855, 7725}));
    EXPECT_TRUE(s.Control(u"staStatusBar")->Visible());
    auto progress = s.Control(u"ProgressBar");
    EXPECT_EQ(progress->Container(), s.Control(u"staStatusBar"));
    EXPECT_EQ(At(progress), (Box{7080, 45, 2300, 225}));
    EXPECT_FALSE(progress->Visible());

    // The button column hangs 150 below its frame's top, wherever the frames start.
    s.Control(u"treActive")->SetTop(300);
    s.Form()->Resize();
    EXPECT_EQ(s.Control(u"FraWorkspace", 2)->Top(), 300);
    EXPECT_EQ(s.Control(u"fraButtons")->Top(), 450);
}

TEST(Layout, ButtonColumnFollowsTheButtonsThatExist) {
    HostSession s(false);
    s.world->AddPlugin(HostSession::Plugin({{1, u"A"}, {2, u"B"}, {3, u"C"}}, u"fan.hlp"));
    s.StartAndOpen();
    EXPECT_EQ(At(s.Control(u"cmdDevice", 1)), (Box{0, 450, 1485, 375}));
    EXPECT_EQ(At(s.Control(u"cmdDevice", 2)), (Box{0, 970, 1485, 375}));
    EXPECT_EQ(At(s.Control(u"cmdDevice", 3)), (Box{0, 1490, 1485, 375}));
    EXPECT_EQ(s.Control(u"cmdHelp")->Top(), 2010);
    EXPECT_TRUE(s.Control(u"cmdHelp")->Visible());
    EXPECT_FALSE(s.Control(u"cmdBindings")->Visible());
    EXPECT_FALSE(s.Control(u"cmdBindings")->Enabled());
    EXPECT_FALSE(s.Control(u"cmdDevice", 0)->Visible()) << "the template stays hidden";
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(s.Control(u"cmdDevice", i)->Visible());
        EXPECT_TRUE(s.Control(u"cmdDevice", i)->Enabled());
    }
    EXPECT_EQ(s.Control(u"fraButtons")->BorderStyle(), 0);

    // With no feature buttons the help button sits at the first button's place.
    s.Form()->ActiveTree()->ClearWorkspace();
    EXPECT_EQ(s.Window().Array(u"cmdDevice").size(), 1u);
    EXPECT_EQ(s.Control(u"cmdHelp")->Top(), 450);
}

TEST(Layout, WidthAndHeightAtOnceLayOutOnce) {
    OpenedSession s;
    int resizes = 0;
    auto sub = s.Window().Resize.Subscribe([&] { ++resizes; });
    for (int i = 0; i < 2; ++i) s.Window().SetSize(7000, 6000);  // the second changes nothing
    EXPECT_EQ(resizes, 1);
    EXPECT_EQ(At(s.Control(u"FraWorkspace", 0)), (Box{90, 45, 6880 - 165, 4995 - 90}));
}

TEST(Layout, TinyMinimizedAndLargeWindows) {
    OpenedSession s;
    Resize(s, 1000, 1000);
    EXPECT_EQ(s.Window().Width(), 2400);
    EXPECT_EQ(s.Window().Height(), 2400);
    // Client 2280 x 1395: frames would be 2115 x 1305, the height is held at 2000.
    EXPECT_EQ(At(s.Control(u"FraWorkspace", 2)), (Box{90, 45, 2115, 2000}));

    Resize(s, 30000, 20000);
    EXPECT_EQ(At(s.Control(u"FraWorkspace", 0)), (Box{90, 45, 29880 - 165, 18995 - 90}));

    s.Window().SetWindowState(ui::state::kMinimized);
    Resize(s, 5000, 5000);
    EXPECT_EQ(s.Control(u"FraWorkspace", 0)->Width(), 29880 - 165) << "a minimized window is not laid out";
    s.Window().SetWindowState(ui::state::kNormal);
    EXPECT_EQ(s.Control(u"FraWorkspace", 0)->Width(), 5000 - 120 - 165);
}

TEST(Layout, SplitterDragStopsAtBothEdges) {
    OpenedSession s;
    auto grab = s.Control(u"imgVertSplitter");
    auto bar = s.Control(u"picVertSplitter");
    grab->MouseDown.Raise(1, 0, 10.0f, 0.0f);
    EXPECT_TRUE(bar->Visible());
    EXPECT_TRUE(s.Form()->SplitterDragging());
    grab->MouseMove.Raise(1, 0, 2910.0f, 0.0f);  // 90 + 2910
    EXPECT_EQ(bar->Left(), 3000);
    grab->MouseUp.Raise(1, 0, 2910.0f, 0.0f);
    EXPECT_FALSE(bar->Visible());
    EXPECT_FALSE(s.Form()->SplitterDragging());
    EXPECT_EQ(At(s.Control(u"treActive")), (Box{45, 45, 2955, 8220}));
    EXPECT_EQ(At(s.Control(u"FraWorkspace", 1)), (Box{3000, 45, 11955 - 2955 - 45 - 75, 8175}));

    grab->MouseMove.Raise(1, 0, 99999.0f, 0.0f);
    EXPECT_EQ(bar->Left(), 3000) << "moves without a press do nothing";

    grab->MouseDown.Raise(1, 0, 0.0f, 0.0f);
    grab->MouseMove.Raise(1, 0, 99999.0f, 0.0f);
    EXPECT_EQ(bar->Left(), 11955 - 75) << "stops at the client width less the tree left edge";
    grab->MouseUp.Raise(1, 0, 0.0f, 0.0f);
    EXPECT_EQ(s.Control(u"FraWorkspace", 0)->Width(), 2000) << "a frame never gets narrower than 2000";

    grab->MouseDown.Raise(1, 0, 0.0f, 0.0f);
    grab->MouseMove.Raise(1, 0, -50000.0f, 0.0f);
    EXPECT_EQ(bar->Left(), 75) << "stops at the tree left edge";
    grab->MouseUp.Raise(1, 0, 0.0f, 0.0f);
    EXPECT_EQ(s.Control(u"treActive")->Width(), 30);
}
