#include "directory/item_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

class ItemFileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    std::string path = dataDir + "0000001A.IDX";
};

TEST_F(ItemFileTest, FileNameIsTheGroupIdInEightUpperCaseHexDigits) {
    EXPECT_EQ(itemFilePath("D/", 0x1A), "D/0000001A.IDX");
    EXPECT_EQ(itemFilePath("D/", 0xABCDEF12u), "D/ABCDEF12.IDX");
}

TEST_F(ItemFileTest, FirstDeviceCreatesTheFileWithHeaderAndOneRecord) {
    DeviceRecord r;
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 0x1A, 0x2B, "Rack A", r));
    EXPECT_EQ(readBytes(path),
              "#ZELO ITEM FILE#VER 2\r\n"
              "Rack A\r\nHX-7200\r\n2B\r\n3\r\n# 17\r\n1 1111\r\n1111\r\n00000000 00000000\r\n"
              "000000000000\r\n7394\r\nHX 00\r\n\r\n\r\n\r\n0\r\n-1\r\n");
    EXPECT_EQ(r.port, 23);
    EXPECT_EQ(r.outletCount, 4);
    EXPECT_EQ(r.temperatureState, -1);
    EXPECT_EQ(r.lastTemperatureState, -1);
    EXPECT_EQ(r.groupId, 0x1Au);
}

TEST_F(ItemFileTest, UserLoginRecordLines) {
    DeviceRecord r;
    ASSERT_TRUE(createDeviceRecord(dataDir, 10, 0x1A, 7, "PDU", r));
    EXPECT_EQ(r.modelName, "SWD-8KB");
    r.unitId = 0x1F;
    r.systemName = "core-sw";
    r.addressText = "10.0.0.5";
    r.port = 8080;
    r.updateTime = 1000;
    r.pingText = "O-";
    r.rebootText = "1 2 ";
    r.temperature = -250;
    r.temperatureState = 3;
    ASSERT_EQ(saveDeviceRecord(dataDir, 0x1A, r), 0);
    EXPECT_EQ(readBytes(path),
              "#ZELO ITEM FILE#VER 2\r\n"
              "PDU\r\nSWD-8KB\r\n7\r\n10\r\n#10.0.0.5 1F90\r\n1111\r\n \r\n00000000 000003E8\r\n"
              "000000000000\r\ntavik admin\r\n1F core-sw\r\n\r\nO-\r\n1 2 \r\n-250\r\n3\r\n");
    const auto back = loadItemFile(dataDir, 0x1A);
    ASSERT_EQ(back.size(), 1u);
    DeviceRecord expected = r;
    copyToLastLogged(expected);
    expected.outletCount = 4;
    EXPECT_EQ(back[0], expected);
}

TEST_F(ItemFileTest, DeletingTheLastDeviceDeletesTheFile) {
    DeviceRecord a, b;
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 0x1A, 1, "a", a));
    ASSERT_TRUE(createDeviceRecord(dataDir, 13, 0x1A, 2, "b", b));
    ASSERT_TRUE(deleteDeviceRecord(dataDir, 0x1A, 1));
    ASSERT_EQ(loadItemFile(dataDir, 0x1A).size(), 1u);
    EXPECT_EQ(loadItemFile(dataDir, 0x1A)[0].name, "b");
    ASSERT_TRUE(deleteDeviceRecord(dataDir, 0x1A, 2));
    EXPECT_FALSE(std::filesystem::exists(path));
}

const char* kVersion0File =
    "Old one\r\nHX-7200\r\n5\r\n3\r\nC0A80001 17\r\n1 1111\r\n1111\r\n00000000 000003E8\r\n"
    "1F\r\npw login\r\nHX 01\r\n\r\n"
    "Old two\r\nJB-81K\r\n6\r\n5\r\n#dev.local 1F90\r\n1 111\r\n111\r\n00000001 00000001\r\n"
    "0090CC000001\r\n7394\r\nJB 02\r\n\r\n";

