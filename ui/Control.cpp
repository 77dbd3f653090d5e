#include "ui/Control.h"

namespace ui {

const char* KindName(Kind k) {
    switch (k) {
        case Kind::Window: return "Window";
        case Kind::Label: return "Label";
        case Kind::CommandButton: return "CommandButton";
        case Kind::Frame: return "Frame";
        case Kind::PictureBox: return "PictureBox";
        case Kind::Image: return "Image";
        case Kind::MenuItem: return "Menu";
        case Kind::OptionButton: return "OptionButton";
        case Kind::CheckBox: return "CheckBox";
        case Kind::ListView: return "ListView";
        case Kind::TreeView: return "TreeView";
        case Kind::ImageList: return "ImageList";
        case Kind::StatusBar: return "StatusBar";
        case Kind::ProgressBar: return "ProgressBar";
        case Kind::Timer: return "Timer";
        case Kind::TabbedDialog: return "TabbedDialog";
        case Kind::HostedControl: return "HostedControl";
    }
    return "?";
}

Control::Control(Kind kind, BStr name, int index) : kind_(kind), name_(std::move(name)), index_(index) {}
Control::~Control() = default;

bool Control::IsCaptionKind() const {
    switch (kind_) {
        case Kind::Label:
        case Kind::CommandButton:
        case Kind::Frame:
        case Kind::MenuItem:
        case Kind::OptionButton:
        case Kind::CheckBox:
        case Kind::Window: return true;
        default: return false;
    }
}

void Control::Notify(Prop p) {
    if (peer_) peer_->Changed(*this, p);
}

void Control::SetCaption(BStr c) { Assign(caption_, std::move(c), Prop::Caption); }
void Control::SetVisible(bool v) { Assign(visible_, v, Prop::Visible); }
void Control::SetEnabled(bool e) { Assign(enabled_, e, Prop::Enabled); }
void Control::SetLeft(float v) { Assign(left_, v, Prop::Geometry); }
void Control::SetTop(float v) { Assign(top_, v, Prop::Geometry); }
void Control::SetWidth(float v) { Assign(width_, v, Prop::Geometry); }
void Control::SetHeight(float v) { Assign(height_, v, Prop::Geometry); }
void Control::Move(float l, float t, float w, float h) {
    left_ = l;
    top_ = t;
    width_ = w;
    height_ = h;
    Notify(Prop::Geometry);
}
void Control::SetTag(BStr t) { Assign(tag_, std::move(t), Prop::Tag); }
void Control::SetTabStop(bool t) { Assign(tabStop_, t, Prop::TabStop); }
void Control::SetToolTipText(BStr t) { Assign(toolTip_, std::move(t), Prop::ToolTip); }
void Control::SetBorderStyle(int b) { Assign(border_, b, Prop::Border); }
void Control::SetDefault(bool d) { Assign(default_, d, Prop::Default); }
void Control::SetCancel(bool c) { Assign(cancel_, c, Prop::Cancel); }
void Control::SetShortcut(BStr s) { Assign(shortcut_, std::move(s), Prop::Shortcut); }
void Control::SetFocus() { Notify(Prop::Focus); }

void Control::SetPeer(std::unique_ptr<Peer> peer) { peer_ = std::move(peer); }

void Control::SetGeometryFromPlatform(float l, float t, float w, float h) {
    left_ = l;
    top_ = t;
    width_ = w;
    height_ = h;
}

void Control::CopyDesignFrom(const Control& o) {
    caption_ = o.caption_;
    tag_ = o.tag_;
    toolTip_ = o.toolTip_;
    enabled_ = o.enabled_;
    tabStop_ = o.tabStop_;
    border_ = o.border_;
    left_ = o.left_;
    top_ = o.top_;
    width_ = o.width_;
    height_ = o.height_;
    visible_ = false;  // a loaded element starts hidden
}

}  // namespace ui
