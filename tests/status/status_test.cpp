// The status station: the report decoder and what each report leaves in the
// records, files and logs; datagrams that leave no trace; the listener and
// its timer tick over a real socket on 127.0.0.1; event and delivery log
// lines.
#include <gtest/gtest.h>

#include <cctype>
#include <ctime>
#include <filesystem>

#include "common/format.h"
#include "directory/device_record.h"
#include "directory/item_file.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "status/event_log.h"
#include "status/report_decoder.h"
#include "tests/status/station_fixture.h"
#include "tests/status/udp_sender.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::Bytes;
using test::ElementReport;
using test::kNow;

ElementReport gv() {
    return ElementReport().mac("0000AABBCC02");
}

// ---- the pure decoder ----

Bytes edited(Bytes b, void (*edit)(Bytes&)) {
    edit(b);
    return b;
}
Bytes good() {
    return gv().master(1).outlets({{1, 1}, {1, 1}}).temperature(true, 0, 1).build();
}
const Bytes kShort = test::shortReport(5, {{1, 1}, {1, 1}, {1, 1}, {1, 1}});
const Bytes kTable = test::tableReport(258, {{1, 1}});

// The walk over the elements: each takes its length plus 2 from the count
// of bytes after the header, a filler word 2 without moving on, and the
// position moves by the length rounded down to even; the walk goes on while
// the count is not below zero. A datagram that breaks one rule is rejected
// whole.
TEST(ReportDecoder, WhatEachDatagramReadsAs) {
    for (const Bytes& base : {good(), kShort, kTable}) ASSERT_NE(test::describe(base), "rejected");
    const struct {
        const char* name;
        Bytes report;
        const char* read;
    } rows[] = {
        {"in order of arrival, an unknown one skipped, a MAC ending at the last byte",
         ElementReport()
             .master(3)
             .unknown(0x0999, 6)
             .outlets({{5, 1}, {2, 0}, {7, 0}})
             .mac("4080871234AB")
             .fillerWords(0)
             .build(),
         "master:3 outlets:107 mac:4080871234AB "},
        // a flag is set whatever bit of its word is
        {"short report", test::shortReport(258, {{1, 256}, {256, 0}, {0, 1}, {0, 0}}),
         "unit=258 outlets=2150"},
        {"a four-byte unknown element as the last bytes",
         gv().unknown(0x0999, 4).fillerWords(0).build(), "mac:0000AABBCC02 "},
        {"the count reaching exactly zero reads one more element",
         gv().outlets({{0, 0}}).unknown(0x0999, 4).master(0).fillerWords(0).build(),
         "mac:0000AABBCC02 outlets:0 master:0 "},
        {"the count below zero ends the walk",
         gv().outlets({{0, 0}})
             .unknown(0x0999, 4)
             .unknown(0x0999, 4)
             .master(0)
             .fillerWords(0)
             .build(),
         "mac:0000AABBCC02 outlets:0 "},
        {"an odd length moves the walk on by one less",
         gv().raw({0x09, 0x99, 0x00, 0x09, 0xEE, 0xEE, 0xEE, 0xEE})
             .outlets({{0, 0}, {1, 1}})
             .fillerWords(2)
             .build(),
         "mac:0000AABBCC02 outlets:01 "},
        {"ten bytes: a header and a filler word", ElementReport().raw({0, 0}).build(), ""},
        {"shorter than ten bytes", Bytes{0x01, 0x00, 0x00, 0x09, 0, 0, 0, 0, 0}, "rejected"},
        {"total length two more than the count",
         edited(good(), [](Bytes& b) { b[3] += 2, test::resum(b); }), "rejected"},
        {"odd length", edited(good(), [](Bytes& b) { b.push_back(0), b[3] += 1, test::resum(b); }),
         "rejected"},
        {"checksum of a payload byte", edited(good(), [](Bytes& b) { b[20] ^= 0x40; }), "rejected"},
        {"first byte 2", edited(good(), [](Bytes& b) { b[0] = 0x02, test::resum(b); }), "rejected"},
        {"table without its marker", edited(kTable, [](Bytes& b) { b[9] = 223; }), "rejected"},
        {"short report shorter than its layout", edited(kShort, [](Bytes& b) { b.resize(28); }),
         "rejected"},
        {"schedule length not fitting its count",
         gv().outlets({{1, 1}}).schedule({1, 1}, 16).build(), "rejected"},
        {"ping watch claiming more entries than it carries",
         gv().pingFull(0, {{1, 0}, {1, 0}}, 20).build(), "rejected"},
        {"longer than 1600 bytes, whole otherwise", gv().outlets({{1, 1}}).fillerWords(393).build(),
         "rejected"},
    };
    for (const auto& row : rows) EXPECT_EQ(test::describe(row.report), row.read) << row.name;
}

