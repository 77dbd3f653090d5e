#pragma once
// The smaller stateful controls: image list, status bar, progress bar, timer, tabbed dialog and
// the container of a visual control created at run time from a ProgID.
#include <vector>

#include "automation/Object.h"
#include "ui/Control.h"

namespace ui {

class ImageList : public KindControl<Kind::ImageList> {
public:
    using KindControl::KindControl;
    void AddImage(BStr key) {
        keys_.push_back(std::move(key));
        Notify(Prop::Items);
    }
    const std::vector<BStr>& Keys() const { return keys_; }
    // The 1-based index of the image with this key (keys compare exactly), 0 when none has it.
    int IndexOf(const BStr& key) const;

private:
    std::vector<BStr> keys_;
};

struct Panel {
    BStr text;
    BStr toolTipText;
    float width = 1440;
    bool spring = false;
};

class StatusBar : public KindControl<Kind::StatusBar> {
public:
    using KindControl::KindControl;
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    void AddPanel(Panel p) {
        panels_.push_back(std::move(p));
        Notify(Prop::Panels);
    }
    const Panel& GetPanel(int index1) const;  // an index outside 1..Count is an error
    void SetPanelText(int index1, BStr text);
    void SetPanelToolTip(int index1, BStr text);

private:
    Panel& PanelAt(int index1);
    std::vector<Panel> panels_;
};

class ProgressBar : public KindControl<Kind::ProgressBar> {
public:
    using KindControl::KindControl;
    int Value() const { return value_; }
    void SetValue(int v) { Assign(value_, v, Prop::Value); }
    int Max() const { return max_; }
    void SetMax(int m) { Assign(max_, m, Prop::Value); }

private:
    int value_ = 0, max_ = 100;
};

// Ticks every Interval ms while enabled; setting Enabled or Interval starts the count again.
class Timer : public KindControl<Kind::Timer> {
public:
    Timer(BStr name, int index) : KindControl(std::move(name), index) { SetVisibleFromPlatform(false); }
    std::int32_t Interval() const { return interval_; }
    void SetInterval(std::int32_t ms) { Assign(interval_, ms, Prop::Interval); }
    automation::Event<> Tick;

private:
    std::int32_t interval_ = 0;
};

class TabbedDialog : public KindControl<Kind::TabbedDialog> {
public:
    using KindControl::KindControl;
    int Tabs() const { return static_cast<int>(captions_.size()); }
    void SetTabs(int n) {
        captions_.resize(static_cast<std::size_t>(n));
        Notify(Prop::Tabs);
    }
    const BStr& TabCaption(int index0) const;  // an index outside 0..Tabs-1 is an error
    void SetTabCaption(int index0, BStr c);

private:
    std::vector<BStr> captions_;
};

// The container of a visual control made from a ProgID. The backend creates the control when the
// container is attached and sets Object; creation failure is an error of Window::ControlsAdd.
class HostedControl : public KindControl<Kind::HostedControl> {
public:
    using KindControl::KindControl;
    const BStr& ProgId() const { return progId_; }
    automation::ObjectRef Object() const { return object_; }
    void ZOrder() {
        ++zorderCount_;
        Notify(Prop::ZOrder);
    }
    int ZOrderCount() const { return zorderCount_; }

    // Backend side.
    void SetProgId(BStr p) { progId_ = std::move(p); }
    void SetObject(automation::ObjectRef o) { object_ = std::move(o); }

private:
    BStr progId_;
    automation::ObjectRef object_;
    int zorderCount_ = 0;
};

}  // namespace ui
