// Peers of the report list (WC_LISTVIEW) and the tree (WC_TREEVIEW). Both show the model's rows in
// the model's order and take the user's selection back into the model.
#include <algorithm>
#include <memory>
#include <vector>

#include "win32/ui/GdiObject.h"
#include "win32/ui/NativePeer.h"

namespace win32::backend {
namespace {

// The 0-based image of a key in an image list, or none.
int ImageIndex(const std::shared_ptr<ui::ImageList>& images, const automation::BStr& key) {
    const int index = images ? images->IndexOf(key) : 0;
    return index > 0 ? index - 1 : I_IMAGENONE;
}

// Sets a flag for the life of a scope; the flag is shared so that it outlives the peer.
class FlagScope {
public:
    explicit FlagScope(std::shared_ptr<bool> flag) : flag_(std::move(flag)) { *flag_ = true; }
    ~FlagScope() { *flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    std::shared_ptr<bool> flag_;
};

// A list or a tree: shows the model's rows, drawing from image lists it holds for as long as its
// window may draw, and keeps its own selection changes from coming back as the user's.
class RowsPeer : public NativePeer {
public:
    RowsPeer(Backend& b, ui::Control& c, const wchar_t* windowClass, DWORD style)
        : NativePeer(b, c), windowClass_(windowClass), style_(style) {}
    ~RowsPeer() override { RowsPeer::Release(); }
    // The window goes before the images it draws with.
    void Release() override {
        NativePeer::Release();
        held_.clear();
    }

    void Create() override {
        MakeChild(windowClass_, style_ | (c_.TabStop() ? WS_TABSTOP : 0), WS_EX_CLIENTEDGE, false, L"");
        Created();
        ApplyImages();
    }

    void Changed(ui::Control& c, ui::Prop p) override {
        if (!hwnd_) return;
        switch (p) {
            case ui::Prop::Images: ApplyImages(); break;
            case ui::Prop::Items:
            case ui::Prop::Sort:
            case ui::Prop::Nodes: ApplyRows(); break;
            case ui::Prop::Selection:
                if (!*syncing_) ApplySelection();
                break;
            case ui::Prop::Caption: break;
            default: NativePeer::Changed(c, p); break;
        }
    }

    bool OnNotify(NMHDR& nm, LRESULT& result) override {
        result = 0;
        switch (nm.code) {
            case NM_CLICK: Fire(c_, c_.Click); return true;
            case NM_DBLCLK: Fire(c_, c_.DblClick); return true;
            default: return false;
        }
    }

protected:
    // The window is there; the images and rows come next.
    virtual void Created() {}
    virtual void ApplyImages() = 0;
    virtual void ApplyRows() = 0;
    virtual void ApplySelection() = 0;

    std::vector<std::shared_ptr<GdiObject>> held_;
    std::shared_ptr<bool> syncing_ = std::make_shared<bool>(false);

private:
    const wchar_t* windowClass_;
    DWORD style_;
};

class ListViewPeer final : public RowsPeer {
public:
    // The image lists belong to their own control: the list must not destroy them.
    ListViewPeer(Backend& b, ui::ListView& l)
        : RowsPeer(b, l, WC_LISTVIEWW, LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | LVS_SHAREIMAGELISTS), list_(l) {}

    void ApplyPending() override {
        if (columnsPending_ && hwnd_) ApplyColumns();
        NativePeer::ApplyPending();
    }

    void Changed(ui::Control& c, ui::Prop p) override {
        if (p == ui::Prop::Columns && hwnd_) ColumnsChanged();
        else RowsPeer::Changed(c, p);
    }

    // Mouse presses reach the model before the list runs its own click handling.
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        if (msg != WM_LBUTTONDOWN && msg != WM_RBUTTONDOWN && msg != WM_MBUTTONDOWN) return false;
        const std::int16_t button = msg == WM_LBUTTONDOWN ? 1 : msg == WM_RBUTTONDOWN ? 2 : 4;
        HWND h = hwnd_;
        auto token = Token();
        Fire(c_, c_.MouseDown, button, ShiftState(), b_.TwipsX(static_cast<short>(LOWORD(lp))),
             b_.TwipsY(static_cast<short>(HIWORD(lp))));
        if (token.expired() || !IsWindow(h)) {
            result = 0;
            return true;
        }
        (void)wp;
        return false;
    }

