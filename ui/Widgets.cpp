#include "ui/Widgets.h"

#include "automation/Error.h"

namespace ui {
using automation::Raise;
namespace code = automation::code;

int ImageList::IndexOf(const BStr& key) const {
    if (key.empty()) return 0;
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] == key) return static_cast<int>(i) + 1;
    return 0;
}

const Panel& StatusBar::GetPanel(int i) const {
    if (i < 1 || i > PanelCount()) Raise(code::kSubscriptOutOfRange, u"Index out of bounds");
    return panels_[i - 1];
}
Panel& StatusBar::PanelAt(int i) {
    GetPanel(i);
    return panels_[static_cast<std::size_t>(i - 1)];
}
void StatusBar::SetPanelText(int i, BStr text) { Assign(PanelAt(i).text, std::move(text), Prop::Panels); }
void StatusBar::SetPanelToolTip(int i, BStr text) { Assign(PanelAt(i).toolTipText, std::move(text), Prop::Panels); }

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
