#include "status/report_commit.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/app_state.h"
#include "common/clock.h"
#include "common/file_replace.h"
#include "common/scan.h"
#include "directory/device_directory.h"
#include "directory/device_view.h"
#include "directory/item_file.h"
#include "directory/model_table.h"
#include "settings/app_settings.h"
#include "status/event_log.h"

namespace zelo {
namespace {

// The MAC as 12 upper-case hex digits ("%02X" per byte).
void macText(const std::array<std::uint8_t, 6>& mac, std::string& out) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out.resize(12);
    for (std::size_t i = 0; i < 6; ++i) {
        out[2 * i] = kDigits[mac[i] >> 4];
        out[2 * i + 1] = kDigits[mac[i] & 0xF];
    }
}

// Whether a record's MAC text is the report's upper-case one, whatever the
// case of its letters.
bool sameMac(const std::string& reportMac, const std::string& recordMac) noexcept {
    if (reportMac.size() != recordMac.size()) return false;
    for (std::size_t i = 0; i < reportMac.size(); ++i)
        if (asciiUpper(recordMac[i]) != reportMac[i]) return false;
    return true;
}

// The ping column's symbol for a watch state: Shift-JIS full-width signs in
// Japanese, letters otherwise.
const char* pingSymbol(std::uint16_t state, bool japanese) noexcept {
    switch (state) {
        case 0:
            return japanese ? "\x81\x7C" : "-";  // full-width hyphen
        case 1:
            return japanese ? "\x81\x9B" : "O";  // white circle
        case 3:
            return japanese ? "\x81\xA2" : "R";  // white triangle
        default:
            return japanese ? "\x81\x7E" : "X";  // cross
    }
}

// Whether the work status knows any outlet's state: it starts each report
// knowing none, and only the current device's report starts from what the
// current pair holds.
bool anyOutletKnown(const PowerState& s) noexcept {
    for (int i = 0; i < shownOutletCount(s.outletCount); ++i)
        if (s.outlets[static_cast<std::size_t>(i)].state != kOutletNotReported) return true;
    return false;
}

}  // namespace

ReportCommit::ReportCommit(DeviceDirectory& directory, DeviceRecord& currentRecord,
                           DeviceStatus& currentStatus, AppSettings& settings, DeviceView& view,
                           const Clock& clock, AppState& state)
    : directory_(directory),
      currentRecord_(currentRecord),
      currentStatus_(currentStatus),
      settings_(settings),
      view_(view),
      clock_(clock),
      state_(state),
      lookup_(directory) {}

ReportOutcome ReportCommit::commit(const DecodedReport& report) {
    workStatus_.resetForReport();
    Pass pass;
    if (report.layout != ReportLayout::Element) {
        pass.node = lookup_.findByUnit(report.unitId);
        if (!pass.node) {
            view_.reportIgnored("unit " + std::to_string(report.unitId));
            return ReportOutcome::UnknownUnit;
        }
        work_ = *pass.node;
        pass.outletsSeen = true;
        for (std::size_t i = 0; i < report.unitOutlets.size(); ++i)
            workStatus_.outlets[i].state = report.unitOutlets[i];
        // No MAC to compare: the current device is the one with the unit number.
        finish(pass,
               isUserLoginModel(currentRecord_.modelCode) && currentRecord_.unitId == work_.unitId);
        return ReportOutcome::Accepted;
    }
    // Elements before the first MAC element work on a copy of the current
    // record; it is taken only when there are any (devices send the MAC
    // first).
    bool workTaken = false;
    for (const ReportElement& element : report.elements) {
        if (!workTaken && !std::holds_alternative<MacElement>(element)) work_ = currentRecord_;
        workTaken = true;
        if (!std::visit([&](const auto& e) { return replay(pass, e); }, element))
            return ReportOutcome::UnknownMac;
    }
    if (!pass.node) return ReportOutcome::NoMac;  // no MAC element named a known device
    finish(pass, sameMac(pass.mac, currentRecord_.macText));
    return ReportOutcome::Accepted;
}

// Each element's replay: false drops the report (only a MAC that names no
// device does).

