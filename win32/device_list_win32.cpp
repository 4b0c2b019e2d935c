#include "win32/device_list_win32.h"

#include <algorithm>

#include "app/workspace.h"
#include "directory/model_table.h"
#include "resources/resource_ids.h"

namespace zelo {
namespace {

// Owner data, and image lists shared with the tree, which the program
// destroys itself.
constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS |
                             LVS_EDITLABELS | LVS_NOSORTHEADER | LVS_OWNERDATA |
                             LVS_SHAREIMAGELISTS;
// Drawn off screen, so that rows redrawn for every status report do not
// flicker.
constexpr DWORD kListExStyle =
    LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;

std::uint64_t rowKey(const ListRow& row) {
    return (static_cast<std::uint64_t>(row.isGroup) << 32) | row.id;
}

void copyText(const std::string& text, NMLVDISPINFOA& info) {
    if (info.item.pszText && info.item.cchTextMax > 0)
        lstrcpynA(info.item.pszText, text.c_str(), info.item.cchTextMax);
}

}  // namespace

bool DeviceListView::create(HWND pane, HINSTANCE instance, HIMAGELIST images) {
    RECT r{};
    GetClientRect(pane, &r);
    list_ = CreateWindowExA(0, WC_LISTVIEWA, "", kListStyle, 0, 0, r.right - 3, r.bottom - 4, pane,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_DEVICE_LIST)),
                            instance, nullptr);
    if (!list_) return false;
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, kListExStyle, kListExStyle);
    images_ = images;
    SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));
    return true;
}

void DeviceListView::place(const PaneControls& c) {
    MoveWindow(list_, c.list.x, c.list.y, c.list.width, c.list.height, TRUE);
}

int DeviceListView::columnCount() const {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

void DeviceListView::saveLayout() {
    const int n = columnCount();
    if (!list_ || !listLayoutPersists(n)) return;
    std::vector<int> order(static_cast<std::size_t>(n)), widths(static_cast<std::size_t>(n));
    SendMessageA(list_, LVM_GETCOLUMNORDERARRAY, n, reinterpret_cast<LPARAM>(order.data()));
    for (int i = 0; i < n; ++i)
        widths[static_cast<std::size_t>(i)] =
            static_cast<int>(SendMessageA(list_, LVM_GETCOLUMNWIDTH, i, 0));
    AppSettings& settings = workspace_.settings();
    takeListLayout(settings, order, widths);
    settings.saveListLayout();
}

void DeviceListView::rebuildColumns(std::uint32_t groupId) {
    saveLayout();
    for (int n = columnCount(); n > 0; --n) SendMessageA(list_, LVM_DELETECOLUMN, 0, 0);
    const std::vector<ListColumn> columns = listColumnsFor(groupId);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const std::string title = workspace_.strings().text(columns[i].titleId);
        LVCOLUMNA col{};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        col.fmt = columns[i].centred ? LVCFMT_CENTER : LVCFMT_LEFT;
        col.cx = columns[i].width;
        col.pszText = const_cast<char*>(title.c_str());
        col.iSubItem = static_cast<int>(i);
        SendMessageA(list_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
    }
    const int n = static_cast<int>(columns.size());
    if (!listLayoutPersists(n)) return;
    AppSettings& settings = workspace_.settings();
    settings.loadListLayout();
    const ListLayout layout = savedListLayout(settings, n);
    SendMessageA(list_, LVM_SETCOLUMNORDERARRAY, n, reinterpret_cast<LPARAM>(layout.order.data()));
    for (int i = n - 1; i >= 0; --i) {
        const int width = layout.widths[static_cast<std::size_t>(i)];
        if (width >= 0) SendMessageA(list_, LVM_SETCOLUMNWIDTH, i, width);
    }
}

void DeviceListView::show(std::uint32_t groupId, std::vector<ListRow> rows) {
    // Nothing is drawn until the columns and rows are all in place: every
    // column change would otherwise lay out and draw the view again.
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
    rows_ = std::move(rows);
    rowIndex_.clear();
    for (std::size_t i = 0; i < rows_.size(); ++i)
        rowIndex_.emplace(rowKey(rows_[i]), static_cast<int>(i));
    cachedRow_ = -1;
    group_ = groupId;
    rebuildColumns(groupId);
    SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));
    SendMessageA(list_, LVM_SETITEMCOUNT, rows_.size(), 0);
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

int DeviceListView::findRow(const ListRow& row) const {
    const auto it = rowIndex_.find(rowKey(row));
    return it == rowIndex_.end() ? -1 : it->second;
}