    bool OnNotify(NMHDR& nm, LRESULT& result) override {
        result = 0;
        if (nm.hwndFrom != hwnd_) {
            // The header: a divider was dragged.
            if ((nm.code == HDN_ITEMCHANGEDW || nm.code == HDN_ENDTRACKW) && !*applyingColumns_) ReadColumnWidths();
            return false;
        }
        switch (nm.code) {
            case LVN_COLUMNCLICK: Fire(c_, list_.ColumnClick, reinterpret_cast<NMLISTVIEW&>(nm).iSubItem + 1); return true;
            case LVN_ITEMCHANGED:
                if (!*syncing_) TakeSelection(reinterpret_cast<NMLISTVIEW&>(nm));
                return true;
            case LVN_KEYDOWN:
                Fire(c_, c_.KeyDown, static_cast<std::int16_t>(reinterpret_cast<NMLVKEYDOWN&>(nm).wVKey), ShiftState());
                return true;
            default: return RowsPeer::OnNotify(nm, result);
        }
    }

private:
    void Created() override {
        SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        ColumnsChanged();
    }

    // Each list is held for as long as the control may draw from it; the rows take their images
    // from the keys again.
    // Only a list that changes is handed over: a new small-icon list lays the rows and the header
    // out again, and a new list is told of its three image lists one by one.
    void ApplyImages() override {
        // Normal, small and header images.
        std::vector<std::shared_ptr<GdiObject>> now{SharedImages(list_.Icons()), SharedImages(list_.SmallIcons()),
                                                    SharedImages(list_.ColumnHeaderIcons())};
        auto handle = [](const std::shared_ptr<GdiObject>& g) { return reinterpret_cast<LPARAM>(g ? g->ImageList() : nullptr); };
        // A new list view has none.
        auto changed = [&](std::size_t i) { return handle(now[i]) != (i < held_.size() ? handle(held_[i]) : 0); };
        if (changed(0)) SendMessageW(hwnd_, LVM_SETIMAGELIST, LVSIL_NORMAL, handle(now[0]));
        if (changed(1)) SendMessageW(hwnd_, LVM_SETIMAGELIST, LVSIL_SMALL, handle(now[1]));
        if (changed(2))
            if (HWND h = reinterpret_cast<HWND>(SendMessageW(hwnd_, LVM_GETHEADER, 0, 0)))
                SendMessageW(h, HDM_SETIMAGELIST, 0, handle(now[2]));
        held_ = std::move(now);
        ApplyRows();
    }

    // A list behind a hidden form or frame gets its columns when that shows: a form is loaded with its columns'
    // design captions and then given their captions for the user's language, and each change of a
    // column is a change of the header's item with its notifications and a layout of the header.
    void ColumnsChanged() {
        if (BehindHiddenWindow()) columnsPending_ = true;
        else ApplyColumns();
    }

