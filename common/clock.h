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
    // A steady count of microseconds for measuring waits (its origin means
    // nothing).
    virtual std::int64_t micros() const noexcept = 0;
};

class SystemClock final : public Clock {
public:
    std::int64_t now() const noexcept override;
    std::int64_t micros() const noexcept override;
};

// A clock that only moves when told to; both readings move together.
class ManualClock final : public Clock {
public:
    explicit ManualClock(std::int64_t start = 0) noexcept : micros_(start * 1'000'000) {}
    std::int64_t now() const noexcept override { return micros_ / 1'000'000; }
    std::int64_t micros() const noexcept override { return micros_; }
    void set(std::int64_t t) noexcept { micros_ = t * 1'000'000; }
    void advance(std::int64_t seconds) noexcept { micros_ += seconds * 1'000'000; }
    void advanceMicros(std::int64_t us) noexcept { micros_ += us; }

private:
    std::int64_t micros_;
};

}  // namespace zelo
