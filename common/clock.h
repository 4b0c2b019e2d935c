#pragma once
// The seconds clock. Everything that measures a time-out or stamps a time
// reads it through this interface, so tests can drive it by hand.

#include <cstdint>

namespace zelo {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since 1970-01-01 00:00 UTC.
    virtual std::int64_t now() const noexcept = 0;
};

class SystemClock final : public Clock {
public:
    std::int64_t now() const noexcept override;
};

// A clock that only moves when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(std::int64_t start = 0) noexcept : now_(start) {}
    std::int64_t now() const noexcept override { return now_; }
    void set(std::int64_t t) noexcept { now_ = t; }
    void advance(std::int64_t seconds) noexcept { now_ += seconds; }

private:
    std::int64_t now_;
};

}  // namespace zelo
