#pragma once
// The directory as the program holds it: the outline of groups, every
// device of every group, and the record copies the device operations work
// on. Each change is made in memory and on disk together; the desktop
// program's tree, list and property dialog and zeloctl all go through here.

#include <cstdint>
#include <string>
#include <vector>

#include "directory/device_list.h"
#include "directory/device_record.h"
#include "directory/group_outline.h"

namespace zelo {

struct AppSettings;
class LangStrings;

inline constexpr std::uint32_t kHighestId = 0xFFFF'FFFFu;

// The first id after `last` that `used` (ascending) does not hold, going round
// from `highest` to 1; 0 when every id from 1 to `highest` is in use.
std::uint32_t nextFreeId(std::uint32_t last, const std::vector<std::uint32_t>& used,
                         std::uint32_t highest = kHighestId);

// One row of the device list, or one target of a selection: a group or a
// device, by id.
struct ListRow {
    bool isGroup = false;
    std::uint32_t id = 0;
    friend bool operator==(const ListRow& a, const ListRow& b) {
        return a.isGroup == b.isGroup && a.id == b.id;
    }
};

// What became of a group that was to be deleted.
enum class [[nodiscard]] GroupDeletion{
    Deleted,      // gone from the outline and the files
    OutlineOnly,  // gone from the outline, but its item file stayed or the
                  // directory file could not be read back
    Kept,         // still in the outline: the directory file stayed as it was
};

class DeviceDirectory {
public:
    // `dataDir` ends with a separator; ids come from `settings`, the root
    // name of a new directory file from `strings`.
    DeviceDirectory(std::string dataDir, AppSettings& settings, const LangStrings& strings)
        : dataDir_(std::move(dataDir)), settings_(settings), strings_(strings) {}

    // Why the last addGroup or addDevice returned 0.
    enum class AddError {
        None,
        NoSuchPlace,  // the parent group is not in the outline, or the model takes no new records
        IdsUsedUp,    // every id is in use
        CounterNotSaved,  // ZELO.INI could not be written
        NotWritten,       // the directory file or the item file could not be written
    };

    // Reads ZELO_DIR.DAT (created when missing, unless `createMissing` is
    // false) and every group's item file. The settings' id counters are
    // raised (in memory) to the highest group and device ids found, so new
    // ids come above the ids in use while there is room.
    bool load(bool createMissing = true);
    // Re-reads only the outline (after a change of the directory file).
    bool reloadOutline(bool createMissing = true);

    // A new group as the parent's last child; its id, or 0 on failure.
    std::uint32_t addGroup(std::uint32_t parentId, const std::string& name);
    bool renameGroup(std::uint32_t id, const std::string& name);
    // The group and its sub-groups leave the outline; its devices' records
    // stay in memory until the program ends, as the list never shows them.
    GroupDeletion deleteGroup(std::uint32_t id);

    // A new device with the model's defaults; its id, or 0 on failure.
    std::uint32_t addDevice(std::uint32_t groupId, int modelCode, const std::string& name);
    // Writes `record` into its group's item file and then into its node.
    // False, with memory as before, when the file cannot be rewritten.
    bool saveDevice(const DeviceRecord& record);
    bool renameDevice(std::uint32_t deviceId, const std::string& name);
    // The record leaves the item file, then memory; false, with both as
    // before, when the file cannot be rewritten.
    bool deleteDevice(std::uint32_t deviceId);

    AddError lastAddError() const noexcept { return addError_; }

    // A new group (device) id, counted and saved at once: the next after the
    // counter that no group (device) of the directory holds, going round past
    // the highest id to 1; a group id whose item file is still on disk is
    // not handed out either. 0, with lastAddError() set, when every id is in
    // use or the counter cannot be saved.
    std::uint32_t newTreeId() { return newId(true); }
    std::uint32_t newObjectId() { return newId(false); }

    const std::string& dataDir() const noexcept { return dataDir_; }
    const GroupOutline& outline() const noexcept { return outline_; }
    DeviceList& devices() noexcept { return devices_; }
    const DeviceList& devices() const noexcept { return devices_; }

private:
    std::string dataDir_;
    AppSettings& settings_;
    const LangStrings& strings_;
    GroupOutline outline_;
    DeviceList devices_;
    AddError addError_ = AddError::None;

    std::uint32_t newId(bool group);
};

}  // namespace zelo
