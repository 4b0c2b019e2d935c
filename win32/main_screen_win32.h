#pragma once
// The operator's main screen: the group tree pane and the device list pane,
// their context menus, keys, label edits and commands, kept in step with
// the directory. It is the pane procedure's handler for both panes and the
// program's DeviceView: a record that changed (a status report, a readout)
// redraws its row.

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <optional>

#include "app/main_screen.h"
#include "win32/device_list_win32.h"
#include "win32/device_view_win32.h"
#include "win32/group_tree_win32.h"
#include "win32/splitter_win32.h"

namespace zelo {

class MonitorApp;

class MainScreen final : public PaneHandler, public PaneLink {
public:
    explicit MainScreen(MonitorApp& app);
    ~MainScreen();
    MainScreen(const MainScreen&) = delete;
    MainScreen& operator=(const MainScreen&) = delete;

    // Builds the group box and the tree in `treePane` (loaded from the
    // directory) and the list in `listPane`, then selects the root, which
    // fills the list. `statusBar` shows the selection count.
    bool create(HWND treePane, HWND listPane, HWND statusBar);
    // Lays the controls out in their panes; `layoutHeight` is the height
    // being laid out (the main client area's).
    void layout(int layoutHeight);
    void focusTree();
    // At shutdown: the list's column layout, when it shows a group's.
    void saveLayout() { list_.saveLayout(); }

    LRESULT paneMessage(HWND pane, UINT msg, WPARAM wp, LPARAM lp) override;

    // What the device windows need of the panes: the rows a delivery goes
    // to, a saved record's row redrawn, a group renamed in its dialog.
    std::vector<ListRow> deliverySelection() override;
    void recordChanged(const DeviceRecord& record) override;
    void groupRenamed(std::uint32_t groupId, const std::string& name) override;

private:
    // Tree pane.
    LRESULT onTreeNotify(NMHDR& hdr);
    void onTreeRightClick();
    void onTreeKey(WORD key);
    void onTreeLabelEdited(const NMTVDISPINFOA& info);
    void onTreeCommand(int id);
    void onComboChanged();
    void deleteGroup(HTREEITEM item);
    void newGroup();
    void refillCombo(int wanted);
    int comboPosition(HTREEITEM item) const;

    // List pane.
    LRESULT onListNotify(NMHDR& hdr);
    void onListKey(WORD key);
    void onListRightClick(const NMITEMACTIVATE& click);
    void onListLabelEdited(const NMLVDISPINFOA& info);
    void onListCommand(int id);
    void showSelectionCount();
    void refill();
    void fetch(int row) { fetched_ = list_.row(row); }
    // Opens a row: a group row selects that group in the tree, a device row
    // runs the open sequence on the device.
    void openDevice(const ListRow& row);
    void showProperties(const ListRow& row);
    void deleteRow(const ListRow& row);
    void newDevice(int modelCode);

    // Tells why the new group or device was not made.
    void addFailed();
    bool confirmDelete();
    void openOptions();
    void popup(HMENU menu, int defaultCommand, POINT screen, HWND owner);

    MonitorApp& app_;
    GroupTree tree_;
    DeviceListView list_;
    HWND treePane_ = nullptr;
    HWND listPane_ = nullptr;
    HWND statusBar_ = nullptr;
    HMENU treeMenu_ = nullptr;
    HMENU listMenu_ = nullptr;
    HTREEITEM contextItem_ = nullptr;  // what the tree's menu commands act on
    std::optional<ListRow> fetched_;   // what the list's commands act on
};

}  // namespace zelo
