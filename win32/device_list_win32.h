#pragma once
// The list pane's report view: one row per sub-group or device of the group
// shown. The view is virtual (owner data): it keeps only the selection, and
// asks for each cell's text and icon as it draws, which come from the
// directory. Filling a group of thousands of devices therefore costs no
// more than filling one of ten, and a changed record needs only a redraw of
// its row.

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/main_layout.h"
#include "app/main_screen.h"
#include "directory/list_columns.h"

namespace zelo {

class Workspace;

class DeviceListView {
public:
    explicit DeviceListView(Workspace& workspace) : workspace_(workspace) {}
    DeviceListView(const DeviceListView&) = delete;
    DeviceListView& operator=(const DeviceListView&) = delete;

    bool create(HWND pane, HINSTANCE instance, HIMAGELIST images);
    HWND hwnd() const noexcept { return list_; }
    void place(const PaneControls& controls);

    // Shows `rows` of group `groupId`: the columns are rebuilt for the
    // group (the layout saved before and restored after, see saveLayout)
    // and the rows replace the old ones.
    void show(std::uint32_t groupId, std::vector<ListRow> rows);
    // Writes the column order and widths to the settings file while the
    // list shows a group's columns.
    void saveLayout();
    std::uint32_t groupShown() const noexcept { return group_; }

    int rowCount() const noexcept { return static_cast<int>(rows_.size()); }
    const ListRow& row(int index) const { return rows_[static_cast<std::size_t>(index)]; }
    // The row of a group or device, or -1.
    int findRow(const ListRow& row) const;
    void appendRow(const ListRow& row);
    void removeRow(int index);
    // Draws the row again from the directory (the selection and the scroll
    // position stay).
    void redrawRow(int index);

    int focusedRow() const;
    int firstSelectedRow() const;
    // The next selected row after `row`, or -1.
    int nextSelectedRow(int row) const;
    int selectedCount() const;
    // The row at a point of the list's client area, or -1.
    int rowAt(POINT client) const;
    void selectAll();
    // Gives row 0 the focus and the selection when no row has the focus.
    void focusFirstWhenNone();
    void editLabel(int index);

    // The cell texts and icons the view asks for (LVN_GETDISPINFO).
    void fillCell(NMLVDISPINFOA& info);
    // Type-ahead search by name (LVN_ODFINDITEM): the row or -1.
    int findByName(const NMLVFINDITEMA& find);

private:
    void rebuildColumns(std::uint32_t groupId);
    int columnCount() const;
    std::string rowName(const ListRow& row) const;
    const std::array<std::string, kDeviceColumns>* deviceTexts(int index);

    Workspace& workspace_;
    HWND list_ = nullptr;
    HIMAGELIST images_ = nullptr;
    std::uint32_t group_ = 0;
    std::vector<ListRow> rows_;
    std::unordered_map<std::uint64_t, int> rowIndex_;  // group flag and id -> row
    // The last device row rendered: a row's cells are asked for one by one.
    int cachedRow_ = -1;
    std::array<std::string, kDeviceColumns> cachedTexts_;
};

}  // namespace zelo
