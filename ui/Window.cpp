#include "ui/Window.h"

#include <algorithm>
#include <exception>

namespace ui {
using automation::Raise;
namespace code = automation::code;

namespace {
// A control of the class that belongs to its kind, so that whoever meets the kind finds the class.
ControlRef MakeControl(Kind kind, const BStr& name, int index) {
    switch (kind) {
        case Kind::ListView: return std::make_shared<ListView>(name, index);
        case Kind::TreeView: return std::make_shared<TreeView>(name, index);
        case Kind::ImageList: return std::make_shared<ImageList>(name, index);
        case Kind::StatusBar: return std::make_shared<StatusBar>(name, index);
        case Kind::ProgressBar: return std::make_shared<ProgressBar>(name, index);
        case Kind::Timer: return std::make_shared<Timer>(name, index);
        case Kind::TabbedDialog: return std::make_shared<TabbedDialog>(name, index);
        case Kind::HostedControl: return std::make_shared<HostedControl>(name, index);
        default: return std::make_shared<Control>(kind, name, index);
    }
}

// What a loaded element takes over from its template beyond the common design properties.
void CopyKindDesign(const Control& from, Control& to) {
    if (auto* f = dynamic_cast<const ListView*>(&from)) {
        auto& t = dynamic_cast<ListView&>(to);
        for (int i = 1; i <= f->ColumnCount(); ++i) t.AddColumn(f->Column(i).key, f->Column(i).text, f->Column(i).width);
        t.SetSorted(f->Sorted());
        t.SetSortKey(f->SortKey());
        t.SetSortOrder(f->SortOrder());
        t.SetIcons(f->Icons());
        t.SetSmallIcons(f->SmallIcons());
        t.SetColumnHeaderIcons(f->ColumnHeaderIcons());
    } else if (auto* f = dynamic_cast<const Timer*>(&from)) {
        dynamic_cast<Timer&>(to).SetInterval(f->Interval());
    } else if (auto* f = dynamic_cast<const StatusBar*>(&from)) {
        auto& t = dynamic_cast<StatusBar&>(to);
        for (int i = 1; i <= f->PanelCount(); ++i) t.AddPanel(f->GetPanel(i));
    } else if (auto* f = dynamic_cast<const TabbedDialog*>(&from)) {
        auto& t = dynamic_cast<TabbedDialog&>(to);
        t.SetTabs(f->Tabs());
        for (int i = 0; i < f->Tabs(); ++i) t.SetTabCaption(i, f->TabCaption(i));
    } else if (auto* f = dynamic_cast<const ImageList*>(&from)) {
        for (const auto& k : f->Keys()) dynamic_cast<ImageList&>(to).AddImage(k);
    } else if (auto* f = dynamic_cast<const ProgressBar*>(&from)) {
        dynamic_cast<ProgressBar&>(to).SetMax(f->Max());
    } else if (auto* f = dynamic_cast<const HostedControl*>(&from)) {
        dynamic_cast<HostedControl&>(to).SetProgId(f->ProgId());
    }
}
}  // namespace

std::shared_ptr<Window> Window::Create(BStr name) {
    auto w = std::make_shared<Window>(std::move(name));
    CurrentPlatform().Attach(*w);
    return w;
}

Window::Window(BStr name) : KindControl(std::move(name), -1) { SetVisibleFromPlatform(false); }

Window::~Window() {
    for (auto& c : controls_) c->form_ = nullptr;
}

void Window::Adopt(const ControlRef& c, const ControlRef& container) {
    if (c->index_ >= 0 && Find(c->name_, c->index_)) Raise(code::kControlArrayElementExists, u"Object already loaded");
    c->form_ = this;
    c->container_ = container;
    controls_.push_back(c);
    try {
        if (auto p = InstalledPlatform()) p->Attach(*c);
    } catch (...) {
        controls_.pop_back();
        c->form_ = nullptr;
        throw;
    }
    ControlAdded.Raise(c);
}

ControlRef Window::AddPlain(Kind kind, const BStr& name, const ControlRef& container, int index) {
    auto c = MakeControl(kind, name, index);
    Adopt(c, container);
    return c;
}

ControlRef Window::Find(const BStr& name, int index) const {
    for (auto& c : controls_)
        if (c->name_ == name && (index < 0 || c->index_ == index)) return c;
    return nullptr;
}

ControlRef Window::Get(const BStr& name, int index) const {
    auto c = Find(name, index);
    if (!c) Raise(code::kObjectNotSet, u"No control " + name);
    return c;
}

std::vector<ControlRef> Window::Array(const BStr& name) const {
    std::vector<ControlRef> out;
    for (auto& c : controls_)
        if (c->name_ == name && c->index_ >= 0) out.push_back(c);
    std::stable_sort(out.begin(), out.end(), [](const ControlRef& a, const ControlRef& b) { return a->index_ < b->index_; });
    return out;
}

int Window::UBound(const BStr& name) const {
    auto a = Array(name);
    if (a.empty()) Raise(code::kObjectNotSet, u"No control array " + name);
    return a.back()->index_;
}

ControlRef Window::LoadElement(const BStr& name, int index) {
    auto a = Array(name);
    if (a.empty()) Raise(code::kObjectNotSet, u"No control array " + name);
    if (index < 0) Raise(code::kInvalidProcedureCall, u"Invalid control array index");
    if (Find(name, index)) Raise(code::kControlArrayElementExists, u"Object already loaded");
    const ControlRef tmpl = a.front();
    ControlRef c = MakeControl(tmpl->kind_, name, index);
    c->CopyDesignFrom(*tmpl);
    CopyKindDesign(*tmpl, *c);
    c->shortcut_.clear();
    Adopt(c, tmpl->Container());
    return c;
}

void Window::UnloadElement(const ControlRef& element) {
    if (!element || element->form_ != this) Raise(code::kObjectNotSet, u"Control is not loaded");
    if (element->index_ <= 0) Raise(code::kInvalidProcedureCall, u"Can't unload controls created at design time");
    Remove(element);
}

void Window::Remove(const ControlRef& ref) {
    // The caller's reference may live in controls_, which changes below.
    const ControlRef c = ref;  // NOLINT(performance-unnecessary-copy-initialization)
    // Controls inside it go first.
    std::vector<ControlRef> inside;
    for (auto& k : controls_)
        if (k->Container() == c) inside.push_back(k);
    for (auto& k : inside) Remove(k);
    ControlRemoved.Raise(c);
    if (auto p = InstalledPlatform()) p->Detach(*c);
    c->SetPeer(nullptr);
    c->form_ = nullptr;
    controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
}

std::shared_ptr<HostedControl> Window::ControlsAdd(const BStr& progId, const BStr& name, const ControlRef& container) {
    if (Find(name)) Raise(code::kKeyNotUnique, u"There is already a control with the name '" + name + u"'");
    auto c = std::make_shared<HostedControl>(name, -1);
    c->SetProgId(progId);
    Adopt(c, container);
    return c;
}

void Window::ControlsRemove(const BStr& name) {
    auto c = std::dynamic_pointer_cast<HostedControl>(Find(name));
    if (!c) Raise(code::kElementNotFound, u"Element not found");
    Remove(c);
}

void Window::SetIcon(int id) { Assign(iconId_, id, Prop::Icon); }

void Window::SetWindowState(int s) {
    windowState_ = s;
    Notify(Prop::WindowState);
    Resize.Raise();
}

float Window::ClientWidth() const {
    float w = 0, h = 0;
    if (GetPeer() && GetPeer()->ClientSize(w, h)) return w;
    return std::max(0.0f, Width() - kFrameWidth);
}
float Window::ClientHeight() const {
    float w = 0, h = 0;
    if (GetPeer() && GetPeer()->ClientSize(w, h)) return h;
    return std::max(0.0f, Height() - kFrameHeight);
}

void Window::SetWidth(float v) {
    if (v == Width()) return;
    Control::SetWidth(v);
    Resize.Raise();
}

void Window::SetHeight(float v) {
    if (v == Height()) return;
    Control::SetHeight(v);
    Resize.Raise();
}

void Window::SetSize(float width, float height) {
    if (width == Width() && height == Height()) return;
    Move(Left(), Top(), width, height);
    Resize.Raise();
}

void Window::Show() {
    const bool first = !shown_;
    shown_ = true;
    SetVisible(true);
    if (first) Resize.Raise();  // a window lays itself out when it first appears
}

void Window::Hide() {
    shown_ = false;
    SetVisible(false);
}

void Window::ShowModal(Window* owner) {
    shown_ = true;
    modal_ = true;
    // The platform shows the dialog itself once it belongs to its owner and the owner is
    // disabled; showing it earlier would let the owner take input while the dialog is up.
    SetVisibleFromPlatform(true);
    try {
        CurrentPlatform().ShowModal(*this, owner);
    } catch (...) {
        modal_ = false;
        throw;
    }
    modal_ = false;
}

void Window::Refresh() {
    // A hidden window has nothing on the screen to paint.
    if (IsShown()) ++repaints_;
    Notify(Prop::Visible);
}

std::intptr_t Window::Handle() const { return GetPeer() ? GetPeer()->Handle() : 0; }

void Window::EnterWhatsThisMode() {
    whatsThis_ = true;
    CurrentPlatform().EnterWhatsThisMode(*this);
}

void Window::RequestClose() {
    if (unloaded_ || unloading_) return;
    auto self = weak_from_this().lock();
    bool cancel = false;
    CloseRequested.Raise(cancel);
    if (!cancel) Unload();
}

void Window::Unload() {
    if (unloaded_ || unloading_) return;
    auto self = weak_from_this().lock();  // a handler may drop the last outside reference
    unloading_ = true;
    // Closing cannot be refused: a failing handler does not stop the unload. The first failure
    // goes to the caller once the window is gone.
    std::exception_ptr failure;
    try {
        QueryUnload.Raise();
    } catch (const automation::Error&) {
        failure = std::current_exception();
    }
    try {
        Unloading.Raise();
    } catch (const automation::Error&) {
        if (!failure) failure = std::current_exception();
    }
    unloaded_ = true;
    shown_ = false;
    modal_ = false;
    // Controls go last-created first, so containers outlive what they contain.
    while (!controls_.empty()) Remove(controls_.back());
    SetVisible(false);
    if (auto p = InstalledPlatform()) p->Detach(*this);
    SetPeer(nullptr);
    if (failure) std::rethrow_exception(failure);
}

}  // namespace ui