void DeviceListView::appendRow(const ListRow& row) {
    rows_.push_back(row);
    rowIndex_.emplace(rowKey(row), rowCount() - 1);
    SendMessageA(list_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
}

void DeviceListView::removeRow(int index) {
    if (index < 0 || index >= rowCount()) return;
    // The view moves the selection and focus of the rows below up by one.
    SendMessageA(list_, LVM_DELETEITEM, index, 0);
    rows_.erase(rows_.begin() + index);
    rowIndex_.clear();
    for (std::size_t i = 0; i < rows_.size(); ++i)
        rowIndex_.emplace(rowKey(rows_[i]), static_cast<int>(i));
    cachedRow_ = -1;
    InvalidateRect(list_, nullptr, TRUE);
}

void DeviceListView::redrawRow(int index) {
    if (index == cachedRow_) cachedRow_ = -1;
    SendMessageA(list_, LVM_REDRAWITEMS, index, index);
}

int DeviceListView::focusedRow() const {
    return static_cast<int>(
        SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

int DeviceListView::firstSelectedRow() const {
    return static_cast<int>(
        SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int DeviceListView::nextSelectedRow(int row) const {
    return static_cast<int>(
        SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
}

int DeviceListView::selectedCount() const {
    return static_cast<int>(SendMessageA(list_, LVM_GETSELECTEDCOUNT, 0, 0));
}

int DeviceListView::rowAt(POINT client) const {
    LVHITTESTINFO hit{};
    hit.pt = client;
    const int index = static_cast<int>(
        SendMessageA(list_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return index >= 0 && (hit.flags & LVHT_ONITEM) ? index : -1;
}

void DeviceListView::selectAll() {
    // Only one row can have the focus: every row is selected, the focus
    // stays where it is.
    LVITEMA item{};
    item.stateMask = item.state = LVIS_SELECTED;
    SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

void DeviceListView::focusFirstWhenNone() {
    if (rows_.empty() || focusedRow() >= 0) return;
    LVITEMA item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list_, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
}

void DeviceListView::editLabel(int index) {
    if (index < 0 || index >= rowCount()) return;
    SetFocus(list_);
    SendMessageA(list_, LVM_ENSUREVISIBLE, index, FALSE);
    SendMessageA(list_, LVM_EDITLABELA, index, 0);
}

std::string DeviceListView::rowName(const ListRow& row) const {
    if (row.isGroup) {
        const GroupOutline& outline = workspace_.directory().outline();
        const int index = outline.indexOf(row.id);
        return index < 0 ? std::string() : outline.entries[static_cast<std::size_t>(index)].name;
    }
    const DeviceRecord* r = workspace_.directory().devices().find(row.id);
    return r ? r->name : std::string();
}

const std::array<std::string, kDeviceColumns>* DeviceListView::deviceTexts(int index) {
    if (index == cachedRow_) return &cachedTexts_;
    const DeviceRecord* r = workspace_.directory().devices().find(row(index).id);
    if (!r) return nullptr;
    cachedTexts_ = deviceColumnTexts(*r, workspace_.settings(), workspace_.strings());
    cachedRow_ = index;
    return &cachedTexts_;
}

void DeviceListView::fillCell(NMLVDISPINFOA& info) {
    const int index = info.item.iItem, column = info.item.iSubItem;
    if (index < 0 || index >= rowCount()) return;
    const ListRow& r = row(index);
    if (info.item.mask & LVIF_TEXT) {
        if (r.isGroup) {
            copyText(column == 0 ? rowName(r) : std::string(), info);
        } else {
            const auto* texts = deviceTexts(index);
            copyText(texts && column >= 0 && column < kDeviceColumns
                         ? (*texts)[static_cast<std::size_t>(column)]
                         : std::string(),
                     info);
        }
    }
    if (info.item.mask & LVIF_IMAGE) {
        const DeviceRecord* d = r.isGroup ? nullptr : workspace_.directory().devices().find(r.id);
        info.item.iImage = r.isGroup ? kGroupEntry : d ? d->modelCode : kNoModel;
    }
}

int DeviceListView::findByName(const NMLVFINDITEMA& find) {
    if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) return -1;
    const int wanted = lstrlenA(find.lvfi.psz), n = rowCount();
    if (wanted == 0 || n == 0) return -1;
    const int start = std::clamp(find.iStart, 0, n - 1);
    for (int k = 0; k < n; ++k) {
        const int i = (start + k) % n;
        const std::string name = rowName(row(i));
        const int length = (find.lvfi.flags & LVFI_PARTIAL)
                               ? std::min(wanted, static_cast<int>(name.size()))
                               : static_cast<int>(name.size());
        if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), length,
                           find.lvfi.psz, wanted) == CSTR_EQUAL)
            return i;
        if (!(find.lvfi.flags & LVFI_WRAP) && start + k + 1 >= n) break;
    }
    return -1;
}

}  // namespace zelo
