// The fleet description: what a file says and what it may not say.

#include <gtest/gtest.h>

#include <set>

#include "sim/fleet.h"

namespace zelo::sim::test {
namespace {

TEST(SimFleet, SampleFleetHasOneUnitOfEveryModel) {
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(LoadFleetFile(ZELO_SIM_SAMPLE_FLEET, fleet, error)) << error;
    std::multiset<int> models;
    std::set<int> ports;
    for (const auto& d : fleet.devices) {
        models.insert(d.model);
        ports.insert(d.port);
        EXPECT_FALSE(ModelName(d.model).empty());
        EXPECT_EQ(d.station, "127.0.0.1:5000");
        EXPECT_EQ(static_cast<int>(d.states.size()), d.outlets);
    }
    for (int m : {3, 5, 6, 7, 8, 9, 10, 11, 12, 13}) EXPECT_EQ(models.count(m), 1u) << m;
    EXPECT_EQ(fleet.devices.size(), 10u);
    EXPECT_EQ(ports.size(), 10u);
}

TEST(SimFleet, ModelDefaultsAndFileValues) {
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(ParseFleet("[a]\nmodel = 3\n[b]\nmodel = 12\nstates = 10\noutlets = 2\n"
                           "mac = 00-80-87-aa-bb-cc\nlogin = login\n",
                           fleet, error))
        << error;
    const auto& a = fleet.devices[0];
    EXPECT_EQ(a.password, "7394");
    EXPECT_EQ(a.prompt, "HX");
    EXPECT_EQ(a.selectNumber, "00");
    EXPECT_TRUE(a.master);
    EXPECT_EQ(a.layout, ReportLayout::Element);
    const auto& b = fleet.devices[1];
    EXPECT_EQ(b.password, "tavik");
    EXPECT_EQ(b.mac, "008087AABBCC");
    EXPECT_EQ(b.states, (std::vector<int>{1, 0}));
    EXPECT_NE(a.mac, b.mac);
    Fleet older;
    ASSERT_TRUE(ParseFleet("[s]\nmodel = 6\n[t]\nmodel = 9\n", older, error));
    EXPECT_EQ(older.devices[0].layout, ReportLayout::Short);
    EXPECT_EQ(older.devices[1].layout, ReportLayout::Table);
    EXPECT_NE(older.devices[0].unit, older.devices[1].unit);
}

TEST(SimFleet, TopLinesAreDefaultsThatSectionsOverride) {
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(ParseFleet("rate = 250\nstation = 10.0.0.1:5000\ninterval = 5\n"
                           "[a]\nmodel = 5\n[b]\nmodel = 5\ninterval = 9\n",
                           fleet, error));
    EXPECT_EQ(fleet.ratePerSecond, 250);
    EXPECT_EQ(fleet.devices[0].intervalSeconds, 5);
    EXPECT_EQ(fleet.devices[1].intervalSeconds, 9);
    EXPECT_EQ(fleet.devices[1].station, "10.0.0.1:5000");
}

TEST(SimFleet, RecurringEventsTakeTheirPeriodsAndDefaults) {
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(ParseFleet("[a]\nmodel = 11\nping-trip = 45\noffline-cycle = 40:15\n"
                           "[b]\nmodel = 13\nping-trip = 30:3\noffline-cycle = 60:5:silent\n"
                           "[c]\nmodel = 3\n",
                           fleet, error))
        << error;
    const auto& a = fleet.devices[0];
    EXPECT_EQ(a.pingTripSeconds, 45);
    EXPECT_EQ(a.pingTripEntry, 1);
    EXPECT_EQ(a.onlineSeconds, 40);
    EXPECT_EQ(a.offlineSeconds, 15);
    EXPECT_FALSE(a.offlineSilent);
    const auto& b = fleet.devices[1];
    EXPECT_EQ(b.pingTripEntry, 3);
    EXPECT_EQ(b.onlineSeconds, 60);
    EXPECT_EQ(b.offlineSeconds, 5);
    EXPECT_TRUE(b.offlineSilent);
    const auto& c = fleet.devices[2];
    EXPECT_EQ(c.pingTripSeconds, 0);
    EXPECT_EQ(c.offlineSeconds, 0);
}

// The fleet the live demo runs: every model, one temperature alarm, a ping
// watch that trips, a unit that leaves the network now and then, and
// reports every few seconds.
TEST(SimFleet, DemoFleetShowsEveryModelAndEveryKindOfEvent) {
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(LoadFleetFile(ZELO_SIM_DEMO_FLEET, fleet, error)) << error;
    std::set<int> models;
    std::set<std::string> macs;
    std::set<int> units;
    int alarms = 0, trips = 0, absences = 0;
    for (const auto& d : fleet.devices) {
        SCOPED_TRACE(d.name);
        models.insert(d.model);
        EXPECT_TRUE(macs.insert(d.mac).second) << "MAC shared: " << d.mac;
        if (d.model >= 6 && d.model <= 10) EXPECT_TRUE(units.insert(d.unit).second);
        EXPECT_EQ(d.port, 0);  // the demo takes free ports
        EXPECT_GT(d.intervalSeconds, 0);
        EXPECT_LE(d.intervalSeconds, 10);
        EXPECT_NE(d.layout, ReportLayout::None);
        EXPECT_TRUE(d.faults.reportFault.empty());
        alarms += d.sensor && d.temperatureState == 2;
        trips += d.pingTripSeconds > 0;
        absences += d.offlineSeconds > 0;
    }
    EXPECT_EQ(models, (std::set<int>{3, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(alarms, 1);
    EXPECT_EQ(trips, 1);
    EXPECT_EQ(absences, 1);
}

TEST(SimFleet, CountMakesNumberedCopiesWithTheirOwnPortsAndAddresses) {
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(ParseFleet("[rack]\nmodel = 8\ncount = 3\nport = 4000\nunit = 65535\n"
                           "mac = 00:80:87:00:00:FF\n",
                           fleet, error));
    ASSERT_EQ(fleet.devices.size(), 3u);
    EXPECT_EQ(fleet.devices[0].name, "rack-1");
    EXPECT_EQ(fleet.devices[2].name, "rack-3");
    EXPECT_EQ(fleet.devices[2].port, 4002);
    EXPECT_EQ(fleet.devices[1].mac, "008087000100");
    EXPECT_EQ(fleet.devices[1].unit, 0);  // unit numbers wrap at 16 bits
    EXPECT_EQ(fleet.devices[2].systemName, "rack-3");
}

TEST(SimFleet, ErrorsNameTheirLine) {
    const std::pair<const char*, const char*> bad[] = {
        {"[a]\nmodel = 3\ncolour = red\n", "line 3"},
        {"[a]\nmodel = 4\n", "line 1"},
        {"[a]\nmodel = 3\nstates = 101\n", "line 1"},
        {"[a]\nmodel = 3\nport = 70000\n", "line 3"},
        {"[a]\nmodel = 3\n[a]\nmodel = 5\n", "line 3"},
        {"[a]\nmodel = 3\nfaults = slow:x\n", "line 3"},
        {"[a]\nmodel = 3\njust words\n", "line 3"},
        {"[a]\nmodel = 11\nping = 1:0,9\n", "line 3"},
        {"[a]\nmodel = 11\nping-trip = 0\n", "line 3"},
        {"[a]\nmodel = 11\nping-trip = 30:x\n", "line 3"},
        {"[a]\nmodel = 11\nping-trip = 30:2:1\n", "line 3"},
        {"[a]\nmodel = 3\nping-trip = 30\n", "line 1"},  // no watch entries at all
        {"[a]\nmodel = 11\nping-trip = 30:5\n", "line 1"},
        {"[a]\nmodel = 3\noffline-cycle = 40\n", "line 3"},
        {"[a]\nmodel = 3\noffline-cycle = 40:0\n", "line 3"},
        {"[a]\nmodel = 3\noffline-cycle = 40:15:gone\n", "line 3"},
    };
    for (const auto& [text, where] : bad) {
        Fleet fleet;
        std::string error;
        EXPECT_FALSE(ParseFleet(text, fleet, error)) << text;
        EXPECT_EQ(error.compare(0, std::string(where).size(), where), 0) << text << " -> " << error;
    }
}

TEST(SimFleet, FaultListsParseAndRejectUnknownNames) {
    FaultConfig f;
    std::string error;
    ASSERT_TRUE(ParseFaults("close-after:120, slow:300, garbage:2, split-iac, flood, refuse-password, "
                            "close-at:cmd3, report:truncated, mute-commands",
                            f, error))
        << error;
    EXPECT_EQ(f.closeAfterBytes, 120);
    EXPECT_EQ(f.slowMs, 300);
    EXPECT_EQ(f.garbageLines, 2);
    EXPECT_TRUE(f.splitIac);
    EXPECT_GT(f.floodBytes, 8192);  // more than a client's receive ring
    EXPECT_TRUE(f.refusePassword);
    EXPECT_EQ(f.closeAt, "cmd3");
    EXPECT_EQ(f.reportFault, "truncated");
    EXPECT_TRUE(f.muteCommands);
    EXPECT_FALSE(f.muteAll);
    for (const char* bad : {"explode", "close-at:never", "report:loud", "close-after:-1", "close-at:cmd0"}) {
        FaultConfig g;
        EXPECT_FALSE(ParseFaults(bad, g, error)) << bad;
    }
    ASSERT_TRUE(ParseFaults("none", f, error));
    EXPECT_EQ(f.slowMs, 0);
    EXPECT_EQ(f.closeAfterBytes, -1);
}

TEST(SimFleet, StormAndDripFaultsTakeTheirNumbers) {
    FaultConfig f;
    std::string error;
    ASSERT_TRUE(ParseFaults("iac-storm:500, drip:250", f, error)) << error;
    EXPECT_EQ(f.iacStorm, 500);
    EXPECT_EQ(f.dripMs, 250);
    ASSERT_TRUE(ParseFaults("iac-storm, drip", f, error)) << error;
    EXPECT_EQ(f.iacStorm, 32);
    EXPECT_EQ(f.dripMs, 1000);  // a byte a second
    for (const char* bad : {"iac-storm:0", "iac-storm:x", "drip:0", "drip:-5"}) {
        FaultConfig g;
        EXPECT_FALSE(ParseFaults(bad, g, error)) << bad;
    }
    ASSERT_TRUE(ParseFaults("none", f, error));
    EXPECT_EQ(f.iacStorm, 0);
    EXPECT_EQ(f.dripMs, 0);
}

}  // namespace
}  // namespace zelo::sim::test
