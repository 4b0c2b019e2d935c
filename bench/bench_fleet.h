#pragma once
// The benchmarks' fleet: the MAC address of device i, an element report of
// such a device whose outlets and temperature follow `variant`, the n-th
// report of a stream over the fleet, and a data directory of `devices`
// GV2208s with those MACs in `groups` groups.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/report.h"
#include "tests/support/temp_dir.h"

namespace zelo::bench {

inline std::string macOf(int i) {
    char buf[16];  // room for any int; the fleet's ids take six digits
    std::snprintf(buf, sizeof buf, "0010AA%06X", static_cast<unsigned>(i));
    return buf;
}

// With `master`, the report carries the master power too (on).
inline std::vector<std::uint8_t> fleetReport(int device, int variant, bool master = false) {
    sim::ReportState s;
    s.mac = macOf(device);
    s.model = 13;
    s.master = master;
    for (int k = 0; k < 4; ++k) s.outlets.push_back({(variant >> k) & 1, 0});
    s.schedule.assign(4, false);
    s.temperature = 2000 + variant;
    s.sequence = static_cast<std::uint16_t>(variant);
    return sim::EncodeElementReport(s);
}

// The n-th report of a stream over `devices` devices: each device once in
// every `devices` reports, in a scattered order, and its variant moved on by
// one from its previous report, so that a report never repeats what the
// device last said however long the stream runs.
struct FleetTurn {
    int device = 0;
    int variant = 0;
};
inline FleetTurn fleetTurn(std::int64_t n, int devices) {
    const std::int64_t place = n % devices, pass = n / devices;
    return {static_cast<int>(place * 7919 % devices), static_cast<int>((place + pass) % 16)};
}

// Made afresh at `dir` (which ends with a separator), event logs off; every
// device starts with `powerText` as its last known outlet states.
inline void writeFleetDirectory(const std::string& dir, int devices, int groups,
                                const std::string& powerText = "1111") {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string outline = "0\tRoot\t0\r\n";
    for (int g = 1; g <= groups; ++g) {
        outline += "1\tG" + std::to_string(g) + "\t" + std::to_string(g) + "\r\n";
        std::string items = "#ZELO ITEM FILE#VER 2\r\n";
        for (int i = (g - 1) * (devices / groups); i < g * (devices / groups); ++i) {
            char id[16];
            std::snprintf(id, sizeof id, "%X", i + 1);
            items += "dev" + std::to_string(i) + "\r\nGV2208\r\n" + id +
                     "\r\n13\r\n#10.0.0.1 17\r\n" + powerText + "\r\n \r\n00000000 00000000\r\n" +
                     macOf(i) + "\r\ntavik admin\r\n0 s\r\n\r\n\r\n\r\n0\r\n-1\r\n";
        }
        char name[16];
        std::snprintf(name, sizeof name, "%08X.IDX", g);
        test::writeBytes(dir + name, items);
    }
    test::writeBytes(dir + "ZELO_DIR.DAT", outline);
    test::writeBytes(dir + "ZELO.INI", "[ZELO]\r\nLanguage=1\r\nLogEnable=0\r\n");
}

}  // namespace zelo::bench
