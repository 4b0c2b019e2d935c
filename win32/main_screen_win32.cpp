#include "win32/main_screen_win32.h"

#include "app/main_layout.h"
#include "directory/model_table.h"
#include "resources/resource_ids.h"
#include "win32/lang_fonts_win32.h"
#include "win32/main_window_win32.h"
#include "win32/monitor_app_win32.h"

namespace zelo {
namespace {
constexpr int kSelectionPart = 1;  // of the status bar

bool controlDown() {
    return GetKeyState(VK_CONTROL) < 0;
}

POINT cursor() {
    POINT p{};
    GetCursorPos(&p);
    return p;
}

}  // namespace

MainScreen::MainScreen(MonitorApp& app) : app_(app), list_(app.workspace()) {}

MainScreen::~MainScreen() {
    if (treeMenu_) DestroyMenu(treeMenu_);
    if (listMenu_) DestroyMenu(listMenu_);
}

bool MainScreen::create(HWND treePane, HWND listPane, HWND statusBar) {
    treePane_ = treePane;
    listPane_ = listPane;
    statusBar_ = statusBar;
    treeMenu_ = LoadMenuA(app_.instance(), MAKEINTRESOURCEA(IDR_MENU_TREE));
    listMenu_ = LoadMenuA(app_.instance(), MAKEINTRESOURCEA(IDR_MENU_LIST));
    const LangStrings& s = app_.strings();
    if (!tree_.create(treePane, app_.instance(), uiFont(s), app_.imageList()) ||
        !list_.create(listPane, app_.instance(), app_.imageList()))
        return false;
    tree_.load(app_.directory().outline());
    refillCombo(0);
    tree_.select(tree_.root());  // fills the list
    return true;
}

void MainScreen::layout(int layoutHeight) {
    RECT left{}, right{};
    GetClientRect(GetParent(treePane_), &left);
    GetClientRect(GetParent(listPane_), &right);
    const PaneControls c = paneControls(left.right, left.bottom, right.right, right.bottom,
                                        tree_.comboHeight(), layoutHeight);
    tree_.place(c);
    list_.place(c);
}

void MainScreen::focusTree() {
    SetFocus(tree_.tree());
}

LRESULT MainScreen::paneMessage(HWND pane, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_NOTIFY: {
            NMHDR& hdr = *reinterpret_cast<NMHDR*>(lp);
            if (hdr.idFrom == IDC_GROUP_TREE && hdr.hwndFrom == tree_.tree())
                return onTreeNotify(hdr);
            if (hdr.idFrom == IDC_DEVICE_LIST && hdr.hwndFrom == list_.hwnd())
                return onListNotify(hdr);
            break;
        }
        case WM_COMMAND: {
            const int id = LOWORD(wp);
            if (HIWORD(wp) == CBN_SELCHANGE && id == IDC_GROUP_COMBO) {
                onComboChanged();
            } else if (id >= IDM_TREE_RENAME && id <= IDM_TREE_EXPAND) {
                onTreeCommand(id);
            } else if (id >= IDM_LIST_OPEN && id <= IDM_NEW_GV2208) {
                onListCommand(id);
            }
            return 0;
        }
        case WM_SIZE:
            if (tree_.tree() && list_.hwnd()) {
                RECT base{};
                GetClientRect(GetParent(pane), &base);
                layout(base.bottom);
            }
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(pane, &ps);
            EndPaint(pane, &ps);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcA(pane, msg, wp, lp);
}

void MainScreen::recordChanged(const DeviceRecord& record) {
    const int row = list_.findRow({false, record.deviceId});
    if (row >= 0) list_.redrawRow(row);
}

// ---- tree pane ----

LRESULT MainScreen::onTreeNotify(NMHDR& hdr) {
    switch (hdr.code) {
        case NM_RCLICK:
            onTreeRightClick();
            return 1;
        case TVN_SELCHANGEDA:
            refill();
            return 0;
        case TVN_KEYDOWN:
            onTreeKey(reinterpret_cast<NMTVKEYDOWN&>(hdr).wVKey);
            return 0;
        case TVN_ENDLABELEDITA:
            onTreeLabelEdited(reinterpret_cast<NMTVDISPINFOA&>(hdr));
            return FALSE;  // the text is set above, as the directory keeps it
        default:
            return 0;
    }
}

void MainScreen::onTreeRightClick() {
    HTREEITEM item = tree_.itemAtCursor();
    if (!item) return;
    HMENU menu = GetSubMenu(treeMenu_, treeMenuPopup(app_.settings().language));
    if (!menu) return;
    const TreeMenuState state =
        treeMenuState(tree_.idOf(item) == 0, tree_.hasChildren(item), tree_.isExpanded(item));
    const std::string label = app_.strings().text(state.expandTextId);
    ModifyMenuA(menu, IDM_TREE_EXPAND,
                MF_BYCOMMAND | MF_STRING | (state.expandEnabled ? MF_ENABLED : MF_GRAYED),
                IDM_TREE_EXPAND, label.c_str());
    EnableMenuItem(menu, IDM_TREE_DELETE,
                   MF_BYCOMMAND | (state.deleteEnabled ? MF_ENABLED : MF_GRAYED));
    contextItem_ = item;
    popup(menu, IDM_TREE_EXPAND, cursor(), treePane_);
}

void MainScreen::onTreeKey(WORD key) {
    switch (key) {
        case VK_TAB:
            SetFocus(list_.hwnd());
            list_.focusFirstWhenNone();
            break;
        case VK_DELETE: {
            contextItem_ = tree_.selected();
            if (!contextItem_ || tree_.idOf(contextItem_) == 0) break;
            if (confirmDelete()) deleteGroup(contextItem_);
            break;
        }
        case 'A':
            if (!controlDown()) break;
            list_.selectAll();
            SetFocus(list_.hwnd());
            break;
        case VK_F2:
            if (HTREEITEM item = tree_.selected()) tree_.editLabel(item);
            break;
        case VK_F8:
            openOptions();
            break;
        default:
            break;
    }
}

void MainScreen::onTreeLabelEdited(const NMTVDISPINFOA& info) {
    if (!info.item.pszText) return;  // Escape
    HTREEITEM item = info.item.hItem;
    const std::uint32_t id = tree_.idOf(item);
    DeviceDirectory& directory = app_.directory();
    // The tree shows what the directory file holds: a name it could not
    // write stays the old one.
    if (!directory.renameGroup(id, info.item.pszText)) return;
    const GroupOutline& outline = directory.outline();
    tree_.setText(item, outline.entries[static_cast<std::size_t>(outline.indexOf(id))].name);
    const int row = list_.findRow({true, id});
    if (row >= 0) list_.redrawRow(row);
    refillCombo(comboPosition(item));
}

void MainScreen::onTreeCommand(int id) {
    if (!contextItem_) return;
    switch (id) {
        case IDM_TREE_RENAME:
            tree_.editLabel(contextItem_);
            refillCombo(0);
            break;
        case IDM_TREE_DELETE:
            if (tree_.idOf(contextItem_) != 0 && confirmDelete()) deleteGroup(contextItem_);
            break;
        case IDM_TREE_EXPAND:
            tree_.select(contextItem_);
            TreeView_Expand(tree_.tree(), contextItem_, TVE_TOGGLE);
            break;
        default:
            break;
    }
}

void MainScreen::onComboChanged() {
    const int chosen = tree_.comboSelection();
    const std::vector<HTREEITEM> top = tree_.children(tree_.root());
    for (int i = 0; i < static_cast<int>(top.size()); ++i) {
        HTREEITEM item = top[static_cast<std::size_t>(i)];
        if (i == chosen) {
            tree_.select(item);
            tree_.expand(item, true);
        } else {
            tree_.expand(item, false);
        }
    }
}

void MainScreen::deleteGroup(HTREEITEM item) {
    const std::uint32_t id = tree_.idOf(item);
    // A group that left the outline leaves the tree, whether or not its item
    // file could be removed.
    if (app_.directory().deleteGroup(id) == GroupDeletion::Kept) return;
    HTREEITEM parent = tree_.parentOf(item);
    contextItem_ = nullptr;
    tree_.remove(item);
    refill();
    tree_.select(parent);
    refillCombo(comboPosition(parent));
}

void MainScreen::newGroup() {
    HTREEITEM parent = tree_.selected();
    if (!parent) return;
    const std::string name = newGroupName(app_.strings());
    const std::uint32_t id = app_.directory().addGroup(tree_.idOf(parent), name);
    if (id == 0) return addFailed();
    tree_.add(parent, id, name);
    refillCombo(comboPosition(parent));
    list_.appendRow({true, id});
    // The user names the group at once.
    list_.editLabel(list_.rowCount() - 1);
}

void MainScreen::refillCombo(int wanted) {
    tree_.refillCombo(groupComboEntries(app_.directory().outline()), wanted);
}

int MainScreen::comboPosition(HTREEITEM item) const {
    return item ? groupComboPosition(app_.directory().outline(), tree_.idOf(item)) : 0;
}

// ---- list pane ----

LRESULT MainScreen::onListNotify(NMHDR& hdr) {
    switch (hdr.code) {
        case LVN_GETDISPINFOA:
            list_.fillCell(reinterpret_cast<NMLVDISPINFOA&>(hdr));
            return 0;
        case LVN_ODFINDITEMA:
            return list_.findByName(reinterpret_cast<NMLVFINDITEMA&>(hdr));
        case LVN_KEYDOWN:
            onListKey(reinterpret_cast<NMLVKEYDOWN&>(hdr).wVKey);
            return 0;
        case LVN_BEGINLABELEDITA: {
            const int row = reinterpret_cast<NMLVDISPINFOA&>(hdr).item.iItem;
            if (row >= 0 && row < list_.rowCount()) fetch(row);
            return FALSE;
        }
        case LVN_ENDLABELEDITA:
            onListLabelEdited(reinterpret_cast<NMLVDISPINFOA&>(hdr));
            return FALSE;
        case LVN_ITEMCHANGED:
        case LVN_ODSTATECHANGED:
            showSelectionCount();
            return 0;
        case NM_RCLICK:
            onListRightClick(reinterpret_cast<NMITEMACTIVATE&>(hdr));
            return 1;
        case NM_DBLCLK: {
            const int row = list_.rowAt(reinterpret_cast<NMITEMACTIVATE&>(hdr).ptAction);
            if (row < 0) return 0;
            fetch(row);
            openDevice(*fetched_);
            return 0;
        }
        default:
            return 0;
    }
}

void MainScreen::onListKey(WORD key) {
    const int focused = list_.focusedRow();
    switch (key) {
        case VK_TAB:
            SetFocus(tree_.tree());
            break;
        case VK_RETURN:
            if (focused < 0) break;
            fetch(focused);
            openDevice(*fetched_);
            break;
        case VK_DELETE:  // the menu command asks first; the key does not
            if (focused < 0) break;
            fetch(focused);
            deleteRow(*fetched_);
            break;
        case 'A':
            if (controlDown()) list_.selectAll();
            break;
        case VK_F2:
            list_.editLabel(list_.firstSelectedRow());
            break;
        case VK_F5:
            refill();
            break;
        case VK_F8:
            openOptions();
            break;
        default:
            break;
    }
}

void MainScreen::onListRightClick(const NMITEMACTIVATE& click) {
    POINT at = click.ptAction;
    ClientToScreen(list_.hwnd(), &at);
    const int row = list_.rowAt(click.ptAction);
    const Language language = app_.settings().language;
    if (row >= 0) {
        fetch(row);
        popup(GetSubMenu(listMenu_, listMenuPopup(language, ListMenu::Row)), IDM_LIST_OPEN, at,
              listPane_);
        return;
    }
    const ListMenu background = list_.groupShown() != 0 ? ListMenu::Group : ListMenu::TopLevel;
    popup(GetSubMenu(listMenu_, listMenuPopup(language, background)), 0, at, listPane_);
}

void MainScreen::onListLabelEdited(const NMLVDISPINFOA& info) {
    const int index = info.item.iItem;
    if (!info.item.pszText || index < 0 || index >= list_.rowCount()) return;  // Escape
    const ListRow row = list_.row(index);
    const std::string name = cutText(info.item.pszText, field::kName);
    DeviceDirectory& directory = app_.directory();
    if (row.isGroup) {
        if (directory.renameGroup(row.id, name)) {
            const GroupOutline& outline = directory.outline();
            const std::string& stored =
                outline.entries[static_cast<std::size_t>(outline.indexOf(row.id))].name;
            if (HTREEITEM item = tree_.childWithId(tree_.selected(), row.id))
                tree_.setText(item, stored);
        }
        refillCombo(0);
    } else {
        directory.renameDevice(row.id, name);
    }
    list_.redrawRow(index);
}

void MainScreen::onListCommand(int id) {
    switch (id) {
        case IDM_LIST_OPEN:
            if (fetched_) openDevice(*fetched_);
            return;
        case IDM_LIST_DELETE:
            if (fetched_ && confirmDelete()) {
                deleteRow(*fetched_);
                InvalidateRect(tree_.tree(), nullptr, TRUE);
            }
            return;
        case IDM_LIST_PROPERTY:
            if (fetched_) showProperties(*fetched_);
            return;
        case IDM_LIST_RENAME:
            list_.editLabel(list_.firstSelectedRow());
            return;
        case IDM_LIST_NEW_GROUP:
            newGroup();
            return;
        case IDM_DELIVER_SCHEDULE:
            app_.deliverSchedule();
            return;
        default:
            if (const int model = newDeviceModel(id)) newDevice(model);
            return;
    }
}

void MainScreen::showSelectionCount() {
    const std::string text = selectionCountText(list_.selectedCount(), app_.strings());
    SendMessageA(statusBar_, SB_SETTEXTA, kSelectionPart, reinterpret_cast<LPARAM>(text.c_str()));
}

void MainScreen::refill() {
    SendMessageA(statusBar_, SB_SETTEXTA, kSelectionPart, reinterpret_cast<LPARAM>(""));
    HTREEITEM item = tree_.selected();
    const std::uint32_t id = item ? tree_.idOf(item) : 0;
    list_.show(id, groupListRows(app_.directory(), id));
    if (id != 0) tree_.selectComboEntry(comboPosition(item));
}

void MainScreen::openDevice(const ListRow& row) {
    if (row.isGroup) {
        if (HTREEITEM child = tree_.childWithId(tree_.selected(), row.id)) tree_.select(child);
        return;
    }
    app_.openDevice(row.id);
}

void MainScreen::showProperties(const ListRow& row) {
    DeviceDirectory& directory = app_.directory();
    if (!row.isGroup) {
        if (const DeviceRecord* record = directory.devices().find(row.id))
            app_.openProperties(*record);
        return;
    }
    const GroupOutline& outline = directory.outline();
    const int index = outline.indexOf(row.id);
    if (index < 0) return;
    DeviceRecord group;  // a group row: the group's id
    group.modelCode = kGroupEntry;
    group.groupId = row.id;
    group.name = outline.entries[static_cast<std::size_t>(index)].name;
    app_.openProperties(group);
}

std::vector<ListRow> MainScreen::deliverySelection() {
    std::vector<ListRow> rows;
    for (int i = list_.firstSelectedRow(); i >= 0; i = list_.nextSelectedRow(i))
        rows.push_back(list_.row(i));
    return rows;
}

void MainScreen::groupRenamed(std::uint32_t groupId, const std::string& name) {
    if (HTREEITEM item = tree_.childWithId(tree_.selected(), groupId)) tree_.setText(item, name);
    refillCombo(0);
    const int row = list_.findRow({true, groupId});
    if (row >= 0) list_.redrawRow(row);
}

void MainScreen::deleteRow(const ListRow& row) {
    DeviceDirectory& directory = app_.directory();
    if (row.isGroup) {
        if (directory.deleteGroup(row.id) == GroupDeletion::Kept) return;
        list_.removeRow(list_.findRow(row));
        if (HTREEITEM child = tree_.childWithId(tree_.selected(), row.id)) {
            contextItem_ = nullptr;
            tree_.remove(child);
        }
    } else {
        if (!directory.deleteDevice(row.id)) return;
        list_.removeRow(list_.findRow(row));
    }
    fetched_.reset();
    showSelectionCount();
}

void MainScreen::newDevice(int modelCode) {
    // Devices live in groups below the root, whose list never shows them.
    const std::uint32_t group = list_.groupShown();
    if (group == 0) return;
    const std::uint32_t id =
        app_.directory().addDevice(group, modelCode, newDeviceName(modelCode, app_.strings()));
    if (id == 0) return addFailed();
    list_.appendRow({false, id});
    list_.editLabel(list_.rowCount() - 1);
}

void MainScreen::addFailed() {
    app_.frontend().showError(addFailureText(app_.directory().lastAddError()), Text::ErrorCaption);
}

bool MainScreen::confirmDelete() {
    return !app_.settings().confirmDelete ||
           app_.frontend().askYesNo(Text::DeleteQuestion, Text::ConfirmCaption, Icon::Question);
}

void MainScreen::openOptions() {
    SendMessageA(app_.mainWindow()->hwnd(), WM_COMMAND, IDM_OPTION, 0);
}

void MainScreen::popup(HMENU menu, int defaultCommand, POINT screen, HWND owner) {
    if (!menu) return;
    if (defaultCommand) SetMenuDefaultItem(menu, static_cast<UINT>(defaultCommand), FALSE);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, owner, nullptr);
}

}  // namespace zelo