TEST_F(ItemFileTest, Version0FileReadsTwelveLineRecordsWithDefaults) {
    writeBytes(path, kVersion0File);
    const auto records = loadItemFile(dataDir, 0x1A);
    ASSERT_EQ(records.size(), 2u);
    const DeviceRecord& a = records[0];
    EXPECT_EQ(a.name, "Old one");
    EXPECT_EQ(a.deviceId, 5u);
    EXPECT_EQ(a.addressText, "192.168.0.1");  // the old hexadecimal form
    EXPECT_EQ(a.port, 23);
    EXPECT_EQ(a.updateTime, 1000u);
    EXPECT_EQ(a.macText, "1F");
    EXPECT_EQ(a.unitId, 31u);  // a short line 9 is also the unit number
    EXPECT_EQ(a.password, "pw");
    EXPECT_EQ(a.loginName, "login");
    EXPECT_EQ(a.prompt, "HX");
    EXPECT_EQ(a.selectNumber, "01");
    EXPECT_EQ(a.pingText, "");
    EXPECT_EQ(a.rebootText, "");
    EXPECT_EQ(a.temperature, 0);
    EXPECT_EQ(a.temperatureState, -1);
    EXPECT_EQ(a.lastTemperatureState, -1);
    const DeviceRecord& b = records[1];
    EXPECT_EQ(b.addressText, "dev.local");
    EXPECT_EQ(b.port, 8080);
    EXPECT_EQ(b.updateTime, 2u);  // the two words are added
    EXPECT_EQ(b.outletCount, 3);
}

TEST_F(ItemFileTest, SaveUpgradesAVersion0File) {
    writeBytes(path, kVersion0File);
    DeviceRecord b = loadItemFile(dataDir, 0x1A)[1];
    b.powerText = "0 101";
    ASSERT_EQ(saveDeviceRecord(dataDir, 0x1A, b), 1);
    EXPECT_EQ(readBytes(path),
              "#ZELO ITEM FILE#VER 2\r\n"
              "Old one\r\nHX-7200\r\n5\r\n3\r\nC0A80001 17\r\n1 1111\r\n1111\r\n00000000 000003E8\r\n"
              "1F\r\npw login\r\nHX 01\r\n\r\n\r\n\r\n0\r\n-1\r\n"
              "Old two\r\nJB-81K\r\n6\r\n5\r\n#dev.local 1F90\r\n0 101\r\n111\r\n00000000 00000002\r\n"
              "0090CC000001\r\n7394\r\nJB 02\r\n\r\n\r\n\r\n0\r\n-1\r\n");
    const auto records = loadItemFile(dataDir, 0x1A);
    ASSERT_EQ(records.size(), 2u);
    // An old record had no sensor, and still has none after the upgrade.
    EXPECT_EQ(records[0].temperature, 0);
    EXPECT_EQ(records[0].temperatureState, -1);
    EXPECT_EQ(records[1].powerText, "0 101");
}

TEST_F(ItemFileTest, CreateUpgradesAVersion0FileBeforeAdding) {
    writeBytes(path, kVersion0File);
    DeviceRecord r;
    ASSERT_TRUE(createDeviceRecord(dataDir, 13, 0x1A, 9, "new", r));
    const auto records = loadItemFile(dataDir, 0x1A);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].name, "Old one");
    EXPECT_EQ(records[0].temperatureState, -1);
    EXPECT_EQ(records[2].name, "new");
    EXPECT_EQ(records[2].loginName, "admin");
    EXPECT_EQ(readBytes(path).substr(0, 23), "#ZELO ITEM FILE#VER 2\r\n");
}

