// Event log file names, directories and lines; the delivery log block.
#include "status/event_log.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "directory/device_record.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

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

}  // namespace
}  // namespace zelo
