#pragma once
// What the station counts of its own work: every datagram by what became of
// it, and how long each tick that received something took from its first
// datagram to its saves done. Plain numbers, written only by the tick; a
// reader on another thread takes a copy on the tick's thread.

#include <array>
#include <cstddef>
#include <cstdint>

namespace zelo {

// What became of one datagram.
enum class ReportOutcome : std::uint8_t {
    Accepted,     // committed to a device
    TooShort,     // under the shortest report (empty ones too)
    TooLong,      // over the longest report taken
    Malformed,    // breaks a rule of its layout (length words, checksum, elements)
    NoMac,        // a well-formed element report without a MAC element
    UnknownMac,   // its MAC names no device of the directory
    UnknownUnit,  // an older layout's unit number names no device
};
inline constexpr std::size_t kReportOutcomes = 7;

// Upper bounds (inclusive) of the tick-time buckets, in microseconds.
inline constexpr std::array<std::int64_t, 11> kTickBucketMicros{
    500, 1000, 2500, 5000, 10000, 25000, 50000, 100000, 250000, 500000, 1000000};

struct TickTimes {
    // Ticks per bucket (not cumulative); slower ones count only in `count`.
    std::array<std::uint64_t, kTickBucketMicros.size()> buckets{};
    std::uint64_t count = 0;
    std::int64_t sumMicros = 0;

    void record(std::int64_t micros) noexcept;
};

struct StationCounters {
    std::array<std::uint64_t, kReportOutcomes> reports{};
    TickTimes tickTimes;

    std::uint64_t& operator[](ReportOutcome o) noexcept { return reports[std::size_t(o)]; }
    std::uint64_t operator[](ReportOutcome o) const noexcept { return reports[std::size_t(o)]; }
};

}  // namespace zelo