    // Changes only what differs from the columns shown: a rebuild of them all on every change
    // costs a storm of header messages.
    void ApplyColumns() {
        columnsPending_ = false;
        FlagScope busy(syncing_);
        FlagScope columns(applyingColumns_);
        const int want = list_.ColumnCount();
        // Without redraw the list lays its header out once, not at every column.
        SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
        while (static_cast<int>(shown_.size()) > want) {
            SendMessageW(hwnd_, LVM_DELETECOLUMN, static_cast<WPARAM>(shown_.size() - 1), 0);
            shown_.pop_back();
        }
        for (int i = 1; i <= want; ++i) {
            const auto& col = list_.Column(i);
            const int px = b_.PxX(col.width);
            LVCOLUMNW lc{};
            lc.pszText = const_cast<wchar_t*>(W(col.text));
            lc.cx = px;
            if (i > static_cast<int>(shown_.size())) {
                lc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
                lc.fmt = LVCFMT_LEFT;
                lc.iSubItem = i - 1;
                SendMessageW(hwnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i - 1), reinterpret_cast<LPARAM>(&lc));
                shown_.push_back(ShownColumn{col.text, px});
                continue;
            }
            ShownColumn& now = shown_[static_cast<std::size_t>(i - 1)];
            if (now.text != col.text) lc.mask |= LVCF_TEXT;
            if (now.px != px) lc.mask |= LVCF_WIDTH;
            if (!lc.mask) continue;
            SendMessageW(hwnd_, LVM_SETCOLUMNW, static_cast<WPARAM>(i - 1), reinterpret_cast<LPARAM>(&lc));
            now = ShownColumn{col.text, px};
        }
        SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    }

    // Rows in display order (sorted by the model when it sorts); each row keeps its item's index.
    void ApplyRows() override {
        // Nothing shown and nothing to show: the redraw switch alone costs round trips to the Wine
        // server, and a new list is told of its columns, images and sort order one by one.
        if (shownRows_ == 0 && list_.Count() == 0) return;
        // The rows' sub-items go into columns.
        if (columnsPending_) ApplyColumns();
        FlagScope busy(syncing_);
        SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
        SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0);
        int row = 0;
        for (int index : list_.DisplayOrder()) {
            const auto& item = list_.Item(index);
            LVITEMW it{};
            it.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE | LVIF_IMAGE;
            it.iItem = row;
            // Rows of a report show the small icon.
            it.iImage = ImageIndex(list_.SmallIcons(), item.smallIcon);
            it.pszText = const_cast<wchar_t*>(W(item.text));
            it.lParam = index;
            it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            it.state = item.selected ? (LVIS_SELECTED | LVIS_FOCUSED) : 0;
            int at = static_cast<int>(SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)));
            for (std::size_t s = 0; s < item.subItems.size(); ++s) {
                LVITEMW sub{};
                sub.iSubItem = static_cast<int>(s) + 1;
                sub.pszText = const_cast<wchar_t*>(W(item.subItems[s]));
                SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&sub));
            }
            ++row;
        }
        shownRows_ = row;
        SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(hwnd_, nullptr, TRUE);
    }

    void ApplySelection() override {
        FlagScope busy(syncing_);
        const int rows = static_cast<int>(SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0));
        for (int r = 0; r < rows; ++r) {
            const int index = ItemIndexOfRow(r);
            if (index < 1 || index > list_.Count()) continue;
            LVITEMW it{};
            it.stateMask = LVIS_SELECTED;
            it.state = list_.Item(index).selected ? LVIS_SELECTED : 0;
            SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(&it));
        }
    }

    int ItemIndexOfRow(int row) const {
        LVITEMW it{};
        it.mask = LVIF_PARAM;
        it.iItem = row;
        if (!SendMessageW(hwnd_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it))) return 0;
        return static_cast<int>(it.lParam);
    }

    void TakeSelection(const NMLISTVIEW& nm) {
        if (!(nm.uChanged & LVIF_STATE) || ((nm.uOldState ^ nm.uNewState) & LVIS_SELECTED) == 0) return;
        const int index = static_cast<int>(nm.lParam);
        if (index < 1 || index > list_.Count()) return;
        FlagScope busy(syncing_);
        list_.Select(index, (nm.uNewState & LVIS_SELECTED) != 0);
    }

    void ReadColumnWidths() {
        const int n = std::min(list_.ColumnCount(), static_cast<int>(shown_.size()));
        for (int i = 1; i <= n; ++i) {
            int px = static_cast<int>(SendMessageW(hwnd_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i - 1), 0));
            shown_[static_cast<std::size_t>(i - 1)].px = px;
            list_.SetColumnWidthFromPlatform(i, b_.TwipsX(px));
        }
    }

    struct ShownColumn {
        automation::BStr text;
        int px;
    };

    ui::ListView& list_;
    std::vector<ShownColumn> shown_;
    int shownRows_ = 0;
    bool columnsPending_ = false;
    std::shared_ptr<bool> applyingColumns_ = std::make_shared<bool>(false);
};

