// The fleet description, and the simulator's status reports as the station's
// own decoder reads them.
#include <gtest/gtest.h>

#include <set>

#include "sim/device.h"
#include "sim/fleet.h"
#include "sim/report.h"
#include "tests/status/report_builder.h"

namespace zelo::sim::test {
namespace {

TEST(SimFleet, NumberedCopiesTakeTheirOwnPortsAndAddressesAndTheSampleHasEveryModel) {
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(ParseFleet("[rack]\nmodel = 8\ncount = 3\nport = 4000\nunit = 65535\nmac = 00-80-87-00-00-ff\n", fleet, error));
    std::string got;
    for (const auto& d : fleet.devices) got += d.name + " " + std::to_string(d.port) + " " + d.mac + " " + std::to_string(d.unit) + ", ";
    EXPECT_EQ(got, "rack-1 4000 0080870000FF 65535, rack-2 4001 008087000100 0, rack-3 4002 008087000101 1, ");  // units wrap at 16 bits
    Fleet sample;  // the demonstration fleet: one unit of every model, each on its own port
    ASSERT_TRUE(LoadFleetFile(ZELO_SIM_SAMPLE_FLEET, sample, error)) << error;
    std::multiset<int> models;
    std::set<int> ports;
    for (const auto& d : sample.devices) models.insert(d.model), ports.insert(d.port);
    EXPECT_EQ(models, (std::multiset<int>{3, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(ports.size(), 10u);
}

TEST(SimFleet, ErrorsNameTheirLine) {
    const std::pair<const char*, const char*> bad[] = {
        {"[a]\nmodel = 3\ncolour = red\n", "line 3"},   {"[a]\nmodel = 4\n", "line 1"},
        {"[a]\nmodel = 3\nstates = 101\n", "line 1"},   {"[a]\nmodel = 3\nport = 70000\n", "line 3"},
        {"[a]\nmodel = 3\n[a]\nmodel = 5\n", "line 3"}, {"[a]\nmodel = 3\nfaults = slow:x\n", "line 3"},
        {"[a]\nmodel = 3\njust words\n", "line 3"},     {"[a]\nmodel = 11\nping = 1:0,9\n", "line 3"},
    };
    for (const auto& [text, where] : bad) {
        Fleet fleet;
        std::string error;
        EXPECT_FALSE(ParseFleet(text, fleet, error)) << text;
        EXPECT_EQ(error.compare(0, std::string(where).size(), where), 0) << text << " -> " << error;
    }
}

TEST(SimFleet, FaultListsTakeTheirDefaultsAndRejectUnknownNames) {
    FaultConfig f;
    std::string error;
    ASSERT_TRUE(ParseFaults("slow:5, iac-storm, drip, flood", f, error)) << error;
    EXPECT_EQ(std::to_string(f.slowMs) + " " + std::to_string(f.iacStorm) + " " + std::to_string(f.dripMs), "5 32 1000");
    EXPECT_GT(f.floodBytes, 8192);  // beyond a client's receive ring
    ASSERT_TRUE(ParseFaults("none", f, error));
    EXPECT_EQ(f.slowMs + f.iacStorm + f.dripMs + f.floodBytes, 0);
    for (const char* bad : {"explode", "close-at:never", "report:loud", "close-after:-1", "close-at:cmd0", "iac-storm:0",
                            "iac-storm:x", "drip:0", "drip:-5"})
        EXPECT_FALSE(ParseFaults(bad, f, error)) << bad;
}

using zelo::test::describe;

ReportState sample(int outlets, bool master = true) {
    ReportState s;
    s.mac = "00808712ABCD";
    s.unit = 258;
    s.model = 3;
    s.master = master;
    s.masterState = 1;
    for (int i = 0; i < outlets; ++i) {
        s.outlets.push_back(OutletReport{"10251011"[i] - '0', 0});
        s.schedule.push_back(i % 2 == 0);
    }
    s.ping = {PingEntry{1, 0, 0x7F000001}, PingEntry{0, 2, 0}, PingEntry{3, 1, 0}, PingEntry{2, 7, 0}};
    s.temperature = 2350;
    s.temperatureState = 1;
    return s;
}

TEST(SimReport, TheStationsDecoderReadsEveryLayoutAndForm) {
    ReportState longForms = sample(8, false), noSensor = sample(2), older = sample(4);
    longForms.pingCompact = longForms.temperatureShortForm = false;
    longForms.ping.push_back(PingEntry{1, 9, 0});
    longForms.temperature = -425;
    longForms.temperatureState = 4;
    noSensor.sensor = false;
    older.unit = 0x1234;
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(ParseFleet("[u]\nmodel = 13\nmac = 000000000001\nping = none\n", fleet, error)) << error;
    const std::pair<std::vector<std::uint8_t>, const char*> rows[] = {
        {EncodeElementReport(sample(4)),  // compact ping watch, short temperature
         "mac:00808712ABCD master:1 outlets:1025 schedule:1010 ping:1/0,0/2,3/1,2/7, temp:1/1/2350 "},
        {EncodeElementReport(longForms),
         "mac:00808712ABCD outlets:10251011 schedule:10101010 ping:1/0,0/2,3/1,2/7,1/9, temp:1/4/-425 "},
        {EncodeElementReport(noSensor), "mac:00808712ABCD master:1 outlets:10 schedule:10 ping:1/0,0/2,3/1,2/7, temp:0/1/2350 "},
        {EncodeElementReport(Device(fleet.devices.at(0), 0).reportState()),  // a unit without ping watch
         "mac:000000000001 outlets:1111 schedule:0000 temp:1/0/2350 "},
        {EncodeTableReport(sample(4)), "unit=258 outlets=1025"}, {EncodeShortReport(older), "unit=4660 outlets=1025"},
    };
    for (const auto& [datagram, read] : rows) EXPECT_EQ(describe(datagram), read);
}

TEST(SimReport, EverySpoiltDatagramIsRejected) {
    for (ReportLayout layout : {ReportLayout::Element, ReportLayout::Table, ReportLayout::Short}) {
        const bool element = layout == ReportLayout::Element;
        for (const std::string fault : {"bad-checksum", "wrong-length", "odd-length", "truncated", "unknown-layout"}) {
            if (!element && fault == "odd-length") continue;  // a fault of the element report only
            std::vector<std::uint8_t> d = EncodeReport(layout, sample(4));
            ApplyReportFault(d, layout, fault);
            if (!element && fault == "bad-checksum")  // the older layouts carry no checksum
                EXPECT_EQ(d, EncodeReport(layout, sample(4)));
            else
                EXPECT_EQ(describe(d), "rejected") << fault << " in layout " << int(layout);
            if (element && fault == "odd-length") {
                EXPECT_EQ(d.size() % 2, 1u);  // the length field agrees; only its oddness is wrong
                EXPECT_EQ(d[2] * 256u + d[3], d.size());
            }
        }
    }
}

}  // namespace
}  // namespace zelo::sim::test