// ---- what a report leaves in the record of the device that sent it ----

class DecodeReport : public test::StationTest {
protected:
    // power | outlet count | schedule | ping | reboots | temperature | its state
    std::string summary(std::uint32_t id) {
        const DeviceRecord& r = device(id);
        return r.powerText + "|" + std::to_string(r.outletCount) + "|" + r.scheduleText + "|" +
               r.pingText + "|" + r.rebootText + "|" + std::to_string(r.temperature) + "|" +
               std::to_string(r.temperatureState);
    }
};

struct RecordRow {
    const char* name;
    Bytes report;
    std::uint32_t id;
    std::string record;  // its summary afterwards
    int language = 1;
};

const RecordRow kRecordRows[] = {
    {"PingSymbolsAreCp932InJapanese",
     gv().pingCompact({{0, 0}, {1, 0}, {3, 0}, {4, 0}}).outlets({{1, 1}}).build(), 0x11,
     "1|1| |\x81\x7C\x81\x9B\x81\xA2\x81\x7E|0 0 0 0 |0|-1", 0},
    {"LongPingTextsAreCutToTheirFields",
     gv().pingFull(0, std::vector<test::PingEntry>(40, {2, 65535})).outlets({{1, 1}}).build(), 0x11,
     "1|1| |" + std::string(32, 'X') +
         "|65535 65535 65535 65535 65535 65535 65535 65535 65535 65535 6553|0|-1"},
    // Unit 5 of a user-login model, not the prompt model whose old MAC line reads 5.
    {"ShortReportOutputAndPendingFlags", test::shortReport(5, {{1, 1}, {1, 0}, {0, 1}, {0, 0}}),
     0x14, "1100|4| |||0|-1"},
};

class ReportToRecord : public DecodeReport, public ::testing::WithParamInterface<RecordRow> {};

