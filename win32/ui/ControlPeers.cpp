// Peers of the simpler controls: labels, buttons, frames and picture boxes, the invisible grab
// area, menu items, the status bar, the progress bar, timers, the tabbed dialog and image lists.
#include <algorithm>
#include <memory>
#include <vector>

#include "automation/Error.h"
#include "win32/ui/GdiObject.h"
#include "win32/ui/NativePeer.h"
#include "win32/ui/WindowPeer.h"

namespace win32::backend {
namespace {

class LabelPeer final : public NativePeer {
public:
    using NativePeer::NativePeer;
    // The model's border is ignored: a label here is plain text.
    void Create() override { MakeChild(L"STATIC", SS_LEFT | SS_NOTIFY, 0, false); }
    void OnCommand(WORD code) override {
        if (code == STN_CLICKED) Fire(c_, c_.Click);
        else if (code == STN_DBLCLK) Fire(c_, c_.DblClick);
    }
};

class ButtonPeer final : public NativePeer {
public:
    using NativePeer::NativePeer;
    void Create() override {
        DWORD tab = c_.TabStop() ? WS_TABSTOP : 0;
        MakeChild(L"BUTTON", Style() | tab, 0, false);
    }
    void Changed(ui::Control& c, ui::Prop p) override {
        if (p == ui::Prop::Default && hwnd_) {
            SendMessageW(hwnd_, BM_SETSTYLE, Style(), TRUE);
            return;
        }
        NativePeer::Changed(c, p);
    }
    void OnCommand(WORD code) override {
        if (code == BN_CLICKED) Fire(c_, c_.Click);
    }

private:
    DWORD Style() const {
        switch (c_.GetKind()) {
            case ui::Kind::OptionButton: return BS_AUTORADIOBUTTON;
            case ui::Kind::CheckBox: return BS_AUTOCHECKBOX;
            default: return c_.IsDefault() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        }
    }
};

// Frames and picture boxes: windows of our own class that hold other controls.
class FramePeer final : public NativePeer {
public:
    using NativePeer::NativePeer;
    ~FramePeer() override { FramePeer::Release(); }

    void Create() override {
        const bool picture = c_.GetKind() == ui::Kind::PictureBox;
        if (picture) brush_ = GdiObject(GdiObject::Type::Brush, CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW)));
        DWORD ex = WS_EX_CONTROLPARENT | (picture && c_.BorderStyle() != 0 ? WS_EX_CLIENTEDGE : 0);
        MakeChild(kContainerClass, WS_CLIPCHILDREN, ex, true);
    }
    void Release() override {
        NativePeer::Release();
        brush_.Reset();
    }
    HWND ChildParent() const override { return hwnd_; }

    void Changed(ui::Control& c, ui::Prop p) override {
        if (!hwnd_) return;
        if (p == ui::Prop::Border) {
            if (c.GetKind() == ui::Kind::PictureBox) SetStyleBit(WS_EX_CLIENTEDGE, c.BorderStyle() != 0, true);
            InvalidateRect(hwnd_, nullptr, TRUE);
            return;
        }
        NativePeer::Changed(c, p);
        if (p == ui::Prop::Caption || p == ui::Prop::Enabled) InvalidateRect(hwnd_, nullptr, TRUE);
    }

    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        switch (msg) {
            case WM_ERASEBKGND:
                if (!brush_) return false;
                {
                    RECT rc;
                    GetClientRect(hwnd_, &rc);
                    FillRect(reinterpret_cast<HDC>(wp), &rc, brush_.Brush());
                }
                result = 1;
                return true;
            case WM_PAINT:
                Paint();
                result = 0;
                return true;
            default: return ReportMouse(msg, wp, lp);
        }
    }

