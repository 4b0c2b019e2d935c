#pragma once
// The rules behind the main screen's group tree and device list: which rows
// a group shows and in what order, the columns and their saved layout, the
// group box's entries and position, the context menus' choice and enabling,
// and the texts the screen writes. The windows only apply them; zeloctl's
// list prints the same rows.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "directory/device_directory.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"

namespace zelo {

// The rows of a group: its sub-groups in outline order, then, below the
// root, its devices in list order. The root lists only its groups.
std::vector<ListRow> groupListRows(const DeviceDirectory& directory, std::uint32_t groupId);

// The device list's columns for a group: the nine device columns, or the
// single "Place" column at the root.
struct ListColumn {
    Text titleId;
    int width;  // pixels, before the saved layout applies
    bool centred;
};
std::vector<ListColumn> listColumnsFor(std::uint32_t groupId);

// The column layout is saved and restored only while the list has more
// than two columns (never at the root).
inline bool listLayoutPersists(int columnCount) {
    return columnCount > 2;
}

// Takes the shown layout into `settings` (the caller then writes it): the
// order of the columns shown into the first entries of ListOrder (the
// others keep theirs), the widths of columns 0..9 into ColumnWidth, 0 for
// a column that is not there.
void takeListLayout(AppSettings& settings, const std::vector<int>& order,
                    const std::vector<int>& widths);

// The saved layout for `columnCount` columns. An order that is not each of
// the columns once (an edited or damaged file) gives the columns in their
// natural order; a negative width means: leave that column's width alone.
struct ListLayout {
    std::vector<int> order;
    std::vector<int> widths;
};
ListLayout savedListLayout(const AppSettings& settings, int columnCount);

// The group box lists the root's children. A group's entry there: 0 for the
// root, its place among the root's children, or for a deeper group the
// number of entries (no entry is selected).
std::vector<std::string> groupComboEntries(const GroupOutline& outline);
int groupComboPosition(const GroupOutline& outline, std::uint32_t groupId);

// The group tree's context menu for an item.
struct TreeMenuState {
    Text expandTextId;   // Fold when expanded, Expand when not
    bool expandEnabled;  // only with children
    bool deleteEnabled;  // never for the root
};
TreeMenuState treeMenuState(bool isRoot, bool hasChildren, bool expanded);

// Popups of the context menu resources: the tree's is one per language,
// the list's three per language (over a row, background inside a group,
// background at the top level). Languages other than 1 and 2 take the
// Japanese menus, as the main menu does.
enum class ListMenu { Row = 0, Group = 1, TopLevel = 2 };
int treeMenuPopup(Language language);
int listMenuPopup(Language language, ListMenu menu);

// Status bar part 1 for `selected` rows: empty below two, else "%d %s"
// with string 314.
std::string selectionCountText(int selected, const LangStrings& strings);

// The device model a list command creates (commands 32787 ... 32841), or 0.
int newDeviceModel(int command);
// A new device's name: string 168 followed by the model's name.
std::string newDeviceName(int modelCode, const LangStrings& strings);
// A new group's name (string 162).
std::string newGroupName(const LangStrings& strings);
// The error that tells why the last new group or device was not made.
Text addFailureText(DeviceDirectory::AddError error);

}  // namespace zelo
