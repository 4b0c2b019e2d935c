#include "settings/app_settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "settings/lang_strings.h"
#include "settings/profile_file.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

class AppSettingsTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string ini = dir.file("ZELO.INI");
    AppSettings settings{ini};
    LangStrings strings{settings};

    void load() { settings.loadSettings(strings); }
};

TEST_F(AppSettingsTest, NoFileGivesEveryDefaultAndWritesNothing) {
    load();
    EXPECT_EQ(settings.position.top, 0);
    EXPECT_EQ(settings.position.right, 0);
    EXPECT_EQ(settings.language, 0);
    EXPECT_EQ(settings.dateStyle, 0);
    EXPECT_EQ(settings.uniqueTree, 0u);
    EXPECT_EQ(settings.uniqueObj, 0u);
    EXPECT_TRUE(settings.confirmQuit && settings.confirmDisconnect && settings.confirmReconnect &&
                settings.confirmPower && settings.confirmCancelAccept && settings.confirmDelete);
    EXPECT_FALSE(settings.autoJump || settings.taskTray || settings.lineMstPow);
    EXPECT_TRUE(settings.msrpEnable);
    EXPECT_EQ(settings.msrpPort, 5000);
    EXPECT_EQ(settings.savedMsrpPort, 5000);
    EXPECT_FALSE(settings.logEnable || settings.fnameDate || settings.fnameHour);
    EXPECT_EQ(settings.baseDir, "0");
    for (int i = 0; i < kListColumns; ++i) {
        EXPECT_EQ(settings.listOrder[static_cast<std::size_t>(i)], i);
        EXPECT_EQ(settings.columnWidth[static_cast<std::size_t>(i)], 80);
    }
    // Japanese clock format, "現在時刻 %02d時%02d分%02d秒" in CP932.
    EXPECT_EQ(settings.clockFormat.substr(0, 8), "\x8c\xbb\x8d\xdd\x8e\x9e\x8d\x8f");
    EXPECT_FALSE(std::filesystem::exists(ini));
}

TEST_F(AppSettingsTest, ClockFormatFollowsTheLanguageJustRead) {
    writeBytes(ini, "[ZELO]\r\nLanguage=1\r\n");
    load();
    EXPECT_EQ(settings.clockFormat, "Present time %02d:%02d:%02d");
}

TEST_F(AppSettingsTest, SaveThenLoadRoundTrips) {
    load();
    settings.confirmQuit = false;
    settings.confirmPower = false;
    settings.taskTray = true;
    settings.lineMstPow = true;
    settings.savedLanguage = 2;
    settings.savedDateStyle = 1;
    settings.logEnable = true;
    settings.baseDir = "C:\\ZELO logs";
    settings.fnameHour = true;
    settings.msrpEnable = false;
    settings.savedMsrpPort = 65535;
    ASSERT_TRUE(settings.saveSettings());

    AppSettings again(ini);
    LangStrings againStrings(again);
    again.loadSettings(againStrings);
    EXPECT_FALSE(again.confirmQuit);
    EXPECT_TRUE(again.confirmDisconnect);
    EXPECT_FALSE(again.confirmPower);
    EXPECT_TRUE(again.taskTray);
    EXPECT_TRUE(again.lineMstPow);
    EXPECT_EQ(again.language, 2);
    EXPECT_EQ(again.dateStyle, 1);
    EXPECT_TRUE(again.logEnable);
    EXPECT_EQ(again.baseDir, "C:\\ZELO logs");
    EXPECT_FALSE(again.fnameDate);
    EXPECT_TRUE(again.fnameHour);
    EXPECT_FALSE(again.msrpEnable);
    EXPECT_EQ(again.msrpPort, 65535);
}

TEST_F(AppSettingsTest, SaveWritesTheSavedValuesNotTheActiveOnes) {
    writeBytes(ini, "[ZELO]\r\nLanguage=1\r\n[Network]\r\nMSRPport=6000\r\n");
    load();
    settings.savedLanguage = 0;
    settings.savedMsrpPort = 7000;
    ASSERT_TRUE(settings.saveSettings());
    EXPECT_EQ(settings.language, 1);  // takes effect at the next start
    EXPECT_EQ(settings.msrpPort, 6000);
    EXPECT_EQ(readProfileString(ini, "ZELO", "Language", ""), "0");
    EXPECT_EQ(readProfileString(ini, "Network", "MSRPport", ""), "7000");
    EXPECT_EQ(readProfileString(ini, "MessageBox", "Quit", ""), "1");
}

TEST_F(AppSettingsTest, SaveWritesTheSectionsInTheirOrder) {
    load();
    ASSERT_TRUE(settings.saveSettings());
    EXPECT_EQ(readBytes(ini),
              "[MessageBox]\r\nQuit=1\r\nDisconnect=1\r\nReconnect=1\r\nPower=1\r\n"
              "CancelAccept=1\r\nDelete=1\r\n\r\n[CtrlDlgMode]\r\nAutoJump=0\r\nTaskTray=0\r\n\r\n"
              "[ListViewMode]\r\nLineMstPow=0\r\n\r\n[ZELO]\r\nLanguage=0\r\nDateStyle=0\r\n\r\n"
              "[Log]\r\nLOGenable=0\r\nBaseDir=0\r\nFnameDate=0\r\nFnameHour=0\r\n\r\n"
              "[Network]\r\nMSRPenable=1\r\nMSRPport=5000\r\n");
}