TEST_P(ReportToRecord, Fields) {
    settings.language = Language(GetParam().language);
    const auto before = device(0x13);
    ASSERT_TRUE(receive(GetParam().report));
    EXPECT_EQ(summary(GetParam().id), GetParam().record);
    EXPECT_EQ(device(0x13), before);
}
INSTANTIATE_TEST_SUITE_P(Rows, ReportToRecord, ::testing::ValuesIn(kRecordRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DecodeReport, FullReportUpdatesRecordLogAndTheWorkCopy) {
    // A master value above 9 still reads as on, and is kept as sent.
    ASSERT_TRUE(receive(ElementReport()
                            .mac("0000AABBCC01")
                            .master(208)
                            .outlets({{1, 1}, {0, 0}, {5, 0}, {2, 1}})
                            .schedule({1, 0, 1, 1})
                            .temperature(true, 0, 2350)
                            .pingCompact({{1, 0}, {0, 1}, {3, 2}, {2, 65535}})
                            .build()));
    EXPECT_EQ(summary(0x10) + " " + std::to_string(device(0x10).lastMasterState),
              "1 1001|4|1011|O-RX|0 1 2 65535 |2350|0 208");
    EXPECT_EQ(logFile(0x10), formatUpdateTime(kNow, 0) + "\t1 1001\tO-OO\tO-RX\t2350\t0\r\n");
    // No window open: the current pair takes the work copy, states as sent.
    EXPECT_EQ(currentRecord.macText + " " + std::to_string(currentStatus.masterState) + " " +
                  std::to_string(currentStatus.outlets[2].state) +
                  std::to_string(currentStatus.outlets[3].state),
              "0000AABBCC01 208 52");
}

TEST_F(DecodeReport, FirstDeviceInListOrderWithTheMacAndTheIndexFollowsTheDirectory) {
    // Every change below goes through the directory alone: the station is
    // told nothing, its lookup follows by itself.
    ASSERT_TRUE(receive(ElementReport().mac("0000AABBCC01").outlets({{0, 0}}).build()));
    EXPECT_EQ(device(0x10).powerText, "0");
    EXPECT_EQ(file("00000002.IDX"), test::kHeader + test::kDupRecord);
    // The first hx goes away: the duplicate in group 2 is now the first.
    ASSERT_TRUE(directory->deleteDevice(0x10));
    ASSERT_TRUE(receive(ElementReport().mac("0000AABBCC01").outlets({{1, 1}}).build()));
    EXPECT_EQ(device(0x20).powerText, "1");
    // A MAC edited, in either case; the stored text stays.
    const Bytes edited = ElementReport().mac("0000AABBCCEE").outlets({{0, 0}}).build();
    for (const char* mac : {"0000AABBCCEE", "0000aabbccee"}) {
        DeviceRecord g = device(0x11);
        g.macText = mac;
        ASSERT_TRUE(directory->saveDevice(g));
        EXPECT_FALSE(receive(gv().outlets({{1, 1}}).build()));
        EXPECT_TRUE(receive(edited)) << mac;
        EXPECT_EQ(device(0x11).macText, mac);
    }
    // Reloaded from the files: every record is a new one.
    ASSERT_TRUE(directory->load(false));
    ASSERT_TRUE(receive(ElementReport().mac("0000AABBCCEE").outlets({{1, 1}}).build()));
    EXPECT_EQ(device(0x11).powerText, "1");
    // Changed in place, behind the directory's back, to a text longer than
    // a MAC address that holds it: found after the notice.
    directory->devices().find(0x11)->macText = "mac 0000aabbcc02 (gv)";
    station->directoryChanged();
    EXPECT_TRUE(receive(gv().outlets({{1, 1}}).build()));
}

TEST_F(DecodeReport, WhenALineIsLoggedAndWhenTheFileIsSaved) {
    const std::string t0 = formatUpdateTime(kNow, 0);
    // Ping only: logged, nothing kept or saved.
    ASSERT_TRUE(receive(gv().pingCompact({{1, 0}, {1, 0}, {1, 0}, {1, 0}}).build()));
    EXPECT_EQ(file("00000001.IDX"), test::kGroup1);
    EXPECT_EQ(logFile(0x11), t0 + "\t1111\t \tOOOO\t0\t-1\r\n");
    // Outlets as stored and a new schedule: saved, not logged.
    ASSERT_TRUE(
        receive(gv().outlets({{1, 1}, {1, 1}, {1, 1}, {1, 1}}).schedule({1, 0, 0, 1}).build()));
    EXPECT_EQ(parseItemFile(file("00000001.IDX"), 1)[1].scheduleText, "1001");
    // No sensor: temperature -1 stored, the state it reported logged once.
    const Bytes noSensor = gv().temperature(false, 2, 1800).build();
    for (int i = 0; i < 2; ++i) {
        clock.advance(60 * i);
        ASSERT_TRUE(receive(noSensor));
    }
    EXPECT_EQ(summary(0x11) + " " + std::to_string(device(0x11).lastTemperatureState),
              "1111|4|1001|||1800|-1 2");
    EXPECT_EQ(parseItemFile(file("00000001.IDX"), 1)[1].updateTime,
              std::uint32_t(kNow + 60));  // stamped each time
    EXPECT_EQ(logFile(0x11),
              t0 + "\t1111\t \tOOOO\t0\t-1\r\n" + t0 + "\t1111\tO--O\t\t1800\t-1\r\n");
    EXPECT_EQ(view.changedRecords.size(), 3u);
}

// A temperature alone, from a device whose outlets the station holds only as
// stored, leaves the stored power text as it was.
TEST_F(DecodeReport, ATemperatureAloneKeepsTheStoredPowerText) {
    ASSERT_TRUE(receive(gv().temperature(true, 0, 250).build()));
    EXPECT_EQ(summary(0x11), "1111|4| |||250|0");
    EXPECT_EQ(parseItemFile(file("00000001.IDX"), 1)[1].powerText, "1111");
}

TEST_F(DecodeReport, ControlWindowOfTheReportingDeviceIsRedrawnAnotherIsLeftAlone) {
    currentRecord = device(0x11);
    state.openDialog = OpenDialog::Control;
    currentStatus.masterPresent =
        true;  // no master element: the master digit comes from the current status
    currentStatus.masterState = 0;
    ASSERT_TRUE(receive(gv().outlets({{1, 1}, {1, 1}}).build()));
    EXPECT_EQ(device(0x11).powerText, "0 11");
    EXPECT_FALSE(view.redrawnOutlets.empty());
    // The window of another device.
    currentRecord = device(0x10);
    currentStatus = DeviceStatus{};
    view.redrawnOutlets.clear();
    ASSERT_TRUE(receive(gv().master(1).outlets({{1, 1}}).build()));
    EXPECT_TRUE(view.redrawnOutlets.empty());
    EXPECT_EQ(currentRecord.macText + " " + currentRecord.powerText, "0000AABBCC01 1 1111");
    EXPECT_FALSE(currentStatus.masterPresent);
}

// ---- datagrams that leave no trace: one of each outcome but acceptance ----

TEST_F(DecodeReport, ADatagramThatBreaksARuleOrNamesNoDeviceLeavesNoTraceButItsCount) {
    using Out = ReportOutcome;
    const struct {
        const char* name;
        Bytes report;
        ReportOutcome counted;
    } rows[] = {
        {"AMalformedElementAfterGoodOnes",
         gv().temperature(true, 3, 999).outlets({{1, 1}, {1, 1}, {1, 1}, {0, 0}}, 30, 3).build(),
         Out::Malformed},
        {"UnknownMac", ElementReport().mac("0000AABBCC99").outlets({{1, 1}}).build(),
         Out::UnknownMac},
        {"NoMacElement", ElementReport().master(1).outlets({{1, 1}}).build(), Out::NoMac},
        {"UnknownUnitNumber", test::shortReport(77, {{1, 0}, {1, 0}, {1, 0}, {1, 0}}),
         Out::UnknownUnit},
    };
    const auto files = snapshot();
    const std::vector<DeviceRecord> records(directory->devices().begin(),
                                            directory->devices().end());
    const DeviceRecord current = currentRecord;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StationCounters expected = station->counters();
        ++expected[row.counted];
        EXPECT_FALSE(receive(row.report));
        EXPECT_EQ(station->counters().reports, expected.reports);
        EXPECT_EQ(snapshot(), files);
        EXPECT_EQ(records, std::vector<DeviceRecord>(directory->devices().begin(),
                                                     directory->devices().end()));
        EXPECT_EQ(currentRecord, current);
        EXPECT_TRUE(view.changedRecords.empty() && view.redrawnOutlets.empty() &&
                    view.acceptedReports.empty());
        EXPECT_FALSE(currentStatus.masterPresent);
    }
}

