// Status report layouts: element reports walked and checksummed the way the
// station does it, the two older fixed layouts, and the spoilt datagrams.

#include <gtest/gtest.h>

#include <algorithm>

#include "report_check.h"
#include "sim/report.h"

namespace zelo::sim::test {
namespace {

ReportState sampleState(int outlets, bool master) {
    ReportState s;
    s.mac = "00808712ABCD";
    s.unit = 258;
    s.model = 3;
    s.systemName = "rack-a1";
    s.master = master;
    s.masterState = 1;
    const int states[] = {1, 0, 2, 5, 1, 0, 1, 1};
    for (int i = 0; i < outlets; ++i) {
        s.outlets.push_back(OutletReport{states[i % 8], 0});
        s.schedule.push_back(i % 2 == 0);
    }
    s.ping = {PingEntry{1, 0, 0x7F000001}, PingEntry{0, 2, 0}, PingEntry{3, 1, 0}, PingEntry{2, 7, 0}};
    s.sensor = true;
    s.temperature = 2350;
    s.temperatureState = 1;
    return s;
}

std::size_t elementAt(const ElementWalk& w, unsigned type) {
    auto it = std::find(w.types.begin(), w.types.end(), type);
    return it == w.types.end() ? SIZE_MAX : static_cast<std::size_t>(it - w.types.begin());
}

TEST(SimReportChecksum, AgreesWithAnIndependentSumOverManyInputs) {
    std::vector<std::uint8_t> d;
    std::uint32_t x = 7;
    for (std::size_t len = 0; len < 300; ++len) {
        EXPECT_EQ(ReportChecksum(d.data(), d.size()), IndependentChecksum(d, d.size())) << len;
        x = x * 1664525u + 1013904223u;
        d.push_back(static_cast<std::uint8_t>(x >> 24));
    }
    // all-ones words contribute nothing; an odd last byte counts as its value times 256
    std::vector<std::uint8_t> ones(8, 0xFF);
    EXPECT_EQ(ReportChecksum(ones.data(), ones.size()), 0);
    std::vector<std::uint8_t> odd = {0x12};
    EXPECT_EQ(ReportChecksum(odd.data(), 1), 0xFFFF - 0x1200);
}

TEST(SimReportElement, WalkReachesEveryElementInOrderWithAValidChecksum) {
    for (int outlets = 1; outlets <= 8; ++outlets) {
        for (bool master : {false, true}) {
            auto d = EncodeElementReport(sampleState(outlets, master));
            ElementWalk w = WalkElementReport(d);
            ASSERT_TRUE(w.accepted) << w.why;
            std::vector<unsigned> expected = {kElemMac};
            if (master) expected.push_back(kElemMaster);
            for (unsigned t : {kElemOutlets, kElemSchedule, kElemPing, kElemTemperature}) expected.push_back(t);
            EXPECT_EQ(w.types, expected) << outlets;
            EXPECT_EQ(be16(d, 0) >> 8, 0x01u);
            EXPECT_EQ(d.size() % 2, 0u);
        }
    }
}

TEST(SimReportElement, MacMasterOutletAndScheduleFieldsSitWhereTheStationReadsThem) {
    ReportState s = sampleState(4, true);
    auto d = EncodeElementReport(s);
    ElementWalk w = WalkElementReport(d);
    ASSERT_TRUE(w.accepted) << w.why;
    const std::size_t mac = w.offsets[elementAt(w, kElemMac)];
    char text[13];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", d[mac + 6], d[mac + 7], d[mac + 8],
                  d[mac + 9], d[mac + 10], d[mac + 11]);
    EXPECT_EQ(std::string(text), s.mac);
    EXPECT_EQ(be16(d, w.offsets[elementAt(w, kElemMaster)] + 4), 1u);

