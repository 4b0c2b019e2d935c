#pragma once
// The tree pane's controls: the group box (the root's children, to jump to
// one) above the tree of groups. Items carry the group id; the root is 0.
// A thin wrapper: what the items are and when they change is decided by
// the main screen from the directory.

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/main_layout.h"
#include "directory/group_outline.h"

namespace zelo {

class GroupTree {
public:
    GroupTree() = default;
    GroupTree(const GroupTree&) = delete;
    GroupTree& operator=(const GroupTree&) = delete;

    // The group box (with `font`) and the tree view (with `images`) in `pane`.
    bool create(HWND pane, HINSTANCE instance, HFONT font, HIMAGELIST images);
    // The root, then every group under its parent in outline order.
    void load(const GroupOutline& outline);

    HWND tree() const noexcept { return tree_; }
    HWND combo() const noexcept { return combo_; }
    // The closed group box's height.
    int comboHeight() const;
    void place(const PaneControls& controls);

    HTREEITEM root() const;
    HTREEITEM selected() const;
    HTREEITEM parentOf(HTREEITEM item) const;
    std::uint32_t idOf(HTREEITEM item) const;
    bool hasChildren(HTREEITEM item) const;
    bool isExpanded(HTREEITEM item) const;
    // The child of `parent` whose id is `id`, or null.
    HTREEITEM childWithId(HTREEITEM parent, std::uint32_t id) const;
    std::vector<HTREEITEM> children(HTREEITEM parent) const;
    // The item under the mouse pointer, or null.
    HTREEITEM itemAtCursor() const;

    // A new last child of `parent` (image 2).
    HTREEITEM add(HTREEITEM parent, std::uint32_t id, const std::string& name);
    void setText(HTREEITEM item, const std::string& text);
    // Removes the item with its sub-tree.
    void remove(HTREEITEM item);
    void select(HTREEITEM item);
    void expand(HTREEITEM item, bool open);
    void editLabel(HTREEITEM item);

    // Empties the group box, adds `names` and selects entry `wanted` (none
    // when it is past the last).
    void refillCombo(const std::vector<std::string>& names, int wanted);
    void selectComboEntry(int index);
    int comboSelection() const;

private:
    HTREEITEM insert(HTREEITEM parent, std::uint32_t id, const std::string& name, int image);

    HWND combo_ = nullptr;
    HWND tree_ = nullptr;
};

}  // namespace zelo
