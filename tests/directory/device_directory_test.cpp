#include "directory/device_directory.h"

#include <gtest/gtest.h>

#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "settings/profile_file.h"
#include "directory/item_file.h"
#include "directory/list_columns.h"
#include "directory/model_table.h"
#include "directory/property_edit.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

TEST(ModelTable, PredicatesByCode) {
    for (int code = 0; code <= 14; ++code) {
        EXPECT_EQ(isPromptModel(code), code == 3 || code == 5) << code;
        EXPECT_EQ(isUserLoginModel(code), code >= 6 && code <= 13) << code;
        EXPECT_EQ(isUnitIdModel(code), code >= 6 && code <= 10) << code;
        EXPECT_EQ(isLatestModel(code), code >= 11 && code <= 13) << code;
    }
    EXPECT_EQ(modelInfo(10).displayText, "SWD-8KBN");
    EXPECT_EQ(modelInfo(10).newModelName, "SWD-8KB");
    EXPECT_EQ(modelInfo(12).iconResource, 739);
    EXPECT_EQ(modelInfo(99).iconResource, 705);
    EXPECT_EQ(modelCodeFromDisplayText("GV2208"), 13);
    EXPECT_EQ(modelCodeFromDisplayText("gv2208"), 0);
}

TEST(ModelTable, DefaultsOfNewRecords) {
    DeviceRecord hx, jb, swd;
    applyModelDefaults(hx, 3);
    applyModelDefaults(jb, 5);
    applyModelDefaults(swd, 8);
    EXPECT_EQ(hx.powerText, "1 1111");
    EXPECT_EQ(hx.scheduleText, "1111");
    EXPECT_EQ(hx.prompt, "HX");
    EXPECT_EQ(hx.selectNumber, "00");
    EXPECT_EQ(hx.password, "7394");
    EXPECT_EQ(jb.powerText, "1 111");
    EXPECT_EQ(jb.prompt, "JB");
    EXPECT_EQ(swd.powerText, "1111");
    EXPECT_EQ(swd.scheduleText, " ");
    EXPECT_EQ(swd.password, "tavik");
    EXPECT_EQ(swd.loginName, "admin");
    EXPECT_EQ(swd.macText, "000000000000");
    EXPECT_EQ(swd.prompt, "");
}

class DeviceDirectoryTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    AppSettings settings{dataDir + "ZELO.INI"};
    LangStrings strings{settings};
    DeviceDirectory directory{dataDir, settings, strings};

    void SetUp() override { settings.language = 1; }
};

TEST_F(DeviceDirectoryTest, NewDeviceIdIsTheCounterPlusOneWrittenAtOnce) {
    writeBytes(dataDir + "ZELO.INI", "[ZELO]\r\nUniqueObj=41\r\n");
    settings.loadSettings(strings);
    ASSERT_TRUE(directory.load());
    const std::uint32_t id = directory.addDevice(0, 13, "NewGV2208");
    EXPECT_EQ(id, 42u);
    EXPECT_EQ(readProfileString(dataDir + "ZELO.INI", "ZELO", "UniqueObj", ""), "42");
    EXPECT_EQ(directory.devices().find(42)->name, "NewGV2208");
}

TEST_F(DeviceDirectoryTest, LoadReadsEveryGroupInDirectoryOrder) {
    writeBytes(dataDir + "ZELO_DIR.DAT", "0\tRoot\t0\r\n1\tB\t2\r\n1\tA\t1\r\n");
    DeviceRecord r;
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 1, 10, "in A", r));
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 2, 20, "in B", r));
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 2, 21, "in B too", r));
    ASSERT_TRUE(directory.load());
    std::vector<std::string> names;
    for (const DeviceRecord& d : directory.devices()) names.push_back(d.name);
    EXPECT_EQ(names, (std::vector<std::string>{"in B", "in B too", "in A"}));
    EXPECT_EQ(directory.devices().find(10)->groupId, 1u);
}

