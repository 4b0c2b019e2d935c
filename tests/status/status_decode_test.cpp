// The status report decoder: the three layouts, matching, the commit steps,
// and datagrams that must leave no trace.
#include <gtest/gtest.h>

#include <vector>

#include "common/format.h"
#include "directory/item_file.h"
#include "status/report_decoder.h"
#include "tests/status/station_fixture.h"

namespace zelo {
namespace {

using test::Bytes;
using test::ElementReport;
using test::kNow;
using test::StationTest;

// ---- checksum ----

TEST(StatusChecksum, SumsTheComplementsOfBigEndianWordsWithTheCarryFolded) {
    const std::uint8_t header[] = {0x01, 0x00, 0x00, 0x0A, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(reportChecksum(header, sizeof header), 0xFEF5);
    const std::uint8_t odd[] = {0x12};  // a last odd byte counts as 0x1200
    EXPECT_EQ(reportChecksum(odd, 1), 0xEDFF);
    EXPECT_EQ(reportChecksum(nullptr, 0), 0);
    const std::uint8_t ones[] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(reportChecksum(ones, 4), 0);
}

TEST(StatusChecksum, AgreesWithAFoldAtTheEndOverRandomData) {
    std::uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        Bytes b(static_cast<std::size_t>(round * 7 % 1601));
        for (auto& x : b) {
            seed = seed * 1103515245u + 12345u;
            x = static_cast<std::uint8_t>(seed >> 24);
        }
        EXPECT_EQ(reportChecksum(b.data(), b.size()), test::foldedChecksum(b)) << b.size();
    }
}

// ---- element reports ----

class DecodeElementReport : public StationTest {};

TEST_F(DecodeElementReport, FullReportUpdatesRecordItemFileRowAndLog) {
    const Bytes report = ElementReport()
                             .mac("0000AABBCC01")
                             .master(1)
                             .outlets({{1, 1}, {0, 0}, {1, 1}, {1, 1}})
                             .schedule({1, 0, 1, 1})
                             .temperature(true, 0, 2350)
                             .pingCompact({{1, 0}, {0, 1}, {3, 2}, {2, 65535}})
                             .build();
    ASSERT_TRUE(receive(report));

    const DeviceRecord& r = device(0x10);
    EXPECT_EQ(r.powerText, "1 1011");
    EXPECT_EQ(r.scheduleText, "1011");
    EXPECT_EQ(r.pingText, "O-RX");
    EXPECT_EQ(r.rebootText, "0 1 2 65535 ");
    EXPECT_EQ(r.temperature, 2350);
    EXPECT_EQ(r.temperatureState, 0);
    EXPECT_EQ(r.updateTime, std::uint32_t(kNow));
    EXPECT_EQ(r.lastPowerText, "1 1011");
    EXPECT_EQ(r.lastMasterState, 1);

    EXPECT_EQ(file("00000001.IDX"),
              test::kHeader +
                  "hx\r\nHX-7200\r\n10\r\n3\r\n#10.0.0.1 17\r\n1 1011\r\n1011\r\n"
                  "00000000 4598421C\r\n0000AABBCC01\r\n7394\r\nHX 00\r\n\r\n"
                  "O-RX\r\n0 1 2 65535 \r\n2350\r\n0\r\n" +
                  test::kGvRecord + test::kSwdRecord + test::kOldHxRecord + test::kSwd6Record);
    ASSERT_EQ(view.changedRecords.size(), 1u);
    EXPECT_EQ(view.changedRecords[0].deviceId, 0x10u);
    EXPECT_EQ(view.changedRecords[0].powerText, "1 1011");
    EXPECT_EQ(logFile(0x10), FormatUpdateTime(kNow, 0) + "\t1 1011\tO-OO\tO-RX\t2350\t0\r\n");
    // No window open: the current record takes the work copy.
    EXPECT_EQ(currentRecord.deviceId, 0x10u);
    EXPECT_EQ(currentStatus.masterState, 1);
    EXPECT_EQ(currentStatus.outlets[1].state, 0);
}

TEST_F(DecodeElementReport, OutletCodesFiveWithOutputIsOnAndTwoWithoutOutputIsOff) {
    ASSERT_TRUE(receive(
        ElementReport().mac("0000AABBCC02").outlets({{5, 1}, {2, 0}, {5, 0}, {2, 1}}).build()));
    EXPECT_EQ(device(0x11).powerText, "1001");
    EXPECT_EQ(currentStatus.outlets[0].state, 1);
    EXPECT_EQ(currentStatus.outlets[1].state, 0);
    EXPECT_EQ(currentStatus.outlets[2].state, 5);
    EXPECT_EQ(currentStatus.outlets[3].state, 2);
}

TEST_F(DecodeElementReport, ReadoutCodesCountAsOnOrOffAndUnknownCodesAddNothing) {
    ASSERT_TRUE(receive(
        ElementReport().mac("0000AABBCC02").outlets({{3, 0}, {4, 0}, {6, 0}, {9, 1}}).build()));
    EXPECT_EQ(device(0x11).powerText, "011");
}

TEST_F(DecodeElementReport, ThreeOutletsWithLengthTwentyFourAreValid) {
    ASSERT_TRUE(receive(
        ElementReport().mac("0000AABBCC02").master(0).outlets({{1, 1}, {0, 0}, {1, 1}}).build()));
    EXPECT_EQ(device(0x11).powerText, "0 101");
    EXPECT_EQ(device(0x11).outletCount, 3);
}

TEST_F(DecodeElementReport, MoreThanEightOutletsAreCutToEight) {
    std::vector<std::pair<unsigned, unsigned>> ten(10, {1, 1});
    ten[9] = {0, 0};
    ASSERT_TRUE(receive(ElementReport().mac("0000AABBCC02").outlets(ten).build()));
    EXPECT_EQ(device(0x11).outletCount, 8);
    EXPECT_EQ(device(0x11).powerText, "11111111");
}

TEST_F(DecodeElementReport, MasterValuesOtherThanDigitsStillReadAsOnWithoutControlBytes) {
    // '0' + 208 would be a NUL byte in the item file.
    ASSERT_TRUE(receive(ElementReport().mac("0000AABBCC02").master(208).outlets({{1, 1}}).build()));
    EXPECT_EQ(device(0x11).powerText, "1 1");
    EXPECT_EQ(device(0x11).lastMasterState, 208);
}

TEST_F(DecodeElementReport, FirstDeviceInListOrderWithTheMacIsUpdated) {
    ASSERT_TRUE(receive(
        ElementReport().mac("0000AABBCC01").outlets({{0, 0}, {0, 0}, {0, 0}, {0, 0}}).build()));
    EXPECT_EQ(device(0x10).powerText, "0000");
    EXPECT_EQ(device(0x20).powerText, "1 1111");
    EXPECT_EQ(file("00000002.IDX"), test::kHeader + test::kDupRecord);
}

TEST_F(DecodeElementReport, IndexFollowsChangesOfTheDirectory) {
    ASSERT_TRUE(receive(ElementReport().mac("0000AABBCC01").outlets({{1, 1}}).build()));
    // The first hx goes away: the duplicate in group 2 is now the first.
    ASSERT_TRUE(directory->deleteDevice(0x10));
    station->directoryChanged();
    ASSERT_TRUE(receive(ElementReport().mac("0000AABBCC01").outlets({{0, 0}}).build()));
    EXPECT_EQ(device(0x20).powerText, "0");
    // A MAC edited in place is found at once after a change notice.
    DeviceRecord gv = device(0x11);
    gv.macText = "0000AABBCCEE";
    ASSERT_TRUE(directory->saveDevice(gv));
    station->directoryChanged();
    EXPECT_FALSE(receive(ElementReport().mac("0000AABBCC02").outlets({{1, 1}}).build()));
    EXPECT_TRUE(receive(ElementReport().mac("0000AABBCCEE").outlets({{1, 1}}).build()));
}

TEST_F(DecodeElementReport, TemperatureWithoutSensorStoresMinusOneAndLogsOnce) {
    const Bytes report = ElementReport().mac("0000AABBCC02").temperature(false, 2, 1800).build();
    ASSERT_TRUE(receive(report));
    EXPECT_EQ(device(0x11).temperatureState, -1);
    EXPECT_EQ(device(0x11).lastTemperatureState, 2);
    EXPECT_EQ(device(0x11).temperature, 1800);
    const std::string once = logFile(0x11);
    EXPECT_NE(once, "");
    clock.advance(60);
    ASSERT_TRUE(receive(report));
    EXPECT_EQ(logFile(0x11), once);  // nothing new
    EXPECT_EQ(device(0x11).updateTime, std::uint32_t(kNow + 60));
}

TEST_F(DecodeElementReport, TemperatureBlockAtSixForTheLongForm) {
    ASSERT_TRUE(
        receive(ElementReport().mac("0000AABBCC02").temperature(true, 1, -250, false).build()));
    EXPECT_EQ(device(0x11).temperature, -250);
    EXPECT_EQ(device(0x11).temperatureState, 1);
}

TEST_F(DecodeElementReport, PingWatchInTheGeneralFormWithEntriesOfEighteenPlusFourK) {
    ASSERT_TRUE(receive(ElementReport()
                            .mac("0000AABBCC02")
                            .pingFull(2, {{0, 7}, {1, 0}, {5, 12}})
                            .outlets({{1, 1}})
                            .build()));
    EXPECT_EQ(device(0x11).pingText, "-OX");
    EXPECT_EQ(device(0x11).rebootText, "7 0 12 ");
}

TEST_F(DecodeElementReport, PingSymbolsAreShiftJisInJapanese) {
    settings.language = 0;
    ASSERT_TRUE(receive(ElementReport()
                            .mac("0000AABBCC02")
                            .pingCompact({{0, 0}, {1, 0}, {3, 0}, {4, 0}})
                            .outlets({{1, 1}})
                            .build()));
    EXPECT_EQ(device(0x11).pingText, "\x81\x7C\x81\x9B\x81\xA2\x81\x7E");
}

TEST_F(DecodeElementReport, LongPingWatchTextsAreCutToTheirFields) {
    std::vector<test::PingEntry> many(40, {2, 65535});
    ASSERT_TRUE(
        receive(ElementReport().mac("0000AABBCC02").pingFull(0, many).outlets({{1, 1}}).build()));
    EXPECT_EQ(device(0x11).pingText, std::string(32, 'X'));
    EXPECT_EQ(device(0x11).rebootText.size(), 64u);
}

TEST_F(DecodeElementReport, PingOnlyReportLogsButSavesNothing) {
    const auto before = file("00000001.IDX");
    ASSERT_TRUE(receive(
        ElementReport().mac("0000AABBCC02").pingCompact({{1, 0}, {1, 0}, {1, 0}, {1, 0}}).build()));
    EXPECT_EQ(file("00000001.IDX"), before);
    EXPECT_TRUE(view.changedRecords.empty());
    EXPECT_EQ(logFile(0x11), FormatUpdateTime(kNow, 0) + "\t1111\t \tOOOO\t0\t-1\r\n");
}

TEST_F(DecodeElementReport, RepeatedValuesWriteNoLogLineButStampTheFile) {
    const Bytes report =
        ElementReport().mac("0000AABBCC02").outlets({{1, 1}, {0, 0}, {1, 1}, {1, 1}}).build();
    ASSERT_TRUE(receive(report));
    const std::string log = logFile(0x11);
    clock.advance(3600);
    ASSERT_TRUE(receive(report));
    EXPECT_EQ(logFile(0x11), log);
    EXPECT_EQ(device(0x11).updateTime, std::uint32_t(kNow + 3600));
    EXPECT_EQ(parseItemFile(file("00000001.IDX"), 1)[1].updateTime, std::uint32_t(kNow + 3600));
    EXPECT_EQ(view.changedRecords.size(), 2u);
}

TEST_F(DecodeElementReport, ScheduleOnlyChangeUpdatesTheFileWithoutALogLine) {
    ASSERT_TRUE(receive(
        ElementReport().mac("0000AABBCC02").outlets({{1, 1}, {1, 1}, {1, 1}, {1, 1}}).build()));
    EXPECT_EQ(logFile(0x11), "");  // power text unchanged: nothing visible changed
    ASSERT_TRUE(receive(ElementReport()
                            .mac("0000AABBCC02")
                            .outlets({{1, 1}, {1, 1}, {1, 1}, {1, 1}})
                            .schedule({1, 0, 0, 1})
                            .build()));
    EXPECT_EQ(device(0x11).scheduleText, "1001");
    EXPECT_EQ(parseItemFile(file("00000001.IDX"), 1)[1].scheduleText, "1001");
    EXPECT_EQ(logFile(0x11), "");
}

TEST_F(DecodeElementReport, UnknownElementsAreSkippedAndOddLengthsRoundedDown) {
    // Length 9: the walk moves on by 8, so the ninth byte begins the next
    // element, while the count drops by 11.
    ASSERT_TRUE(receive(ElementReport()
                            .mac("0000AABBCC02")
                            .raw({0x09, 0x99, 0x00, 0x09, 0xEE, 0xEE, 0xEE, 0xEE})
                            .outlets({{0, 0}, {1, 1}})
                            .fillerWords(2)
                            .build()));
    EXPECT_EQ(device(0x11).powerText, "01");
}

TEST_F(DecodeElementReport, TheWalkStopsWhereTheRemainingCountRunsOut) {
    // Each element takes its length plus 2 from the count: without filler
    // words the count runs out before a short last element.
    auto report = [](int filler) {
        return ElementReport()
            .mac("0000AABBCC02")
            .outlets({{0, 0}})
            .unknown(0x0999, 4)
            .unknown(0x0999, 4)
            .master(0)
            .fillerWords(filler)
            .build();
    };
    ASSERT_TRUE(receive(report(0)));
    EXPECT_EQ(device(0x11).powerText, "0");
    ASSERT_TRUE(receive(report(1)));
    EXPECT_EQ(device(0x11).powerText, "0 0");
}

// ---- the control window ----

class DecodeControlWindow : public StationTest {};

TEST_F(DecodeControlWindow, OpenWindowOfTheReportingDeviceIsRedrawn) {
    currentRecord = device(0x11);
    state.openDialog = OpenDialog::Control;
    ASSERT_TRUE(receive(
        ElementReport().mac("0000AABBCC02").master(1).outlets({{1, 1}, {0, 0}, {1, 1}}).build()));
    EXPECT_EQ(view.redrawnOutlets, (std::vector<int>{-1, 0, 1, 2}));
    EXPECT_EQ(currentStatus.outlets[1].state, 0);
    EXPECT_EQ(currentRecord.outletCount, 3);
}

TEST_F(DecodeControlWindow, OpenWindowOfAnotherDeviceIsLeftAlone) {
    currentRecord = device(0x10);
    const DeviceRecord before = currentRecord;
    state.openDialog = OpenDialog::Control;
    ASSERT_TRUE(receive(ElementReport().mac("0000AABBCC02").master(1).outlets({{1, 1}}).build()));
    EXPECT_TRUE(view.redrawnOutlets.empty());
    EXPECT_EQ(currentRecord.macText, before.macText);
    EXPECT_EQ(currentRecord.powerText, before.powerText);
    EXPECT_FALSE(currentStatus.masterPresent);
}

TEST_F(DecodeControlWindow, CurrentDevicesStatusCarriesOverIntoTheReport) {
    currentRecord = device(0x11);
    currentStatus.masterPresent = true;
    currentStatus.masterState = 0;
    state.openDialog = OpenDialog::Control;
    // No master element: the master digit comes from the current status.
    ASSERT_TRUE(receive(ElementReport().mac("0000AABBCC02").outlets({{1, 1}, {1, 1}}).build()));
    EXPECT_EQ(device(0x11).powerText, "0 11");
}

// ---- older layouts ----

class DecodeOlderLayouts : public StationTest {};

TEST_F(DecodeOlderLayouts, TableReportForUnit258) {
    const Bytes b = test::tableReport(258, {{1, 1}, {1, 7}, {0, 2}, {0, 3}});
    EXPECT_EQ(b[10], 0x02);
    EXPECT_EQ(b[11], 0x01);
    ASSERT_TRUE(receive(b));
    EXPECT_EQ(device(0x12).powerText, "1010");
    EXPECT_EQ(currentStatus.outlets[1].state, 5);
    EXPECT_EQ(currentStatus.outlets[2].state, 2);
}

TEST_F(DecodeOlderLayouts, TableModesWithoutOutput) {
    ASSERT_TRUE(receive(test::tableReport(258, {{0, 0}, {0, 1}, {0, 9}, {1, 0}})));
    EXPECT_EQ(device(0x12).powerText, "0000");  // 0, 0, 0, and 5 (output, mode 0) is off too
}

TEST_F(DecodeOlderLayouts, ShortReportOutputAndPendingFlags) {
    ASSERT_TRUE(receive(test::shortReport(5, {{1, 1}, {1, 0}, {0, 1}, {0, 0}})));
    // Unit 5 of a user-login model, not the prompt model whose old MAC line reads 5.
    EXPECT_EQ(device(0x14).powerText, "1100");
    EXPECT_EQ(device(0x13).powerText, "1 1111");
}

TEST_F(DecodeOlderLayouts, CurrentDeviceIsTheOneWithTheSameUnitNumber) {
    currentRecord = device(0x14);
    state.openDialog = OpenDialog::Control;
    ASSERT_TRUE(receive(test::shortReport(5, {{1, 0}, {1, 0}, {1, 0}, {1, 0}})));
    EXPECT_EQ(view.redrawnOutlets, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(DecodeOlderLayouts, UnknownUnitChangesNothing) {
    const auto before = snapshot();
    EXPECT_FALSE(receive(test::shortReport(77, {{1, 0}, {1, 0}, {1, 0}, {1, 0}})));
    EXPECT_EQ(snapshot(), before);
}

// ---- the pure decoder ----

TEST(ReportDecoder, KeepsTheKnownElementsInOrderOfArrivalWithTheirFields) {
    const Bytes b = ElementReport()
                        .master(3)  // before the MAC: kept in its place
                        .mac("0000AABBCC02")
                        .unknown(0x0999, 6)
                        .outlets({{5, 1}, {2, 0}, {7, 0}})
                        .schedule({0, 1})
                        .pingFull(1, {{3, 9}, {0, 65535}})
                        .temperature(false, 4, -250, false)
                        .build();
    const auto r = decodeReport(b.data(), b.size());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->layout, ReportLayout::Element);
    ASSERT_EQ(r->elements.size(), 6u);
    EXPECT_EQ(std::get<MasterElement>(r->elements[0]).state, 3);
    EXPECT_EQ(std::get<MacElement>(r->elements[1]).mac,
              (std::array<std::uint8_t, 6>{0x00, 0x00, 0xAA, 0xBB, 0xCC, 0x02}));
    const auto& o = std::get<OutletsElement>(r->elements[2]);
    ASSERT_EQ(o.count, 3);
    EXPECT_EQ(o.outlets[0].code, 5);
    EXPECT_EQ(o.outlets[0].state(), 1);
    EXPECT_EQ(o.outlets[1].state(), 0);
    EXPECT_EQ(o.outlets[2].state(), 7);
    const auto& s = std::get<ScheduleElement>(r->elements[3]);
    EXPECT_EQ(s.count, 2);
    EXPECT_EQ(s.scheduled, (std::array<bool, 8>{false, true}));
    const auto& p = std::get<PingElement>(r->elements[4]).entries;
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].state, 3);
    EXPECT_EQ(p[0].reboots, 9);
    EXPECT_EQ(p[1].reboots, 65535);
    const auto& t = std::get<TemperatureElement>(r->elements[5]);
    EXPECT_FALSE(t.sensor);
    EXPECT_EQ(t.state, 4);
    EXPECT_EQ(t.temperature, -250);

