#include "status/station_counters.h"

namespace zelo {

void TickTimes::record(std::int64_t micros) noexcept {
    if (micros < 0) micros = 0;  // a clock stepped back counts as instant
    ++count;
    sumMicros += micros;
    for (std::size_t i = 0; i < kTickBucketMicros.size(); ++i) {
        if (micros <= kTickBucketMicros[i]) {
            ++buckets[i];
            return;
        }
    }
}

}  // namespace zelo
