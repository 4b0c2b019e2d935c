// The listener and the timer tick over a real socket on 127.0.0.1, event and
// delivery log lines, and coalesced item file saves.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "common/format.h"
#include "directory/device_record.h"
#include "directory/item_file.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "status/event_log.h"
#include "tests/status/station_fixture.h"
#include "tests/status/udp_sender.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::Bytes;
using test::ElementReport;

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
    static Bytes outlet(unsigned code, unsigned output) { return ElementReport().mac("0000AABBCC02").outlets({{code, output}}).build(); }
    std::string power() { return device(0x11).powerText + "/" + parseItemFile(file("00000001.IDX"), 1)[1].powerText; }
    std::string ticked(std::size_t limit = SIZE_MAX) {  // received/accepted, or "-" when the tick did not poll
        const TickResult r = station->tick(limit);
        return r.polled ? std::to_string(r.received) + "/" + std::to_string(r.accepted) : "-";
    }
};

TEST_F(ListenerTick, DisabledOrClosedListenerTicksDoNothing) {
    EXPECT_GT(station->receiveQueueBytes(), 200 * 1024);  // the receive queue is enlarged
    station->closeStatusListener();
    EXPECT_FALSE(state.listenerOpen);
    EXPECT_EQ(ticked(), "-");
    settings.msrpEnable = false;
    EXPECT_FALSE(station->openStatusListener());
    EXPECT_FALSE(state.listenerOpen);
}

TEST_F(ListenerTick, EveryWaitingReportIsTakenInArrivalOrderInOneTickAndSavedOnce) {
    send({outlet(1, 1), outlet(0, 0), outlet(5, 1)});
    EXPECT_EQ(ticked(), "3/3");
    const std::string t = FormatUpdateTime(test::kNow, 0);
    EXPECT_EQ(logFile(0x11), t + "\t1\t \t\t0\t-1\r\n" + t + "\t0\t \t\t0\t-1\r\n" + t + "\t1\t \t\t0\t-1\r\n");
    ASSERT_EQ(view.changedRecords.size(), 1u);  // one save for the group, one row refresh with the last state
    EXPECT_EQ(view.changedRecords[0].powerText, "1");
    EXPECT_EQ(power(), "1/1");
}

TEST_F(ListenerTick, ReportsWaitWhileThePropertyDialogIsOpenOrABatchRuns) {
    send({outlet(0, 0)});
    state.openDialog = OpenDialog::Property;
    EXPECT_EQ(ticked(), "-");
    state.openDialog = OpenDialog::None, state.busy = true;
    EXPECT_EQ(ticked(), "-");
    EXPECT_EQ(power(), "1111/1111");
    state.busy = false, state.openDialog = OpenDialog::Control;  // the control window does not stop polling
    EXPECT_EQ(ticked(), "1/1");
    EXPECT_EQ(power(), "0/0");
}

TEST_F(ListenerTick, BudgetAndAcceptLimitEndTheTickAndTheRestWaitsForTheNext) {
    std::int64_t micros = 0;
    station->setBudgetClock([&micros] { return micros += 25000; });  // 25 ms each: over the 20 ms budget
    send({outlet(1, 1), outlet(1, 1), outlet(1, 1)});
    for (const char* expected : {"1/1", "1/1", "1/1", "0/0"}) EXPECT_EQ(ticked(), expected);
    station->setBudgetClock([] { return std::int64_t(0); });
    send({outlet(1, 1), outlet(1, 1), outlet(1, 1)});
    EXPECT_EQ(ticked(2), "2/2");
    EXPECT_EQ(ticked(), "1/1");
}

TEST_F(ListenerTick, Exactly1600BytesAreTakenLongerAndEmptyDatagramsAreDropped) {
    const Bytes big = ElementReport().mac("0000AABBCC02").outlets({{0, 0}}).fillerWords(392).build();
    ASSERT_EQ(big.size(), 1600u);  // MAC, outlets, then filler words up to 1600 bytes
    Bytes tooBig = ElementReport().mac("0000AABBCC02").outlets({{1, 1}}).fillerWords(393).build();
    tooBig.resize(1602);
    send({tooBig, Bytes{}, big});
    EXPECT_EQ(ticked(), "3/1");
    EXPECT_EQ(power(), "0/0");
}

