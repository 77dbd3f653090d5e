#include "mainwindow/FMainHalvernControls.h"

#include <initializer_list>

#include "tree/NodeKeys.h"

using automation::BStr;

namespace {
constexpr float kButtonWidth = 1485;
constexpr float kButtonHeight = 375;
constexpr int kDesignIcon = 101;  // the component's own icon, also the feature windows'
}  // namespace

FMainHalvernControls FMainHalvernControls::Build(ui::Window& w) {
    FMainHalvernControls c;
    w.SetCaption(u"Quillet");
    w.SetIcon(kDesignIcon);
    w.Move(0, 0, 9600, 7200);

    c.treActive = w.Add<ui::TreeView>(u"treActive");
    c.treActive->Move(45, 45, 2655, 4860);
    c.imgVertSplitter = w.AddPlain(ui::Kind::Image, u"imgVertSplitter");
    c.imgVertSplitter->Move(2700, 0, 75, 4950);
    c.picVertSplitter = w.AddPlain(ui::Kind::PictureBox, u"picVertSplitter");
    c.picVertSplitter->Move(2700, 0, 75, 4950);
    c.picVertSplitter->SetVisible(false);

    static const char16_t* const kFrameCaptions[] = {u"Group View", u"1100:Device Type View:", u"Device View",
                                                     u"Device View Error"};
    for (int i = 0; i < 4; ++i) {
        auto& frame = c.FraWorkspace[static_cast<std::size_t>(i)];
        frame = w.AddPlain(ui::Kind::Frame, u"FraWorkspace", nullptr, i);
        frame->SetCaption(kFrameCaptions[i]);
        frame->Move(2775, 45, 6600, 4860);
        frame->SetVisible(false);
    }

    // Each list view of the group and device-type views: its count label, then the list itself.
    struct Column {
        const char16_t* key;
        const char16_t* caption;
        float width;
    };
    auto listView = [&](int frame, const char16_t* labelName, const char16_t* labelCaption, const char16_t* listName,
                        std::initializer_list<Column> columns, ui::ControlRef& label, std::shared_ptr<ui::ListView>& list) {
        const auto& container = c.FraWorkspace[static_cast<std::size_t>(frame)];
        label = w.AddPlain(ui::Kind::Label, labelName, container);
        label->SetCaption(labelCaption);
        label->Move(120, 240, 4500, 255);
        list = w.Add<ui::ListView>(listName, container);
        list->Move(120, 640, 6360, 3800);
        for (const auto& col : columns) list->AddColumn(col.key, col.caption, col.width);
        list->SetSorted(true);
    };
    // The two lists share their columns but for the type and the program ID's caption.
    const Column name{u"DeviceName", u"1305:Device Name", 1800}, neuron{u"NeuronID", u"1320:Neuron ID", 1800};
    const Column status{u"Status", u"1325:Status", 1800}, dsnA{u"DSN0", u"1335:DSN (A)", 1440};
    const Column dsnB{u"DSN1", u"1340:DSN (B)", 1440};
    listView(
        0, u"lblGroupDeviceCount", u"1330:Total number of devices", u"lvwGroup",
        {name, {u"DeviceType", u"1310:Device Type", 1800}, {u"ProgramID", u"1315:Revision", 1800}, neuron, status, dsnA, dsnB},
        c.lblGroupDeviceCount, c.lvwGroup);
    listView(1, u"lblDeviceTypeCount", u"1110:number of devices", u"lvwDeviceTypes",
             {name, {u"ProgramID", u"1315:ProgramID", 1800}, neuron, status, dsnA, dsnB}, c.lblDeviceTypeCount, c.lvwDeviceTypes);

    c.fraButtons = w.AddPlain(ui::Kind::Frame, u"fraButtons", c.FraWorkspace[2]);
    c.fraButtons->SetCaption(u"buttons");
    c.fraButtons->Move(4900, 195, 1725, 4500);
    c.cmdDevice0 = w.AddPlain(ui::Kind::CommandButton, u"cmdDevice", c.fraButtons, 0);
    c.cmdDevice0->SetCaption(u"PIButtons");
    c.cmdDevice0->Move(120, 240, kButtonWidth, kButtonHeight);
    c.cmdBindings = w.AddPlain(ui::Kind::CommandButton, u"cmdBindings", c.fraButtons);
    c.cmdBindings->SetCaption(u"&Bindings");
    c.cmdBindings->Move(120, 690, kButtonWidth, kButtonHeight);
    c.cmdHelp = w.AddPlain(ui::Kind::CommandButton, u"cmdHelp", c.fraButtons);
    c.cmdHelp->SetCaption(u"&Help");
    c.cmdHelp->Move(120, 1200, kButtonWidth, kButtonHeight);

    c.lblViewError = w.AddPlain(ui::Kind::Label, u"lblViewError", c.FraWorkspace[3]);
    c.lblViewError->SetCaption(
        u"1401: Unable to display information about this device. The required file 'QuilletUnknown.ocx'  is unavailable.");
    c.lblViewError->Move(600, 1800, 5400, 855);

    c.staStatusBar = w.Add<ui::StatusBar>(u"staStatusBar");
    c.staStatusBar->Move(0, 6195, 9480, 315);
    c.staStatusBar->AddPanel(ui::Panel{{}, {}, 7000, true});
    c.staStatusBar->AddPanel(ui::Panel{{}, {}, 2400, false});
    c.ProgressBar = w.Add<ui::ProgressBar>(u"ProgressBar", c.staStatusBar);
    c.ProgressBar->Move(7080, 45, 2300, 225);
    c.ProgressBar->SetVisible(false);

    c.tmrStatus = w.Add<ui::Timer>(u"tmrStatus");
    c.tmrStatus->SetInterval(10000);
    c.tmrStatus->SetEnabled(true);
    c.tmrUtility = w.Add<ui::Timer>(u"tmrUtility");
    c.tmrUtility->SetEnabled(false);
    c.tmrCleanupLink = w.Add<ui::Timer>(u"tmrCleanupLink");
    c.tmrCleanupLink->SetEnabled(false);

    c.imlTreeViews = w.Add<ui::ImageList>(u"imlTreeViews");
    for (auto key : nodekeys::kIconKeys) c.imlTreeViews->AddImage(BStr(key));
    // One image list serves the tree and both lists.
    c.treActive->SetImages(c.imlTreeViews);
    for (auto* list : {&*c.lvwGroup, &*c.lvwDeviceTypes}) {
        list->SetIcons(c.imlTreeViews);
        list->SetSmallIcons(c.imlTreeViews);
        list->SetColumnHeaderIcons(c.imlTreeViews);
    }

    auto menu = [&](const char16_t* name, const char16_t* caption, const ui::ControlRef& parent, int index) {
        auto m = w.AddPlain(ui::Kind::MenuItem, name, parent, index);
        m->SetCaption(caption);
        return m;
    };
    c.mnuPlugin = menu(u"mnuPlugin", u"300:Plugin", nullptr, -1);
    menu(u"mnuPlugins", u"307:Exit", c.mnuPlugin, 0);
    c.mnuDevice = menu(u"mnuDevice", u"320:Device", nullptr, -1);
    menu(u"mnuDevPI", u"PI Features", c.mnuDevice, 0);
    c.mnuView = menu(u"mnuView", u"360:View", nullptr, -1);
    menu(u"mnuViews", u"363:Refresh", c.mnuView, 0)->SetShortcut(u"F5");
    c.mnuTool = menu(u"mnuTool", u"370:Tools", nullptr, -1);
    menu(u"mnuTools", u"372:Engineering Units", c.mnuTool, 0);
    c.mnuHelp = menu(u"mnuHelp", u"152:Help", nullptr, -1);
    menu(u"mnuHelps", u"391:Contents and Index", c.mnuHelp, 0);
    menu(u"mnuHelps", u"395:What's This?", c.mnuHelp, 1);
    return c;
}
