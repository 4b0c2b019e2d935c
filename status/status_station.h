#pragma once
// The monitoring station: the UDP listener, the decoder of the three status
// report layouts with its change detection, and the commit of each report to
// the device's list record, item file, list row, control window and event
// log. One object per station; the desktop program's timer and zeloctl's
// loop both drive it through tick().

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "directory/device_record.h"
#include "status/report_status.h"
#include "status/udp_receiver.h"

namespace zelo {

struct AppSettings;
struct AppState;
class Clock;
class DeviceDirectory;
class Frontend;
class LangStrings;

// Longest datagram taken; longer ones are dropped whole.
inline constexpr std::size_t kMaxReportBytes = 1600;
// Shortest datagram looked at.
inline constexpr std::size_t kMinReportBytes = 10;
// How long one tick may spend draining the receive queue.
inline constexpr std::chrono::microseconds kDefaultTickBudget{20000};

// The 16-bit one's-complement sum of the element report: every big-endian
// word (a last odd byte counts as its value times 256) is added as 0xFFFF
// minus the word, the carry folded back after each addition.
std::uint16_t reportChecksum(const std::uint8_t* data, std::size_t length) noexcept;

struct TickResult {
    bool polled = false;       // the conditions allowed polling
    std::size_t received = 0;  // datagrams taken from the socket
    std::size_t accepted = 0;  // of them, reports committed for a device
};

class StatusStation {
public:
    // `currentStatus` is the status block that goes with the directory's
    // currentRecord (the device control window's device).
    StatusStation(DeviceDirectory& directory, ReportStatus& currentStatus, AppSettings& settings,
                  const LangStrings& strings, Frontend& frontend, const Clock& clock,
                  AppState& state);
    ~StatusStation();
    StatusStation(const StatusStation&) = delete;
    StatusStation& operator=(const StatusStation&) = delete;

    // Opens the listener when MSRPenable is on, on MSRPport, all local
    // addresses. Sets state.listenerOpen when bound; false otherwise (no
    // message: the rest of the program works without it).
    bool openStatusListener();
    // The same on a given port and address (host order, 0 = all local
    // addresses), whatever MSRPenable says: zeloctl listen asks for it.
    bool openStatusListenerOn(std::uint16_t port, std::uint32_t address = 0);
    void closeStatusListener();
    std::uint16_t listenerPort() const noexcept { return receiver_.localPort(); }
    int receiveQueueBytes() const noexcept { return receiver_.receiveQueueBytes(); }

    // One non-blocking receive: decodes the datagram waiting, if any. The
    // byte count received, 0 when nothing was waiting or on an error.
    std::size_t pollStatusListener();
    // Waits (blocking) until a datagram is waiting or the time is up.
    bool waitForReport(std::chrono::milliseconds timeout) noexcept;

    // The timer tick. Polls only while the listener is open, the property
    // dialog is not (openDialog 3) and no batch walk runs (busy); then takes
    // every waiting datagram in arrival order until the queue is empty, the
    // tick budget is spent or `maxAccepted` reports were accepted, and
    // finally saves the records changed in this tick, one rewrite per group.
    TickResult tick(std::size_t maxAccepted = SIZE_MAX);

    // Decodes one datagram and commits it. True when it was accepted (it
    // matched a device and was well formed). The item file saves wait for
    // commitPendingSaves(), which tick() calls at its end.
    bool decodeStatusReport(const std::uint8_t* data, std::size_t count);
    // Saves every record changed since the last call, one rewrite per group
    // with the same contents as saving each in turn; refreshes each saved
    // device's list row. A group whose file cannot be rewritten keeps its
    // records queued for the next call.
    void commitPendingSaves();

    // The directory's devices changed outside a tick (added, removed, MAC or
    // unit number edited): the lookup index is checked again before the next
    // report. tick() checks it by itself.
    void directoryChanged() noexcept { indexChecked_ = false; }

    // Called with the committed record of every accepted report.
    void setReportObserver(std::function<void(const DeviceRecord&)> observer) {
        observer_ = std::move(observer);
    }
    // The tick's time budget and the clock that measures it (microseconds,
    // any epoch; the steady clock by default).
    void setTickBudget(std::chrono::microseconds budget) noexcept { budget_ = budget; }
    void setBudgetClock(std::function<std::int64_t()> micros) { budgetClock_ = std::move(micros); }

private:
    struct Pending {
        std::uint32_t groupId;
        std::vector<DeviceRecord> records;  // latest copy per device, first-report order
        std::unordered_map<std::uint32_t, std::size_t> slot;  // deviceId -> index
    };
    struct IndexKey {
        const DeviceRecord* record;
        std::int32_t modelCode;
        std::uint32_t unitId;
        std::string macText;
    };

    void ensureIndex();
    bool indexMatchesDirectory() const;
    void rebuildIndex();
    DeviceRecord* findByMac(const std::uint8_t* mac, const std::string& text) const;
    DeviceRecord* findByUnit(std::uint32_t unitId) const;
    void queueSave(const DeviceRecord& record);
    void queueSaveIfAbsent(const DeviceRecord& record);
    std::int64_t budgetNow() const;

    DeviceDirectory& directory_;
    ReportStatus& currentStatus_;
    AppSettings& settings_;
    const LangStrings& strings_;
    Frontend& frontend_;
    const Clock& clock_;
    AppState& state_;

    UdpReceiver receiver_;
    std::array<std::uint8_t, kMaxReportBytes + 2>
        buffer_{};  // one byte to see overlong ones, one terminator
    std::array<std::uint8_t, kMaxReportBytes> checksumCopy_{};

    // Scratch pair of one datagram.
    DeviceRecord work_;
    ReportStatus workStatus_;

    // Lookup of reporting devices; first record in list order per key.
    bool indexChecked_ = false;
    std::vector<IndexKey> indexKeys_;
    std::unordered_map<std::uint64_t, std::pair<std::size_t, DeviceRecord*>> byMac_;
    std::vector<std::pair<std::size_t, DeviceRecord*>> longMacs_;  // macText over 12 characters
    std::unordered_map<std::uint32_t, DeviceRecord*> byUnit_;

    std::vector<Pending> pending_;
    std::unordered_map<std::uint32_t, std::size_t> pendingGroup_;  // groupId -> index

    std::function<void(const DeviceRecord&)> observer_;
    std::chrono::microseconds budget_ = kDefaultTickBudget;
    std::function<std::int64_t()> budgetClock_;
};

}  // namespace zelo
