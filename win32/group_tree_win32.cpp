#include "win32/group_tree_win32.h"

#include "resources/resource_ids.h"

namespace zelo {
namespace {

constexpr DWORD kComboStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST;
constexpr DWORD kTreeStyle = WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL | WS_TABSTOP |
                             TVS_HASBUTTONS | TVS_HASLINES | TVS_EDITLABELS | TVS_SHOWSELALWAYS |
                             TVS_TRACKSELECT;
constexpr int kComboCreateHeight = 150;
constexpr int kRootImage = 1, kGroupImage = 2;

}  // namespace

bool GroupTree::create(HWND pane, HINSTANCE instance, HFONT font, HIMAGELIST images) {
    RECT r{};
    GetClientRect(pane, &r);
    combo_ = CreateWindowExA(
        0, "ComboBox", "COMBO1", kComboStyle, 0, 0, r.right - 3, kComboCreateHeight, pane,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_GROUP_COMBO)), instance, nullptr);
    if (!combo_) return false;
    SendMessageA(combo_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    tree_ = CreateWindowExA(0, WC_TREEVIEWA, "", kTreeStyle, 0, comboHeight() + 2, 10, 10, pane,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_GROUP_TREE)), instance,
                            nullptr);
    if (!tree_) return false;
    SendMessageA(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    return true;
}

HTREEITEM GroupTree::insert(HTREEITEM parent, std::uint32_t id, const std::string& name,
                            int image) {
    TVINSERTSTRUCTA ins{};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    ins.item.pszText = const_cast<char*>(name.c_str());
    ins.item.iImage = ins.item.iSelectedImage = image;
    ins.item.lParam = static_cast<LPARAM>(id);
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
}

void GroupTree::load(const GroupOutline& outline) {
    std::vector<HTREEITEM> items(outline.entries.size(), nullptr);
    for (std::size_t i = 0; i < outline.entries.size(); ++i) {
        const GroupEntry& g = outline.entries[i];
        const bool top = g.parent < 0;
        HTREEITEM parent = top ? TVI_ROOT : items[static_cast<std::size_t>(g.parent)];
        items[i] = insert(parent, g.id, g.name, top ? kRootImage : kGroupImage);
    }
    if (HTREEITEM r = root()) expand(r, true);
}

int GroupTree::comboHeight() const {
    RECT r{};
    GetWindowRect(combo_, &r);
    return r.bottom - r.top;
}

void GroupTree::place(const PaneControls& c) {
    MoveWindow(combo_, c.combo.x, c.combo.y, c.combo.width, c.combo.height, FALSE);
    MoveWindow(tree_, c.tree.x, c.tree.y, c.tree.width, c.tree.height, TRUE);
}

HTREEITEM GroupTree::root() const {
    return TreeView_GetRoot(tree_);
}
HTREEITEM GroupTree::selected() const {
    return TreeView_GetSelection(tree_);
}
HTREEITEM GroupTree::parentOf(HTREEITEM item) const {
    return TreeView_GetParent(tree_, item);
}

std::uint32_t GroupTree::idOf(HTREEITEM item) const {
    TVITEMA it{};
    it.mask = TVIF_PARAM | TVIF_HANDLE;
    it.hItem = item;
    SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    return static_cast<std::uint32_t>(it.lParam);
}

bool GroupTree::hasChildren(HTREEITEM item) const {
    return TreeView_GetChild(tree_, item) != nullptr;
}

bool GroupTree::isExpanded(HTREEITEM item) const {
    return (TreeView_GetItemState(tree_, item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

std::vector<HTREEITEM> GroupTree::children(HTREEITEM parent) const {
    std::vector<HTREEITEM> out;
    for (HTREEITEM c = TreeView_GetChild(tree_, parent); c; c = TreeView_GetNextSibling(tree_, c))
        out.push_back(c);
    return out;
}

HTREEITEM GroupTree::childWithId(HTREEITEM parent, std::uint32_t id) const {
    for (HTREEITEM c : children(parent))
        if (idOf(c) == id) return c;
    return nullptr;
}

HTREEITEM GroupTree::itemAtCursor() const {
    TVHITTESTINFO hit{};
    GetCursorPos(&hit.pt);
    ScreenToClient(tree_, &hit.pt);
    HTREEITEM item = TreeView_HitTest(tree_, &hit);
    return (hit.flags & TVHT_ONITEM) ? item : nullptr;
}

HTREEITEM GroupTree::add(HTREEITEM parent, std::uint32_t id, const std::string& name) {
    HTREEITEM item = insert(parent, id, name, kGroupImage);
    InvalidateRect(tree_, nullptr, TRUE);
    return item;
}

void GroupTree::setText(HTREEITEM item, const std::string& text) {
    TVITEMA it{};
    it.mask = TVIF_TEXT | TVIF_HANDLE;
    it.hItem = item;
    it.pszText = const_cast<char*>(text.c_str());
    SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
}

void GroupTree::remove(HTREEITEM item) {
    TreeView_DeleteItem(tree_, item);
}
void GroupTree::select(HTREEITEM item) {
    TreeView_SelectItem(tree_, item);
}
void GroupTree::expand(HTREEITEM item, bool open) {
    TreeView_Expand(tree_, item, open ? TVE_EXPAND : TVE_COLLAPSE);
}

void GroupTree::editLabel(HTREEITEM item) {
    SetFocus(tree_);
    SendMessageA(tree_, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(item));
}

void GroupTree::refillCombo(const std::vector<std::string>& names, int wanted) {
    SendMessageA(combo_, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : names)
        SendMessageA(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    selectComboEntry(wanted);
}

void GroupTree::selectComboEntry(int index) {
    // Past the last entry: no selection (Wine keeps the old one otherwise).
    const int count = static_cast<int>(SendMessageA(combo_, CB_GETCOUNT, 0, 0));
    SendMessageA(combo_, CB_SETCURSEL, index >= 0 && index < count ? index : -1, 0);
}

int GroupTree::comboSelection() const {
    return static_cast<int>(SendMessageA(combo_, CB_GETCURSEL, 0, 0));
}

}  // namespace zelo