private:
    // A frame with a border looks like a group box: an etched line with the caption on it.
    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        if (c_.GetKind() == ui::Kind::Frame && c_.BorderStyle() != 0) {
            RECT rc;
            GetClientRect(hwnd_, &rc);
            WindowPeer* form = b_.FormPeer(c_);
            HGDIOBJ oldFont = form && form->Font() ? SelectObject(dc, form->Font()) : nullptr;
            TEXTMETRICW tm{};
            GetTextMetricsW(dc, &tm);
            RECT box = rc;
            box.top += tm.tmHeight / 2;
            DrawEdge(dc, &box, EDGE_ETCHED, BF_RECT);
            const auto& text = c_.Caption();
            if (!text.empty()) {
                RECT t{0, 0, std::max(0L, rc.right - 16), tm.tmHeight};
                DrawTextW(dc, W(text), -1, &t, DT_SINGLELINE | DT_CALCRECT);
                t.right = std::min(t.right, rc.right - 12);
                OffsetRect(&t, 8, 0);
                RECT back = t;
                InflateRect(&back, 2, 0);
                FillRect(dc, &back, GetSysColorBrush(COLOR_BTNFACE));
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, GetSysColor(c_.Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
                DrawTextW(dc, W(text), -1, &t, DT_SINGLELINE | DT_END_ELLIPSIS);
            }
            if (oldFont) SelectObject(dc, oldFont);
        }
        EndPaint(hwnd_, &ps);
    }

    GdiObject brush_;
};

// The invisible grab area: paints nothing and reports the mouse.
class GrabPeer final : public NativePeer {
public:
    using NativePeer::NativePeer;
    void Create() override { MakeChild(kGrabClass, 0, WS_EX_TRANSPARENT, true); }
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        switch (msg) {
            case WM_ERASEBKGND: result = 1; return true;
            case WM_PAINT:
                ValidateRect(hwnd_, nullptr);
                result = 0;
                return true;
            default: return ReportMouse(msg, wp, lp);
        }
    }
};

// A menu item has no window: it is an entry of its form's menu bar, found by its command id.
class MenuPeer final : public NativePeer {
public:
    using NativePeer::NativePeer;
    ~MenuPeer() override { MenuPeer::Release(); }
    void Create() override { id_ = b_.NewId(this); }
    void Attached() override {
        if (auto* form = b_.FormPeer(c_)) form->MenusChanged(nullptr);
    }
    void Release() override {
        if (!id_) return;
        NativePeer::Release();
        if (auto* form = b_.FormPeer(c_)) form->MenusChanged(&c_);
    }
    void Changed(ui::Control&, ui::Prop p) override {
        if (p == ui::Prop::Caption || p == ui::Prop::Visible || p == ui::Prop::Enabled || p == ui::Prop::Shortcut)
            if (auto* form = b_.FormPeer(c_)) form->MenusChanged(nullptr);
    }
    void OnCommand(WORD) override { Fire(c_, c_.Click); }
};

