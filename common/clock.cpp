#include "common/clock.h"

#include <ctime>

namespace zelo {

std::int64_t SystemClock::now() const noexcept { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace zelo