TEST_F(ItemFileTest, SavingAnUnknownIdChangesNothingAndReturnsZero) {
    DeviceRecord a, b;
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 0x1A, 1, "a", a));
    ASSERT_TRUE(createDeviceRecord(dataDir, 5, 0x1A, 2, "b", b));
    const std::string before = readBytes(path);
    DeviceRecord stranger = a;
    stranger.deviceId = 99;
    stranger.name = "stranger";
    EXPECT_EQ(saveDeviceRecord(dataDir, 0x1A, stranger), 0);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(saveDeviceRecord(dataDir, 0x1A, b), 1);
    EXPECT_EQ(saveDeviceRecord(dataDir, 0x2B, b), -1);  // no item file
}

TEST_F(ItemFileTest, OutletCountFromThePowerColumn) {
    EXPECT_EQ(outletCountFromPowerText("1 1111"), 4);
    EXPECT_EQ(outletCountFromPowerText("1111"), 4);
    EXPECT_EQ(outletCountFromPowerText("1 111"), 3);
    EXPECT_EQ(outletCountFromPowerText("1 11111111111"), 8);
    EXPECT_EQ(outletCountFromPowerText(""), 1);
    EXPECT_EQ(outletCountFromPowerText("1 "), 1);
}

TEST_F(ItemFileTest, WordsEndAtTheFirstBlank) {
    DeviceRecord r;
    ASSERT_TRUE(createDeviceRecord(dataDir, 6, 0x1A, 3, "My Device", r));
    r.password = "pass word";
    r.systemName = "system name";
    ASSERT_EQ(saveDeviceRecord(dataDir, 0x1A, r), 0);
    const DeviceRecord back = loadItemFile(dataDir, 0x1A)[0];
    EXPECT_EQ(back.name, "My Device");
    EXPECT_EQ(back.password, "pass");
    EXPECT_EQ(back.loginName, "word");  // the blank shifted the words
    EXPECT_EQ(back.systemName, "system");
}

TEST_F(ItemFileTest, UserLoginLine11WinsOverAShortLine9) {
    writeBytes(path,
               "#ZELO ITEM FILE#VER 2\r\nX\r\nSWD-6K\r\n1\r\n6\r\n# 17\r\n1111\r\n \r\n"
               "00000000 00000000\r\n1F\r\ntavik admin\r\n\r\n\r\n\r\n\r\n0\r\n-1\r\n");
    EXPECT_EQ(loadItemFile(dataDir, 0x1A)[0].unitId, 0u);
}

TEST_F(ItemFileTest, OtherModelsWriteAnEmptyLine11AndKeepTheirPassword) {
    DeviceRecord r;
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 0x1A, 4, "x", r));
    r.modelCode = 4;
    r.prompt = "HX";
    r.password = "secret";
    ASSERT_EQ(saveDeviceRecord(dataDir, 0x1A, r), 0);
    const std::string bytes = readBytes(path);
    EXPECT_NE(bytes.find("\r\nsecret\r\n\r\n\r\n"), std::string::npos);
    const DeviceRecord back = loadItemFile(dataDir, 0x1A)[0];
    EXPECT_EQ(back.password, "secret");
    EXPECT_EQ(back.prompt, "");
}

TEST_F(ItemFileTest, ShiftJisNamesSurviveAndDoNotStopReading) {
    DeviceRecord a, b;
    const std::string sjis = "\x83\x65\x83\x58\x83\x67";  // katakana "tesuto"
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 0x1A, 1, sjis, a));
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 0x1A, 2, "after", b));
    const auto records = loadItemFile(dataDir, 0x1A);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, sjis);
}

TEST_F(ItemFileTest, AnEmptyNameDoesNotHideTheRecordsAfterIt) {
    DeviceRecord a, b;
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 0x1A, 1, "", a));
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 0x1A, 2, "second", b));
    ASSERT_EQ(loadItemFile(dataDir, 0x1A).size(), 2u);
    a.name = "line\r\nbreak";
    ASSERT_EQ(saveDeviceRecord(dataDir, 0x1A, a), 0);
    const auto records = loadItemFile(dataDir, 0x1A);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, "line  break");
    EXPECT_EQ(records[1].name, "second");
}

