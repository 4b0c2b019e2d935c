#include "directory/device_list.h"

#include <gtest/gtest.h>

#include "directory/device_status.h"

namespace zelo {
namespace {

DeviceRecord rec(std::uint32_t id, const char* name = "") {
    DeviceRecord r;
    r.deviceId = id;
    r.name = name;
    return r;
}

std::vector<std::uint32_t> ids(DeviceList& list) {
    std::vector<std::uint32_t> out;
    list.rewind();
    while (DeviceRecord* r = list.next()) out.push_back(r->deviceId);
    return out;
}

TEST(DeviceList, EmptyListFindsNothing) {
    DeviceList list;
    EXPECT_EQ(list.find(1), nullptr);
    list.rewind();
    EXPECT_EQ(list.next(), nullptr);
    list.removeFirst();
    list.remove(1);
    EXPECT_TRUE(list.empty());
}

TEST(DeviceList, RemovingTheTailThenAppendingLinksAfterTheNewTail) {
    DeviceList list;
    list.append(rec(1));
    list.append(rec(2));
    list.append(rec(3));
    list.remove(3);
    ASSERT_NE(list.tail(), nullptr);
    EXPECT_EQ(list.tail()->deviceId, 2u);
    list.append(rec(4));
    EXPECT_EQ(ids(list), (std::vector<std::uint32_t>{1, 2, 4}));
}

TEST(DeviceList, RemoveFirstAndRemoveById) {
    DeviceList list;
    for (std::uint32_t i = 1; i <= 4; ++i) list.append(rec(i));
    list.removeFirst();
    list.remove(3);
    list.remove(42);
    EXPECT_EQ(ids(list), (std::vector<std::uint32_t>{2, 4}));
    EXPECT_EQ(list.head()->deviceId, 2u);
    list.remove(2);
    list.remove(4);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_EQ(list.tail(), nullptr);
}

TEST(DeviceList, DuplicateIdsFindTheEarlierRecordFirst) {
    DeviceList list;
    list.append(rec(7, "first"));
    list.append(rec(8));
    list.append(rec(7, "second"));
    EXPECT_EQ(list.find(7)->name, "first");
    list.remove(7);
    EXPECT_EQ(list.find(7)->name, "second");
    EXPECT_EQ(ids(list), (std::vector<std::uint32_t>{8, 7}));
}

TEST(DeviceList, RecordsAreCopiesAndFoundRecordsCanBeChanged) {
    DeviceList list;
    DeviceRecord r = rec(5, "original");
    list.append(r);
    r.name = "changed outside";
    EXPECT_EQ(list.find(5)->name, "original");
    list.find(5)->powerText = "1 1";
    EXPECT_EQ(list.find(5)->powerText, "1 1");
}

TEST(DeviceList, CursorSurvivesRemovalOfTheRecordItPointsAt) {
    DeviceList list;
    for (std::uint32_t i = 1; i <= 3; ++i) list.append(rec(i));
    list.rewind();
    EXPECT_EQ(list.next()->deviceId, 1u);
    list.remove(2);  // the cursor's record
    EXPECT_EQ(list.next()->deviceId, 3u);
    EXPECT_EQ(list.next(), nullptr);
}

TEST(DeviceList, ManyDevicesStayInOrderAndFindable) {
    DeviceList list;
    for (std::uint32_t i = 1; i <= 10000; ++i) list.append(rec(i));
    EXPECT_EQ(list.size(), 10000u);
    EXPECT_EQ(list.find(9999)->deviceId, 9999u);
    list.clear();
    EXPECT_EQ(list.find(9999), nullptr);
    EXPECT_TRUE(list.empty());
}

// The power column that reports and readouts both write: the master state's
// own digit for 0..9 (a larger value still means "on": "1", never a byte
// that is not a digit), nothing for an unknown or absent master, then one
// digit per reported outlet (codes 0, 3, 5 off; 1, 2, 4, 6 on; others none).
TEST(PowerColumn, MasterDigitAndOutletCodes) {
    PowerState s;
    s.outletCount = 8;
    const int codes[8] = {0, 1, 2, 3, 4, 5, 6, kOutletNotReported};
    for (int i = 0; i < 8; ++i) s.outlets[std::size_t(i)].state = codes[i];
    const struct {
        bool present;
        int master;
        const char* text;
    } rows[] = {{false, 1, "0110101"}, {true, -1, "0110101"}, {true, 0, "0 0110101"},
                {true, 1, "1 0110101"}, {true, 9, "9 0110101"}, {true, 10, "1 0110101"},
                {true, 65535, "1 0110101"}};
    for (const auto& row : rows) {
        s.masterPresent = row.present;
        s.masterState = row.master;
        EXPECT_EQ(powerText(s), row.text) << "master " << row.present << "/" << row.master;
    }
    s.scheduleKnown = false;
    EXPECT_EQ(scheduleText(s), "--------");
}

}  // namespace
}  // namespace zelo
