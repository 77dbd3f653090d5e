#pragma once
// A tree of keyed nodes. Nodes are shared so that others may hold the node they were given.
#include <memory>
#include <vector>

#include "ui/Control.h"

namespace ui {

class ImageList;
class TreeView;

class TreeNode {
public:
    TreeNode(BStr key, BStr text) : key_(std::move(key)), text_(std::move(text)) {}
    const BStr& Key() const { return key_; }
    const BStr& Text() const { return text_; }
    void SetText(BStr t) { text_ = std::move(t); }
    std::shared_ptr<TreeNode> Parent() const { return parent_.lock(); }
    const BStr& Image() const { return image_; }
    const BStr& SelectedImage() const { return selectedImage_; }
    bool Expanded() const { return expanded_; }
    bool SortsChildren() const { return sorted_; }

private:
    friend class TreeView;
    BStr key_, text_, image_, selectedImage_;
    std::weak_ptr<TreeNode> parent_;
    bool expanded_ = false, sorted_ = false;
};

using NodeRef = std::shared_ptr<TreeNode>;

class TreeView : public KindControl<Kind::TreeView> {
public:
    using KindControl::KindControl;

    // A relative key names the parent; an empty one adds a root. Duplicate keys are an error.
    NodeRef Add(const BStr& relativeKey, BStr key, BStr text, BStr image = {}, BStr selectedImage = {});
    void Clear();
    int Count() const { return static_cast<int>(nodes_.size()); }
    NodeRef Node(int index1) const;       // an index outside 1..Count is an error
    NodeRef Node(const BStr& key) const;  // an absent key is "Element not found"
    void SetSelected(const NodeRef& node);
    NodeRef SelectedNode() const { return selected_.lock(); }
    void SetSorted(const NodeRef& node, bool sorted);
    void EnsureVisible(const NodeRef& node);

    // The image list the nodes' image keys name; held weakly, as the window owns both.
    std::shared_ptr<ImageList> Images() const { return images_.lock(); }
    void SetImages(const std::shared_ptr<ImageList>& images);

    automation::Event<NodeRef> NodeClick;

private:
    std::vector<NodeRef> nodes_;
    std::weak_ptr<TreeNode> selected_;
    std::weak_ptr<ImageList> images_;
};

}  // namespace ui