TEST_F(ListenerTick, OnePollTakesOneDatagramAndSavesIt) {
    send({outlet(0, 0), outlet(1, 1)});
    EXPECT_GT(station->pollStatusListener(), 0u);
    EXPECT_EQ(power(), "0/0");
    EXPECT_GT(station->pollStatusListener(), 0u);
    EXPECT_EQ(power(), "1/1");
    EXPECT_EQ(station->pollStatusListener(), 0u);
}

using test::readBytes;

std::int64_t local(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day, t.tm_hour = hour, t.tm_min = minute, t.tm_isdst = -1;
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
        settings.language = 1;
        r.deviceId = 0x2A, r.name = "rack one", r.addressText = "10.1.2.3", r.powerText = "1 1011";
        r.scheduleText = "10-1", r.pingText = "O-RX", r.temperature = -125, r.temperatureState = -1;
    }
};

TEST_F(EventLog, FileNameAndDirectory) {
    EXPECT_EQ(eventLogFileName(0x2A, false, false, newYearsEve), "0000002A.LOG");  // the id in hex, date and hour optional
    EXPECT_EQ(eventLogFileName(0x2A, true, true, newYearsEve), "0000002A-20061231-23.LOG");
    EXPECT_EQ(eventLogFileName(0x2A, true, false, newYearsEve), "0000002A-20061231.LOG");
    EXPECT_EQ(eventLogFileName(0xDEADBEEF, false, true, local(2007, 3, 4, 7, 0)), "DEADBEEF-07.LOG");
#ifdef _WIN32
    const std::string sep = "\\";
#else
    const std::string sep = "/";
#endif
    // The base directory gains a separator, in memory, once.
    const std::pair<std::string, std::string> rows[] = {{"logs", "logs" + sep}, {"logs" + sep, "logs" + sep}, {"logs\\", "logs\\"}, {"", ""}};
    for (const auto& [base, added] : rows) {
        settings.baseDir = base;
        EXPECT_EQ(eventLogDirectory(settings, dataDir), dataDir + added) << base;
        EXPECT_EQ(settings.baseDir, added) << base;
    }
    settings.baseDir = dataDir + "abs";  // an absolute directory leaves the data directory out
    EXPECT_EQ(eventLogDirectory(settings, "/elsewhere/"), dataDir + "abs" + sep);
}

TEST_F(EventLog, LinesHaveSixTabSeparatedFieldsInTheDateStyleAndLanguage) {
    settings.baseDir = "";
    ASSERT_TRUE(writeEventLog(settings, dataDir, r, newYearsEve));
    ASSERT_TRUE(writeEventLog(settings, dataDir, r, newYearsEve + 60));
    EXPECT_EQ(readBytes(dataDir + "0000002A.LOG"), "2006/12/31 23:05\t1 1011\tO--O\tO-RX\t-125\t-1\r\n"
                                                   "2006/12/31 23:06\t1 1011\tO--O\tO-RX\t-125\t-1\r\n");
    EXPECT_EQ(formatEventLine(r, 1, 0, newYearsEve),  // Japanese schedule symbols in CP932
              "12/31/2006 23:05\t1 1011\t\x81\xA0\x81\xA1\x81\x7C\x81\xA0\tO-RX\t-125\t-1\r\n");
    settings.dateStyle = 2, settings.language = 0, settings.fnameDate = true;
    r.scheduleText = "";
    ASSERT_TRUE(writeEventLog(settings, dataDir, r, newYearsEve));
    EXPECT_EQ(readBytes(dataDir + "0000002A-20061231.LOG"), "31/12/2006 23:05\t1 1011\t\tO-RX\t-125\t-1\r\n");
    settings.baseDir = "0";  // the default: a missing directory is not created, and nothing is written
    EXPECT_FALSE(writeEventLog(settings, dataDir, r, newYearsEve));
    EXPECT_FALSE(std::filesystem::exists(dataDir + "0"));
    std::filesystem::create_directory(dataDir + "0");
    EXPECT_TRUE(writeEventLog(settings, dataDir, r, newYearsEve));
    EXPECT_TRUE(std::filesystem::exists(dataDir + "0/0000002A-20061231.LOG"));
}

