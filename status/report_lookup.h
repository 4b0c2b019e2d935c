#pragma once
// Which device sent a status report: the first device in list order whose
// MAC text contains the report's MAC (letters of either case), or the first of the older line
// (model codes 6 to 13) with the report's unit number. Indexed, so that a station with thousands of
// devices finds one without walking the list. The index is rebuilt before the next lookup whenever
// the device list has changed (its change counter moved: a device added or removed, a MAC, unit
// number or model saved, the directory reloaded), or when told to.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zelo {

struct DeviceRecord;
class DeviceDirectory;

class ReportLookup {
public:
    explicit ReportLookup(DeviceDirectory& directory) : directory_(directory) {}

    // A record's MAC, unit number or model was changed in place, without
    // the list's counter: rebuild the index before the next lookup.
    void recheck() noexcept { stale_ = true; }

    // The device, or nullptr. `text` is the MAC in its "%02X" form.
    DeviceRecord* findByMac(const std::array<std::uint8_t, 6>& mac, const std::string& text);
    DeviceRecord* findByUnit(std::uint32_t unitId);

private:
    void ensure();
    void rebuild();

    DeviceDirectory& directory_;
    bool stale_ = true;
    std::uint64_t builtAt_ = 0;  // the list's change counter the index was built at
    std::unordered_map<std::uint64_t, std::pair<std::size_t, DeviceRecord*>> byMac_;
    // macText over 12 characters, upper-cased once here.
    struct LongMac {
        std::size_t ordinal;
        DeviceRecord* record;
        std::string upperText;
    };
    std::vector<LongMac> longMacs_;
    std::unordered_map<std::uint32_t, DeviceRecord*> byUnit_;
};

}  // namespace zelo
