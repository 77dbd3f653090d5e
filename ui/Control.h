#pragma once
// The control model the windows are made of. A control keeps its own state; the backend in use
// gives each control a peer that mirrors the state onto the platform and reports user actions
// back through the control's events.
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>

#include "automation/Event.h"
#include "automation/Types.h"

namespace ui {

using automation::BStr;

enum class Kind {
    Window,
    Label,
    CommandButton,
    Frame,
    PictureBox,
    Image,
    MenuItem,
    OptionButton,
    CheckBox,
    ListView,
    TreeView,
    ImageList,
    StatusBar,
    ProgressBar,
    Timer,
    TabbedDialog,
    HostedControl
};
const char* KindName(Kind k);

// What changed, so a peer updates only that.
enum class Prop {
    Caption,
    Visible,
    Enabled,
    Geometry,
    Tag,
    TabStop,
    ToolTip,
    Border,
    Default,
    Cancel,
    Shortcut,
    Interval,
    Icon,
    WindowState,
    Columns,
    Items,
    Selection,
    Sort,
    Nodes,
    Panels,
    Value,
    Tabs,
    ZOrder,
    Focus,
    Images
};

class Control;
class Window;

class Peer {
public:
    virtual ~Peer() = default;
    virtual void Changed(Control&, Prop) {}
    // The native handle of the control's platform window, 0 where it has none.
    virtual std::intptr_t Handle() const { return 0; }
    // The size of the client area (twips) where the platform knows it.
    virtual bool ClientSize(float& /*width*/, float& /*height*/) const { return false; }
};

class Control : public std::enable_shared_from_this<Control> {
public:
    Control(Kind kind, BStr name, int index);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Kind GetKind() const { return kind_; }
    const BStr& Name() const { return name_; }
    int Index() const { return index_; }  // -1 outside a control array
    Window* Form() const { return form_; }
    std::shared_ptr<Control> Container() const { return container_.lock(); }
    bool IsCaptionKind() const;

    const BStr& Caption() const { return caption_; }
    void SetCaption(BStr c);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool e);
    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const { return width_; }
    float Height() const { return height_; }
    void SetLeft(float v);
    void SetTop(float v);
    virtual void SetWidth(float v);
    virtual void SetHeight(float v);
    void Move(float left, float top, float width, float height);
    const BStr& Tag() const { return tag_; }
    void SetTag(BStr t);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool t);
    const BStr& ToolTipText() const { return toolTip_; }
    void SetToolTipText(BStr t);
    int BorderStyle() const { return border_; }
    void SetBorderStyle(int b);
    bool IsDefault() const { return default_; }
    void SetDefault(bool d);
    bool IsCancel() const { return cancel_; }
    void SetCancel(bool c);
    const BStr& Shortcut() const { return shortcut_; }
    void SetShortcut(BStr s);
    void SetFocus();

    // User actions, raised by the backend (or a test acting as the user).
    automation::Event<> Click;
    automation::Event<> DblClick;
    automation::Event<std::int16_t, std::int16_t, float, float> MouseDown;  // button, shift, x, y
    automation::Event<std::int16_t, std::int16_t, float, float> MouseMove;
    automation::Event<std::int16_t, std::int16_t, float, float> MouseUp;
    automation::Event<std::int16_t, std::int16_t> KeyDown;  // key code, shift

    // Backend side.
    void SetPeer(std::unique_ptr<Peer> peer);
    Peer* GetPeer() const { return peer_.get(); }
    // The platform moved or sized the control itself (a user resize): keep the state, tell no peer.
    void SetGeometryFromPlatform(float left, float top, float width, float height);
    void SetVisibleFromPlatform(bool v) { visible_ = v; }

protected:
    void Notify(Prop p);
    // Sets one property and tells the peer which kind changed.
    template <class T, class V>
    void Assign(T& field, V&& value, Prop p) {
        field = std::forward<V>(value);
        Notify(p);
    }
    // Copies the design properties of an array's template into a newly loaded element.
    virtual void CopyDesignFrom(const Control& other);

private:
    friend class Window;
    Kind kind_;
    BStr name_;
    int index_;
    Window* form_ = nullptr;
    std::weak_ptr<Control> container_;
    BStr caption_, tag_, toolTip_, shortcut_;
    bool visible_ = true, enabled_ = true, tabStop_ = true, default_ = false, cancel_ = false;
    int border_ = 1;
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    std::unique_ptr<Peer> peer_;
};

using ControlRef = std::shared_ptr<Control>;

// A control of a kind that has a class of its own; a plain Control of that kind (an element the
// form was designed with) has none of the class's state.
template <Kind K>
class KindControl : public Control {
public:
    static constexpr Kind kKind = K;
    KindControl(BStr name, int index) : Control(K, std::move(name), index) {}
};

// Calls f with the control as the first of Classes it is an object of; false when it is none.
template <class... Classes, class C, class F>
bool VisitAs(C& c, F&& f) {
    auto as = [&](auto* typed) {
        if (!typed) return false;
        f(*typed);
        return true;
    };
    return (... || (c.GetKind() == Classes::kKind &&
                    as(dynamic_cast<std::conditional_t<std::is_const_v<C>, const Classes, Classes>*>(&c))));
}

}  // namespace ui
