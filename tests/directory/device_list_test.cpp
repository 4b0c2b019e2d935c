// The device list: order, removal, the cursor, duplicates; and the power
// column every report and readout writes.
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

TEST(DeviceList, RemovalKeepsHeadTailAndOrder) {
    DeviceList list;
    EXPECT_EQ(list.find(1), nullptr);
    list.removeFirst();  // harmless on an empty list
    list.remove(1);
    for (std::uint32_t i = 1; i <= 5; ++i) list.append(rec(i));
    list.remove(5);  // the tail: the next append links after the new tail
    EXPECT_EQ(list.tail()->deviceId, 4u);
    list.append(rec(6));
    list.removeFirst();
    list.remove(3);
    list.remove(42);
    EXPECT_EQ(ids(list), (std::vector<std::uint32_t>{2, 4, 6}));
    EXPECT_EQ(list.head()->deviceId, 2u);
    for (std::uint32_t id : {2, 4, 6}) list.remove(id);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_EQ(list.tail(), nullptr);
}

TEST(DeviceList, DuplicatesCopiesAndTheCursor) {
    DeviceList list;
    DeviceRecord r = rec(7, "first");
    list.append(r);
    r.name = "changed outside";  // records are copies
    list.append(rec(8));
    list.append(rec(7, "second"));
    EXPECT_EQ(list.find(7)->name, "first");  // the earlier record first
    list.find(8)->powerText = "1 1";
    EXPECT_EQ(list.find(8)->powerText, "1 1");
    list.remove(7);
    EXPECT_EQ(list.find(7)->name, "second");
    list.rewind();
    EXPECT_EQ(list.next()->deviceId, 8u);
    list.remove(7);  // the cursor's record
    EXPECT_EQ(list.next(), nullptr);
    for (std::uint32_t i = 1; i <= 10000; ++i) list.append(rec(i));
    EXPECT_EQ(list.size(), 10001u);
    EXPECT_EQ(list.find(9999)->deviceId, 9999u);
    list.clear();
    EXPECT_TRUE(list.empty());
}

// The master state's own digit for 0..9 (a larger value still means "on":
// "1", never a byte that is not a digit), nothing for an unknown or absent
// master, then one digit per reported outlet (codes 0, 3, 5 off; 1, 2, 4, 6
// on; others none).
TEST(PowerColumn, MasterDigitAndOutletCodes) {
    PowerState s;
    s.outletCount = 8;
    const int codes[8] = {0, 1, 2, 3, 4, 5, 6, kOutletNotReported};
    for (int i = 0; i < 8; ++i) s.outlets[std::size_t(i)].state = codes[i];
    const struct {
        bool present;
        int master;
        const char* text;
    } rows[] = {{false, 1, "0110101"},  {true, -1, "0110101"}, {true, 0, "0 0110101"},   {true, 1, "1 0110101"},
                {true, 9, "9 0110101"}, {true, 10, "1 0110101"}, {true, 65535, "1 0110101"}};
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
