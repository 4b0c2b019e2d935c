// Coalesced item file saves: one rewrite leaves what saving each record in
// turn leaves.
#include <gtest/gtest.h>

#include "directory/item_file.h"
#include "tests/status/station_fixture.h"

namespace zelo {
namespace {

using test::readBytes;
using test::writeBytes;

DeviceRecord changed(std::uint32_t id, const std::string& power) {
    DeviceRecord r;
    r.name = "n" + std::to_string(id);
    r.modelName = "GV2208";
    r.deviceId = id;
    r.modelCode = 13;
    r.powerText = power;
    r.updateTime = 77;
    return r;
}

// The first 12 lines of a record: a version 0 record without the header.
std::string twelveLines(const std::string& record) {
    std::size_t pos = 0;
    for (int i = 0; i < 12; ++i) pos = record.find("\r\n", pos) + 2;
    return record.substr(0, pos);
}

TEST(StatusGroupSave, OneRewriteLeavesWhatSavingEachInTurnLeaves) {
    using namespace test;
    const std::string v2 = kHeader + kHxRecord + kGvRecord + kSwdRecord + kOldHxRecord;
    // Version 0, with an over-long name that the copy cuts.
    const std::string v0 = std::string(70, 'L') + twelveLines(kHxRecord).substr(2) + twelveLines(kGvRecord);
    const std::string duplicates = kHeader + kGvRecord + kGvRecord + "\r\nafter the stop line\r\n";
    const std::string cut = kHeader + kHxRecord + "gv\r\nGV2208\r\n11\r\n";
    const struct {
        const char* name;
        const std::string& start;
        std::vector<DeviceRecord> saves;
    } rows[] = {
        {"several records changed", v2, {changed(0x11, "1010"), changed(0x13, "0 0000")}},
        {"the same device twice: the later copy wins", v2, {changed(0x11, "1010"), changed(0x11, "0000")}},
        {"version 0 upgraded once", v0, {changed(0x11, "1")}},
        {"version 0 upgraded once, two saves", v0, {changed(0x11, "1"), changed(0x10, "0 1")}},
        {"duplicate ids and a stop line", duplicates, {changed(0x11, "01")}},
        {"a record cut short", cut, {changed(0x10, "1 1")}},
        {"a record cut short and an unknown id", cut, {changed(0x11, "1"), changed(0x99, "1")}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir a, b;
        const std::string dirA = a.path().string() + "/", dirB = b.path().string() + "/";
        writeBytes(dirA + "00000007.IDX", row.start);
        writeBytes(dirB + "00000007.IDX", row.start);
        std::vector<const DeviceRecord*> ptrs;
        for (const DeviceRecord& r : row.saves) {
            ASSERT_GE(saveDeviceRecord(dirA, 7, r), 0);
            ptrs.push_back(&r);
        }
        ASSERT_TRUE(saveDeviceRecords(dirB, 7, ptrs));
        EXPECT_EQ(readBytes(dirB + "00000007.IDX"), readBytes(dirA + "00000007.IDX"));
    }
}

TEST(StatusGroupSave, MissingFileFailsAndCreatesNothing) {
    test::TempDir a;
    const std::string dir = a.path().string() + "/";
    const DeviceRecord r = changed(1, "1");
    EXPECT_FALSE(saveDeviceRecords(dir, 9, {&r}));
    EXPECT_FALSE(std::filesystem::exists(dir + "00000009.IDX"));
    EXPECT_FALSE(std::filesystem::exists(dir + "00000009.TMP"));
}

}  // namespace
}  // namespace zelo
