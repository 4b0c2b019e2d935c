#include "common/clock.h"

#include <chrono>
#include <ctime>

namespace zelo {

std::int64_t SystemClock::now() const noexcept {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::int64_t SystemClock::micros() const noexcept {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace zelo
