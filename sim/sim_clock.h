#pragma once
// The simulator's clocks. Device timers (power-on delays, slow answers,
// report intervals) run in milliseconds on a monotonic clock; the device's
// calendar (DT, DATE, TIME) reads the wall clock. Tests drive both by hand.

#include <cstdint>

namespace zelo::sim {

class SimClock {
public:
    virtual ~SimClock() = default;
    // Monotonic milliseconds; only differences matter.
    virtual std::int64_t nowMs() const noexcept = 0;
    // Seconds since 1970-01-01 00:00 UTC.
    virtual std::int64_t wallSeconds() const noexcept = 0;
};

class SteadySimClock final : public SimClock {
public:
    std::int64_t nowMs() const noexcept override;
    std::int64_t wallSeconds() const noexcept override;
};

// Moves only when told to; the wall clock moves along with it.
class ManualSimClock final : public SimClock {
public:
    explicit ManualSimClock(std::int64_t startMs = 1000, std::int64_t wallStart = 1143892800)
        : ms_(startMs), wall0_(wallStart), ms0_(startMs) {}
    std::int64_t nowMs() const noexcept override { return ms_; }
    std::int64_t wallSeconds() const noexcept override { return wall0_ + (ms_ - ms0_) / 1000; }
    void advanceMs(std::int64_t ms) noexcept { ms_ += ms; }

private:
    std::int64_t ms_;
    std::int64_t wall0_;
    std::int64_t ms0_;
};

}  // namespace zelo::sim
