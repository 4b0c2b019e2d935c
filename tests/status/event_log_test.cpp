// Event log file names, directories and lines; the delivery log block.
#include "status/event_log.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "common/format.h"
#include "directory/device_record.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::readBytes;
using test::TempDir;

std::int64_t localSeconds(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&t));
}

DeviceRecord sample() {
    DeviceRecord r;
    r.deviceId = 0x2A;
    r.name = "rack one";
    r.addressText = "10.1.2.3";
    r.powerText = "1 1011";
    r.scheduleText = "10-1";
    r.pingText = "O-RX";
    r.temperature = -125;
    r.temperatureState = -1;
    return r;
}

class EventLog : public ::testing::Test {
protected:
    TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    AppSettings settings{dataDir + "ZELO.INI"};
    const std::int64_t newYearsEve = localSeconds(2006, 12, 31, 23, 5);
    void SetUp() override { settings.language = 1; }
};

TEST_F(EventLog, FileNameIsTheIdInHexWithOptionalDateAndHour) {
    EXPECT_EQ(eventLogFileName(0x2A, false, false, newYearsEve), "0000002A.LOG");
    EXPECT_EQ(eventLogFileName(0x2A, true, true, newYearsEve), "0000002A-20061231-23.LOG");
    EXPECT_EQ(eventLogFileName(0x2A, true, false, newYearsEve), "0000002A-20061231.LOG");
    EXPECT_EQ(eventLogFileName(0xDEADBEEF, false, true, localSeconds(2007, 3, 4, 7, 0)),
              "DEADBEEF-07.LOG");
}

TEST_F(EventLog, BaseDirGainsASeparatorInMemoryOnce) {
    settings.baseDir = "logs";
#ifdef _WIN32
    const std::string expected = "logs\\";
#else
    const std::string expected = "logs/";
#endif
    EXPECT_EQ(eventLogDirectory(settings, dataDir), dataDir + expected);
    EXPECT_EQ(settings.baseDir, expected);
    EXPECT_EQ(eventLogDirectory(settings, dataDir), dataDir + expected);
    settings.baseDir = "logs\\";
    EXPECT_EQ(eventLogDirectory(settings, dataDir), dataDir + "logs\\");
    settings.baseDir = "";
    EXPECT_EQ(eventLogDirectory(settings, dataDir), dataDir);
    EXPECT_EQ(settings.baseDir, "");
    settings.baseDir = dataDir + "abs";
    EXPECT_EQ(eventLogDirectory(settings, "/elsewhere/"), dataDir + "abs" + expected.substr(4));
}

TEST_F(EventLog, LineHasSixTabSeparatedFieldsAndCrLf) {
    settings.baseDir = "";
    ASSERT_TRUE(writeEventLog(settings, dataDir, sample(), newYearsEve));
    ASSERT_TRUE(writeEventLog(settings, dataDir, sample(), newYearsEve + 60));
    EXPECT_EQ(readBytes(dataDir + "0000002A.LOG"),
              "2006/12/31 23:05\t1 1011\tO--O\tO-RX\t-125\t-1\r\n"
              "2006/12/31 23:06\t1 1011\tO--O\tO-RX\t-125\t-1\r\n");
}

TEST_F(EventLog, DateStyleAndJapaneseScheduleSymbols) {
    settings.baseDir = "";
    settings.dateStyle = 2;
    settings.language = 0;
    settings.fnameDate = true;
    DeviceRecord r = sample();
    r.scheduleText = "";
    ASSERT_TRUE(writeEventLog(settings, dataDir, r, newYearsEve));
    EXPECT_EQ(readBytes(dataDir + "0000002A-20061231.LOG"),
              "31/12/2006 23:05\t1 1011\t\tO-RX\t-125\t-1\r\n");
    EXPECT_EQ(formatEventLine(sample(), 1, 0, newYearsEve),
              "12/31/2006 23:05\t1 1011\t\x81\xA0\x81\xA1\x81\x7C\x81\xA0\tO-RX\t-125\t-1\r\n");
}

class EventLogDelivery : public EventLog {
protected:
    LangStrings strings{settings};
};

TEST_F(EventLogDelivery, BlockPerAttemptInTheConfiguredLanguage) {
    settings.language = 1;
    settings.baseDir = "elsewhere";  // never used for ZELO.LOG
    ASSERT_TRUE(writeDeliveryLog(dataDir, sample(), "week.shx", true, strings, 0, newYearsEve));
    ASSERT_TRUE(writeDeliveryLog(dataDir, sample(), "week.shx", false, strings, 0, newYearsEve));
    const std::string block =
        "------------------------------\r\nrack one 10.1.2.3 2006/12/31 23:05\r\n"
        "Send filename: week.shx\r\nResult: ";
    EXPECT_EQ(readBytes(dataDir + "ZELO.LOG"),
              block + "Normal\r\n\r\n" + block + "Abnormal\r\n\r\n");
}

TEST_F(EventLogDelivery, JapaneseTextsAreTheStringTablesCp932Bytes) {
    settings.language = 0;
    const std::string entry =
        formatDeliveryEntry(sample(), "a.shx", false, strings, 0, newYearsEve);
    EXPECT_NE(entry.find(strings.text(341) + "a.shx\r\n" + strings.text(340) + strings.text(339) +
                         "\r\n\r\n"),
              std::string::npos);
    EXPECT_NE(strings.text(339), "Abnormal");
}

TEST_F(EventLogDelivery, UnwritableLogIsSkipped) {
    EXPECT_FALSE(writeDeliveryLog(dataDir + "missing/", sample(), "a.shx", true, strings, 0, 0));
}

}  // namespace
}  // namespace zelo
