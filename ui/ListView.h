#pragma once
// A report list: column headers (1-based), keyed items with sub-items, sorting and selection.
#include <memory>
#include <vector>

#include "ui/Control.h"

namespace ui {

class ImageList;

struct ColumnHeader {
    BStr key;
    BStr text;
    float width = 1440;
};

struct ListItem {
    BStr key;
    BStr text;
    BStr icon;
    BStr smallIcon;
    std::vector<BStr> subItems;  // SubItems(1) is subItems[0]
    bool selected = false;
};

class ListView : public KindControl<Kind::ListView> {
public:
    using KindControl::KindControl;

    // Column headers.
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const ColumnHeader& Column(int index1) const;  // an index outside 1..Count is an error
    void AddColumn(BStr key, BStr text, float width);
    void SetColumnText(int index1, BStr text);
    void SetColumnWidth(int index1, float width);
    int ColumnIndex(const BStr& key) const;  // 0 when absent

    // Items, in the order they were added.
    int Count() const { return static_cast<int>(items_.size()); }
    const ListItem& Item(int index1) const;
    const ListItem& Item(const BStr& key) const;  // an absent key is "Element not found"
    bool Contains(const BStr& key) const;
    // A duplicate key is an error ("Key is not unique in collection").
    int Add(BStr key, BStr text, BStr icon = {}, BStr smallIcon = {});
    void Remove(const BStr& key);
    void Clear();
    void SetItemText(const BStr& key, BStr text);
    void SetItemIcon(const BStr& key, BStr icon);
    void SetItemSmallIcon(const BStr& key, BStr icon);
    void SetSubItem(const BStr& key, int sub, BStr text);

    // Selection: at most one item.
    int SelectedIndex() const;  // 0 when none
    void Select(int index1, bool selected);

    // Item rows as shown: sorted when Sorted, else in added order. Returns 1-based item indexes.
    std::vector<int> DisplayOrder() const;
    // The item under a point of the list's client area (twips), 0 when none.
    int HitTest(float x, float y) const;
    static constexpr float kHeaderHeight = 300;
    static constexpr float kRowHeight = 255;

    bool Sorted() const { return sorted_; }
    void SetSorted(bool s);
    int SortKey() const { return sortKey_; }
    void SetSortKey(int k);
    int SortOrder() const { return sortOrder_; }
    void SetSortOrder(int o);
    void Refresh() {
        ++refreshCount_;
        Notify(Prop::Items);
    }
    int RefreshCount() const { return refreshCount_; }

    // The image lists the items' icon keys name (large icons, small icons, column headers); held
    // weakly, as the window owns them.
    std::shared_ptr<ImageList> Icons() const { return icons_.lock(); }
    std::shared_ptr<ImageList> SmallIcons() const { return smallIcons_.lock(); }
    std::shared_ptr<ImageList> ColumnHeaderIcons() const { return headerIcons_.lock(); }
    void SetIcons(const std::shared_ptr<ImageList>& images);
    void SetSmallIcons(const std::shared_ptr<ImageList>& images);
    void SetColumnHeaderIcons(const std::shared_ptr<ImageList>& images);

    automation::Event<int> ColumnClick;  // 1-based column index

    // The platform changed a column width (the user dragged a divider).
    void SetColumnWidthFromPlatform(int index1, float width);

private:
    int IndexOf(const BStr& key) const;  // 0-based, -1 when absent
    ListItem& Row(const BStr& key);      // an absent key is an error
    ColumnHeader& ColumnAt(int index1);  // an index outside 1..Count is an error
    std::vector<ColumnHeader> columns_;
    std::vector<ListItem> items_;
    bool sorted_ = false;
    int sortKey_ = 0, sortOrder_ = 0, refreshCount_ = 0;
    std::weak_ptr<ImageList> icons_, smallIcons_, headerIcons_;
};

}  // namespace ui
