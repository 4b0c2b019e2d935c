#pragma once
// The station's Prometheus metrics: a snapshot of what the station knows,
// taken on the tick's thread, and the text exposition rendered from it on
// the scrape's thread. Rendering is a pure function of the snapshot.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "directory/group_outline.h"
#include "forward/device_facts.h"
#include "status/station_counters.h"

namespace zelo::forward {

inline constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

// The outline as the scrapes name its groups. Rebuilt only when the
// directory changes; shared by the snapshots.
using MetricsGroups = GroupTable;
inline std::shared_ptr<const MetricsGroups> metricsGroups(const GroupOutline& outline) {
    return groupTable(outline);
}

// What the MQTT forwarder has to say (with --mqtt only).
struct MqttFigures {
    bool connected = false;
    std::array<std::uint64_t, 3> commands{};  // ok, refused, failed
};

struct MetricsSnapshot {
    // The devices in list order. Unchanged devices share their facts with
    // the previous snapshot.
    std::vector<std::shared_ptr<const DeviceFacts>> devices;
    std::shared_ptr<const MetricsGroups> groups;
    StationCounters station;
    std::optional<MqttFigures> mqtt;
    std::int64_t now = 0;  // clock seconds when taken
    std::int64_t staleSeconds = 300;
};

// A device is up while its last report is at most `stale` seconds old.
bool deviceUp(const DeviceFacts& facts, std::int64_t now, std::int64_t stale) noexcept;

enum class GroupMatch { Found, Unknown, Ambiguous };
// The group a scrape names: its path as the `group` label shows it, its
// decimal id, or its name when no other group has that name.
[[nodiscard]] GroupMatch findGroup(const MetricsGroups& groups, const std::string& text,
                                   std::uint32_t& id);

// The exposition of the snapshot: the station's own metrics, then the
// devices' (only those `filter` contains, when given).
std::string renderMetrics(const MetricsSnapshot& snapshot, const GroupFilter* filter = nullptr);

// A label value as the text format writes it: backslash, double quote and
// line feed escaped.
void appendLabelValue(std::string& out, std::string_view value);
// The name a datagram's outcome carries in the `result` label.
const char* reportOutcomeLabel(ReportOutcome outcome) noexcept;

}  // namespace zelo::forward