    const Bytes older = test::shortReport(258, {{1, 1}, {1, 0}, {0, 1}, {0, 0}});
    const auto u = decodeReport(older.data(), older.size());
    ASSERT_TRUE(u);
    EXPECT_EQ(u->layout, ReportLayout::Short);
    EXPECT_EQ(u->unitId, 258);
    EXPECT_EQ(u->unitOutlets, (std::array<int, 4>{2, 1, 5, 0}));
}

// Each row breaks one rule of a report the decoder otherwise takes.
TEST(ReportDecoder, MalformedDatagramsAreNoReport) {
    auto good = [] {
        return ElementReport()
            .mac("0000AABBCC02")
            .master(1)
            .outlets({{1, 1}, {1, 1}})
            .temperature(true, 0, 1)
            .build();
    };
    auto edited = [&](auto edit, Bytes b = {}) {
        if (b.empty()) b = good();
        edit(b);
        return b;
    };
    auto resum = [](Bytes& b) { test::resum(b); };
    const Bytes shortOne = test::shortReport(5, {{1, 1}, {1, 1}, {1, 1}, {1, 1}});
    const Bytes table = test::tableReport(258, {{1, 1}});
    const std::vector<std::pair<const char*, Bytes>> rows = {
        {"shorter than ten bytes", Bytes{0x01, 0x00, 0x00, 0x09, 0, 0, 0, 0, 0}},
        {"a byte more than the total length", edited([](Bytes& b) { b.push_back(0); })},
        {"total length two more than the count", edited([&](Bytes& b) { b[3] += 2; resum(b); })},
        {"odd length", edited([&](Bytes& b) { b.push_back(0); b[3] += 1; resum(b); })},
        {"checksum word", edited([](Bytes& b) { b[7] ^= 1; })},
        {"checksum of a payload byte", edited([](Bytes& b) { b[20] ^= 0x40; })},
        {"first byte 0x02", edited([&](Bytes& b) { b[0] = 0x02; resum(b); })},
        {"high byte 0, neither table nor short", Bytes(30, 0)},
        {"table without its marker",
         edited([](Bytes& b) { b[9] = 223; }, table)},
        {"short report shorter than its layout", edited([](Bytes& b) { b.resize(28); }, shortOne)},
        {"outlet length that does not fit its count",
         ElementReport().mac("0000AABBCC02").outlets({{1, 1}, {1, 1}, {1, 1}, {0, 0}}, 30, 3).build()},
        {"schedule length that does not fit its count",
         ElementReport().mac("0000AABBCC02").outlets({{1, 1}}).schedule({1, 1}, 16).build()},
        {"MAC element near the end",
         ElementReport().master(1).raw({0x00, 0x01, 0x00, 0x04, 0xAA, 0xBB}).fillerWords(0).build()},
        {"ping watch claiming more entries than it carries",
         ElementReport().mac("0000AABBCC02").pingFull(0, {{1, 0}, {1, 0}}, 20).build()},
        {"temperature block past the end", ElementReport()
                                               .mac("0000AABBCC02")
                                               .raw({0x08, 0x02, 0x00, 0x0A, 1, 0, 0, 0, 0, 0})
                                               .fillerWords(1)
                                               .build()},
        {"element length running past the datagram",
         ElementReport().mac("0000AABBCC02").raw({0x09, 0x99, 0x01, 0x00, 0, 0}).fillerWords(2).build()},
        {"length word past the end", ElementReport().raw({0x00, 0x01}).fillerWords(0).build()},
        {"longer than 1600 bytes", Bytes(1601, 0)},
    };
    for (const Bytes& base : {good(), shortOne, table})
        ASSERT_TRUE(decodeReport(base.data(), base.size())) << base.size();
    for (const auto& [name, b] : rows) EXPECT_FALSE(decodeReport(b.data(), b.size())) << name;
}

// ---- reports that leave no trace ----

class DecodeMalformed : public StationTest {
protected:
    void expectNoTrace(const Bytes& b) {
        const auto files = snapshot();
        std::vector<DeviceRecord> records(directory->devices().begin(), directory->devices().end());
        const DeviceRecord current = currentRecord;
        EXPECT_FALSE(receive(b));
        EXPECT_EQ(snapshot(), files);
        EXPECT_TRUE(std::equal(records.begin(), records.end(), directory->devices().begin(),
                               directory->devices().end()));
        EXPECT_EQ(currentRecord, current);
        EXPECT_TRUE(view.changedRecords.empty());
        EXPECT_TRUE(view.redrawnOutlets.empty());
        EXPECT_TRUE(view.acceptedReports.empty());
        EXPECT_FALSE(currentStatus.masterPresent);
    }
};

TEST_F(DecodeMalformed, TenByteReportWithoutElementsIsRecognisedButMatchesNothing) {
    const Bytes b = ElementReport().raw({0, 0}).build();  // 8 bytes of header and one filler word
    ASSERT_EQ(b.size(), 10u);
    ASSERT_TRUE(decodeReport(b.data(), b.size()));
    expectNoTrace(b);
}

TEST_F(DecodeMalformed, UnknownMacEvenWithOutletData) {
    expectNoTrace(ElementReport().mac("0000AABBCC99").outlets({{1, 1}}).build());
}

TEST_F(DecodeMalformed, NoMacElement) {
    expectNoTrace(ElementReport().master(1).outlets({{1, 1}}).build());
}

TEST_F(DecodeMalformed, AMalformedElementDropsEverythingBeforeIt) {
    expectNoTrace(ElementReport()
                      .mac("0000AABBCC02")
                      .temperature(true, 3, 999)
                      .outlets({{1, 1}, {1, 1}, {1, 1}, {0, 0}}, 30, 3)
                      .build());
}

}  // namespace
}  // namespace zelo
