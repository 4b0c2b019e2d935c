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

std::string describe(const DeviceConfig& d) {
    std::string states, ping;
    for (int s : d.states) states += std::to_string(s);
    for (const PingEntry& p : d.ping) ping += std::to_string(p.state);
    return d.name + " m" + std::to_string(d.model) + " mac=" + d.mac + " unit=" + std::to_string(d.unit) + " port=" +
           std::to_string(d.port) + " states=" + states + " ping=" + ping + " every=" + std::to_string(d.intervalSeconds) +
           " to=" + d.station;
}

TEST(SimFleet, FileValuesTopLineDefaultsAndNumberedCopies) {
    const struct {
        std::string text;
        std::vector<std::string> devices;  // and the fleet's rate last
    } rows[] = {
        {"[b]\nmodel = 12\nstates = 10\noutlets = 2\nmac = 00-80-87-aa-bb-cc\nunit = 9\n",
         {"b m12 mac=008087AABBCC unit=9 port=0 states=10 ping=1111 every=60 to=", "rate=0"}},
        // Top lines are defaults that sections override.
        {"rate = 250\nstation = 10.0.0.1:5000\ninterval = 5\nping = none\n[a]\nmodel = 11\nmac = 0000AABBCC01\n"
         "[b]\nmodel = 11\nmac = 0000AABBCC02\ninterval = 9\nping = 1:0\n",
         {"a m11 mac=0000AABBCC01 unit=0 port=0 states=1111 ping= every=5 to=10.0.0.1:5000",
          "b m11 mac=0000AABBCC02 unit=0 port=0 states=1111 ping=1 every=9 to=10.0.0.1:5000", "rate=250"}},
        // Numbered copies with their own ports and addresses; unit numbers wrap at 16 bits.
        {"[rack]\nmodel = 8\ncount = 3\nport = 4000\nunit = 65535\nmac = 00:80:87:00:00:FF\n",
         {"rack-1 m8 mac=0080870000FF unit=65535 port=4000 states=1111 ping= every=60 to=",
          "rack-2 m8 mac=008087000100 unit=0 port=4001 states=1111 ping= every=60 to=",
          "rack-3 m8 mac=008087000101 unit=1 port=4002 states=1111 ping= every=60 to=", "rate=0"}},
    };
    for (const auto& row : rows) {
        Fleet fleet;
        std::string error;
        ASSERT_TRUE(ParseFleet(row.text, fleet, error)) << row.text << error;
        std::vector<std::string> got;
        for (const auto& d : fleet.devices) got.push_back(describe(d));
        got.push_back("rate=" + std::to_string(fleet.ratePerSecond));
        EXPECT_EQ(got, row.devices) << row.text;
    }
    Fleet sample;  // the demonstration fleet: one unit of every model, each on its own port
    std::string error;
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

std::string describe(const FaultConfig& f) {
    return "after=" + std::to_string(f.closeAfterBytes) + " at=" + f.closeAt + " slow=" + std::to_string(f.slowMs) +
           (f.muteAll ? " mute" : "") + (f.muteCommands ? " mute-commands" : "") +
           " garbage=" + std::to_string(f.garbageLines) + (f.splitIac ? " split" : "") +
           " storm=" + std::to_string(f.iacStorm) + " drip=" + std::to_string(f.dripMs) +
           " flood=" + (f.floodBytes > 8192 ? std::string("big") : std::to_string(f.floodBytes)) +  // beyond a client's ring
           (f.refusePassword ? " refuse" : "") + " report=" + f.reportFault;
}

TEST(SimFleet, FaultListsTakeTheirNumbersAndRejectUnknownNames) {
    const std::pair<const char*, const char*> rows[] = {
        {"close-after:120, slow:300, garbage:2, split-iac, flood, refuse-password, close-at:cmd3, "
         "report:truncated, mute-commands",
         "after=120 at=cmd3 slow=300 mute-commands garbage=2 split storm=0 drip=0 flood=big refuse report=truncated"},
        {"mute, iac-storm:500, drip:250", "after=-1 at= slow=0 mute garbage=0 storm=500 drip=250 flood=0 report="},
        {"iac-storm, drip", "after=-1 at= slow=0 garbage=0 storm=32 drip=1000 flood=0 report="},
        {"none", "after=-1 at= slow=0 garbage=0 storm=0 drip=0 flood=0 report="},
        {"explode", nullptr}, {"close-at:never", nullptr}, {"report:loud", nullptr}, {"close-after:-1", nullptr},
        {"close-at:cmd0", nullptr}, {"iac-storm:0", nullptr}, {"iac-storm:x", nullptr}, {"drip:0", nullptr},
        {"drip:-5", nullptr},
    };
    for (const auto& [text, expected] : rows) {
        FaultConfig f;
        std::string error;
        ASSERT_TRUE(ParseFaults("slow:5, drip:7", f, error));  // nothing of an earlier list is left
        EXPECT_EQ(ParseFaults(text, f, error), expected != nullptr) << text;
        EXPECT_EQ(expected ? describe(f) : "", expected ? expected : "") << text;
    }
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
