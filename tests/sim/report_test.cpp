// The simulator's status reports as the station's own decoder reads them:
// every layout and length form, and the spoilt datagrams of every fault.

#include <gtest/gtest.h>

#include "sim/device.h"
#include "sim/report.h"
#include "status/report_decoder.h"

namespace zelo::sim::test {
namespace {

ReportState sample(int outlets) {
    ReportState s;
    s.mac = "00808712ABCD";
    s.unit = 258;
    s.model = 3;
    s.master = true;
    s.masterState = 1;
    const int states[] = {1, 0, 2, 5, 1, 0, 1, 1};
    for (int i = 0; i < outlets; ++i) {
        s.outlets.push_back(OutletReport{states[i], 0});
        s.schedule.push_back(i % 2 == 0);
    }
    s.ping = {PingEntry{1, 0, 0x7F000001}, PingEntry{0, 2, 0}, PingEntry{3, 1, 0}, PingEntry{2, 7, 0}};
    s.temperature = 2350;
    s.temperatureState = 1;
    return s;
}

ReportState unitOf(const std::string& fleetText) {
    Fleet fleet;
    std::string error;
    EXPECT_TRUE(ParseFleet(fleetText, fleet, error)) << error;
    return Device(fleet.devices.at(0), 0).reportState();
}

// What the station's decoder takes from a datagram.
std::string decoded(const std::vector<std::uint8_t>& d) {
    const auto r = zelo::decodeReport(d.data(), d.size());
    if (!r) return "rejected";
    std::string out;
    auto digits = [](auto first, std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) s += std::to_string(int(first[i]));
        return s;
    };
    if (r->layout != zelo::ReportLayout::Element)
        return "unit=" + std::to_string(r->unitId) + " outlets=" + digits(r->unitOutlets.begin(), 4);
    for (const zelo::ReportElement& e : r->elements) {
        if (auto m = std::get_if<zelo::MacElement>(&e)) {
            char hex[13];
            std::snprintf(hex, sizeof hex, "%02X%02X%02X%02X%02X%02X", m->mac[0], m->mac[1], m->mac[2], m->mac[3],
                          m->mac[4], m->mac[5]);
            out += std::string("mac:") + hex;
        } else if (auto p = std::get_if<zelo::MasterElement>(&e)) {
            out += "master:" + std::to_string(p->state);
        } else if (auto o = std::get_if<zelo::OutletsElement>(&e)) {
            out += "outlets:";
            for (std::size_t i = 0; i < o->kept(); ++i) out += std::to_string(o->outlets[i].state());
        } else if (auto s = std::get_if<zelo::ScheduleElement>(&e)) {
            out += "schedule:" + digits(s->scheduled.begin(), s->kept());
        } else if (auto w = std::get_if<zelo::PingElement>(&e)) {
            out += "ping:";
            for (const auto& x : w->entries) out += std::to_string(x.state) + "/" + std::to_string(x.reboots) + ",";
        } else if (auto t = std::get_if<zelo::TemperatureElement>(&e)) {
            out += "temp:" + std::to_string(t->sensor) + "/" + std::to_string(t->state) + "/" +
                   std::to_string(t->temperature);
        }
        out += " ";
    }
    return out;
}

TEST(SimReport, TheStationsDecoderReadsEveryLayoutAndForm) {
    ReportState longForms = sample(8);
    longForms.master = false;
    longForms.pingCompact = false;
    longForms.ping.push_back(PingEntry{1, 9, 0});
    longForms.temperatureShortForm = false;
    longForms.temperature = -425;
    longForms.temperatureState = 4;
    ReportState noSensor = sample(2);
    noSensor.sensor = false;
    ReportState older = sample(4);
    older.unit = 0x1234;
    const struct {
        const char* name;
        std::vector<std::uint8_t> datagram;
        std::string expected;
    } rows[] = {
        {"element report, compact ping watch, short temperature", EncodeElementReport(sample(4)),
         "mac:00808712ABCD master:1 outlets:1025 schedule:1010 ping:1/0,0/2,3/1,2/7, temp:1/1/2350 "},
        {"element report, long forms, no master", EncodeElementReport(longForms),
         "mac:00808712ABCD outlets:10251011 schedule:10101010 ping:1/0,0/2,3/1,2/7,1/9, temp:1/4/-425 "},
        {"element report without sensor", EncodeElementReport(noSensor),
         "mac:00808712ABCD master:1 outlets:10 schedule:10 ping:1/0,0/2,3/1,2/7, temp:0/1/2350 "},
        {"a unit without ping watch", EncodeElementReport(unitOf("[u]\nmodel = 13\nmac = 000000000001\nping = none\n")),
         "mac:000000000001 outlets:1111 schedule:0000 temp:1/0/2350 "},
        {"table report", EncodeTableReport(sample(4)), "unit=258 outlets=1025"},
        {"short report", EncodeShortReport(older), "unit=4660 outlets=1025"},
    };
    for (const auto& row : rows) EXPECT_EQ(decoded(row.datagram), row.expected) << row.name;
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
                EXPECT_EQ(decoded(d), "rejected") << fault << " in layout " << int(layout);
            if (element && fault == "odd-length") {
                EXPECT_EQ(d.size() % 2, 1u);  // the length field agrees; only its oddness is wrong
                EXPECT_EQ(d[2] * 256u + d[3], d.size());
            }
        }
    }
}

}  // namespace
}  // namespace zelo::sim::test
