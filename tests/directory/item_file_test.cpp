// Item files: records as written, read back, upgraded from version 0, and
// texts that must not break the reader.
#include "directory/item_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::readBytes;
using test::writeBytes;

const std::string kHeader = "#ZELO ITEM FILE#VER 2\r\n";

// A record's fields as the reader leaves them.
std::string fields(const DeviceRecord& r) {
    return r.name + "|" + std::to_string(r.deviceId) + "|" + r.addressText + "|" + std::to_string(r.port) + "|" +
           r.powerText + "|" + std::to_string(r.outletCount) + "|" + std::to_string(r.updateTime) + "|" + r.macText +
           "|" + std::to_string(r.unitId) + "|" + r.password + "|" + r.loginName + "|" + r.prompt + "|" +
           r.selectNumber + "|" + r.systemName + "|" + r.pingText + "|" + r.rebootText + "|" +
           std::to_string(r.temperature) + "|" + std::to_string(r.temperatureState) + "|" +
           std::to_string(r.lastTemperatureState);
}

const char* kVersion0File =
    "Old one\r\nHX-7200\r\n5\r\n3\r\nC0A80001 17\r\n1 1111\r\n1111\r\n00000000 000003E8\r\n"
    "1F\r\npw login\r\nHX 01\r\n\r\n"
    "Old two\r\nJB-81K\r\n6\r\n5\r\n#dev.local 1F90\r\n1 111\r\n111\r\n00000001 00000001\r\n"
    "0090CC000001\r\n7394\r\nJB 02\r\n\r\n";

TEST(ItemFileRead, WhatEachTextReadsAs) {
    const struct { const char* name; std::string text; std::vector<std::string> records; } rows[] = {
        // The old hexadecimal address form; a short line 9 is also the unit
        // number; the two words of the update time are added.
        {"version 0: twelve-line records with defaults", kVersion0File,
         {"Old one|5|192.168.0.1|23|1 1111|4|1000|1F|31|pw|login|HX|01||||0|-1|-1",
          "Old two|6|dev.local|8080|1 111|3|2|0090CC000001|0|7394||JB|02||||0|-1|-1"}},
        {"a header without digits is version 0",
         "#ZELO ITEM FILE#VER \r\nA\r\nHX-7200\r\n1\r\n3\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nB\r\nHX-7200\r\n2\r\n3\r\n",
         {"A|1||0||1|0||0||||||||0|-1|-1", "B|2||0||1|0||0||||||||0|-1|-1"}},
        {"a user-login model's line 11 wins over a short line 9",
         kHeader + "X\r\nSWD-6K\r\n1\r\n6\r\n# 17\r\n1111\r\n \r\n00000000 00000000\r\n1F\r\ntavik admin\r\n\r\n\r\n\r\n"
                   "\r\n0\r\n-1\r\n",
         {"X|1||23|1111|4|0|1F|0|tavik|admin||||||0|-1|-1"}},
        {"reading stops at an empty line",
         kHeader + "a\r\nHX-7200\r\n1\r\n3\r\n# 17\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n0\r\n-1\r\n\r\nb\r\nHX-7200\r\n2\r\n3\r\n",
         {"a|1||23||1|0||0||||||||0|-1|-1"}},
        {"a record cut short", kHeader + "short\r\nSWD-12K\r\nA\r\n11\r\n#host 17\r\n1 11",
         {"short|10|host|23|1 11|2|0||0||||||||0|0|0"}},
        // Over-long lines are cut without shifting the record; the port was beyond the line buffer.
        {"over-long lines",
         kHeader + std::string(300, 'n') + "\r\nHX-7200\r\n1\r\n3\r\n#" + std::string(400, 'a') +
             " 17\r\n1 11\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n0\r\n-1\r\nnext\r\nJB-81K\r\n2\r\n",
         {std::string(63, 'n') + "|1|" + std::string(127, 'a') + "|0|1 11|2|0||0||||||||0|-1|-1",
          "next|2||0||1|0||0||||||||0|0|0"}},
    };
    for (const auto& row : rows) {
        std::vector<std::string> got;
        for (const DeviceRecord& r : parseItemFile(row.text, 0x1A)) got.push_back(fields(r));
        EXPECT_EQ(got, row.records) << row.name;
    }
    const std::pair<const char*, int> counts[] = {{"1 1111", 4}, {"1111", 4}, {"1 111", 3}, {"1 11111111111", 8}, {"", 1}, {"1 ", 1}};
    for (const auto& [power, count] : counts) EXPECT_EQ(outletCountFromPowerText(power), count) << power;
}

class ItemFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    std::string path = dataDir + "0000001A.IDX";
    DeviceRecord create(int model, std::uint32_t id, const std::string& name) {
        DeviceRecord r;
        EXPECT_TRUE(createDeviceRecord(dataDir, model, 0x1A, id, name, r)) << name;
        return r;
    }
};

TEST_F(ItemFileTest, NewRecordsCarryTheirModelsDefaults) {
    EXPECT_EQ(itemFilePath("D/", 0xABCDEF12u), "D/ABCDEF12.IDX");
    const DeviceRecord jb = create(5, 0x2C, "JB");
    EXPECT_EQ(readBytes(path), kHeader + "JB\r\nJB-81K\r\n2C\r\n5\r\n# 17\r\n1 111\r\n111\r\n00000000 00000000\r\n"
                                         "000000000000\r\n7394\r\nJB 00\r\n\r\n\r\n\r\n0\r\n-1\r\n");
    EXPECT_EQ(fields(jb) + " " + std::to_string(jb.groupId), "JB|44||23|1 111|4|0|000000000000|0|7394||JB|00||||0|-1|-1 26");
}

TEST_F(ItemFileTest, WordsEndAtTheFirstBlankAndOtherModelsKeepTheirPassword) {
    DeviceRecord r = create(6, 3, "My Device");
    r.password = "pass word";
    r.systemName = "system name";
    ASSERT_EQ(saveDeviceRecord(dataDir, 0x1A, r), 0);
    EXPECT_EQ(fields(loadItemFile(dataDir, 0x1A)[0]), "My Device|3||23|1111|4|0|000000000000|0|pass|word|||system|||0|-1|-1");
    r.modelCode = 4;  // neither prompt nor user login: an empty line 11
    r.prompt = "HX";
    r.password = "secret";
    ASSERT_EQ(saveDeviceRecord(dataDir, 0x1A, r), 0);
    EXPECT_NE(readBytes(path).find("\r\nsecret\r\n\r\n\r\n"), std::string::npos);
    EXPECT_EQ(fields(loadItemFile(dataDir, 0x1A)[0]), "My Device|3||23|1111|4|0|000000000000|0|secret|||||||0|-1|-1");
}

TEST_F(ItemFileTest, SaveAndCreateUpgradeAVersion0File) {
    writeBytes(path, kVersion0File);
    DeviceRecord b = loadItemFile(dataDir, 0x1A)[1];
    b.powerText = "0 101";
    ASSERT_EQ(saveDeviceRecord(dataDir, 0x1A, b), 1);
    // An old record had no sensor, and still has none after the upgrade.
    const std::string upgraded =
        kHeader +
        "Old one\r\nHX-7200\r\n5\r\n3\r\nC0A80001 17\r\n1 1111\r\n1111\r\n00000000 000003E8\r\n1F\r\npw login\r\nHX 01\r\n"
        "\r\n\r\n\r\n0\r\n-1\r\n"
        "Old two\r\nJB-81K\r\n6\r\n5\r\n#dev.local 1F90\r\n0 101\r\n111\r\n00000000 00000002\r\n0090CC000001\r\n7394\r\n"
        "JB 02\r\n\r\n\r\n\r\n0\r\n-1\r\n";
    EXPECT_EQ(readBytes(path), upgraded);
    writeBytes(path, kVersion0File);
    const DeviceRecord added = create(13, 9, "new");
    EXPECT_EQ(readBytes(path), upgraded.substr(0, upgraded.find("Old two")) +
                                   "Old two\r\nJB-81K\r\n6\r\n5\r\n#dev.local 1F90\r\n1 111\r\n111\r\n00000001 00000001\r\n"
                                   "0090CC000001\r\n7394\r\nJB 02\r\n\r\n\r\n\r\n0\r\n-1\r\n" + formatRecordLines(added));
}