class ListenerTick : public test::StationTest {
protected:
    test::UdpSender sender;
    std::uint16_t port = 0;
    void SetUp() override {
        StationTest::SetUp();
        ASSERT_TRUE(station->openStatusListenerOn(0, 0x7F000001));
        ASSERT_NE(port = station->listenerPort(), 0);
        EXPECT_TRUE(state.listenerOpen);
    }
    // Sends, then waits (bounded) until the socket has something; loopback
    // delivery is normally done by the time send returns.
    void send(const std::vector<Bytes>& datagrams) {
        for (const Bytes& b : datagrams) ASSERT_TRUE(sender.send(port, b));
        ASSERT_TRUE(station->waitForReport(std::chrono::milliseconds(2000)));
    }
    static Bytes outlet(unsigned code, unsigned output) {
        return gv().outlets({{code, output}}).build();
    }
    std::string power() {
        return device(0x11).powerText + "/" + parseItemFile(file("00000001.IDX"), 1)[1].powerText;
    }
    std::string ticked(
        std::size_t limit = SIZE_MAX) {  // received/accepted, or "-" when the tick did not poll
        const TickResult r = station->tick(limit);
        return r.polled ? std::to_string(r.received) + "/" + std::to_string(r.accepted) : "-";
    }
};

TEST_F(ListenerTick, EveryWaitingReportIsTakenInArrivalOrderInOneTickAndSavedOnce) {
    // Exactly 1600 bytes are taken (the MAC, outlets, then filler words);
    // longer and empty datagrams are dropped.
    const Bytes big = gv().outlets({{0, 0}}).fillerWords(392).build();
    ASSERT_EQ(big.size(), 1600u);
    Bytes tooBig = gv().outlets({{1, 1}}).fillerWords(393).build();
    tooBig.resize(1602);
    send({tooBig, outlet(1, 1), Bytes{}, big, outlet(5, 1)});
    EXPECT_EQ(ticked(), "5/3");
    const StationCounters& c = station->counters();
    EXPECT_EQ(c[ReportOutcome::TooLong], 1u);
    EXPECT_EQ(c[ReportOutcome::TooShort], 1u);
    const std::string t = formatUpdateTime(test::kNow, 0);
    EXPECT_EQ(logFile(0x11),
              t + "\t1\t \t\t0\t-1\r\n" + t + "\t0\t \t\t0\t-1\r\n" + t + "\t1\t \t\t0\t-1\r\n");
    ASSERT_EQ(view.changedRecords.size(),
              1u);  // one save for the group, one row refresh with the last state
    EXPECT_EQ(view.changedRecords[0].powerText, "1");
    EXPECT_EQ(power(), "1/1");
}

