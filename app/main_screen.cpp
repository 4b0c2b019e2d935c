#include "app/main_screen.h"

#include <algorithm>

#include "directory/model_table.h"
#include "resources/resource_ids.h"

namespace zelo {
namespace {

constexpr ListColumn kDeviceColumns[] = {
    {Text::ColumnName, 130, false},            // name
    {Text::ColumnAddress, 90, false},          // address
    {Text::ColumnPower, 80, false},            // power
    {Text::ColumnUpdate, 105, false},          // update
    {Text::ColumnId, 100, false},              // ID: MAC address or terminal number
    {Text::ColumnPing, 80, false},             // ping
    {Text::ColumnReboot, 80, false},           // reboot
    {Text::ColumnTemperature, 80, true},       // temperature
    {Text::ColumnTemperatureState, 80, true},  // temperature state
};
constexpr ListColumn kPlaceColumn = {Text::ColumnPlace, 200, false};

constexpr struct {
    int command;
    int model;
} kNewDeviceCommands[] = {
    {IDM_NEW_HX7200, 3},   {IDM_NEW_JB81K, 5},   {IDM_NEW_SWD6ZK, 7},
    {IDM_NEW_SWD8KBN, 10}, {IDM_NEW_SWD7KA, 8},  {IDM_NEW_SWD7KB, 9},
    {IDM_NEW_SWD12K, 11},  {IDM_NEW_SWDQ6M, 12}, {IDM_NEW_GV2208, 13},
};

// The menus of any other number are the Japanese ones.
int menuLanguage(Language language) {
    return language == Language::English || language == Language::Esperanto
               ? static_cast<int>(language)
               : static_cast<int>(Language::Japanese);
}

}  // namespace

std::vector<ListRow> groupListRows(const DeviceDirectory& directory, std::uint32_t groupId) {
    std::vector<ListRow> rows;
    const GroupOutline& outline = directory.outline();
    const int index = outline.indexOf(groupId);
    if (index < 0) return rows;
    for (int child : outline.children(index))
        rows.push_back({true, outline.entries[static_cast<std::size_t>(child)].id});
    if (groupId == 0) return rows;
    for (const DeviceRecord& r : directory.devices())
        if (r.groupId == groupId) rows.push_back({false, r.deviceId});
    return rows;
}

std::vector<ListColumn> listColumnsFor(std::uint32_t groupId) {
    if (groupId == 0) return {kPlaceColumn};
    return {std::begin(kDeviceColumns), std::end(kDeviceColumns)};
}

void takeListLayout(AppSettings& settings, const std::vector<int>& order,
                    const std::vector<int>& widths) {
    for (std::size_t i = 0; i < order.size() && i < settings.listOrder.size(); ++i)
        settings.listOrder[i] = order[i];
    for (std::size_t i = 0; i < settings.columnWidth.size(); ++i)
        settings.columnWidth[i] = i < widths.size() ? widths[i] : 0;
}

ListLayout savedListLayout(const AppSettings& settings, int columnCount) {
    const auto n = static_cast<std::size_t>(std::clamp(columnCount, 0, kListColumns));
    ListLayout layout;
    layout.order.assign(settings.listOrder.begin(), settings.listOrder.begin() + n);
    layout.widths.assign(settings.columnWidth.begin(), settings.columnWidth.begin() + n);
    // A header given a column twice (or one it does not have) draws one
    // column over another and loses the rest.
    std::vector<int> sorted = layout.order;
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t i = 0; i < n; ++i) {
        if (sorted[i] != static_cast<int>(i)) {
            for (std::size_t k = 0; k < n; ++k) layout.order[k] = static_cast<int>(k);
            break;
        }
    }
    return layout;
}

std::vector<std::string> groupComboEntries(const GroupOutline& outline) {
    std::vector<std::string> names;
    const int root = outline.indexOf(0);
    if (root < 0) return names;
    for (int child : outline.children(root))
        names.push_back(outline.entries[static_cast<std::size_t>(child)].name);
    return names;
}

int groupComboPosition(const GroupOutline& outline, std::uint32_t groupId) {
    if (groupId == 0) return 0;
    const int root = outline.indexOf(0);
    const std::vector<int> top = root < 0 ? std::vector<int>{} : outline.children(root);
    for (std::size_t i = 0; i < top.size(); ++i)
        if (outline.entries[static_cast<std::size_t>(top[i])].id == groupId)
            return static_cast<int>(i);
    return static_cast<int>(top.size());
}

TreeMenuState treeMenuState(bool isRoot, bool hasChildren, bool expanded) {
    return {expanded ? Text::Fold : Text::Expand, hasChildren, !isRoot};
}

int treeMenuPopup(Language language) {
    return menuLanguage(language);
}

int listMenuPopup(Language language, ListMenu menu) {
    return menuLanguage(language) * LIST_MENUS_PER_LANGUAGE + static_cast<int>(menu);
}

std::string selectionCountText(int selected, const LangStrings& strings) {
    if (selected < 2) return {};
    return std::to_string(selected) + " " + strings.text(Text::ItemsSelected);
}

int newDeviceModel(int command) {
    for (const auto& c : kNewDeviceCommands)
        if (c.command == command) return c.model;
    return 0;
}

std::string newDeviceName(int modelCode, const LangStrings& strings) {
    return strings.text(Text::NewDevice) + std::string(modelInfo(modelCode).displayText);
}

std::string newGroupName(const LangStrings& strings) {
    return strings.text(Text::NewGroup);
}

Text addFailureText(DeviceDirectory::AddError error) {
    switch (error) {
        case DeviceDirectory::AddError::IdsUsedUp:
            return Text::NewIdsUsedUp;
        case DeviceDirectory::AddError::CounterNotSaved:
            return Text::NewItemCounterNotSaved;
        default:
            return Text::NewItemNotWritten;
    }
}

}  // namespace zelo
