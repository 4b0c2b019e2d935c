#pragma once
// The monitoring station: the UDP listener and its timer tick. Each datagram
// is decoded (report_decoder.h) and committed to the device that sent it
// (report_commit.h). One object per station; the desktop program's timer and
// zeloctl's loop both drive it through tick().

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "status/report_commit.h"
#include "status/report_decoder.h"
#include "status/station_counters.h"
#include "status/udp_receiver.h"

namespace zelo {

struct AppSettings;
struct AppState;
class Clock;
class DeviceDirectory;
class DeviceView;
class LangStrings;
struct DeviceRecord;
struct DeviceStatus;

// How long one tick may spend draining the receive queue.
inline constexpr std::chrono::microseconds kDefaultTickBudget{20000};

struct TickResult {
    bool polled = false;       // the conditions allowed polling
    std::size_t received = 0;  // datagrams taken from the socket
    std::size_t accepted = 0;  // of them, reports committed for a device
};

class StatusStation {
public:
    // `currentRecord` and `currentStatus` are the device being handled (the
    // control window's device while it is open).
    StatusStation(DeviceDirectory& directory, DeviceRecord& currentRecord,
                  DeviceStatus& currentStatus, AppSettings& settings, const LangStrings& strings,
                  DeviceView& view, const Clock& clock, AppState& state);
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
    // Why the last open of the listener failed, in the system's words.
    const std::string& listenerError() const noexcept { return receiver_.openError(); }
    int receiveQueueBytes() const noexcept { return receiver_.receiveQueueBytes(); }

    // Waits (blocking) until a datagram is waiting or the time is up.
    bool waitForReport(std::chrono::milliseconds timeout) noexcept;

    // The timer tick. Polls only while the listener is open, the property
    // dialog is not (openDialog 3) and no batch walk runs (busy); then takes
    // every waiting datagram in arrival order until the queue is empty, the
    // tick budget is spent or `maxAccepted` reports were accepted, and
    // finally saves the records changed in this tick, one rewrite per group.
    TickResult tick(std::size_t maxAccepted = SIZE_MAX);

    // Decodes one datagram of `count` bytes and commits it, and counts what
    // became of it. True when it was accepted (it matched a device and was
    // well formed). A datagram over kMaxReportBytes is counted and not read.
    // The item file saves wait for commitPendingSaves(), which tick() calls
    // at its end.
    bool decodeStatusReport(const std::uint8_t* data, std::size_t count);
    // The second half of that: commits a report decoded already.
    bool commitReport(const DecodedReport& report);
    // Saves every record changed since the last call, one rewrite per group
    // (ReportCommit::savePending).
    void commitPendingSaves() { commit_.savePending(); }

    // A record's MAC, unit number or model was changed in place rather than
    // through the directory (which the lookup follows by itself): the lookup
    // index is rebuilt before the next report.
    void directoryChanged() noexcept { commit_.directoryChanged(); }

    // The tick's time budget and the clock that measures it (microseconds,
    // any epoch; the steady clock by default).
    void setTickBudget(std::chrono::microseconds budget) noexcept { budget_ = budget; }
    void setBudgetClock(std::function<std::int64_t()> micros) { budgetClock_ = std::move(micros); }

    // Every datagram by what became of it, and the time of each tick that
    // received one (measured with the budget clock), since the start.
    const StationCounters& counters() const noexcept { return counters_; }

private:
    std::int64_t budgetNow() const;

    AppSettings& settings_;
    AppState& state_;
    ReportCommit commit_;

    UdpReceiver receiver_;
    std::array<std::uint8_t, kMaxReportBytes + 2>
        buffer_{};  // one byte to see overlong ones, one terminator

    std::chrono::microseconds budget_ = kDefaultTickBudget;
    std::function<std::int64_t()> budgetClock_;
    StationCounters counters_;
};

}  // namespace zelo