TEST_F(ListenerTick, NoPollWhileThePropertyDialogIsOpenABatchRunsOrTheListenerIsClosed) {
    EXPECT_GT(station->receiveQueueBytes(), 200 * 1024);  // the receive queue is enlarged
    send({outlet(0, 0)});
    state.openDialog = OpenDialog::Property;
    EXPECT_EQ(ticked(), "-");
    state.openDialog = OpenDialog::None, state.busy = true;
    EXPECT_EQ(ticked(), "-");
    EXPECT_EQ(power(), "1111/1111");
    state.busy = false,
    state.openDialog = OpenDialog::Control;  // the control window does not stop polling
    EXPECT_EQ(ticked(), "1/1");
    EXPECT_EQ(power(), "0/0");
    station->closeStatusListener();
    EXPECT_FALSE(state.listenerOpen);
    EXPECT_EQ(ticked(), "-");
    settings.msrpEnable = false;
    EXPECT_FALSE(station->openStatusListener());
    EXPECT_FALSE(state.listenerOpen);
}

TEST_F(ListenerTick, BudgetAndAcceptLimitEndTheTickAndTheRestWaitsForTheNext) {
    std::int64_t micros = 0;
    station->setBudgetClock(
        [&micros] { return micros += 25000; });  // 25 ms each: over the 20 ms budget
    send({outlet(1, 1), outlet(1, 1), outlet(1, 1)});
    for (const char* expected : {"1/1", "1/1", "1/1", "0/0"}) EXPECT_EQ(ticked(), expected);
    // Each tick that received one took three readings: 50 ms; the empty tick
    // is not timed.
    const TickTimes& times = station->counters().tickTimes;
    EXPECT_EQ(times.count, 3u);
    EXPECT_EQ(times.sumMicros, 150000);
    station->setBudgetClock([] { return std::int64_t(0); });
    send({outlet(1, 1), outlet(1, 1), outlet(1, 1)});
    EXPECT_EQ(ticked(2), "2/2");
    EXPECT_EQ(ticked(), "1/1");
}

using test::readBytes;

std::int64_t local(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
    t.tm_hour = hour, t.tm_min = minute, t.tm_isdst = -1;
    return std::int64_t(std::mktime(&t));
}

class EventLog : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    AppSettings settings{dataDir + "ZELO.INI"};
    LangStrings strings{settings};
    const std::int64_t newYearsEve = local(2006, 12, 31, 23, 5);
    DeviceRecord r;
    void SetUp() override {
        settings.language = Language::English;
        r.deviceId = 0x2A, r.name = "rack one", r.addressText = "10.1.2.3", r.powerText = "1 1011";
        r.scheduleText = "10-1", r.pingText = "O-RX", r.temperature = -125, r.temperatureState = -1;
    }
};