bool ReportCommit::replay(Pass& pass, const MacElement& e) {
    // Elements before this one went into the previous work copy; the status
    // they set stays unless the device is the current one.
    macText(e.mac, pass.mac);
    pass.node = lookup_.findByMac(e.mac, pass.mac);
    if (!pass.node) {
        view_.reportIgnored("MAC " + pass.mac);
        return false;
    }
    work_ = *pass.node;
    if (sameMac(pass.mac, currentRecord_.macText))
        workStatus_ = static_cast<const PowerState&>(currentStatus_);
    return true;
}

bool ReportCommit::replay(Pass& pass, const MasterElement& e) {
    pass.hasMaster = true;
    pass.master = e.state;
    workStatus_.masterPresent = true;
    return true;
}

bool ReportCommit::replay(Pass& pass, const OutletsElement& e) {
    work_.outletCount = static_cast<std::int32_t>(e.kept());
    for (std::size_t i = 0; i < e.kept(); ++i) workStatus_.outlets[i].state = e.outlets[i].state();
    pass.outletsSeen = true;
    return true;
}

bool ReportCommit::replay(Pass&, const ScheduleElement& e) {
    workStatus_.scheduleKnown = true;
    for (std::size_t i = 0; i < e.kept(); ++i) workStatus_.outlets[i].schedule = e.scheduled[i];
    return true;
}

bool ReportCommit::replay(Pass& pass, const PingElement& e) {
    const bool japanese = settings_.language == Language::Japanese;
    std::string ping, reboot;
    for (const PingWatchEntry& entry : e.entries) {
        if (ping.size() >= field::kPingText && reboot.size() >= field::kRebootText)
            break;  // nothing more fits in either text
        if (ping.size() < field::kPingText) ping += pingSymbol(entry.state, japanese);
        if (reboot.size() < field::kRebootText) reboot += std::to_string(entry.reboots) + " ";
    }
    work_.pingText = cutText(ping, field::kPingText);
    work_.rebootText = cutText(reboot, field::kRebootText);
    pass.follow(work_.lastPingText, work_.pingText);
    return true;
}

bool ReportCommit::replay(Pass& pass, const TemperatureElement& e) {
    pass.temperatureSeen = true;
    workStatus_.temperatureKnown = true;
    workStatus_.sensorPresent = e.sensor;
    workStatus_.temperature = e.temperature;
    workStatus_.temperatureState = e.state;
    pass.follow(work_.lastTemperatureState, workStatus_.temperatureState);
    return true;
}

// The commit proper, once the device is known.
void ReportCommit::finish(Pass& pass, bool isCurrent) {
    DeviceRecord& current = currentRecord_;
    if (pass.hasMaster) {
        workStatus_.masterState = pass.master;
        pass.follow(work_.lastMasterState, pass.master);
    }
    if (workStatus_.outletCount == 0) workStatus_.outletCount = work_.outletCount;
    if (pass.temperatureSeen) {
        work_.temperature = static_cast<std::int16_t>(workStatus_.temperature);
        work_.temperatureState = static_cast<std::int16_t>(workStatus_.temperatureState);
        pass.follow(work_.lastTemperature, work_.temperature);
        pass.follow(work_.lastTemperatureState, work_.temperatureState);
        if (!workStatus_.sensorPresent) work_.temperatureState = -1;
    }
    const bool windowOpen = state_.openDialog == OpenDialog::Control;
    // With no window open the current pair is only scratch: it takes every
    // report, whatever device sent it.
    if (!windowOpen) pass.follow(work_.lastPowerText, work_.powerText);
    if (!windowOpen || isCurrent) {
        current = work_;
        static_cast<PowerState&>(currentStatus_) = workStatus_;
    }
    if (isCurrent && windowOpen) {
        // The window redraws outlet displays only while its power page shows.
        if (pass.hasMaster) view_.outletsChanged(-1);
        if (pass.outletsSeen) {
            const int shown = shownOutletCount(work_.outletCount);
            for (int i = 0; i < shown; ++i)
                if (workStatus_.outlets[std::size_t(i)].state != kOutletNotReported)
                    view_.outletsChanged(i);
        }
    }
    if (pass.outletsSeen || pass.temperatureSeen) {
        // A report without outlets (a temperature alone) keeps the stored
        // power text rather than blanking it.
        if (pass.outletsSeen || anyOutletKnown(workStatus_))
            work_.powerText = powerText(workStatus_);
        pass.follow(work_.lastPowerText, work_.powerText);
        if (workStatus_.scheduleKnown) work_.scheduleText = scheduleText(workStatus_);
        work_.updateTime = static_cast<std::uint32_t>(clock_.now());
        queueSave(work_);  // written at the end of the tick; the row refreshes then
        *pass.node = work_;
    }
    if (pass.changed) {
        current.lastPowerText = work_.lastPowerText;
        current.lastScheduleText = work_.lastScheduleText;
        current.lastPingText = work_.lastPingText;
        current.lastTemperature = work_.lastTemperature;
        current.lastTemperatureState = work_.lastTemperatureState;
        current.lastMasterState = work_.lastMasterState;
        if (settings_.logEnable) writeLog(work_);
    }
    view_.reportAccepted(work_);
}

