#pragma once
// The peer of a top-level window: its frame, caption, icon, size and state, the menu bar built
// from its menu items, the shared font of its controls and their tooltips.
#include <memory>
#include <utility>
#include <vector>

#include "win32/ui/GdiObject.h"
#include "win32/ui/NativePeer.h"

namespace win32::backend {

class WindowPeer final : public NativePeer {
public:
    WindowPeer(Backend& b, ui::Window& w) : NativePeer(b, w) {}
    ~WindowPeer() override;

    void Create() override;
    void Release() override;
    void Changed(ui::Control& c, ui::Prop p) override;
    bool ClientSize(float& width, float& height) const override;
    HWND ChildParent() const override { return hwnd_; }
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

    ui::Window& Form() const { return static_cast<ui::Window&>(c_); }
    HFONT Font() const { return font_.Font(); }
    // Rebuilds the menu bar from the menu items; `leaving` is an item that is being unloaded.
    void MenusChanged(const ui::Control* leaving);
    void SetToolTip(HWND tool, const automation::BStr& text);
    // Applies what the controls noted while hidden, before the form or the container `within`
    // shows; hidden controls and those behind a hidden container wait for their own showing.
    void PlaceControls(const ui::Control* within = nullptr);
    // Centres the window on the screen, or over another window when the model never placed it.
    void CenterOver(HWND other);
    // The command of the menu item whose shortcut is this key with the modifiers now held; 0 when
    // no shown, enabled item has it.
    UINT ShortcutCommand(WPARAM key, bool altDown) const;

private:
    void ApplyFormGeometry();
    void PlaceForm();
    void ApplyFormVisible();
    void ApplyState();
    void ApplyIcon();
    // One entry of a menu as it is to show: the item, its text, MF_ flags and command id.
    struct MenuEntry {
        ui::ControlRef item;
        automation::BStr text;
        UINT flags;
        UINT id;
    };
    struct BarEntry {
        automation::BStr text;
        UINT flags;
        UINT id;
        bool operator==(const BarEntry& o) const { return text == o.text && flags == o.flags && id == o.id; }
    };
    void BuildMenus(const ui::Control* leaving);
    std::vector<MenuEntry> MenuEntries(const ui::Control* parent, const ui::Control* leaving) const;
    void AddMenuItems(HMENU menu, const std::vector<MenuEntry>& entries, const ui::Control* leaving);
    void SizedByPlatform(WPARAM kind);
    bool PixelsDiffer() const;
    bool PlacedByModel() const;

    struct Shortcut {
        WORD key;
        BYTE modifiers;  // FCONTROL, FSHIFT, FALT
        UINT command;
        std::weak_ptr<ui::Control> item;
    };

    GdiObject font_;
    std::vector<std::pair<HMENU, std::weak_ptr<ui::Control>>> popups_;  // each popup's menu item
    std::vector<Shortcut> shortcuts_;                                   // of the items the menu bar shows
    HMENU bar_ = nullptr;                                               // the bar we set, and what it showed
    std::vector<BarEntry> barShape_;
    HWND tooltip_ = nullptr;
    HWND lastFocus_ = nullptr;
    bool applying_ = false;
    bool shownOnce_ = false;
    bool autoPlaced_ = false;
    bool menusDirty_ = false;  // the bar waits for the window to show
    bool formPlacePending_ = false;
};

}  // namespace win32::backend
