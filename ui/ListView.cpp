#include "ui/ListView.h"

#include <algorithm>

#include "automation/Error.h"

namespace ui {
using automation::Raise;
namespace code = automation::code;

namespace {
[[noreturn]] void NotFound() { Raise(code::kElementNotFound, u"Element not found"); }
}  // namespace

const ColumnHeader& ListView::Column(int i) const {
    if (i < 1 || i > ColumnCount()) Raise(code::kSubscriptOutOfRange, u"Index out of bounds");
    return columns_[i - 1];
}
void ListView::AddColumn(BStr key, BStr text, float width) {
    columns_.push_back(ColumnHeader{std::move(key), std::move(text), width});
    Notify(Prop::Columns);
}
void ListView::SetColumnText(int i, BStr text) { Assign(ColumnAt(i).text, std::move(text), Prop::Columns); }
void ListView::SetColumnWidth(int i, float width) { Assign(ColumnAt(i).width, width, Prop::Columns); }
void ListView::SetColumnWidthFromPlatform(int i, float width) {
    if (i >= 1 && i <= ColumnCount()) columns_[i - 1].width = width;
}
int ListView::ColumnIndex(const BStr& key) const {
    for (int i = 0; i < ColumnCount(); ++i)
        if (columns_[i].key == key) return i + 1;
    return 0;
}

int ListView::IndexOf(const BStr& key) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].key == key) return static_cast<int>(i);
    return -1;
}
const ListItem& ListView::Item(int i) const {
    if (i < 1 || i > Count()) Raise(code::kSubscriptOutOfRange, u"Index out of bounds");
    return items_[i - 1];
}
const ListItem& ListView::Item(const BStr& key) const {
    int i = IndexOf(key);
    if (i < 0) NotFound();
    return items_[i];
}
ListItem& ListView::Row(const BStr& key) {
    const int i = IndexOf(key);
    if (i < 0) NotFound();
    return items_[static_cast<std::size_t>(i)];
}
ColumnHeader& ListView::ColumnAt(int i) {
    Column(i);
    return columns_[static_cast<std::size_t>(i - 1)];
}
bool ListView::Contains(const BStr& key) const { return IndexOf(key) >= 0; }

int ListView::Add(BStr key, BStr text, BStr icon, BStr smallIcon) {
    if (!key.empty() && IndexOf(key) >= 0) Raise(code::kKeyNotUnique, u"Key is not unique in collection");
    ListItem item;
    item.key = std::move(key);
    item.text = std::move(text);
    item.icon = std::move(icon);
    item.smallIcon = std::move(smallIcon);
    items_.push_back(std::move(item));
    Notify(Prop::Items);
    return Count();
}
void ListView::Remove(const BStr& key) {
    int i = IndexOf(key);
    if (i < 0) NotFound();
    items_.erase(items_.begin() + i);
    Notify(Prop::Items);
}
void ListView::Clear() {
    items_.clear();
    Notify(Prop::Items);
}
void ListView::SetItemText(const BStr& key, BStr text) { Assign(Row(key).text, std::move(text), Prop::Items); }
void ListView::SetItemIcon(const BStr& key, BStr icon) { Assign(Row(key).icon, std::move(icon), Prop::Items); }
void ListView::SetItemSmallIcon(const BStr& key, BStr icon) { Assign(Row(key).smallIcon, std::move(icon), Prop::Items); }
void ListView::SetSubItem(const BStr& key, int sub, BStr text) {
    int i = IndexOf(key);
    if (i < 0) NotFound();
    if (sub < 1 || sub >= std::max(ColumnCount(), 1)) Raise(code::kSubscriptOutOfRange, u"Index out of bounds");
    auto& subs = items_[i].subItems;
    if (static_cast<int>(subs.size()) < sub) subs.resize(sub);
    subs[sub - 1] = std::move(text);
    Notify(Prop::Items);
}

int ListView::SelectedIndex() const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].selected) return static_cast<int>(i) + 1;
    return 0;
}
void ListView::Select(int i, bool selected) {
    Item(i);
    if (selected)
        for (auto& it : items_) it.selected = false;
    items_[i - 1].selected = selected;
    Notify(Prop::Selection);
}

std::vector<int> ListView::DisplayOrder() const {
    std::vector<int> order(items_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i) + 1;
    if (!sorted_) return order;
    auto field = [this](int idx) -> const BStr& {
        const ListItem& it = items_[idx - 1];
        if (sortKey_ <= 0) return it.text;
        static const BStr empty;
        return sortKey_ <= static_cast<int>(it.subItems.size()) ? it.subItems[sortKey_ - 1] : empty;
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        auto fa = automation::UpperAscii(field(a)), fb = automation::UpperAscii(field(b));
        return sortOrder_ == 0 ? fa < fb : fb < fa;
    });
    return order;
}

int ListView::HitTest(float x, float y) const {
    if (x < 0 || x >= Width() || y < kHeaderHeight) return 0;
    auto order = DisplayOrder();
    auto row = static_cast<std::size_t>((y - kHeaderHeight) / kRowHeight);
    return row < order.size() ? order[row] : 0;
}

void ListView::SetSorted(bool s) { Assign(sorted_, s, Prop::Sort); }
void ListView::SetSortKey(int k) { Assign(sortKey_, k, Prop::Sort); }
void ListView::SetSortOrder(int o) { Assign(sortOrder_, o, Prop::Sort); }

void ListView::SetIcons(const std::shared_ptr<ImageList>& images) { Assign(icons_, images, Prop::Images); }
void ListView::SetSmallIcons(const std::shared_ptr<ImageList>& images) { Assign(smallIcons_, images, Prop::Images); }
void ListView::SetColumnHeaderIcons(const std::shared_ptr<ImageList>& images) { Assign(headerIcons_, images, Prop::Images); }

}  // namespace ui
