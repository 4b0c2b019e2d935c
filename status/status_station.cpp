#include "status/status_station.h"

#include "common/app_state.h"
#include "settings/app_settings.h"

namespace zelo {

StatusStation::StatusStation(DeviceDirectory& directory, DeviceRecord& currentRecord,
                             DeviceStatus& currentStatus, AppSettings& settings,
                             const LangStrings& /*strings*/, DeviceView& view, const Clock& clock,
                             AppState& state)
    : settings_(settings),
      state_(state),
      commit_(directory, currentRecord, currentStatus, settings, view, clock, state) {}

StatusStation::~StatusStation() {
    closeStatusListener();
}

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

bool StatusStation::decodeStatusReport(const std::uint8_t* data, std::size_t size) {
    ReportOutcome outcome = ReportOutcome::Malformed;
    if (size < kMinReportBytes) {
        outcome = ReportOutcome::TooShort;
    } else if (size > kMaxReportBytes) {
        outcome = ReportOutcome::TooLong;
    } else if (const std::optional<DecodedReport> report = decodeReport(data, size)) {
        outcome = commit_.commit(*report);
    }
    ++counters_[outcome];
    return outcome == ReportOutcome::Accepted;
}

bool StatusStation::commitReport(const DecodedReport& report) {
    const ReportOutcome outcome = commit_.commit(report);
    ++counters_[outcome];
    return outcome == ReportOutcome::Accepted;
}

std::int64_t StatusStation::budgetNow() const {
    if (budgetClock_) return budgetClock_();
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TickResult StatusStation::tick(std::size_t maxAccepted) {
    TickResult result;
    if (!state_.listenerOpen || state_.openDialog == OpenDialog::Property || state_.busy)
        return result;
    result.polled = true;
    const std::int64_t start = budgetNow();
    while (result.accepted < maxAccepted) {
        std::size_t size = 0;
        const auto r = receiver_.receive(buffer_.data(), kMaxReportBytes + 1, size);
        if (r == UdpReceiver::Result::Empty || r == UdpReceiver::Result::Error) break;
        ++result.received;
        if (size <= kMaxReportBytes) buffer_[size] = 0;
        if (decodeStatusReport(buffer_.data(), size)) ++result.accepted;
        if (budgetNow() - start >= budget_.count()) break;
    }
    commit_.savePending();
    if (result.received > 0) counters_.tickTimes.record(budgetNow() - start);
    return result;
}

}  // namespace zelo
