#pragma once
// A decoded status report committed to the device that sent it: its list
// record, the current device's record and status, the control window, the
// item file (saved per group at the end of a tick) and the event log. The
// elements are replayed in order of arrival onto a work copy of the record
// and status, with the change detection of the displayed values.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "directory/device_record.h"
#include "directory/device_status.h"
#include "status/report_decoder.h"
#include "status/report_lookup.h"
#include "status/station_counters.h"

namespace zelo {

struct AppSettings;
struct AppState;
class Clock;
class DeviceDirectory;
class DeviceView;

class ReportCommit {
public:
    ReportCommit(DeviceDirectory& directory, DeviceRecord& currentRecord,
                 DeviceStatus& currentStatus, AppSettings& settings, DeviceView& view,
                 const Clock& clock, AppState& state);

    // Commits one report. Accepted when it named a device of the
    // directory; otherwise (which device it failed to name) nothing at all
    // has changed. The item file save waits for savePending().
    [[nodiscard]] ReportOutcome commit(const DecodedReport& report);
    // Saves every record changed since the last call, one rewrite per group
    // with the same contents as saving each in turn; refreshes each saved
    // device's list row. A group whose file cannot be rewritten keeps its
    // records queued for the next call.
    void savePending();
    // A record's match keys changed in place (see ReportLookup::recheck).
    void directoryChanged() noexcept { lookup_.recheck(); }

private:
    // What one report has gathered so far, besides the work copies.
    struct Pass {
        DeviceRecord* node = nullptr;  // the device's list record
        std::string mac;               // the report's MAC text, empty without one
        bool hasMaster = false;
        std::int32_t master = 0;
        bool outletsSeen = false;
        bool temperatureSeen = false;
        bool changed = false;  // a value the event log follows differs from its last one
        // Takes `value` as the last one, and marks the pass changed when it
        // differs.
        template <typename T, typename V>
        void follow(T& last, const V& value) {
            if (last == value) return;
            changed = true;
            last = static_cast<T>(value);
        }
    };
    struct Pending {
        std::uint32_t groupId;
        std::vector<DeviceRecord> records;  // latest copy per device, first-report order
        std::unordered_map<std::uint32_t, std::size_t> slot;  // deviceId -> index
    };

    bool replay(Pass& pass, const MacElement& e);
    bool replay(Pass& pass, const MasterElement& e);
    bool replay(Pass& pass, const OutletsElement& e);
    bool replay(Pass& pass, const ScheduleElement& e);
    bool replay(Pass& pass, const PingElement& e);
    bool replay(Pass& pass, const TemperatureElement& e);
    void finish(Pass& pass, bool isCurrent);
    void queueSave(const DeviceRecord& record);
    void queueSaveIfAbsent(const DeviceRecord& record);
    // Appends the event line; a file that cannot be written is told to the
    // view.
    void writeLog(const DeviceRecord& record);

    DeviceDirectory& directory_;
    DeviceRecord& currentRecord_;
    DeviceStatus& currentStatus_;
    AppSettings& settings_;
    DeviceView& view_;
    const Clock& clock_;
    AppState& state_;
    ReportLookup lookup_;
    std::unordered_set<std::string> failedLogs_;     // event logs told as failing
    std::unordered_set<std::uint32_t> failedItems_;  // groups whose item file was told as failing

    // Scratch pair of one report.
    DeviceRecord work_;
    PowerState workStatus_;

    std::vector<Pending> pending_;
    std::unordered_map<std::uint32_t, std::size_t> pendingGroup_;  // groupId -> index
};

}  // namespace zelo
