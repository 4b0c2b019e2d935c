#pragma once
// The status report datagram read into values: the layout, who sent it and
// what each element says, in the order the elements arrived. Pure: no
// directory, file, clock or setting is touched. Every bound is checked here;
// a datagram any part of which would be read past its end, or which breaks a
// rule of its layout, is no report at all.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "directory/device_record.h"

namespace zelo {

// Longest datagram taken; longer ones are dropped whole.
inline constexpr std::size_t kMaxReportBytes = 1600;
// Shortest datagram looked at.
inline constexpr std::size_t kMinReportBytes = 10;
// Outlets of the two older layouts.
inline constexpr int kOlderLineOutlets = 4;

// The 16-bit one's-complement sum of the element report: every big-endian
// word (a last odd byte counts as its value times 256) is added as 0xFFFF
// minus the word, the carry folded back after each addition.
std::uint16_t reportChecksum(const std::uint8_t* data, std::size_t length) noexcept;

enum class ReportLayout { Element, Table, Short };

struct MacElement {
    std::array<std::uint8_t, 6> mac{};  // in transmission order
};
struct MasterElement {
    std::uint16_t state = 0;
};
struct ReportedOutlet {
    std::uint16_t code = 0;  // as sent
    bool output = false;     // the output is live
    // The state shown: code 5 with a live output is on (1), code 2 without
    // one is off (0), any other code as sent.
    int state() const noexcept {
        if (code == 5 && output) return 1;
        if (code == 2 && !output) return 0;
        return code;
    }
};
struct OutletsElement {
    std::uint16_t count = 0;  // as sent; only the first kMaxOutlets are kept
    std::array<ReportedOutlet, kMaxOutlets> outlets{};
    std::size_t kept() const noexcept { return count < kMaxOutlets ? count : kMaxOutlets; }
};
struct ScheduleElement {
    std::uint16_t count = 0;  // as sent; only the first kMaxOutlets are kept
    std::array<bool, kMaxOutlets> scheduled{};
    std::size_t kept() const noexcept { return count < kMaxOutlets ? count : kMaxOutlets; }
};
struct PingWatchEntry {
    std::uint16_t state = 0;  // 0 idle, 1 answering, 3 rebooting, others failed
    std::uint16_t reboots = 0;
};
struct PingElement {
    std::vector<PingWatchEntry> entries;  // all that were sent
};
struct TemperatureElement {
    bool sensor = false;           // a sensor is fitted
    std::uint8_t state = 0;        // 0 normal, 1..4 warnings and alarms
    std::int16_t temperature = 0;  // hundredths of a degree
};
using ReportElement = std::variant<MacElement, MasterElement, OutletsElement, ScheduleElement,
                                   PingElement, TemperatureElement>;

struct DecodedReport {
    ReportLayout layout = ReportLayout::Element;
    // Element layout: the known elements in order of arrival (filler and
    // unknown types are skipped). Devices send the MAC element first.
    std::vector<ReportElement> elements;
    // Older layouts: the unit number and the state of outlets 0 to 3.
    std::uint16_t unitId = 0;
    std::array<int, kOlderLineOutlets> unitOutlets{};
};

// One datagram of `count` bytes; nothing when it is not a well-formed report.
std::optional<DecodedReport> decodeReport(const std::uint8_t* data, std::size_t count);

}  // namespace zelo