TEST_F(ItemFileTest, SavingAnUnknownIdChangesNothingAndDeletingTheLastDeletesTheFile) {
    DeviceRecord a = create(3, 1, "a");
    const DeviceRecord b = create(5, 2, "b");
    const std::string before = readBytes(path);
    a.deviceId = 99;
    EXPECT_EQ(saveDeviceRecord(dataDir, 0x1A, a), 0);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(saveDeviceRecord(dataDir, 0x1A, b), 1);
    EXPECT_EQ(saveDeviceRecord(dataDir, 0x2B, b), -1);  // no item file
    ASSERT_TRUE(deleteDeviceRecord(dataDir, 0x1A, 1));
    ASSERT_EQ(loadItemFile(dataDir, 0x1A).size(), 1u);
    EXPECT_EQ(loadItemFile(dataDir, 0x1A)[0].name, "b");
    ASSERT_TRUE(deleteDeviceRecord(dataDir, 0x1A, 2));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ItemFileTest, NamesThatMustNotStopTheReader) {
    const std::string sjis = "\x83\x65\x83\x58\x83\x67";  // katakana "tesuto"
    create(3, 1, sjis);
    DeviceRecord empty = create(3, 2, "");
    create(3, 3, "after");
    ASSERT_EQ(loadItemFile(dataDir, 0x1A).size(), 3u);
    empty.name = "line\r\nbreak";
    ASSERT_EQ(saveDeviceRecord(dataDir, 0x1A, empty), 1);
    std::vector<std::string> names;
    for (const DeviceRecord& r : loadItemFile(dataDir, 0x1A)) names.push_back(r.name);
    EXPECT_EQ(names, (std::vector<std::string>{sjis, "line  break", "after"}));
}

TEST_F(ItemFileTest, RecordCutShortIsCompletedOnRewrite) {
    writeBytes(path, kHeader + "short\r\nSWD-12K\r\nA\r\n11\r\n#host 17\r\n1 11");
    DeviceRecord other = loadItemFile(dataDir, 0x1A).at(0);
    other.deviceId = 77;
    ASSERT_EQ(saveDeviceRecord(dataDir, 0x1A, other), 0);
    EXPECT_EQ(readBytes(path), kHeader + "short\r\nSWD-12K\r\nA\r\n11\r\n#host 17\r\n1 11\r\n\r\n\r\n\r\n\r\n\r\n\r\n"
                                         "\r\n\r\n\r\n\r\n");
}

TEST_F(ItemFileTest, FailedRewriteLeavesTheOldFileByteIdentical) {
    DeviceRecord a = create(3, 1, "a");
    const std::string before = readBytes(path);
    // A directory where the temporary file should go makes every rewrite fail.
    std::filesystem::create_directory(dataDir + "0000001A.TMP");
    a.name = "changed";
    EXPECT_EQ(saveDeviceRecord(dataDir, 0x1A, a), -1);
    DeviceRecord b;
    EXPECT_FALSE(createDeviceRecord(dataDir, 3, 0x1A, 2, "b", b));
    EXPECT_FALSE(deleteDeviceRecord(dataDir, 0x1A, 99));
    EXPECT_EQ(readBytes(path), before);
}

}  // namespace
}  // namespace zelo