TEST_F(DeviceDirectoryTest, ChangesReachMemoryAndDiskTogether) {
    ASSERT_TRUE(directory.load());
    const std::uint32_t group = directory.addGroup(0, "Lab");
    ASSERT_EQ(group, 1u);
    const std::uint32_t dev = directory.addDevice(group, 5, "jb");
    ASSERT_NE(dev, 0u);
    ASSERT_TRUE(directory.renameDevice(dev, "renamed"));
    EXPECT_EQ(loadItemFile(dataDir, group)[0].name, "renamed");
    ASSERT_TRUE(directory.renameGroup(group, "Lab 2"));
    EXPECT_EQ(directory.outline().entries[1].name, "Lab 2");
    ASSERT_TRUE(directory.deleteDevice(dev));
    EXPECT_EQ(directory.devices().find(dev), nullptr);
    EXPECT_FALSE(std::filesystem::exists(itemFilePath(dataDir, group)));
    ASSERT_TRUE(directory.deleteGroup(group));
    EXPECT_EQ(directory.outline().entries.size(), 1u);
    EXPECT_EQ(directory.addDevice(group, 5, "nowhere"), 0u);  // the group is gone
    EXPECT_EQ(directory.addDevice(0, 4, "no new records of model 4"), 0u);
}

TEST(ListColumns, RowTextsAsTheListShowsThem) {
    AppSettings settings("unused.ini");
    settings.language = 1;
    LangStrings strings(settings);
    DeviceRecord r;
    r.name = "pdu";
    r.addressText = "10.0.0.9";
    r.powerText = "1 10";
    r.modelCode = 13;
    r.macText = "0090CC123456";
    r.temperature = 2350;
    r.temperatureState = 0;
    auto c = deviceColumnTexts(r, settings, strings);
    EXPECT_EQ(c[2], "O O-");
    EXPECT_EQ(c[3], "");
    EXPECT_EQ(c[4], "00:90:CC:12:34:56");
    EXPECT_EQ(c[7], "23");
    EXPECT_EQ(c[8], "Normal");
    r.modelCode = 8;
    r.unitId = 513;
    r.temperatureState = -1;
    c = deviceColumnTexts(r, settings, strings);
    EXPECT_EQ(c[4], "513");
    EXPECT_EQ(c[7], "");
    EXPECT_EQ(c[8], "");
    r.temperatureState = 7;
    r.temperature = -150;
    c = deviceColumnTexts(r, settings, strings);
    EXPECT_EQ(c[7], "-1");
    EXPECT_EQ(c[8], "-1");  // an unknown state repeats the temperature
    r.modelCode = 11;
    r.macText = "ABC";
    EXPECT_EQ(deviceIdColumnText(r), "ABC");
}

TEST(PropertyEdit, FieldsTakeTheDialogsLimits) {
    DeviceRecord r;
    r.modelCode = 13;
    EXPECT_EQ(applyPropertyField(r, "mac", "00-1a-2b-3c-4d-5e"), EditResult::Ok);
    EXPECT_EQ(r.macText, "001A2B3C4D5E");
    EXPECT_EQ(applyPropertyField(r, "port", "70000"), EditResult::Ok);
    EXPECT_EQ(r.port, 65535);
    EXPECT_EQ(applyPropertyField(r, "name", std::string(70, 'x')), EditResult::Ok);
    EXPECT_EQ(r.name, std::string(62, 'x'));
    EXPECT_EQ(applyPropertyField(r, "name", ""), EditResult::BadValue);
    EXPECT_EQ(applyPropertyField(r, "password", std::string(20, 'p')), EditResult::Ok);
    EXPECT_EQ(r.password.size(), 16u);
    EXPECT_EQ(applyPropertyField(r, "port", "x"), EditResult::BadValue);
    EXPECT_EQ(applyPropertyField(r, "colour", "red"), EditResult::UnknownField);
    EXPECT_EQ(applyPropertyField(r, "model", "HX-7200"), EditResult::Ok);
    EXPECT_EQ(r.modelCode, 3);
    EXPECT_EQ(applyPropertyField(r, "model", "2"), EditResult::BadValue);
}

TEST(PropertyEdit, TerminalIdModelsTakeUnitAndMacFromTheSameField) {
    DeviceRecord r;
    r.modelCode = 7;
    EXPECT_EQ(applyPropertyField(r, "unit", "1234567"), EditResult::Ok);
    EXPECT_EQ(r.unitId, 12345u);  // at most five digits are read
    EXPECT_EQ(r.macText, "1234567");
    EXPECT_EQ(applyPropertyField(r, "mac", "x12"), EditResult::Ok);
    EXPECT_EQ(r.unitId, 0u);
    EXPECT_EQ(r.macText, "x12");
}

}  // namespace
}  // namespace zelo
