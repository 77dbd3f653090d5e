#include "headless/TextDump.h"

#include <sstream>

#include "automation/NumberText.h"

namespace headless {
namespace {
using automation::ToUtf8;

std::string Num(float f) { return ToUtf8(automation::SingleText(f)); }

// What a control of a class with state of its own shows after the common properties.
void DumpState(std::ostringstream& out, const ui::Timer& t) {
    out << " interval=" << t.Interval() << (t.Enabled() ? " running" : " stopped");
}
void DumpState(std::ostringstream& out, const ui::HostedControl& h) { out << " progid=" << ToUtf8(h.ProgId()); }
void DumpState(std::ostringstream& out, const ui::ProgressBar& b) { out << " value=" << b.Value(); }

// The columns and rows, nodes, panels or tabs of a control, a line each below it.
void DumpLines(std::ostringstream& out, const std::string& pad, const ui::ListView& l) {
    out << pad << "  columns:";
    for (int i = 1; i <= l.ColumnCount(); ++i)
        out << " [" << ToUtf8(l.Column(i).key) << " \"" << ToUtf8(l.Column(i).text) << "\" " << Num(l.Column(i).width) << ']';
    out << '\n';
    for (int idx : l.DisplayOrder()) {
        auto& it = l.Item(idx);
        out << pad << "  row " << ToUtf8(it.key) << ": \"" << ToUtf8(it.text) << '"';
        for (auto& s : it.subItems) out << " | " << ToUtf8(s);
        if (it.selected) out << " [selected]";
        out << '\n';
    }
}
void DumpLines(std::ostringstream& out, const std::string& pad, const ui::TreeView& t) {
    for (int i = 1; i <= t.Count(); ++i) {
        auto n = t.Node(i);
        out << pad << "  node " << ToUtf8(n->Key()) << " \"" << ToUtf8(n->Text()) << '"';
        if (auto p = n->Parent()) out << " under " << ToUtf8(p->Key());
        out << '\n';
    }
}
void DumpLines(std::ostringstream& out, const std::string& pad, const ui::StatusBar& s) {
    for (int i = 1; i <= s.PanelCount(); ++i) out << pad << "  panel " << i << ": \"" << ToUtf8(s.GetPanel(i).text) << "\"\n";
}
void DumpLines(std::ostringstream& out, const std::string& pad, const ui::TabbedDialog& t) {
    for (int i = 0; i < t.Tabs(); ++i) out << pad << "  tab " << i << ": \"" << ToUtf8(t.TabCaption(i)) << "\"\n";
}

void DumpControl(std::ostringstream& out, const ui::Window& w, const ui::ControlRef& c, int depth, const DumpOptions& o) {
    if (!o.hiddenControls && !c->Visible() && c->GetKind() != ui::Kind::MenuItem) return;
    std::string pad(static_cast<std::size_t>(depth) * 2, ' ');
    out << pad << ui::KindName(c->GetKind()) << ' ' << ToUtf8(c->Name());
    if (c->Index() >= 0) out << '(' << c->Index() << ')';
    if (c->IsCaptionKind()) out << " \"" << ToUtf8(c->Caption()) << '"';
    if (!c->Visible()) out << " [hidden]";
    if (!c->Enabled()) out << " [disabled]";
    if (!c->Tag().empty()) out << " tag=" << ToUtf8(c->Tag());
    if (!c->Shortcut().empty()) out << " key=" << ToUtf8(c->Shortcut());
    bool hasGeometry =
        c->GetKind() != ui::Kind::MenuItem && c->GetKind() != ui::Kind::Timer && c->GetKind() != ui::Kind::ImageList;
    if (o.geometry && hasGeometry)
        out << " @" << Num(c->Left()) << ',' << Num(c->Top()) << ' ' << Num(c->Width()) << 'x' << Num(c->Height());
    ui::VisitAs<ui::Timer, ui::HostedControl, ui::ProgressBar>(*c, [&](const auto& x) { DumpState(out, x); });
    out << '\n';
    ui::VisitAs<ui::ListView, ui::TreeView, ui::StatusBar, ui::TabbedDialog>(*c, [&](const auto& x) { DumpLines(out, pad, x); });
    for (auto& k : w.Controls())
        if (k->Container() == c) DumpControl(out, w, k, depth + 1, o);
}
}  // namespace

std::string DumpWindow(const ui::Window& w, const DumpOptions& o) {
    std::ostringstream out;
    out << "Window " << ToUtf8(w.Name()) << " \"" << ToUtf8(w.Caption()) << '"';
    if (!w.IsShown()) out << " [not shown]";
    if (w.WindowState() == ui::state::kMinimized) out << " [minimized]";
    if (w.IconId()) out << " icon=" << w.IconId();
    if (o.geometry) out << ' ' << Num(w.Width()) << 'x' << Num(w.Height());
    out << '\n';
    for (auto& c : w.Controls())
        if (!c->Container()) DumpControl(out, w, c, 1, o);
    return out.str();
}

}  // namespace headless