// The status bar keeps itself at the bottom of its form; the model learns where it went.
class StatusBarPeer final : public NativePeer {
public:
    StatusBarPeer(Backend& b, ui::StatusBar& s) : NativePeer(b, s), bar_(s) {}
    void Create() override {
        MakeChild(STATUSCLASSNAMEW, SBARS_SIZEGRIP | SBARS_TOOLTIPS | WS_CLIPCHILDREN | CCS_BOTTOM, 0, false, L"");
        ApplyPanels();
        Align();
    }
    HWND ChildParent() const override { return hwnd_; }
    void ParentResized() override { Align(); }
    void Changed(ui::Control& c, ui::Prop p) override {
        if (!hwnd_) return;
        switch (p) {
            case ui::Prop::Geometry: Align(); break;
            case ui::Prop::Panels: ApplyPanels(); break;
            case ui::Prop::Caption: break;
            default: NativePeer::Changed(c, p); break;
        }
    }

private:
    void Align() {
        SendMessageW(hwnd_, WM_SIZE, 0, 0);
        ApplyParts();
        RECT r;
        GetWindowRect(hwnd_, &r);
        MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
        c_.SetGeometryFromPlatform(b_.TwipsX(r.left), b_.TwipsY(r.top), b_.TwipsX(r.right - r.left), b_.TwipsY(r.bottom - r.top));
    }
    // Fixed panels keep their width; springs share what is left (never less than their own width).
    void ApplyParts() {
        RECT rc;
        GetClientRect(hwnd_, &rc);
        const int n = bar_.PanelCount();
        if (n == 0) {
            int edge = -1;
            SendMessageW(hwnd_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&edge));
            return;
        }
        std::vector<int> widths(static_cast<std::size_t>(n));
        int fixed = 0, springs = 0;
        for (int i = 1; i <= n; ++i) {
            widths[i - 1] = std::max(0, b_.PxX(bar_.GetPanel(i).width));
            fixed += widths[i - 1];
            if (bar_.GetPanel(i).spring) ++springs;
        }
        if (springs > 0 && rc.right > fixed) {
            const int extra = (rc.right - fixed) / springs;
            for (int i = 1; i <= n; ++i)
                if (bar_.GetPanel(i).spring) widths[i - 1] += extra;
        }
        std::vector<int> edges(static_cast<std::size_t>(n));
        int x = 0;
        for (int i = 0; i < n; ++i) edges[i] = x += widths[i];
        if (springs > 0) edges.back() = -1;
        SendMessageW(hwnd_, SB_SETPARTS, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(edges.data()));
    }
    void ApplyPanels() {
        ApplyParts();
        for (int i = 1; i <= bar_.PanelCount(); ++i) {
            const auto& panel = bar_.GetPanel(i);
            SendMessageW(hwnd_, SB_SETTEXTW, static_cast<WPARAM>(i - 1), reinterpret_cast<LPARAM>(W(panel.text)));
            SendMessageW(hwnd_, SB_SETTIPTEXTW, static_cast<WPARAM>(i - 1), reinterpret_cast<LPARAM>(W(panel.toolTipText)));
        }
    }
    ui::StatusBar& bar_;
};

class ProgressPeer final : public NativePeer {
public:
    ProgressPeer(Backend& b, ui::ProgressBar& p) : NativePeer(b, p), bar_(p) {}
    void Create() override {
        MakeChild(PROGRESS_CLASSW, 0, 0, false, L"");
        ApplyValue();
    }
    void Changed(ui::Control& c, ui::Prop p) override {
        if (p == ui::Prop::Value && hwnd_) ApplyValue();
        else NativePeer::Changed(c, p);
    }

private:
    void ApplyValue() {
        SendMessageW(hwnd_, PBM_SETRANGE32, 0, bar_.Max());
        SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(bar_.Value()), 0);
    }
    ui::ProgressBar& bar_;
};

// A WM_TIMER timer on the backend's hidden window; setting Enabled or Interval restarts it.
class TimerPeer final : public NativePeer {
public:
    TimerPeer(Backend& b, ui::Timer& t) : NativePeer(b, t), timer_(t) {}
    ~TimerPeer() override { TimerPeer::Release(); }
    void Create() override {
        id_ = b_.NewId(this);
        Arm();
    }
    void Release() override {
        if (id_) KillTimer(b_.MessageWindow(), id_);
        NativePeer::Release();
    }
    void Changed(ui::Control&, ui::Prop p) override {
        if (p == ui::Prop::Enabled || p == ui::Prop::Interval) Arm();
    }
    bool OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) override {
        if (msg != WM_TIMER) return false;
        result = 0;
        // A tick whose handler lets messages run does not tick again inside itself.
        if (*ticking_) return true;
        auto flag = ticking_;
        *flag = true;
        struct Done {
            std::shared_ptr<bool> f;
            ~Done() { *f = false; }
        } done{flag};
        Fire(c_, timer_.Tick);
        return true;
    }

private:
    void Arm() {
        HWND w = b_.MessageWindow();
        KillTimer(w, id_);
        if (timer_.Enabled() && timer_.Interval() > 0) SetTimer(w, id_, static_cast<UINT>(timer_.Interval()), nullptr);
    }
    ui::Timer& timer_;
    std::shared_ptr<bool> ticking_ = std::make_shared<bool>(false);
};

