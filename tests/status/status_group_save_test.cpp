// Coalesced item file saves: one rewrite leaves what saving each record in
// turn leaves.
#include <gtest/gtest.h>

#include "directory/item_file.h"
#include "tests/status/station_fixture.h"

namespace zelo {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

class StatusGroupSave : public ::testing::Test {
protected:
    TempDir a, b;
    std::string dirA = a.path().string() + "/", dirB = b.path().string() + "/";

    // Both ways over the same starting file; the results must be equal.
    void expectSameAsOneByOne(const std::string& start, const std::vector<DeviceRecord>& saves) {
        writeBytes(dirA + "00000007.IDX", start);
        writeBytes(dirB + "00000007.IDX", start);
        for (const DeviceRecord& r : saves) ASSERT_GE(saveDeviceRecord(dirA, 7, r), 0);
        std::vector<const DeviceRecord*> ptrs;
        for (const DeviceRecord& r : saves) ptrs.push_back(&r);
        ASSERT_TRUE(saveDeviceRecords(dirB, 7, ptrs));
        EXPECT_EQ(readBytes(dirB + "00000007.IDX"), readBytes(dirA + "00000007.IDX"));
    }
    static DeviceRecord changed(std::uint32_t id, const std::string& power) {
        DeviceRecord r;
        r.name = "n" + std::to_string(id);
        r.modelName = "GV2208";
        r.deviceId = id;
        r.modelCode = 13;
        r.powerText = power;
        r.updateTime = 77;
        return r;
    }
};

TEST_F(StatusGroupSave, VersionTwoFileWithSeveralRecordsChanged) {
    const std::string start =
        test::kHeader + test::kHxRecord + test::kGvRecord + test::kSwdRecord + test::kOldHxRecord;
    expectSameAsOneByOne(start, {changed(0x11, "1010"), changed(0x13, "0 0000")});
    // The same device twice: the later copy wins.
    expectSameAsOneByOne(start, {changed(0x11, "1010"), changed(0x11, "0000")});
}

TEST_F(StatusGroupSave, OldFileIsUpgradedOnceAsTheFirstSaveWould) {
    // 12-line records without a header, and an over-long name that the copy cuts.
    std::string old;
    for (const std::string& rec : {test::kHxRecord, test::kGvRecord}) {
        std::string twelve;
        std::size_t pos = 0;
        for (int i = 0; i < 12; ++i) pos = rec.find("\r\n", pos) + 2;
        old += rec.substr(0, pos);
    }
    old = std::string(70, 'L') + old.substr(2);
    expectSameAsOneByOne(old, {changed(0x11, "1")});
    expectSameAsOneByOne(old, {changed(0x11, "1"), changed(0x10, "0 1")});
}

TEST_F(StatusGroupSave, DuplicateIdsStopLinesAndCutShortFiles) {
    const std::string start =
        test::kHeader + test::kGvRecord + test::kGvRecord + "\r\nafter the stop line\r\n";
    expectSameAsOneByOne(start, {changed(0x11, "01")});
    const std::string cut = test::kHeader + test::kHxRecord + "gv\r\nGV2208\r\n11\r\n";
    expectSameAsOneByOne(cut, {changed(0x10, "1 1")});
    expectSameAsOneByOne(cut, {changed(0x11, "1"), changed(0x99, "1")});
}

TEST_F(StatusGroupSave, MissingFileFailsAndCreatesNothing) {
    const DeviceRecord r = changed(1, "1");
    EXPECT_FALSE(saveDeviceRecords(dirA, 9, {&r}));
    EXPECT_FALSE(std::filesystem::exists(dirA + "00000009.IDX"));
    EXPECT_FALSE(std::filesystem::exists(dirA + "00000009.TMP"));
}

}  // namespace
}  // namespace zelo