TEST_F(EventLog, FileNameAndDirectory) {
    // the id in hex, date and hour optional
    EXPECT_EQ(eventLogFileName(0x2A, true, true, newYearsEve), "0000002A-20061231-23.LOG");
    EXPECT_EQ(eventLogFileName(0xDEADBEEF, false, true, local(2007, 3, 4, 7, 0)),
              "DEADBEEF-07.LOG");
    const std::string sep(1, char(std::filesystem::path::preferred_separator));
    // The base directory gains a separator, in memory, once.
    const std::pair<std::string, std::string> rows[] = {
        {"logs", "logs" + sep}, {"logs" + sep, "logs" + sep}, {"logs\\", "logs\\"}, {"", ""}};
    for (const auto& [base, added] : rows) {
        settings.baseDir = base;
        EXPECT_EQ(eventLogDirectory(settings, dataDir), dataDir + added) << base;
        EXPECT_EQ(settings.baseDir, added) << base;
    }
    for (const std::string& absolute : {std::string("C:logs"), std::string("C:"), sep + "var"}) {
        settings.baseDir = absolute;  // not under the data directory
        EXPECT_EQ(eventLogDirectory(settings, dataDir), absolute + sep) << absolute;
    }
}

TEST_F(EventLog, LinesHaveSixTabSeparatedFieldsInTheDateStyleAndLanguage) {
    EXPECT_EQ(formatEventLine(r, 1, Language::Japanese, newYearsEve),  // CP932 symbols
              "12/31/2006 23:05\t1 1011\t\x81\xA0\x81\xA1\x81\x7C\x81\xA0\tO-RX\t-125\t-1\r\n");
    // The missing levels of the base directory are made with the first line.
    settings.dateStyle = 2, settings.language = Language::Japanese, settings.fnameDate = true,
    settings.baseDir = "a/b/c";
    r.scheduleText = "";
    ASSERT_TRUE(writeEventLog(settings, dataDir, r, newYearsEve));
    EXPECT_EQ(readBytes(dataDir + "a/b/c/0000002A-20061231.LOG"),
              "31/12/2006 23:05\t1 1011\t\tO-RX\t-125\t-1\r\n");
}

TEST_F(EventLog, DeliveryBlockPerAttemptInTheConfiguredLanguage) {
    settings.baseDir = "elsewhere";  // never used for ZELO.LOG
    ASSERT_TRUE(writeDeliveryLog(dataDir, r, "week.shx", true, strings, 0, newYearsEve));
    ASSERT_TRUE(writeDeliveryLog(dataDir, r, "week.shx", false, strings, 0, newYearsEve));
    const std::string block =
        "------------------------------\r\nrack one 10.1.2.3 2006/12/31 23:05\r\nSend filename: "
        "week.shx\r\nResult: ";
    EXPECT_EQ(readBytes(dataDir + "ZELO.LOG"),
              block + "Normal\r\n\r\n" + block + "Abnormal\r\n\r\n");
}

// A log that cannot be written (a file where its directory should be) is
// told to the view once per file until it works again; the status goes on.
TEST_F(DecodeReport, AnUnwritableLogIsToldOncePerFileUntilItWorksAgain) {
    settings.baseDir = "blocked";
    test::writeBytes(dataDir + "blocked", "a file where the directory should be");
    const std::string path =
        dataDir + "blocked" + char(std::filesystem::path::preferred_separator) + "00000010.LOG";
    const auto report = [](unsigned on) {
        return ElementReport().mac("0000AABBCC01").outlets({{on, 1}, {1, 1}}).build();
    };
    ASSERT_TRUE(receive(report(0)));
    ASSERT_TRUE(receive(report(1)));  // changed again: a second line fails
    EXPECT_EQ(view.failedLogs, std::vector<std::string>{path});
    EXPECT_TRUE(std::islower(view.logFailureReasons.at(0)[0])) << view.logFailureReasons[0];
    EXPECT_EQ(device(0x10).powerText, "11");
    std::filesystem::remove(dataDir + "blocked");
    ASSERT_TRUE(receive(report(0)));
    EXPECT_TRUE(std::filesystem::exists(path));
    std::filesystem::remove_all(dataDir + "blocked");
    test::writeBytes(dataDir + "blocked", "");
    ASSERT_TRUE(receive(report(1)));
    EXPECT_EQ(view.failedLogs, (std::vector<std::string>{path, path}));
}

}  // namespace
}  // namespace zelo