TEST_F(ItemFileTest, ReadingStopsAtAnEmptyLineAndRewritesDropWhatFollows) {
    writeBytes(path,
               "#ZELO ITEM FILE#VER 2\r\na\r\nHX-7200\r\n1\r\n3\r\n# 17\r\n\r\n\r\n\r\n\r\n\r\n\r\n"
               "\r\n\r\n\r\n0\r\n-1\r\n\r\nb\r\nHX-7200\r\n2\r\n3\r\n");
    EXPECT_EQ(loadItemFile(dataDir, 0x1A).size(), 1u);
}

TEST_F(ItemFileTest, RecordCutShortStillLoadsAndIsCompletedOnRewrite) {
    writeBytes(path, "#ZELO ITEM FILE#VER 2\r\nshort\r\nSWD-12K\r\nA\r\n11\r\n#host 17\r\n1 11");
    auto records = loadItemFile(dataDir, 0x1A);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].deviceId, 10u);
    EXPECT_EQ(records[0].addressText, "host");
    EXPECT_EQ(records[0].powerText, "1 11");
    EXPECT_EQ(records[0].updateTime, 0u);
    EXPECT_EQ(records[0].temperatureState, 0);
    DeviceRecord other = records[0];
    other.deviceId = 77;
    ASSERT_EQ(saveDeviceRecord(dataDir, 0x1A, other), 0);
    records = loadItemFile(dataDir, 0x1A);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(readBytes(path),
              "#ZELO ITEM FILE#VER 2\r\nshort\r\nSWD-12K\r\nA\r\n11\r\n#host 17\r\n1 11\r\n"
              "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
}

TEST_F(ItemFileTest, OverlongLinesAreCutWithoutShiftingTheRecord) {
    const std::string longName(300, 'n');
    writeBytes(path, "#ZELO ITEM FILE#VER 2\r\n" + longName +
                         "\r\nHX-7200\r\n1\r\n3\r\n#" + std::string(400, 'a') +
                         " 17\r\n1 11\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n0\r\n-1\r\nnext\r\nJB-81K\r\n2\r\n");
    const auto records = loadItemFile(dataDir, 0x1A);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, std::string(63, 'n'));
    EXPECT_EQ(records[0].addressText, std::string(127, 'a'));
    EXPECT_EQ(records[0].port, 0);  // the port was beyond the line buffer
    EXPECT_EQ(records[1].name, "next");
    EXPECT_EQ(records[1].deviceId, 2u);
}

TEST_F(ItemFileTest, HeaderWithoutDigitsIsVersion0) {
    writeBytes(path, "#ZELO ITEM FILE#VER \r\nA\r\nHX-7200\r\n1\r\n3\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"
                     "B\r\nHX-7200\r\n2\r\n3\r\n");
    const auto records = loadItemFile(dataDir, 0x1A);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].name, "B");
}

TEST_F(ItemFileTest, ArbitraryBytesNeverBreakTheReader) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        std::string data(rng() % 600, '\0');
        for (char& c : data) {
            const unsigned pick = rng() % 10;
            c = pick < 2 ? '\n' : pick < 3 ? ' ' : static_cast<char>(rng() % 256);
        }
        if (round % 2) data = "#ZELO ITEM FILE#VER 2\n" + data;
        for (const DeviceRecord& r : parseItemFile(data, 1)) {
            EXPECT_LE(r.name.size(), field::kName);
            EXPECT_LE(r.addressText.size(), field::kAddress);
            EXPECT_GE(r.outletCount, 1);
            EXPECT_LE(r.outletCount, 8);
        }
    }
}

TEST_F(ItemFileTest, FailedRewriteLeavesTheOldFileByteIdentical) {
    DeviceRecord a;
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 0x1A, 1, "a", a));
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
