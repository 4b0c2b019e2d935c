// ZELO.INI as the program reads and writes it.
#include "settings/app_settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "settings/lang_strings.h"
#include "settings/profile_file.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::readBytes;
using test::writeBytes;

class AppSettingsTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string ini = dir.file("ZELO.INI");
    AppSettings settings{ini};
    LangStrings strings{settings};
    void load() { settings.loadSettings(strings); }
    static std::string list(const std::array<int, kListColumns>& a) {
        std::string t;
        for (int v : a) t += std::to_string(v) + " ";
        return t;
    }
};

TEST_F(AppSettingsTest, WhatEachFileReadsAs) {
    load();
    EXPECT_FALSE(std::filesystem::exists(ini));  // no file: defaults, and nothing written
    // Japanese clock format, "現在時刻 %02d時%02d分%02d秒" in CP932.
    EXPECT_EQ(settings.clockFormat.substr(0, 8), "\x8c\xbb\x8d\xdd\x8e\x9e\x8d\x8f");
    const auto position = [](const AppSettings& s) {
        return std::to_string(s.position.top) + " " + std::to_string(s.position.bottom) + " " +
               std::to_string(s.position.left) + " " + std::to_string(s.position.right);
    };
    const struct {
        std::string file;
        std::function<std::string(const AppSettings&)> read;
        std::string expected;
    } rows[] = {
        {"[ZELO]\r\nLanguage=1\r\n", [](const AppSettings& s) { return s.clockFormat; }, "Present time %02d:%02d:%02d"},
        {"[Network]\r\nMSRPport=70000\r\n", [](const AppSettings& s) { return std::to_string(s.msrpPort); }, "4464"},
        {"[Network]\r\nMSRPport=-1\r\n", [](const AppSettings& s) { return std::to_string(s.msrpPort); }, "65535"},
        // Values that are not numbers read as 0.
        {"[Network]\r\nMSRPenable=yes\r\n[MessageBox]\r\nQuit=x\r\nDelete= 2\r\n",
         [](const AppSettings& s) { return std::to_string(s.msrpEnable + 2 * s.confirmQuit + 4 * s.confirmDelete); }, "4"},
        // Short lists are filled up by the appended tails; numbers beyond the tenth are ignored.
        {"[ZELO]\r\nListOrder=2 1 0 3 4 5\r\nColumnWidth=100 120\r\n",
         [](const AppSettings& s) { return list(s.listOrder) + list(s.columnWidth); },
         "2 1 0 3 4 5 6 7 8 9 100 120 80 80 80 80 80 80 80 80 "},
        {"[ZELO]\r\nListOrder=9 8 7 6 5 4 3 2 1 0 11 12\r\n", [](const AppSettings& s) { return list(s.listOrder); },
         "9 8 7 6 5 4 3 2 1 0 "},
        // Top, bottom, left, right; missing numbers keep what the row before read.
        {"[ZELO]\r\nPosition=10 510 20 820\r\n", position, "10 510 20 820"},
        {"[ZELO]\r\nPosition=1 2\r\n", position, "1 2 20 820"},
        {"[Log]\r\nBaseDir=" + std::string(250, 'd') + "\r\n", [](const AppSettings& s) { return s.baseDir; },
         std::string(200, 'd')},
    };
    for (const auto& row : rows) {
        writeBytes(ini, row.file);
        load();
        EXPECT_EQ(row.read(settings), row.expected) << row.file;
    }
}