TEST_F(AppSettingsTest, PortIsHeldIn16Bits) {
    writeBytes(ini, "[Network]\r\nMSRPport=70000\r\n");
    load();
    EXPECT_EQ(settings.msrpPort, 70000 % 65536);
    writeBytes(ini, "[Network]\r\nMSRPport=-1\r\n");
    load();
    EXPECT_EQ(settings.msrpPort, 65535);
}

TEST_F(AppSettingsTest, NonNumericValuesReadAsZero) {
    writeBytes(ini, "[Network]\r\nMSRPenable=yes\r\n[MessageBox]\r\nQuit=x\r\nDelete= 2\r\n");
    load();
    EXPECT_FALSE(settings.msrpEnable);
    EXPECT_FALSE(settings.confirmQuit);
    EXPECT_TRUE(settings.confirmDelete);
}

TEST_F(AppSettingsTest, ShortListsAreFilledUpByTheAppendedTails) {
    writeBytes(ini, "[ZELO]\r\nListOrder=2 1 0 3 4 5\r\nColumnWidth=100 120\r\n");
    load();
    const std::array<int, kListColumns> order{2, 1, 0, 3, 4, 5, 6, 7, 8, 9};
    const std::array<int, kListColumns> width{100, 120, 80, 80, 80, 80, 80, 80, 80, 80};
    EXPECT_EQ(settings.listOrder, order);
    EXPECT_EQ(settings.columnWidth, width);
}

TEST_F(AppSettingsTest, NumbersBeyondTheTenthAreIgnored) {
    writeBytes(ini, "[ZELO]\r\nListOrder=9 8 7 6 5 4 3 2 1 0 11 12\r\n");
    load();
    const std::array<int, kListColumns> order{9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    EXPECT_EQ(settings.listOrder, order);
}

TEST_F(AppSettingsTest, ListLayoutRoundTrips) {
    load();
    settings.listOrder = {1, 0, 2, 3, 4, 5, 6, 7, 8, 9};
    settings.columnWidth = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    ASSERT_TRUE(settings.saveListLayout());
    EXPECT_EQ(readProfileString(ini, "ZELO", "ListOrder", ""), "1 0 2 3 4 5 6 7 8 9");
    AppSettings again(ini);
    again.loadListLayout();
    EXPECT_EQ(again.listOrder, settings.listOrder);
    EXPECT_EQ(again.columnWidth, settings.columnWidth);
}

TEST_F(AppSettingsTest, PositionReadsTopBottomLeftRightAndKeepsMissingNumbers) {
    writeBytes(ini, "[ZELO]\r\nPosition=10 510 20 820\r\n");
    load();
    EXPECT_EQ(settings.position.top, 10);
    EXPECT_EQ(settings.position.bottom, 510);
    EXPECT_EQ(settings.position.left, 20);
    EXPECT_EQ(settings.position.right, 820);
    writeBytes(ini, "[ZELO]\r\nPosition=1 2\r\n");
    load();
    EXPECT_EQ(settings.position.top, 1);
    EXPECT_EQ(settings.position.bottom, 2);
    EXPECT_EQ(settings.position.left, 20);
    EXPECT_EQ(settings.position.right, 820);
}

TEST_F(AppSettingsTest, PositionIsWrittenAsTopBottomLeftRight) {
    ASSERT_TRUE(settings.savePosition({5, 505, -3, 797}));
    EXPECT_EQ(readBytes(ini), "[ZELO]\r\nPosition=5 505 -3 797\r\n");
}

TEST_F(AppSettingsTest, BaseDirKeeps200Characters) {
    writeBytes(ini, "[Log]\r\nBaseDir=" + std::string(250, 'd') + "\r\n");
    load();
    EXPECT_EQ(settings.baseDir, std::string(200, 'd'));
}

TEST_F(AppSettingsTest, NewIdsAreWrittenAtOnce) {
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
}

TEST_F(AppSettingsTest, IdsAboveTwoBillionAreWrittenUnsigned) {
    writeBytes(ini, "[ZELO]\r\nUniqueObj=3000000000\r\n");
    load();
    EXPECT_EQ(settings.newObjectId(), 3000000001u);
    EXPECT_EQ(readProfileString(ini, "ZELO", "UniqueObj", ""), "3000000001");
}

TEST_F(AppSettingsTest, AnIdThatCannotBeSavedIsNotHandedOut) {
    AppSettings unwritable(dir.file("missing") + "/ZELO.INI");
    EXPECT_EQ(unwritable.newObjectId(), 0u);
    EXPECT_EQ(unwritable.uniqueObj, 0u);
    writeBytes(ini, "[ZELO]\r\nUniqueTree=4294967295\r\n");
    load();
    EXPECT_EQ(settings.newTreeId(), 0u);  // the counter is used up; never wraps to the root
}

}  // namespace
}  // namespace zelo
