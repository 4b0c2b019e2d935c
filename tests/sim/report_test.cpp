// The simulator's status reports as the station's own decoder reads them:
// every layout and length form, and the spoilt datagrams of every fault.

#include <gtest/gtest.h>

#include "sim/device.h"
#include "sim/report.h"
#include "tests/status/report_builder.h"

namespace zelo::sim::test {
namespace {

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
