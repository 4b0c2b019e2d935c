#include "status/group_save.h"

#include <string_view>
#include <unordered_map>

#include "common/c_number.h"
#include "common/file_replace.h"
#include "common/line_reader.h"
#include "directory/item_file.h"

namespace zelo {
namespace {

constexpr int kOldRecordLines = 12;
constexpr int kRecordLines = 16;
constexpr std::string_view kCrLf = "\r\n";

}  // namespace

// The walk below reads records the way the item file reader does (header,
// 16 or 12 lines a record, a stop line ends the records, missing lines at
// the end read as empty) and carries unchanged records over line by line
// as a single save does. The tests compare it with saveDeviceRecord.
bool saveDeviceRecords(const std::string& dataDir, std::uint32_t groupId,
                       const std::vector<const DeviceRecord*>& records) {
    const std::string path = itemFilePath(dataDir, groupId);
    std::string data;
    if (!readWholeFile(path, data)) return false;

    std::unordered_map<std::uint32_t, const DeviceRecord*> byId;
    byId.reserve(records.size());
    for (const DeviceRecord* r : records) byId[r->deviceId] = r;

    std::string out(kItemFilePrefix);
    out += std::to_string(kItemFileVersion);
    out += kCrLf;
    out.reserve(data.size() + 1024);

    LineReader reader(data);
    std::string_view line;
    if (reader.next(line)) {
        int version = 0;
        bool more = true;
        if (line.substr(0, kItemFilePrefix.size()) == kItemFilePrefix) {
            version = parseCInt(line.substr(kItemFilePrefix.size()));
            more = reader.next(line);
        }
        const int count = version >= kItemFileVersion ? kRecordLines : kOldRecordLines;
        std::string_view lines[kRecordLines];
        while (more && !isStopLine(line)) {
            lines[0] = line;
            for (int i = 1; i < count; ++i) {
                lines[i] = std::string_view();
                reader.next(lines[i]);
            }
            const auto hit = byId.find(parseCHex(lines[2]));
            if (hit != byId.end()) {
                out += formatRecordLines(*hit->second);
            } else {
                out += cutText(lines[0], field::kName);
                out += kCrLf;
                out += cutText(lines[1], field::kModelName);
                out += kCrLf;
                for (int i = 2; i < count; ++i) {
                    out += lines[i];
                    out += kCrLf;
                }
                if (version < kItemFileVersion) out += "\r\n\r\n\r\n\r\n";
            }
            more = reader.next(line);
        }
    }
    return replaceFile(path, out);
}

}  // namespace zelo
