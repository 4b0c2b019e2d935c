// `ping = none` in a fleet file: a unit of models 11 to 13 then has no ping
// watch, and its element reports carry no ping watch element.
#include <gtest/gtest.h>

#include <string>

#include "sim/device.h"
#include "sim/fleet.h"
#include "sim/report.h"

namespace zelo {
namespace {

sim::DeviceConfig parseOne(const std::string& text) {
    sim::Fleet fleet;
    std::string error;
    EXPECT_TRUE(sim::ParseFleet(text, fleet, error)) << error;
    return fleet.devices.empty() ? sim::DeviceConfig{} : fleet.devices.front();
}

TEST(FleetPing, NoneLeavesAUnitWithoutPingWatch) {
    for (const char* model : {"11", "12", "13"}) {
        const sim::DeviceConfig none =
            parseOne(std::string("[u]\nmodel = ") + model + "\nping = none\n");
        EXPECT_TRUE(none.ping.empty()) << model;
        // Header 8, MAC 12, four outlets 30, schedule 22, temperature 32, a
        // filler word for each of the four elements 8: no ping watch element.
        sim::Device device(none, 0);
        EXPECT_EQ(sim::EncodeElementReport(device.reportState()).size(), 112u) << model;
    }
}

TEST(FleetPing, DefaultIsFourWatchingEntries) {
    const sim::DeviceConfig d = parseOne("[u]\nmodel = 13\n");
    ASSERT_EQ(d.ping.size(), 4u);
    for (const sim::PingEntry& p : d.ping) EXPECT_EQ(p.state, 1);
    // The same as above plus the 142-byte ping watch element and its filler.
    sim::Device device(d, 0);
    EXPECT_EQ(sim::EncodeElementReport(device.reportState()).size(), 112u + 142u + 2u);
}

TEST(FleetPing, NoneInTheDefaultsHoldsForEveryUnit) {
    sim::Fleet fleet;
    std::string error;
    ASSERT_TRUE(sim::ParseFleet("ping = none\n[a]\nmodel = 11\n[b]\nmodel = 12\nping = 1:0\n",
                                fleet, error))
        << error;
    ASSERT_EQ(fleet.devices.size(), 2u);
    EXPECT_TRUE(fleet.devices[0].ping.empty());
    EXPECT_EQ(fleet.devices[1].ping.size(), 1u);
}

}  // namespace
}  // namespace zelo
