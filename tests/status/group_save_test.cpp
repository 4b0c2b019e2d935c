// Coalesced item file saves: one rewrite of a group file leaves what saving
// each record in turn leaves.
#include <gtest/gtest.h>

#include <filesystem>

#include "directory/device_record.h"
#include "directory/item_file.h"
#include "tests/status/station_fixture.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

DeviceRecord changed(std::uint32_t id, const std::string& power) {
    DeviceRecord r;
    r.name = "n" + std::to_string(id), r.modelName = "GV2208", r.deviceId = id, r.modelCode = 13,
    r.powerText = power;
    r.updateTime = 77;
    return r;
}

TEST(StatusGroupSave, OneRewriteLeavesWhatSavingEachInTurnLeaves) {
    using namespace test;
    const std::string v2 = kHeader + kHxRecord + kGvRecord + kSwdRecord + kOldHxRecord;
    const std::string cut = kHeader + kHxRecord + "gv\r\nGV2208\r\n11\r\n";
    const std::pair<const std::string&, std::vector<DeviceRecord>> rows[] = {
        // the same device twice: the later copy wins
        {v2, {changed(0x11, "1010"), changed(0x13, "0 0000"), changed(0x11, "0000")}},
        {cut, {changed(0x11, "1"), changed(0x99, "1")}},
    };
    for (const auto& [start, saves] : rows) {
        TempDir a, b;
        writeBytes(a.file("00000007.IDX"), start);
        writeBytes(b.file("00000007.IDX"), start);
        std::vector<const DeviceRecord*> all;
        for (const DeviceRecord& r : saves) {
            ASSERT_GE(saveDeviceRecord(a.path().string() + "/", 7, r), 0);
            all.push_back(&r);
        }
        ASSERT_TRUE(saveDeviceRecords(b.path().string() + "/", 7, all));
        EXPECT_EQ(readBytes(b.file("00000007.IDX")), readBytes(a.file("00000007.IDX")))
            << start.substr(0, 30);
    }
    TempDir a;  // a missing file fails and creates nothing
    const DeviceRecord r = changed(1, "1");
    EXPECT_FALSE(saveDeviceRecords(a.path().string() + "/", 9, {&r}));
    EXPECT_TRUE(std::filesystem::is_empty(a.path()));
}

}  // namespace
}  // namespace zelo
