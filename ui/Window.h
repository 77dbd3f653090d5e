#pragma once
// A top-level window and the controls it is made of, in its own control order. Controls of the
// same name with indexes form a control array whose elements are loaded and unloaded at run time.
#include <memory>
#include <vector>

#include "automation/Error.h"
#include "ui/Control.h"
#include "ui/ListView.h"
#include "ui/Platform.h"
#include "ui/TreeView.h"
#include "ui/Widgets.h"

namespace ui {

namespace state {
inline constexpr int kNormal = 0;
inline constexpr int kMinimized = 1;
inline constexpr int kMaximized = 2;
}  // namespace state

class Window : public KindControl<Kind::Window> {
public:
    // Creates the window on the installed platform.
    static std::shared_ptr<Window> Create(BStr name);
    explicit Window(BStr name);
    ~Window() override;

    // Design: adds a control of kind T (or a plain control of a caption kind) to the window.
    template <class T>
    std::shared_ptr<T> Add(BStr name, const ControlRef& container = nullptr, int index = -1) {
        auto c = std::make_shared<T>(std::move(name), index);
        Adopt(c, container);
        return c;
    }
    ControlRef AddPlain(Kind kind, const BStr& name, const ControlRef& container = nullptr, int index = -1);

    const std::vector<ControlRef>& Controls() const { return controls_; }
    ControlRef Find(const BStr& name, int index = -1) const;
    template <class T>
    std::shared_ptr<T> Get(const BStr& name, int index = -1) const {
        auto c = std::dynamic_pointer_cast<T>(Find(name, index));
        if (!c) automation::Raise(automation::code::kObjectNotSet, u"No control " + name);
        return c;
    }
    ControlRef Get(const BStr& name, int index = -1) const;

    // Control arrays.
    std::vector<ControlRef> Array(const BStr& name) const;  // ordered by index
    int UBound(const BStr& name) const;                     // an unknown array is an error
    // Loads a new element as a copy of the array's lowest element (hidden); an existing index is an error.
    ControlRef LoadElement(const BStr& name, int index);
    // Unloads a run-time element; the design element 0 cannot be unloaded.
    void UnloadElement(const ControlRef& element);

    // Run-time creation of a visual control from a ProgID (`Controls.Add`), and its removal.
    std::shared_ptr<HostedControl> ControlsAdd(const BStr& progId, const BStr& name, const ControlRef& container);
    void ControlsRemove(const BStr& name);

    int IconId() const { return iconId_; }
    void SetIcon(int resourceId);
    int WindowState() const { return windowState_; }
    void SetWindowState(int s);
    float ClientWidth() const;
    float ClientHeight() const;
    void SetWidth(float v) override;
    void SetHeight(float v) override;
    // Width and height at once: one move of the window and one Resize, where each alone raises its own.
    void SetSize(float width, float height);

    void Show();
    void Hide();
    bool IsShown() const { return shown_; }
    void ShowModal(Window* owner);
    bool IsModal() const { return modal_; }
    void Refresh();
    int RepaintCount() const { return repaints_; }
    std::intptr_t Handle() const;
    bool InWhatsThisMode() const { return whatsThis_; }
    void EnterWhatsThisMode();

    // Unloads the window: QueryUnload, then Unloading, then every control goes. Closing cannot
    // be refused: a handler that fails does not stop it; the first failure reaches the caller
    // after the window has gone. Later calls, and calls from inside its own events, do nothing.
    void Unload();
    bool IsUnloaded() const { return unloaded_; }
    // The user closes the window through its frame: CloseRequested may cancel; otherwise Unload.
    void RequestClose();

    automation::Event<> Activate;
    automation::Event<> Deactivate;
    automation::Event<> Resize;
    automation::Event<> QueryUnload;
    automation::Event<> Unloading;
    automation::Event<bool&> CloseRequested;  // set the flag to keep the window
    // A control joined or is about to leave the window (array elements loaded at run time too).
    automation::Event<const ControlRef&> ControlAdded;
    automation::Event<const ControlRef&> ControlRemoved;

    // Backend side.
    void SetModalFromPlatform(bool m) { modal_ = m; }
    void SetWindowStateFromPlatform(int s) { windowState_ = s; }
    void SetWhatsThisFromPlatform(bool w) { whatsThis_ = w; }

    // Border the headless platform assumes around the client area (twips).
    static constexpr float kFrameWidth = 120;
    static constexpr float kFrameHeight = 690;

private:
    void Adopt(const ControlRef& c, const ControlRef& container);
    void Remove(const ControlRef& c);
    std::vector<ControlRef> controls_;
    int iconId_ = 0;
    int windowState_ = state::kNormal;
    bool shown_ = false, modal_ = false, whatsThis_ = false, unloaded_ = false, unloading_ = false;
    int repaints_ = 0;
};

using WindowRef = std::shared_ptr<Window>;

}  // namespace ui