// A tab strip in a container of our own: the container holds the controls placed on the tabs.
class TabbedPeer final : public NativePeer {
public:
    TabbedPeer(Backend& b, ui::TabbedDialog& t) : NativePeer(b, t), tabs_(t) {}
    void Create() override {
        MakeChild(kContainerClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, true);
        RECT rc;
        GetClientRect(hwnd_, &rc);
        strip_ = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, rc.right, rc.bottom,
                                 hwnd_, nullptr, b_.Module(), nullptr);
        if (!strip_) automation::Raise(automation::code::kFail, u"Cannot create the window of " + c_.Name());
        if (auto* form = b_.FormPeer(c_); form && form->Font())
            SendMessageW(strip_, WM_SETFONT, reinterpret_cast<WPARAM>(form->Font()), FALSE);
        ApplyTabs();
    }
    HWND ChildParent() const override { return hwnd_; }
    void ChildCreated(HWND) override { SetWindowPos(strip_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); }
    void Changed(ui::Control& c, ui::Prop p) override {
        if (!hwnd_) return;
        if (p == ui::Prop::Tabs) {
            ApplyTabs();
            return;
        }
        NativePeer::Changed(c, p);
    }
    void Placed() override {
        RECT rc;
        GetClientRect(hwnd_, &rc);
        SetWindowPos(strip_, nullptr, 0, 0, rc.right, rc.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT&) override { return ReportMouse(msg, wp, lp); }

private:
    void ApplyTabs() {
        SendMessageW(strip_, TCM_DELETEALLITEMS, 0, 0);
        for (int i = 0; i < tabs_.Tabs(); ++i) {
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<wchar_t*>(W(tabs_.TabCaption(i)));
            SendMessageW(strip_, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        }
    }
    ui::TabbedDialog& tabs_;
    HWND strip_ = nullptr;  // a child of hwnd_: it goes with it
};

// Image lists hold one simple 16x16 picture per key: a coloured square told apart by its key. The
// list keeps its handle for life (the tree and lists hold it), so new keys are drawn into it.
// Keys are only ever added, one by one as a form is made: the pictures wait until the list is
// first handed out and are then drawn in one strip (each screen DC and bitmap costs round trips
// to the Wine server); after that each new key is drawn as it comes.
class ImageListPeer final : public NativePeer {
public:
    ImageListPeer(Backend& b, ui::ImageList& l) : NativePeer(b, l), list_(l) {}
    ~ImageListPeer() override { ImageListPeer::Release(); }
    void Create() override {
        images_ = std::make_shared<GdiObject>(
            GdiObject::Type::ImageList,
            ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, static_cast<int>(list_.Keys().size()), 4));
        if (!*images_) automation::Raise(automation::code::kFail, u"Cannot create the image list " + c_.Name());
    }
    void Release() override {
        images_.reset();
        NativePeer::Release();
    }
    std::intptr_t Handle() const override {
        HandOut();
        return images_ ? reinterpret_cast<std::intptr_t>(images_->ImageList()) : 0;
    }
    void Changed(ui::Control&, ui::Prop p) override {
        if (p == ui::Prop::Items && images_ && handedOut_) Draw();
    }
    std::shared_ptr<GdiObject> Shared() const {
        HandOut();
        return images_;
    }

private:
    void HandOut() const {
        if (!images_) return;
        handedOut_ = true;
        Draw();
    }
    // The pictures of the keys the list does not hold yet, in one strip.
    void Draw() const {
        HIMAGELIST list = images_->ImageList();
        const auto& keys = list_.Keys();
        auto have = static_cast<std::size_t>(std::max(0, ImageList_GetImageCount(list)));
        if (have > keys.size()) {
            ImageList_RemoveAll(list);
            have = 0;
        }
        if (have == keys.size()) return;
        const int n = static_cast<int>(keys.size() - have);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        GdiObject bitmap(GdiObject::Type::Bitmap, CreateCompatibleBitmap(screen, 16 * n, 16));
        GdiObject mask(GdiObject::Type::Bitmap, CreateBitmap(16 * n, 16, 1, 1, nullptr));
        if (bitmap && mask) {
            RECT all{0, 0, 16 * n, 16};
            auto square = [](int i) { return RECT{16 * i + 2, 2, 16 * i + 14, 14}; };
            HGDIOBJ old = SelectObject(dc, mask.Bitmap());
            // Mask: white is transparent, black is drawn.
            FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            for (int i = 0; i < n; ++i) {
                RECT r = square(i);
                FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            }
            SelectObject(dc, bitmap.Bitmap());
            FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            for (int i = 0; i < n; ++i) {
                unsigned hash = 2166136261u;
                for (char16_t ch : keys[have + static_cast<std::size_t>(i)]) hash = (hash ^ ch) * 16777619u;
                GdiObject fill(GdiObject::Type::Brush,
                               CreateSolidBrush(RGB(64 + (hash & 0x7F), 64 + ((hash >> 8) & 0x7F), 64 + ((hash >> 16) & 0x7F))));
                RECT r = square(i);
                FillRect(dc, &r, fill.Brush());
                FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWTEXT));
            }
            SelectObject(dc, old);
            ImageList_Add(list, bitmap.Bitmap(), mask.Bitmap());  // n pictures, 16 pixels wide each
        }
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }
    ui::ImageList& list_;
    std::shared_ptr<GdiObject> images_;
    mutable bool handedOut_ = false;
};

