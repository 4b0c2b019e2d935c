#pragma once
// The status block a status report is decoded into, and the one that goes
// with the record being handled (currentRecord) as far as reports fill it:
// master switch, outlets, schedule flags, temperature. It is not stored; only
// the record's column texts and temperature fields persist.

#include <array>
#include <cstdint>

#include "directory/device_record.h"

namespace zelo {

// Outlet state codes: 0 off, 1 on, 2 on with switch-off running, 5 off with
// switch-on running; 3, 4 and 6 come from readouts; -1 not reported. For the
// column texts 0, 3 and 5 count as off, 1, 2, 4 and 6 as on.
inline constexpr std::int32_t kOutletNotReported = -1;

struct ReportOutlet {
    std::int32_t state = kOutletNotReported;
    std::int32_t type = 0;
    bool scheduled = false;
    bool offLock = false;
};

struct ReportStatus {
    bool masterPresent = false;
    bool masterKnown = false;
    std::int32_t masterState = 0;   // 0 off, non-zero on
    std::int32_t shownOutlets = 0;  // how many outlets the texts and displays cover
    std::array<ReportOutlet, kMaxOutlets> outlets{};
    bool scheduleKnown = false;
    bool temperatureKnown = false;
    bool sensorPresent = false;
    std::int16_t temperature = 0;       // hundredths of a degree
    std::int16_t temperatureState = 0;  // as received

    // Everything cleared, every outlet "not reported": the state a report's
    // work copy starts from.
    void reset() noexcept { *this = ReportStatus{}; }
};

}  // namespace zelo
