#pragma once
// What the forwarders tell about one device, taken from its record in one
// go: identity as UTF-8 texts, the outlets and master as on/off, the ping
// watch, the temperature in degrees. The MQTT state and the metrics are both
// rendered from these, never from the record itself.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "directory/device_directory.h"

namespace zelo::forward {

// The ping column's symbols O, R, X and - (or their Japanese signs).
enum class PingState { Ok, Reboot, Fail, Off };

struct OutletFact {
    int n = 0;         // 1-based
    std::string name;  // empty: the record keeps no outlet names
    bool on = false;
};

struct DeviceFacts {
    std::uint32_t deviceId = 0;
    std::uint32_t groupId = 0;
    int modelCode = 0;
    std::string key;                  // the id as 8 upper-case hex digits
    std::string name;                 // UTF-8
    std::string group;                // the group path joined with '/'
    std::string model;                // the model's display text
    std::string address;              // UTF-8
    std::string mac;                  // 12 hex digits or empty
    std::vector<OutletFact> outlets;  // the reported outlets only (none before a report)
    std::optional<bool> master;       // models with master power whose state is known
    std::vector<PingState> ping;      // per watch entry, in the column's order
    std::vector<std::int64_t> reboots;
    std::optional<double> temperature;  // degrees Celsius; none without a sensor
    std::string temperatureState;       // the column's text in English; empty without a sensor
    std::int64_t updated = 0;           // seconds since 1970; 0 never reported
};

// The fields of a record that its facts are made from, copied as the record
// keeps them (nothing converted): cheap enough to take on the loop's thread
// for every report, the facts being made later on another thread.
struct DeviceSource {
    std::uint32_t deviceId = 0;
    std::uint32_t groupId = 0;
    std::int32_t modelCode = 0;
    std::string name;
    std::string addressText;
    std::string macText;
    std::string powerText;
    std::string pingText;
    std::string rebootText;
    std::int16_t temperature = 0;
    std::int16_t temperatureState = -1;
    std::uint32_t updateTime = 0;

    // Takes the record's fields, reusing this one's room for the texts.
    void assign(const DeviceRecord& record);
};

// The directory's groups as the forwarders name them, made once per outline
// and shared by every device's facts: UTF-8 names and paths per entry.
struct GroupTable {
    GroupOutline outline;
    std::vector<std::string> names;  // per outline entry
    std::vector<std::string> paths;  // "Root/Site A/Rack 2"
    // The path of a group; empty when the outline has no such group.
    const std::string& pathOf(std::uint32_t groupId) const;
};
std::shared_ptr<const GroupTable> groupTable(const GroupOutline& outline);

// "0000002A" for 42.
std::string deviceKey(std::uint32_t deviceId);
// The id of such a key; nothing unless it is exactly 8 hex digits.
std::optional<std::uint32_t> parseDeviceKey(const std::string& key);

// "ok", "reboot", "fail", "off".
const char* pingWord(PingState state) noexcept;

// "2026-12-07T05:03:57Z"; empty for 0.
std::string isoTime(std::int64_t seconds);

// The group path of a group ("Root/Site A/Rack 2"), UTF-8; empty when the
// group is not in the outline.
std::string groupPath(const GroupOutline& outline, std::uint32_t groupId);

DeviceFacts deviceFacts(const DeviceRecord& record, const GroupOutline& outline);
// The same with the group path already known.
DeviceFacts deviceFacts(const DeviceRecord& record, std::string groupPath);
DeviceFacts deviceFacts(const DeviceSource& source, std::string groupPath);

// The state document of one device (one line of JSON).
std::string stateJson(const DeviceFacts& facts);

// A set of groups, each with its sub-groups.
class GroupFilter {
public:
    // Adds the group and every group below it; a group the outline does not
    // have adds nothing.
    void add(const GroupOutline& outline, std::uint32_t groupId);
    bool contains(std::uint32_t groupId) const { return groups_.count(groupId) != 0; }
    bool empty() const noexcept { return groups_.empty(); }

private:
    std::unordered_set<std::uint32_t> groups_;
};

// A JSON string literal of a UTF-8 text.
std::string jsonQuote(const std::string& utf8);

}  // namespace zelo::forward
