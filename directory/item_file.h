#pragma once
// Item files: one per group that holds devices, "%08lX.IDX" after the group
// id, a version header and one multi-line record per device. Files written
// by earlier installations are read as they are and upgraded when they are
// rewritten.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "directory/device_record.h"

namespace zelo {

inline constexpr std::string_view kItemFilePrefix = "#ZELO ITEM FILE#VER ";
inline constexpr int kItemFileVersion = 2;

// dataDir (ending with a separator) + "%08lX.IDX".
std::string itemFilePath(const std::string& dataDir, std::uint32_t groupId);

// The records of an item file's contents, in file order, with groupId set,
// outletCount derived and the last-logged copies equal to their fields.
std::vector<DeviceRecord> parseItemFile(std::string_view data, std::uint32_t groupId);
// The same records handed to `take` one by one, for a caller that keeps
// them elsewhere.
void parseItemFile(std::string_view data, std::uint32_t groupId,
                   const std::function<void(DeviceRecord&&)>& take);
// The 16 lines of a record, CR LF ended.
std::string formatRecordLines(const DeviceRecord& record);
// The same appended to `out`.
void appendRecordLines(std::string& out, const DeviceRecord& record);

// The group's records; none when its item file does not exist.
std::vector<DeviceRecord> loadItemFile(const std::string& dataDir, std::uint32_t groupId);

// Rewrites the record with the same deviceId. The number of records before
// it (0 also when no record matched: then nothing of it is written); -1 when
// the file cannot be read or rewritten, the old file then unchanged.
long saveDeviceRecord(const std::string& dataDir, std::uint32_t groupId,
                      const DeviceRecord& record);

// Several records of one group in one rewrite: the file afterwards holds
// exactly what saving each in turn would leave (the last record given for an
// id wins), for one pass over the file instead of one per record. False when
// the file cannot be read or rewritten; the old file is then unchanged.
bool saveDeviceRecords(const std::string& dataDir, std::uint32_t groupId,
                       const std::vector<const DeviceRecord*>& records);
// What saveDeviceRecords would write, into `contents`, for a caller that
// writes several files together (replaceFiles); nothing is written here.
// False when the group's file cannot be read.
bool rewriteDeviceRecords(const std::string& dataDir, std::uint32_t groupId,
                          const std::vector<const DeviceRecord*>& records, std::string& contents);

// A new record with the model's defaults, added at the end of the group's
// item file (created with its header when missing; an old file is upgraded
// on the way). `created` receives the new record. False when the file
// cannot be written; nothing is then changed.
bool createDeviceRecord(const std::string& dataDir, int modelCode, std::uint32_t groupId,
                        std::uint32_t deviceId, const std::string& name, DeviceRecord& created);

// Drops the record; the file is deleted when no record is left.
bool deleteDeviceRecord(const std::string& dataDir, std::uint32_t groupId, std::uint32_t deviceId);

}  // namespace zelo