void ReportCommit::writeLog(const DeviceRecord& record) {
    const std::int64_t now = clock_.now();
    const std::string path = eventLogPath(settings_, directory_.dataDir(), record, now);
    errno = 0;
    if (writeEventLog(settings_, directory_.dataDir(), record, now, path)) {
        if (!failedLogs_.empty()) failedLogs_.erase(path);
        return;
    }
    // Told once per file, not once per report, with the system's reason
    // (what the last failed step left in errno).
    std::string reason = errno ? std::strerror(errno) : "";
    if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z')
        reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
    if (failedLogs_.insert(path).second) view_.eventLogFailed(path, reason);
}

// ---- coalesced saves ----

void ReportCommit::queueSave(const DeviceRecord& record) {
    auto [group, added] = pendingGroup_.try_emplace(record.groupId, pending_.size());
    if (added) pending_.push_back({record.groupId, {}, {}});
    Pending& p = pending_[group->second];
    auto [slot, fresh] = p.slot.try_emplace(record.deviceId, p.records.size());
    if (fresh)
        p.records.push_back(record);
    else
        p.records[slot->second] = record;
}

void ReportCommit::savePending() {
    if (pending_.empty()) return;
    // Taken out first: a front end called below may not see them twice.
    std::vector<Pending> batch;
    batch.swap(pending_);
    pendingGroup_.clear();
    // Every group's file rewritten in one batch: the flushes of the tick go
    // together (see replaceFiles), each file still whole old or whole new.
    std::vector<FileContents> files;
    std::vector<std::size_t> fileOf(batch.size(), SIZE_MAX);
    files.reserve(batch.size());
    std::vector<const DeviceRecord*> records;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const Pending& p = batch[i];
        records.clear();
        for (const DeviceRecord& r : p.records) records.push_back(&r);
        FileContents file{itemFilePath(directory_.dataDir(), p.groupId), {}};
        if (!rewriteDeviceRecords(directory_.dataDir(), p.groupId, records, file.contents))
            continue;
        fileOf[i] = files.size();
        files.push_back(std::move(file));
    }
    const std::vector<bool> saved = replaceFiles(files);
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const Pending& p = batch[i];
        if (fileOf[i] == SIZE_MAX || !saved[fileOf[i]]) {
            // The states are in memory but not on disk: they go out again
            // with the next commit, unless a newer report has queued the
            // device meanwhile. The rows show them already.
            for (const DeviceRecord& r : p.records) queueSaveIfAbsent(r);
            for (const DeviceRecord& r : p.records) view_.recordChanged(r);
            if (failedItems_.insert(p.groupId).second)
                view_.itemFileFailed(itemFilePath(directory_.dataDir(), p.groupId));
            continue;
        }
        if (failedItems_.erase(p.groupId))
            view_.itemFileWritten(itemFilePath(directory_.dataDir(), p.groupId));
        for (const DeviceRecord& r : p.records) view_.recordChanged(r);
    }
}

void ReportCommit::queueSaveIfAbsent(const DeviceRecord& record) {
    // A device or group deleted meanwhile has no file left to write to.
    if (!directory_.devices().find(record.deviceId) ||
        directory_.outline().indexOf(record.groupId) < 0)
        return;
    const auto group = pendingGroup_.find(record.groupId);
    if (group != pendingGroup_.end() && pending_[group->second].slot.count(record.deviceId)) return;
    queueSave(record);
}

}  // namespace zelo