TEST_F(AppSettingsTest, SaveWritesTheSectionsInTheirOrderWithTheSavedValues) {
    load();
    ASSERT_TRUE(settings.saveSettings());
    EXPECT_EQ(readBytes(ini),
              "[MessageBox]\r\nQuit=1\r\nDisconnect=1\r\nReconnect=1\r\nPower=1\r\n"
              "CancelAccept=1\r\nDelete=1\r\n\r\n[CtrlDlgMode]\r\nAutoJump=0\r\nTaskTray=0\r\n\r\n"
              "[ListViewMode]\r\nLineMstPow=0\r\n\r\n[ZELO]\r\nLanguage=0\r\nDateStyle=0\r\n\r\n"
              "[Log]\r\nLOGenable=0\r\nBaseDir=0\r\nFnameDate=0\r\nFnameHour=0\r\n\r\n"
              "[Network]\r\nMSRPenable=1\r\nMSRPport=5000\r\n");
    settings.language = 1;
    settings.msrpPort = 6000;
    settings.savedLanguage = 2;
    settings.savedDateStyle = 1;
    settings.savedMsrpPort = 65535;
    settings.confirmQuit = settings.confirmPower = settings.msrpEnable = false;
    settings.taskTray = settings.lineMstPow = settings.logEnable = settings.fnameHour = true;
    settings.baseDir = "C:\\ZELO logs";
    ASSERT_TRUE(settings.saveSettings());
    EXPECT_EQ(settings.language, 1);  // the saved values take effect at the next start
    AppSettings again(ini);
    LangStrings againStrings(again);
    again.loadSettings(againStrings);
    EXPECT_EQ(std::to_string(again.language) + " " + std::to_string(again.dateStyle) + " " +
                  std::to_string(again.msrpPort) + " " + again.baseDir,
              "2 1 65535 C:\\ZELO logs");
    const bool flags[] = {again.confirmQuit, again.confirmDisconnect, again.confirmPower, again.taskTray,
                          again.lineMstPow, again.logEnable,        again.fnameDate,    again.fnameHour,
                          again.msrpEnable};
    EXPECT_EQ(std::vector<bool>(std::begin(flags), std::end(flags)),
              (std::vector<bool>{false, true, false, true, true, true, false, true, false}));
}

TEST_F(AppSettingsTest, ListLayoutAndPositionRoundTrip) {
    load();
    settings.listOrder = {1, 0, 2, 3, 4, 5, 6, 7, 8, 9};
    settings.columnWidth = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    ASSERT_TRUE(settings.saveListLayout());
    ASSERT_TRUE(settings.savePosition({5, 505, -3, 797}));
    EXPECT_EQ(readProfileString(ini, "ZELO", "ListOrder", ""), "1 0 2 3 4 5 6 7 8 9");
    EXPECT_EQ(readProfileString(ini, "ZELO", "Position", ""), "5 505 -3 797");  // top, bottom, left, right
    AppSettings again(ini);
    again.loadListLayout();
    EXPECT_EQ(again.listOrder, settings.listOrder);
    EXPECT_EQ(again.columnWidth, settings.columnWidth);
}

TEST_F(AppSettingsTest, NewIdsAreWrittenAtOnceAndNeverHandedOutUnsaved) {
    load();
    EXPECT_EQ(settings.newTreeId(), 1u);
    EXPECT_EQ(settings.newTreeId(), 2u);
    EXPECT_EQ(settings.newObjectId(), 1u);
    EXPECT_EQ(readBytes(ini), "[ZELO]\r\nUniqueTree=2\r\nUniqueObj=1\r\n");
    AppSettings again(ini);
    LangStrings againStrings(again);
    again.loadSettings(againStrings);
    EXPECT_EQ(again.newTreeId(), 3u);
    EXPECT_EQ(again.newObjectId(), 2u);
    writeBytes(ini, "[ZELO]\r\nUniqueObj=3000000000\r\nUniqueTree=4294967295\r\n");
    load();
    EXPECT_EQ(settings.newObjectId(), 3000000001u);  // written unsigned
    EXPECT_EQ(readProfileString(ini, "ZELO", "UniqueObj", ""), "3000000001");
    EXPECT_EQ(settings.newTreeId(), 0u);  // the counter is used up; never wraps to the root
    AppSettings unwritable(dir.file("missing") + "/ZELO.INI");
    EXPECT_EQ(unwritable.newObjectId(), 0u);
    EXPECT_EQ(unwritable.uniqueObj, 0u);
}

}  // namespace
}  // namespace zelo
