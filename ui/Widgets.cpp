#include "ui/Widgets.h"

#include "automation/Error.h"

namespace ui {
using automation::Raise;
namespace code = automation::code;

const Panel& StatusBar::GetPanel(int i) const {
    if (i < 1 || i > PanelCount()) Raise(code::kSubscriptOutOfRange, u"Index out of bounds");
    return panels_[i - 1];
}
void StatusBar::SetPanelText(int i, BStr text) {
    GetPanel(i);
    panels_[i - 1].text = std::move(text);
    Notify(Prop::Panels);
}
void StatusBar::SetPanelToolTip(int i, BStr text) {
    GetPanel(i);
    panels_[i - 1].toolTipText = std::move(text);
    Notify(Prop::Panels);
}

const BStr& TabbedDialog::TabCaption(int i) const {
    if (i < 0 || i >= Tabs()) Raise(code::kSubscriptOutOfRange, u"Invalid tab index");
    return captions_[i];
}
void TabbedDialog::SetTabCaption(int i, BStr c) {
    TabCaption(i);
    captions_[i] = std::move(c);
    Notify(Prop::Tabs);
}

}  // namespace ui
