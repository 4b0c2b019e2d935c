#include "directory/device_directory.h"

#include <algorithm>
#include <filesystem>

#include "common/file_replace.h"
#include "directory/item_file.h"
#include "directory/model_table.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"

namespace zelo {

std::uint32_t nextFreeId(std::uint32_t last, const std::vector<std::uint32_t>& used,
                         std::uint32_t highest) {
    std::uint32_t id = last < highest ? last + 1 : 1;
    // Each step past a taken id passes a different entry of `used` until the
    // round is complete: more steps than entries means every id is taken.
    for (std::size_t steps = 0; std::binary_search(used.begin(), used.end(), id); ++steps) {
        if (steps >= used.size()) return 0;
        id = id < highest ? id + 1 : 1;
    }
    return id;
}

std::uint32_t DeviceDirectory::newId(bool group) {
    std::vector<std::uint32_t> used;
    if (group) {
        for (const GroupEntry& g : outline_.entries) used.push_back(g.id);
    } else {
        for (const DeviceRecord& r : devices_) used.push_back(r.deviceId);
    }
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    std::uint32_t id = group ? settings_.uniqueTree : settings_.uniqueObj;
    for (;;) {
        id = nextFreeId(id, used);
        if (id == 0) {
            addError_ = AddError::IdsUsedUp;
            return 0;
        }
        // An item file left by a group that is gone would give the new group
        // its devices.
        if (!group || !std::filesystem::exists(itemFilePath(dataDir_, id))) break;
        used.insert(std::upper_bound(used.begin(), used.end(), id), id);
    }
    if (!(group ? settings_.saveTreeId(id) : settings_.saveObjectId(id))) {
        addError_ = AddError::CounterNotSaved;
        return 0;
    }
    return id;
}

bool DeviceDirectory::reloadOutline(bool createMissing) {
    return loadDirectoryTree(dataDir_, strings_.text(Text::RootGroup), outline_, createMissing);
}

bool DeviceDirectory::load(bool createMissing) {
    devices_.clear();
    if (!reloadOutline(createMissing)) return false;
    // One buffer for every item file, and the records moved, not copied,
    // into the list.
    std::string data;
    for (const GroupEntry& group : outline_.entries) {
        if (!readWholeFile(itemFilePath(dataDir_, group.id), data)) continue;
        parseItemFile(data, group.id, [this](DeviceRecord&& r) { devices_.append(std::move(r)); });
    }
    // A lost or older ZELO.INI must not hand out an id that is in use: the
    // counters start above the highest ids of the directory. Only memory
    // changes here; the counter is saved with the next id handed out.
    std::uint32_t highestGroup = 0, highestDevice = 0;
    for (const GroupEntry& group : outline_.entries)
        highestGroup = std::max(highestGroup, group.id);
    for (const DeviceRecord& r : devices_) highestDevice = std::max(highestDevice, r.deviceId);
    settings_.uniqueTree = std::max(settings_.uniqueTree, highestGroup);
    settings_.uniqueObj = std::max(settings_.uniqueObj, highestDevice);
    return true;
}

std::uint32_t DeviceDirectory::addGroup(std::uint32_t parentId, const std::string& name) {
    addError_ = AddError::NoSuchPlace;
    if (outline_.indexOf(parentId) < 0) return 0;
    const std::uint32_t id = newTreeId();
    if (id == 0) return 0;
    if (!insertGroupEntry(dataDir_, parentId, id, cutText(name, field::kName))) {
        addError_ = AddError::NotWritten;
        return 0;
    }
    addError_ = AddError::None;
    reloadOutline();
    return id;
}

bool DeviceDirectory::renameGroup(std::uint32_t id, const std::string& name) {
    if (outline_.indexOf(id) < 0 || !renameGroupEntry(dataDir_, id, cutText(name, field::kName)))
        return false;
    return reloadOutline();
}

GroupDeletion DeviceDirectory::deleteGroup(std::uint32_t id) {
    if (outline_.indexOf(id) < 0) return GroupDeletion::Kept;
    // Read back even on failure: the outline may be rewritten while the
    // group's item file stayed.
    const bool deleted = deleteGroupEntry(dataDir_, id);
    const bool reloaded = reloadOutline();
    if (outline_.indexOf(id) >= 0) return GroupDeletion::Kept;
    return deleted && reloaded ? GroupDeletion::Deleted : GroupDeletion::OutlineOnly;
}

std::uint32_t DeviceDirectory::addDevice(std::uint32_t groupId, int modelCode,
                                         const std::string& name) {
    addError_ = AddError::NoSuchPlace;
    if (!isCreatableModel(modelCode) || outline_.indexOf(groupId) < 0) return 0;
    const std::uint32_t id = newObjectId();
    if (id == 0) return 0;
    DeviceRecord created;
    if (!createDeviceRecord(dataDir_, modelCode, groupId, id, name, created)) {
        addError_ = AddError::NotWritten;
        return 0;
    }
    addError_ = AddError::None;
    devices_.append(created);
    return id;
}

bool DeviceDirectory::saveDevice(const DeviceRecord& record) {
    DeviceRecord* node = devices_.find(record.deviceId);
    if (!node) return false;
    // Memory follows the file: a record that could not be written is not
    // shown as if it had been.
    if (saveDeviceRecord(dataDir_, record.groupId, record) < 0) return false;
    // What a status report is matched by: the report lookup rebuilds its
    // index when one of these changes.
    if (node->macText != record.macText || node->unitId != record.unitId ||
        node->modelCode != record.modelCode)
        devices_.touch();
    *node = record;
    return true;
}

bool DeviceDirectory::renameDevice(std::uint32_t deviceId, const std::string& name) {
    const DeviceRecord* node = devices_.find(deviceId);
    if (!node) return false;
    DeviceRecord changed = *node;
    changed.name = cutText(name, field::kName);
    return saveDevice(changed);
}

bool DeviceDirectory::deleteDevice(std::uint32_t deviceId) {
    const DeviceRecord* node = devices_.find(deviceId);
    if (!node) return false;
    // Gone from the file first: a device whose record stays on disk would
    // come back at the next start.
    if (!deleteDeviceRecord(dataDir_, node->groupId, deviceId)) return false;
    devices_.remove(deviceId);
    return true;
}

}  // namespace zelo