class TreeViewPeer final : public RowsPeer {
public:
    TreeViewPeer(Backend& b, ui::TreeView& t)
        : RowsPeer(b, t, WC_TREEVIEWW, TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS), tree_(t) {}

    bool OnNotify(NMHDR& nm, LRESULT& result) override {
        result = 0;
        switch (nm.code) {
            case TVN_SELCHANGEDW: {
                auto& tv = reinterpret_cast<NMTREEVIEWW&>(nm);
                if (*syncing_ || tv.action == TVC_UNKNOWN) return true;
                const int index = static_cast<int>(tv.itemNew.lParam);
                if (index < 1 || index > tree_.Count()) return true;
                auto node = tree_.Node(index);
                {
                    FlagScope busy(syncing_);
                    tree_.SetSelected(node);
                }
                Fire(c_, tree_.NodeClick, node);
                return true;
            }
            default: return RowsPeer::OnNotify(nm, result);
        }
    }

private:
    void ApplyImages() override {
        auto images = SharedImages(tree_.Images());
        SendMessageW(hwnd_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images ? images->ImageList() : nullptr));
        held_.assign(1, std::move(images));
        ApplyRows();
    }

    void ApplyRows() override {
        if (items_.empty() && tree_.Count() == 0) return;  // as for the list's rows
        FlagScope busy(syncing_);
        SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
        SendMessageW(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
        items_.clear();
        const auto images = tree_.Images();
        for (int i = 1; i <= tree_.Count(); ++i) {
            auto node = tree_.Node(i);
            HTREEITEM parent = TVI_ROOT;
            if (auto p = node->Parent())
                for (auto& [n, h] : items_)
                    if (n == p.get()) parent = h;
            TVINSERTSTRUCTW ins{};
            ins.hParent = parent;
            ins.hInsertAfter = TVI_LAST;
            ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
            ins.item.pszText = const_cast<wchar_t*>(W(node->Text()));
            // A node without a selected image keeps its image when selected.
            ins.item.iImage = ImageIndex(images, node->Image());
            ins.item.iSelectedImage = node->SelectedImage().empty() ? ins.item.iImage : ImageIndex(images, node->SelectedImage());
            ins.item.lParam = i;
            auto h = reinterpret_cast<HTREEITEM>(SendMessageW(hwnd_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
            items_.emplace_back(node.get(), h);
        }
        for (auto& [n, h] : items_) {
            if (n->SortsChildren()) SendMessageW(hwnd_, TVM_SORTCHILDREN, 0, reinterpret_cast<LPARAM>(h));
            if (n->Expanded()) SendMessageW(hwnd_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(h));
        }
        SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
        ApplySelection();
        InvalidateRect(hwnd_, nullptr, TRUE);
    }

    void ApplySelection() override {
        FlagScope busy(syncing_);
        HTREEITEM target = nullptr;
        if (auto selected = tree_.SelectedNode())
            for (auto& [n, h] : items_)
                if (n == selected.get()) target = h;
        SendMessageW(hwnd_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(target));
    }

    ui::TreeView& tree_;
    // The model's nodes as shown; the model holds the nodes for as long as these rows exist.
    std::vector<std::pair<const ui::TreeNode*, HTREEITEM>> items_;
    std::shared_ptr<bool> syncing_ = std::make_shared<bool>(false);
};

}  // namespace

std::unique_ptr<NativePeer> MakeTypedPeer(Backend& b, ui::ListView& l) { return std::make_unique<ListViewPeer>(b, l); }
std::unique_ptr<NativePeer> MakeTypedPeer(Backend& b, ui::TreeView& t) { return std::make_unique<TreeViewPeer>(b, t); }

}  // namespace win32::backend