// A control of a kind the backend draws nothing for (a plain element of a specialised kind).
class InertPeer final : public NativePeer {
public:
    using NativePeer::NativePeer;
    void Create() override {}
};

std::unique_ptr<NativePeer> MakeTypedPeer(Backend& b, ui::ImageList& l) { return std::make_unique<ImageListPeer>(b, l); }
std::unique_ptr<NativePeer> MakeTypedPeer(Backend& b, ui::StatusBar& s) { return std::make_unique<StatusBarPeer>(b, s); }
std::unique_ptr<NativePeer> MakeTypedPeer(Backend& b, ui::ProgressBar& p) { return std::make_unique<ProgressPeer>(b, p); }
std::unique_ptr<NativePeer> MakeTypedPeer(Backend& b, ui::Timer& t) { return std::make_unique<TimerPeer>(b, t); }
std::unique_ptr<NativePeer> MakeTypedPeer(Backend& b, ui::TabbedDialog& t) { return std::make_unique<TabbedPeer>(b, t); }

}  // namespace

std::shared_ptr<GdiObject> SharedImages(const std::shared_ptr<ui::ImageList>& images) {
    auto* peer = images ? dynamic_cast<ImageListPeer*>(images->GetPeer()) : nullptr;
    return peer ? peer->Shared() : nullptr;
}

std::unique_ptr<NativePeer> MakePeer(Backend& b, ui::Control& c) {
    std::unique_ptr<NativePeer> peer;
    // A control of its kind's own class gets that class's peer.
    if (ui::VisitAs<ui::Window, ui::ListView, ui::TreeView, ui::ImageList, ui::StatusBar, ui::ProgressBar, ui::Timer,
                    ui::TabbedDialog, ui::HostedControl>(c, [&](auto& typed) { peer = MakeTypedPeer(b, typed); }))
        return peer;
    switch (c.GetKind()) {
        case ui::Kind::Label: return std::make_unique<LabelPeer>(b, c);
        case ui::Kind::CommandButton:
        case ui::Kind::OptionButton:
        case ui::Kind::CheckBox: return std::make_unique<ButtonPeer>(b, c);
        case ui::Kind::Frame:
        case ui::Kind::PictureBox: return std::make_unique<FramePeer>(b, c);
        case ui::Kind::Image: return std::make_unique<GrabPeer>(b, c);
        case ui::Kind::MenuItem: return std::make_unique<MenuPeer>(b, c);
        default: return std::make_unique<InertPeer>(b, c);
    }
}

}  // namespace win32::backend
