#pragma once
// Several records of one group written to its item file in one rewrite. The
// file afterwards holds exactly what saving each record in turn with
// saveDeviceRecord would leave (the last record given for an id wins), at
// the cost of one pass over the file instead of one per record.

#include <cstdint>
#include <string>
#include <vector>

#include "directory/device_record.h"

namespace zelo {

// False when the item file cannot be read or rewritten; the old file is then
// unchanged.
bool saveDeviceRecords(const std::string& dataDir, std::uint32_t groupId,
                       const std::vector<const DeviceRecord*>& records);

}  // namespace zelo