TEST_F(EventLog, DeliveryBlockPerAttemptInTheConfiguredLanguage) {
    settings.baseDir = "elsewhere";  // never used for ZELO.LOG
    ASSERT_TRUE(writeDeliveryLog(dataDir, r, "week.shx", true, strings, 0, newYearsEve));
    ASSERT_TRUE(writeDeliveryLog(dataDir, r, "week.shx", false, strings, 0, newYearsEve));
    const std::string block =
        "------------------------------\r\nrack one 10.1.2.3 2006/12/31 23:05\r\nSend filename: week.shx\r\nResult: ";
    EXPECT_EQ(readBytes(dataDir + "ZELO.LOG"), block + "Normal\r\n\r\n" + block + "Abnormal\r\n\r\n");
    settings.language = 0;
    const std::string japanese = formatDeliveryEntry(r, "a.shx", false, strings, 0, newYearsEve);
    EXPECT_NE(japanese.find("a.shx\r\n" + strings.text(340) + strings.text(339) + "\r\n\r\n"), std::string::npos);
    EXPECT_EQ(japanese.find("Result"), std::string::npos);
    EXPECT_FALSE(writeDeliveryLog(dataDir + "missing/", r, "a.shx", true, strings, 0, 0));  // skipped
}

DeviceRecord changed(std::uint32_t id, const std::string& power) {
    DeviceRecord r;
    r.name = "n" + std::to_string(id), r.modelName = "GV2208", r.deviceId = id, r.modelCode = 13, r.powerText = power;
    r.updateTime = 77;
    return r;
}

std::string twelveLines(const std::string& record) {  // a version 0 record: no header, twelve lines
    std::size_t pos = 0;
    for (int i = 0; i < 12; ++i) pos = record.find("\r\n", pos) + 2;
    return record.substr(0, pos);
}

TEST(StatusGroupSave, OneRewriteLeavesWhatSavingEachInTurnLeaves) {
    using namespace test;
    const std::string v2 = kHeader + kHxRecord + kGvRecord + kSwdRecord + kOldHxRecord;
    const std::string v0 = std::string(70, 'L') + twelveLines(kHxRecord).substr(2) + twelveLines(kGvRecord);  // a name cut
    const std::string duplicates = kHeader + kGvRecord + kGvRecord + "\r\nafter the stop line\r\n";
    const std::string cut = kHeader + kHxRecord + "gv\r\nGV2208\r\n11\r\n";
    const std::pair<const std::string&, std::vector<DeviceRecord>> rows[] = {
        {v2, {changed(0x11, "1010"), changed(0x13, "0 0000")}},
        {v2, {changed(0x11, "1010"), changed(0x11, "0000")}},  // the same device twice: the later copy wins
        {v0, {changed(0x11, "1")}}, {v0, {changed(0x11, "1"), changed(0x10, "0 1")}},  // upgraded once
        {duplicates, {changed(0x11, "01")}}, {cut, {changed(0x10, "1 1")}}, {cut, {changed(0x11, "1"), changed(0x99, "1")}},
    };
    for (const auto& [start, saves] : rows) {
        TempDir a, b;
        writeBytes(a.file("00000007.IDX"), start);
        writeBytes(b.file("00000007.IDX"), start);
        std::vector<const DeviceRecord*> all;
        for (const DeviceRecord& r : saves) {
            ASSERT_GE(saveDeviceRecord(a.path().string() + "/", 7, r), 0);
            all.push_back(&r);
        }
        ASSERT_TRUE(saveDeviceRecords(b.path().string() + "/", 7, all));
        EXPECT_EQ(readBytes(b.file("00000007.IDX")), readBytes(a.file("00000007.IDX"))) << start.substr(0, 30);
    }
    TempDir a;  // a missing file fails and creates nothing
    const DeviceRecord r = changed(1, "1");
    EXPECT_FALSE(saveDeviceRecords(a.path().string() + "/", 9, {&r}));
    EXPECT_TRUE(std::filesystem::is_empty(a.path()));
}

}  // namespace
}  // namespace zelo