    const std::size_t oi = elementAt(w, kElemOutlets);
    const std::size_t o = w.offsets[oi];
    const unsigned n = be16(d, o + 4);
    ASSERT_EQ(n, 4u);
    EXPECT_EQ(w.lengths[oi], 6 * n + 6);
    for (unsigned i = 0; i < n; ++i) {
        const unsigned code = be16(d, o + 6 + 6 * i);
        const unsigned live = be16(d, o + 8 + 6 * i);
        EXPECT_EQ(static_cast<int>(code), s.outlets[i].state);
        // the output is live while on or while a switch-off delay runs
        EXPECT_EQ(live != 0, code == 1 || code == 2) << i;
    }
    const std::size_t si = elementAt(w, kElemSchedule);
    EXPECT_EQ(w.lengths[si], 4 * n + 6);
    for (unsigned i = 0; i < n; ++i) {
        EXPECT_EQ(be16(d, w.offsets[si] + 6 + 4 * i) != 0, s.schedule[i]) << i;
    }
}

TEST(SimReportElement, OutletAndScheduleLengthsFollowTheOutletCount) {
    for (int outlets = 1; outlets <= 8; ++outlets) {
        auto d = EncodeElementReport(sampleState(outlets, false));
        ElementWalk w = WalkElementReport(d);
        ASSERT_TRUE(w.accepted);
        EXPECT_EQ(w.lengths[elementAt(w, kElemOutlets)], 6u * outlets + 6);
        EXPECT_EQ(w.lengths[elementAt(w, kElemSchedule)], 4u * outlets + 6);
    }
}

TEST(SimReportElement, PingWatchComesInBothLengthForms) {
    ReportState s = sampleState(4, false);
    s.pingCompact = true;
    auto compact = EncodeElementReport(s);
    ElementWalk w = WalkElementReport(compact);
    ASSERT_TRUE(w.accepted);
    std::size_t pi = elementAt(w, kElemPing);
    ASSERT_EQ(w.lengths[pi], 142u);
    std::size_t p = w.offsets[pi];
    EXPECT_EQ(be16(compact, p + 4), 4u);
    // four entries of 34 bytes from offset 6: state at 2, reboot count at 16
    for (unsigned i = 0; i < 4; ++i) {
        EXPECT_EQ(be16(compact, p + 6 + 34 * i + 2), static_cast<unsigned>(s.ping[i].state));
        EXPECT_EQ(be16(compact, p + 6 + 34 * i + 16), static_cast<unsigned>(s.ping[i].reboots));
    }

    s.pingCompact = false;
    s.ping.push_back(PingEntry{1, 9, 0});
    auto longForm = EncodeElementReport(s);
    w = WalkElementReport(longForm);
    ASSERT_TRUE(w.accepted);
    pi = elementAt(w, kElemPing);
    p = w.offsets[pi];
    const unsigned n = be16(longForm, p + 4), k = be16(longForm, p + 6);
    ASSERT_EQ(n, 5u);
    EXPECT_NE(w.lengths[pi], 142u);
    EXPECT_EQ(w.lengths[pi], 8 + n * (18 + 4 * k));
    for (unsigned i = 0; i < n; ++i) {
        const std::size_t e = p + 8 + (18 + 4 * k) * i;
        EXPECT_EQ(be16(longForm, e + 2), static_cast<unsigned>(s.ping[i].state));
        EXPECT_EQ(be16(longForm, e + 16), static_cast<unsigned>(s.ping[i].reboots));
    }
}

TEST(SimReportElement, TemperatureComesInBothLengthForms) {
    ReportState s = sampleState(2, false);
    s.temperature = -425;
    s.temperatureState = 4;
    for (bool shortForm : {true, false}) {
        s.temperatureShortForm = shortForm;
        auto d = EncodeElementReport(s);
        ElementWalk w = WalkElementReport(d);
        ASSERT_TRUE(w.accepted);
        const std::size_t ti = elementAt(w, kElemTemperature);
        EXPECT_EQ(w.lengths[ti], shortForm ? 32u : 34u);
        const std::size_t block = w.offsets[ti] + (w.lengths[ti] == 32 ? 4 : 6);
        EXPECT_EQ(d[block], 1);       // sensor fitted
        EXPECT_EQ(d[block + 24], 4);  // state
        EXPECT_EQ(static_cast<std::int16_t>(be16(d, block + 26)), -425);
    }
    s.sensor = false;
    auto d = EncodeElementReport(s);
    ElementWalk w = WalkElementReport(d);
    const std::size_t ti = elementAt(w, kElemTemperature);
    EXPECT_EQ(d[w.offsets[ti] + (w.lengths[ti] == 32 ? 4 : 6)], 0);
}

TEST(SimReportOlder, TableReportCarriesTheLittleEndianUnitAndOutletModes) {
    ReportState s = sampleState(4, false);
    s.unit = 258;
    auto d = EncodeTableReport(s);
    ASSERT_EQ(d.size(), 240u);
    EXPECT_EQ(d[0], 0x00);
    EXPECT_EQ(d[3], 0x01);
    EXPECT_EQ(be16(d, 8), 224u);
    EXPECT_EQ(d[10], 0x02);
    EXPECT_EQ(d[11], 0x01);
    EXPECT_EQ(le16(d, 10), 258u);
    EXPECT_NE(be16(d, 0), 1u);  // never mistaken for a short report
    for (unsigned i = 0; i < 4; ++i) {
        const unsigned out = d[48 + 48 * i + 1], mode = d[48 + 48 * i + 2];
        // the station's reading of output flag and mode
        const int state = out ? (mode == 1 ? 1 : mode == 2 ? 2 : 5) : (mode == 2 ? 2 : mode == 3 ? 5 : 0);
        EXPECT_EQ(state, s.outlets[i].state) << i;
    }
}

TEST(SimReportOlder, ShortReportIsThirtyBytesWithFlagsPerOutlet) {
    ReportState s = sampleState(4, false);
    s.unit = 0x1234;
    auto d = EncodeShortReport(s);
    ASSERT_EQ(d.size(), 30u);
    EXPECT_EQ(be16(d, 0), 1u);
    EXPECT_EQ(le16(d, 4), 0x1234u);
    for (unsigned i = 0; i < 4; ++i) {
        const unsigned out = be16(d, 6 + 6 * i + 2), pending = be16(d, 6 + 6 * i + 4);
        const int state = out && pending ? 2 : out ? 1 : pending ? 5 : 0;
        EXPECT_EQ(state, s.outlets[i].state) << i;
    }
}

TEST(SimReportFaults, EverySpoiltElementReportIsRejectedByTheStation) {
    for (const char* fault : {"bad-checksum", "wrong-length", "odd-length", "truncated", "unknown-layout"}) {
        auto d = EncodeElementReport(sampleState(4, true));
        ASSERT_TRUE(WalkElementReport(d).accepted);
        ApplyReportFault(d, ReportLayout::Element, fault);
        ElementWalk w = WalkElementReport(d);
        EXPECT_FALSE(w.accepted) << fault;
    }
    auto d = EncodeElementReport(sampleState(4, true));
    ApplyReportFault(d, ReportLayout::Element, "truncated");
    EXPECT_EQ(WalkElementReport(d).why, "element past end");
    d = EncodeElementReport(sampleState(4, true));
    ApplyReportFault(d, ReportLayout::Element, "odd-length");
    EXPECT_EQ(d.size() % 2, 1u);
    EXPECT_EQ(be16(d, 2), d.size());  // the length agrees; only its oddness is wrong
}

TEST(SimReportFaults, OlderLayoutsLoseTheirShape) {
    ReportState s = sampleState(4, false);
    auto t = EncodeTableReport(s);
    ApplyReportFault(t, ReportLayout::Table, "wrong-length");
    EXPECT_NE(t.size(), 240u);
    t = EncodeTableReport(s);
    ApplyReportFault(t, ReportLayout::Table, "unknown-layout");
    EXPECT_NE(t[0], 0x00);
    auto sh = EncodeShortReport(s);
    ApplyReportFault(sh, ReportLayout::Short, "truncated");
    EXPECT_LT(sh.size(), 30u);
}

}  // namespace
}  // namespace zelo::sim::test
