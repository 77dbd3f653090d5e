#include "ui/TreeView.h"

#include "automation/Error.h"

namespace ui {
using automation::Raise;
namespace code = automation::code;

NodeRef TreeView::Add(const BStr& relativeKey, BStr key, BStr text, BStr image, BStr selectedImage) {
    NodeRef parent;
    if (!relativeKey.empty()) parent = Node(relativeKey);
    if (!key.empty())
        for (auto& n : nodes_)
            if (n->key_ == key) Raise(code::kKeyNotUnique, u"Key is not unique in collection");
    auto node = std::make_shared<TreeNode>(std::move(key), std::move(text));
    node->parent_ = parent;
    node->image_ = std::move(image);
    node->selectedImage_ = std::move(selectedImage);
    nodes_.push_back(node);
    Notify(Prop::Nodes);
    return node;
}

void TreeView::Clear() {
    nodes_.clear();
    selected_.reset();
    Notify(Prop::Nodes);
}

NodeRef TreeView::Node(int i) const {
    if (i < 1 || i > Count()) Raise(code::kSubscriptOutOfRange, u"Index out of bounds");
    return nodes_[i - 1];
}

NodeRef TreeView::Node(const BStr& key) const {
    for (auto& n : nodes_)
        if (n->key_ == key) return n;
    Raise(code::kElementNotFound, u"Element not found");
}

void TreeView::SetSelected(const NodeRef& node) { Assign(selected_, node, Prop::Selection); }

void TreeView::SetSorted(const NodeRef& node, bool sorted) {
    node->sorted_ = sorted;
    Notify(Prop::Nodes);
}

void TreeView::SetImages(const std::shared_ptr<ImageList>& images) { Assign(images_, images, Prop::Images); }

void TreeView::EnsureVisible(const NodeRef& node) {
    for (auto p = node->Parent(); p; p = p->Parent()) p->expanded_ = true;
    Notify(Prop::Nodes);
}

}  // namespace ui
