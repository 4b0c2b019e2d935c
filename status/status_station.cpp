#include "status/status_station.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "app/app_settings.h"
#include "app/frontend.h"
#include "app/lang_strings.h"
#include "common/clock.h"
#include "directory/device_directory.h"
#include "directory/model_table.h"
#include "status/event_log.h"
#include "directory/item_file.h"

namespace zelo {
namespace {

// Element types of the element report.
constexpr std::uint16_t kElementFiller = 0x0000;
constexpr std::uint16_t kElementMac = 0x0001;
constexpr std::uint16_t kElementMaster = 0x0100;
constexpr std::uint16_t kElementOutlets = 0x0110;
constexpr std::uint16_t kElementSchedule = 0x0200;
constexpr std::uint16_t kElementPing = 0x0801;
constexpr std::uint16_t kElementTemperature = 0x0802;

// Table report of the older line.
constexpr std::size_t kTableLength = 240;
constexpr std::uint16_t kTableMarker = 224;
constexpr std::size_t kTableOutlets = 48;
constexpr std::size_t kTableOutletSize = 48;
// Short report of the older line.
constexpr std::size_t kShortLength = 30;
constexpr std::size_t kShortOutlets = 6;
constexpr std::size_t kShortOutletSize = 6;
constexpr int kOlderLineOutlets = 4;

constexpr std::size_t kPingCompactLength = 142;
constexpr std::size_t kTemperatureShortLength = 32;
constexpr std::size_t kTemperatureBlock = 28;

constexpr int kLanguageJapanese = 0;
constexpr std::size_t kPowerTextMax = 31;

std::uint16_t be16(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
std::uint16_t le16(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// 12 upper-case hex digits as a 48-bit number; nothing for any other text
// (such a text can never equal a report's "%02X" form).
std::optional<std::uint64_t> macKey(const std::string& text) noexcept {
    if (text.size() != 12) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        v = (v << 4) | static_cast<std::uint64_t>(d);
    }
    return v;
}

std::string macText(const std::uint8_t* mac) {
    char buf[13];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X%02X%02X", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return std::string(buf, 12);
}

bool outletCodeIsOn(std::int32_t code) noexcept {
    return code == 1 || code == 2 || code == 4 || code == 6;
}
bool outletCodeIsOff(std::int32_t code) noexcept {
    return code == 0 || code == 3 || code == 5;
}

// The master digit of the power column. Devices send 0 and 1; any other
// value still means "on", and must not put a control byte (a NUL or a line
// end) into the item file or the log.
char masterDigit(std::int32_t state) noexcept {
    if (state >= 0 && state <= 9) return static_cast<char>('0' + state);
    return '1';
}

void appendPingSymbol(std::string& text, std::uint16_t state, bool japanese) {
    if (japanese) {
        switch (state) {
            case 0:
                text += "\x81\x7C";
                break;  // full-width hyphen
            case 1:
                text += "\x81\x9B";
                break;  // white circle
            case 3:
                text += "\x81\xA2";
                break;  // white triangle
            default:
                text += "\x81\x7E";
                break;  // cross
        }
    } else {
        switch (state) {
            case 0:
                text += '-';
                break;
            case 1:
                text += 'O';
                break;
            case 3:
                text += 'R';
                break;
            default:
                text += 'X';
                break;
        }
    }
}

}  // namespace

std::uint16_t reportChecksum(const std::uint8_t* data, std::size_t length) noexcept {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < length; i += 2) {
        sum += 0xFFFFu - be16(data + i);
        sum = (sum + (sum >> 16)) & 0xFFFFu;
    }
    if (i < length) {
        sum += 0xFFFFu - (static_cast<std::uint32_t>(data[i]) << 8);
        sum = (sum + (sum >> 16)) & 0xFFFFu;
    }
    return static_cast<std::uint16_t>(sum);
}

StatusStation::StatusStation(DeviceDirectory& directory, ReportStatus& currentStatus,
                             AppSettings& settings, const LangStrings& strings, Frontend& frontend,
                             const Clock& clock, AppState& state)
    : directory_(directory),
      currentStatus_(currentStatus),
      settings_(settings),
      strings_(strings),
      frontend_(frontend),
      clock_(clock),
      state_(state) {}

StatusStation::~StatusStation() {
    closeStatusListener();
}

// ---- listener ----

bool StatusStation::openStatusListener() {
    if (!settings_.msrpEnable) return false;
    return openStatusListenerOn(settings_.msrpPort);
}

bool StatusStation::openStatusListenerOn(std::uint16_t port, std::uint32_t address) {
    state_.listenerOpen = receiver_.open(port, address);
    return state_.listenerOpen;
}

void StatusStation::closeStatusListener() {
    state_.listenerOpen = false;
    receiver_.close();
}

bool StatusStation::waitForReport(std::chrono::milliseconds timeout) noexcept {
    return receiver_.waitReadable(static_cast<int>(timeout.count()));
}

std::size_t StatusStation::pollStatusListener() {
    indexChecked_ = false;
    std::size_t size = 0;
    // One byte more than the limit: a datagram that fills it is too long.
    if (receiver_.receive(buffer_.data(), kMaxReportBytes + 1, size) !=
        UdpReceiver::Result::Datagram)
        return 0;
    if (size > 0 && size <= kMaxReportBytes) {
        buffer_[size] = 0;
        decodeStatusReport(buffer_.data(), size);
        commitPendingSaves();
    }
    return size > kMaxReportBytes ? 0 : size;
}

std::int64_t StatusStation::budgetNow() const {
    if (budgetClock_) return budgetClock_();
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TickResult StatusStation::tick(std::size_t maxAccepted) {
    TickResult result;
    if (!state_.listenerOpen || state_.openDialog == 3 || state_.busy) return result;
    result.polled = true;
    indexChecked_ = false;  // the directory may have changed since the last tick
    const std::int64_t start = budgetNow();
    while (result.accepted < maxAccepted) {
        std::size_t size = 0;
        const auto r = receiver_.receive(buffer_.data(), kMaxReportBytes + 1, size);
        if (r == UdpReceiver::Result::Empty || r == UdpReceiver::Result::Error) break;
        ++result.received;
        if (size > 0 && size <= kMaxReportBytes) {
            buffer_[size] = 0;
            if (decodeStatusReport(buffer_.data(), size)) ++result.accepted;
        }
        if (budgetNow() - start >= budget_.count()) break;
    }
    commitPendingSaves();
    return result;
}

// ---- lookup index ----

bool StatusStation::indexMatchesDirectory() const {
    std::size_t i = 0;
    for (const DeviceRecord& r : directory_.devices()) {
        if (i >= indexKeys_.size()) return false;
        const IndexKey& k = indexKeys_[i++];
        if (k.record != &r || k.modelCode != r.modelCode || k.unitId != r.unitId ||
            k.macText != r.macText)
            return false;
    }
    return i == indexKeys_.size();
}

void StatusStation::rebuildIndex() {
    indexKeys_.clear();
    byMac_.clear();
    longMacs_.clear();
    byUnit_.clear();
    indexKeys_.reserve(directory_.devices().size());
    byMac_.reserve(directory_.devices().size());
    std::size_t ordinal = 0;
    for (DeviceRecord& r : directory_.devices()) {
        indexKeys_.push_back({&r, r.modelCode, r.unitId, r.macText});
        if (const auto key = macKey(r.macText))
            byMac_.try_emplace(*key, ordinal, &r);
        else if (r.macText.size() > 12)
            longMacs_.emplace_back(ordinal, &r);
        if (isUserLoginModel(r.modelCode)) byUnit_.try_emplace(r.unitId, &r);
        ++ordinal;
    }
}

void StatusStation::ensureIndex() {
    if (indexChecked_) return;
    if (!indexMatchesDirectory()) rebuildIndex();
    indexChecked_ = true;
}

// The first device in list order whose macText contains the report's text.
DeviceRecord* StatusStation::findByMac(const std::uint8_t* mac, const std::string& text) const {
    std::uint64_t key = 0;
    for (int i = 0; i < 6; ++i) key = (key << 8) | mac[i];
    std::size_t bestOrdinal = SIZE_MAX;
    DeviceRecord* best = nullptr;
    if (const auto hit = byMac_.find(key); hit != byMac_.end()) {
        bestOrdinal = hit->second.first;
        best = hit->second.second;
    }
    // Texts longer than a MAC address cannot come from the files; checked
    // all the same, in case a front end stores one.
    for (const auto& [ordinal, record] : longMacs_) {
        if (ordinal >= bestOrdinal) break;
        if (record->macText.find(text) != std::string::npos) return record;
    }
    return best;
}

DeviceRecord* StatusStation::findByUnit(std::uint32_t unitId) const {
    const auto hit = byUnit_.find(unitId);
    return hit == byUnit_.end() ? nullptr : hit->second;
}

// ---- decoding ----

bool StatusStation::decodeStatusReport(const std::uint8_t* data, std::size_t count) {
    if (count < kMinReportBytes || count > kMaxReportBytes) return false;
    ensureIndex();

    work_ = directory_.currentRecord;
    workStatus_.reset();
    bool outletsSeen = false;
    bool temperatureSeen = false;
    bool changed = false;
    std::string reportMac;
    std::optional<std::int32_t> master;
    DeviceRecord* node = nullptr;
    bool elementReport = false;

    const std::uint16_t w = be16(data);
    if ((w >> 8) == 0x00) {
        const bool table = count == kTableLength && data[3] == 1 && be16(data + 8) == kTableMarker;
        if (!table && w != 1) return false;
        if (!table && count < kShortLength) return false;  // fields past the end
        node = findByUnit(table ? le16(data + 10) : le16(data + 4));
        if (!node) return false;
        work_ = *node;
        outletsSeen = true;
        for (int i = 0; i < kOlderLineOutlets; ++i) {
            std::int32_t code;
            if (table) {
                const std::uint8_t* e = data + kTableOutlets + kTableOutletSize * std::size_t(i);
                const std::uint8_t output = e[1], mode = e[2];
                if (output)
                    code = mode == 1 ? 1 : mode == 2 ? 2 : 5;
                else
                    code = mode == 2 ? 2 : mode == 3 ? 5 : 0;
            } else {
                const std::uint8_t* e = data + kShortOutlets + kShortOutletSize * std::size_t(i);
                const bool output = be16(e + 2) != 0, pendingFlag = be16(e + 4) != 0;
                code = output && pendingFlag ? 2 : output ? 1 : pendingFlag ? 5 : 0;
            }
            workStatus_.outlets[std::size_t(i)].state = code;
        }
    } else if ((w >> 8) == 0x01) {
        elementReport = true;
        const std::size_t total = be16(data + 2);
        if (total != count || (total & 1)) return false;
        std::memcpy(checksumCopy_.data(), data, count);
        checksumCopy_[6] = checksumCopy_[7] = 0;
        if (reportChecksum(checksumCopy_.data(), count) != be16(data + 6)) return false;

        const bool japanese = settings_.language == kLanguageJapanese;
        std::size_t pos = 8;
        long remaining = static_cast<long>(total) - 8;
        // Every read is checked against the datagram's end: a datagram that
        // would be read past it is dropped whole.
        auto fits = [count](std::uint64_t end) { return end <= count; };
        while (remaining >= 0) {
            if (!fits(pos + 2)) return false;
            const std::uint16_t type = be16(data + pos);
            if (type == kElementFiller) {
                remaining -= 2;
                continue;
            }
            if (!fits(pos + 4)) return false;
            const std::size_t length = be16(data + pos + 2);
            if (!fits(pos + length)) return false;
            const std::uint8_t* e = data + pos;
            switch (type) {
                case kElementMac: {
                    if (!fits(pos + 12)) return false;
                    reportMac = macText(e + 6);
                    node = findByMac(e + 6, reportMac);
                    if (!node) return false;
                    work_ = *node;
                    if (reportMac == directory_.currentRecord.macText) workStatus_ = currentStatus_;
                    break;
                }
                case kElementMaster:
                    if (!fits(pos + 6)) return false;
                    master = be16(e + 4);
                    workStatus_.masterKnown = true;
                    break;
                case kElementOutlets: {
                    if (!fits(pos + 6)) return false;
                    const std::size_t n = be16(e + 4);
                    work_.outletCount =
                        static_cast<std::int32_t>(std::min<std::size_t>(n, kMaxOutlets));
                    if (length != 6 * n + 6) return false;
                    for (std::size_t i = 0; i < n && i < std::size_t(kMaxOutlets); ++i) {
                        const std::uint8_t* entry = e + 6 + 6 * i;
                        std::int32_t code = be16(entry);
                        const bool output = be16(entry + 2) != 0;
                        if (code == 5 && output)
                            code = 1;
                        else if (code == 2 && !output)
                            code = 0;
                        workStatus_.outlets[i].state = code;
                    }
                    outletsSeen = true;
                    break;
                }
                case kElementSchedule: {
                    workStatus_.scheduleKnown = true;
                    if (!fits(pos + 6)) return false;
                    const std::size_t n = be16(e + 4);
                    if (length != 4 * n + 6) return false;
                    for (std::size_t i = 0; i < n && i < std::size_t(kMaxOutlets); ++i)
                        workStatus_.outlets[i].scheduled = be16(e + 6 + 4 * i) != 0;
                    break;
                }
                case kElementPing: {
                    if (!fits(pos + 6)) return false;
                    const std::uint64_t n = be16(e + 4);
                    std::uint64_t k = 4, first = 6;
                    if (length != kPingCompactLength) {
                        if (!fits(pos + 8)) return false;
                        k = be16(e + 6);
                        first = 8;
                    }
                    const std::uint64_t entrySize = 18 + 4 * k;
                    // The last entry's reboot count is the furthest read.
                    if (n > 0 && !fits(pos + first + (n - 1) * entrySize + 18)) return false;
                    std::string ping, reboot;
                    for (std::uint64_t i = 0; i < n; ++i) {
                        if (ping.size() >= field::kPingText && reboot.size() >= field::kRebootText)
                            break;  // nothing more fits in either text
                        const std::uint8_t* entry = e + first + i * entrySize;
                        if (ping.size() < field::kPingText)
                            appendPingSymbol(ping, be16(entry + 2), japanese);
                        if (reboot.size() < field::kRebootText)
                            reboot += std::to_string(be16(entry + 16)) + " ";
                    }
                    work_.pingText = cutText(ping, field::kPingText);
                    work_.rebootText = cutText(reboot, field::kRebootText);
                    if (work_.pingText != work_.lastPingText) {
                        changed = true;
                        work_.lastPingText = work_.pingText;
                    }
                    break;
                }
                case kElementTemperature: {
                    const std::size_t block = length == kTemperatureShortLength ? 4 : 6;
                    if (!fits(pos + block + kTemperatureBlock)) return false;
                    const std::uint8_t* b = e + block;
                    temperatureSeen = true;
                    workStatus_.temperatureKnown = true;
                    workStatus_.sensorPresent = b[0] != 0;
                    workStatus_.temperature = static_cast<std::int16_t>(be16(b + 26));
                    workStatus_.temperatureState = static_cast<std::int16_t>(b[24]);
                    if (work_.lastTemperatureState != workStatus_.temperatureState) {
                        changed = true;
                        work_.lastTemperatureState = workStatus_.temperatureState;
                    }
                    break;
                }
                default:
                    break;  // skipped
            }
            pos += length & ~std::size_t(1);
            remaining -= static_cast<long>(length) + 2;
        }
        if (!node) return false;  // no MAC element named a known device
    } else {
        return false;
    }

    // ---- commit ----
    DeviceRecord& current = directory_.currentRecord;
    const bool isCurrent =
        elementReport ? reportMac == current.macText
                      : isUserLoginModel(current.modelCode) && current.unitId == work_.unitId;
    if (master) {
        workStatus_.masterState = *master;
        if (*master != work_.lastMasterState) {
            changed = true;
            work_.lastMasterState = *master;
        }
    }
    if (workStatus_.shownOutlets == 0) workStatus_.shownOutlets = work_.outletCount;
    if (temperatureSeen) {
        work_.temperature = workStatus_.temperature;
        work_.temperatureState = workStatus_.temperatureState;
        if (work_.temperature != work_.lastTemperature ||
            work_.temperatureState != work_.lastTemperatureState) {
            changed = true;
            work_.lastTemperature = work_.temperature;
            work_.lastTemperatureState = work_.temperatureState;
        }
        if (!workStatus_.sensorPresent) work_.temperatureState = -1;
    }
    const bool windowOpen = frontend_.controlWindowOpen();
    if (!windowOpen) {
        if (work_.powerText != work_.lastPowerText) {
            changed = true;
            work_.lastPowerText = work_.powerText;
        }
        current = work_;
        currentStatus_ = workStatus_;
    } else if (isCurrent) {
        current = work_;
        currentStatus_ = workStatus_;
    }
    if (isCurrent && windowOpen) {
        // The window redraws outlet displays only while its power page shows.
        if (master) frontend_.outletChanged(-1);
        if (outletsSeen) {
            const int shown = std::clamp(work_.outletCount, 0, kMaxOutlets);
            for (int i = 0; i < shown; ++i)
                if (workStatus_.outlets[std::size_t(i)].state != kOutletNotReported)
                    frontend_.outletChanged(i);
        }
    }
    if (outletsSeen || temperatureSeen) {
        const int shown = std::clamp(workStatus_.shownOutlets, 0, kMaxOutlets);
        std::string power;
        if (workStatus_.masterKnown) {
            power += masterDigit(workStatus_.masterState);
            power += ' ';
        }
        for (int i = 0; i < shown; ++i) {
            const std::int32_t code = workStatus_.outlets[std::size_t(i)].state;
            if (outletCodeIsOff(code))
                power += '0';
            else if (outletCodeIsOn(code))
                power += '1';
        }
        work_.powerText = cutText(power, kPowerTextMax);
        if (work_.powerText != work_.lastPowerText) {
            changed = true;
            work_.lastPowerText = work_.powerText;
        }
        if (workStatus_.scheduleKnown) {
            std::string schedule;
            for (int i = 0; i < shown; ++i)
                schedule += workStatus_.outlets[std::size_t(i)].scheduled ? '1' : '0';
            work_.scheduleText = cutText(schedule, kPowerTextMax);
        }
        work_.updateTime = static_cast<std::uint32_t>(clock_.now());
        queueSave(work_);  // written at the end of the tick; the row refreshes then
        *node = work_;
    }
    if (changed) {
        current.lastPowerText = work_.lastPowerText;
        current.lastScheduleText = work_.lastScheduleText;
        current.lastPingText = work_.lastPingText;
        current.lastTemperature = work_.lastTemperature;
        current.lastTemperatureState = work_.lastTemperatureState;
        current.lastMasterState = work_.lastMasterState;
        if (settings_.logEnable)
            writeEventLog(settings_, directory_.dataDir(), work_, clock_.now());
    }
    if (observer_) observer_(work_);
    return true;
}

// ---- coalesced saves ----

void StatusStation::queueSave(const DeviceRecord& record) {
    auto [group, added] = pendingGroup_.try_emplace(record.groupId, pending_.size());
    if (added) pending_.push_back({record.groupId, {}, {}});
    Pending& p = pending_[group->second];
    auto [slot, fresh] = p.slot.try_emplace(record.deviceId, p.records.size());
    if (fresh)
        p.records.push_back(record);
    else
        p.records[slot->second] = record;
}

void StatusStation::commitPendingSaves() {
    if (pending_.empty()) return;
    // Taken out first: a front end called below may not see them twice.
    std::vector<Pending> batch;
    batch.swap(pending_);
    pendingGroup_.clear();
    for (const Pending& p : batch) {
        std::vector<const DeviceRecord*> records;
        records.reserve(p.records.size());
        for (const DeviceRecord& r : p.records) records.push_back(&r);
        if (!saveDeviceRecords(directory_.dataDir(), p.groupId, records)) {
            // The states are in memory but not on disk: they go out again
            // with the next commit, unless a newer report has queued the
            // device meanwhile.
            for (const DeviceRecord& r : p.records) queueSaveIfAbsent(r);
            continue;
        }
        for (const DeviceRecord& r : p.records) frontend_.deviceRecordChanged(r);
    }
}

void StatusStation::queueSaveIfAbsent(const DeviceRecord& record) {
    // A device or group deleted meanwhile has no file left to write to.
    if (!directory_.devices().find(record.deviceId) ||
        directory_.outline().indexOf(record.groupId) < 0)
        return;
    const auto group = pendingGroup_.find(record.groupId);
    if (group != pendingGroup_.end() && pending_[group->second].slot.count(record.deviceId)) return;
    queueSave(record);
}

}  // namespace zelo
