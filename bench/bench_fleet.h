#pragma once
// The benchmarks' fleet: the MAC address of device i, and an element report
// of such a device whose outlets and temperature follow `variant`.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/report.h"

namespace zelo::bench {

inline std::string macOf(int i) {
    char buf[16];  // room for any int; the fleet's ids take six digits
    std::snprintf(buf, sizeof buf, "0010AA%06X", static_cast<unsigned>(i));
    return buf;
}

inline std::vector<std::uint8_t> fleetReport(int device, int variant) {
    sim::ReportState s;
    s.mac = macOf(device);
    s.model = 13;
    for (int k = 0; k < 4; ++k) s.outlets.push_back({(variant >> k) & 1, 0});
    s.schedule.assign(4, false);
    s.temperature = 2000 + variant;
    s.sequence = static_cast<std::uint16_t>(variant);
    return sim::EncodeElementReport(s);
}

}  // namespace zelo::bench
