// The directory in memory and on disk, the list's column texts and the
// property dialog's fields.
#include "directory/device_directory.h"

#include <gtest/gtest.h>

#include "directory/item_file.h"
#include "directory/list_columns.h"
#include "directory/property_edit.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "settings/profile_file.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

class DeviceDirectoryTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    AppSettings settings{dataDir + "ZELO.INI"};
    LangStrings strings{settings};
    DeviceDirectory directory{dataDir, settings, strings};
};

TEST_F(DeviceDirectoryTest, LoadReadsEveryGroupInDirectoryOrderAndNewIdsAreWrittenAtOnce) {
    test::writeBytes(dataDir + "ZELO.INI", "[ZELO]\r\nUniqueObj=41\r\n");
    test::writeBytes(dataDir + "ZELO_DIR.DAT", "0\tRoot\t0\r\n1\tB\t2\r\n1\tA\t1\r\n");
    DeviceRecord r;
    for (const auto& [group, id, name] : {std::tuple{1u, 10u, "in A"}, {2u, 20u, "in B"}, {2u, 21u, "in B too"}})
        ASSERT_TRUE(createDeviceRecord(dataDir, 3, group, id, name, r));
    settings.loadSettings(strings);
    ASSERT_TRUE(directory.load());
    EXPECT_EQ(directory.addDevice(1, 13, "new"), 42u);
    EXPECT_EQ(readProfileString(dataDir + "ZELO.INI", "ZELO", "UniqueObj", ""), "42");
    std::vector<std::string> names;
    for (const DeviceRecord& d : directory.devices()) names.push_back(d.name + "@" + std::to_string(d.groupId));
    EXPECT_EQ(names, (std::vector<std::string>{"in B@2", "in B too@2", "in A@1", "new@1"}));
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
    r.macText = "0090CC123456";
    r.unitId = 513;
    auto row = [&](int model, int temperature, int state) {
        r.modelCode = model;
        r.temperature = temperature;
        r.temperatureState = state;
        const auto c = deviceColumnTexts(r, settings, strings);
        return c[2] + "|" + c[3] + "|" + c[4] + "|" + c[7] + "|" + c[8];
    };
    EXPECT_EQ(row(13, 2350, 0), "O O-||00:90:CC:12:34:56|23|Normal");
    EXPECT_EQ(row(8, 2350, -1), "O O-||513||");
    EXPECT_EQ(row(8, -150, 7), "O O-||513|-1|-1");  // an unknown state repeats the temperature
    r.modelCode = 11;
    r.macText = "ABC";
    EXPECT_EQ(deviceIdColumnText(r), "ABC");
}

TEST(PropertyEdit, FieldsTakeTheDialogsLimits) {
    DeviceRecord r;
    r.modelCode = 13;
    auto set = [&r](const char* field, const std::string& text) { return applyPropertyField(r, field, text); };
    EXPECT_EQ(set("mac", "00-1a-2b-3c-4d-5e"), EditResult::Ok);
    EXPECT_EQ(set("port", "70000"), EditResult::Ok);
    EXPECT_EQ(set("name", std::string(70, 'x')), EditResult::Ok);
    EXPECT_EQ(set("password", std::string(20, 'p')), EditResult::Ok);
    EXPECT_EQ(r.macText + " " + std::to_string(r.port) + " " + std::to_string(r.name.size()) + " " +
                  std::to_string(r.password.size()),
              "001a2b3c4d5e 65535 62 16");
    for (const auto& [field, text] : {std::pair{"name", ""}, {"port", "x"}, {"model", "2"}, {"model", "gv2208"}})
        EXPECT_EQ(set(field, text), EditResult::BadValue) << field << " " << text;
    EXPECT_EQ(set("colour", "red"), EditResult::UnknownField);
    EXPECT_EQ(set("model", "HX-7200"), EditResult::Ok);
    EXPECT_EQ(r.modelCode, 3);
    // Terminal-id models take unit and MAC from the same field.
    r.modelCode = 7;
    EXPECT_EQ(set("unit", "1234567"), EditResult::Ok);
    EXPECT_EQ(std::to_string(r.unitId) + " " + r.macText, "12345 1234567");  // at most five digits are read
    EXPECT_EQ(set("mac", "x12"), EditResult::Ok);
    EXPECT_EQ(std::to_string(r.unitId) + " " + r.macText, "0 x12");
}

}  // namespace
}  // namespace zelo
