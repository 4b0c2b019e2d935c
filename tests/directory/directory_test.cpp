// ZELO_DIR.DAT's outline and rewrites, the directory in memory and on disk,
// the list's column texts, the property dialog's fields, and the device list.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "directory/device_directory.h"
#include "directory/device_list.h"
#include "directory/device_status.h"
#include "directory/group_outline.h"
#include "directory/item_file.h"
#include "directory/list_columns.h"
#include "directory/property_edit.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "settings/profile_file.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::readBytes;
using test::writeBytes;

class GroupOutlineTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    std::string path = dataDir + "ZELO_DIR.DAT";
    // Each entry as "name<parent index>".
    std::string tree() {
        GroupOutline o;
        EXPECT_TRUE(loadDirectoryTree(dataDir, "Root", o));
        std::string out;
        for (const auto& e : o.entries) out += e.name + "<" + std::to_string(e.parent) + " ";
        return out;
    }
};

TEST_F(GroupOutlineTest, FirstStartCreatesTheRootLineAndAnEmptyFileShowsNoname) {
    EXPECT_EQ(tree(), "Root<-1 ");
    EXPECT_EQ(readBytes(path), "0\tRoot\t0\r\n");
    writeBytes(path, "");
    EXPECT_EQ(tree(), "Noname<-1 ");
    EXPECT_EQ(readBytes(path), "");
    // A group made under that root is kept, with the root line it needs.
    ASSERT_TRUE(insertGroupEntry(dataDir, 0, 1, "First"));
    EXPECT_EQ(readBytes(path), "0\tNoname\t0\r\n1\tFirst\t1\r\n");
}

TEST_F(GroupOutlineTest, TreePlacementFollowsTheLevels) {
    // Two levels up from A1x; a jump of two levels is one step deeper; one
    // level up from the previous parent B. Levels beyond 32 bits read as the
    // largest and smallest numbers; climbing past the root leaves the tree.
    writeBytes(path, "0\tRoot\t0\n1\tA\t1\n2\tA1\t2\n3\tA1x\t5\n1\tB\t3\n3\tB-deep\t4\n2\tB2\t6\n"
                     "99999999999\tBig\t7\n-5\tNeg\t8\n");
    EXPECT_EQ(tree(), "Root<-1 A<0 A1<1 A1x<2 B<0 B-deep<4 B2<0 Big<6 Neg<-1 ");
    GroupOutline o;
    ASSERT_TRUE(loadDirectoryTree(dataDir, "Root", o));
    EXPECT_EQ(o.children(0), (std::vector<int>{1, 4, 6}));
    EXPECT_EQ(o.depth(3), 3);
    EXPECT_EQ(o.entries[7].level, 2147483647);
}

TEST_F(GroupOutlineTest, RewritesKeepEveryOtherLine) {
    const struct {
        const char* name;
        const char* before;
        std::function<bool(const std::string&)> change;
        const char* after;
    } rows[] = {
        {"names with blanks survive other groups' edits", "0\tRoot\t0\r\n1\tMy Group\t1\r\n1\tOther\t2\r\n",
         [](const std::string& d) {
             return renameGroupEntry(d, 2, "Renamed one") && insertGroupEntry(d, 0, 3, "New group") && deleteGroupEntry(d, 3);
         },
         "0\tRoot\t0\r\n1\tMy Group\t1\r\n1\tRenamed one\t2\r\n"},
        {"an insert lands after the parent's whole sub-tree",
         "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n2\tA2\t4\r\n1\tB\t5\r\n",
         [](const std::string& d) { return insertGroupEntry(d, 1, 6, "A3") && insertGroupEntry(d, 5, 7, "B1") && insertGroupEntry(d, 0, 8, "C"); },
         "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n2\tA2\t4\r\n2\tA3\t6\r\n1\tB\t5\r\n2\tB1\t7\r\n1\tC\t8\r\n"},
        {"a delete drops the sub-tree", "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n1\tB\t4\r\n2\tB1\t5\r\n",
         [](const std::string& d) { return deleteGroupEntry(d, 1); }, "0\tRoot\t0\r\n1\tB\t4\r\n2\tB1\t5\r\n"},
        {"a rename keeps level and id and cleans tabs", "0\tRoot\t0\n1\tA\t1\n",
         [](const std::string& d) { return renameGroupEntry(d, 1, "New\tname"); }, "0\tRoot\t0\r\n1\tNew name\t1\r\n"},
        {"nothing is deeper than the deepest level: a group made under it goes beside it",
         "0\tRoot\t0\r\n99999999999\tA\t1\r\n-5\tB\t2\r\n", [](const std::string& d) { return insertGroupEntry(d, 1, 3, "C"); },
         "0\tRoot\t0\r\n99999999999\tA\t1\r\n2147483647\tC\t3\r\n-5\tB\t2\r\n"},
    };
    for (const auto& row : rows) {
        writeBytes(path, row.before);
        EXPECT_TRUE(row.change(dataDir)) << row.name;
        EXPECT_EQ(readBytes(path), row.after) << row.name;
    }
}

TEST_F(GroupOutlineTest, DeleteRemovesOnlyTheGroupsOwnItemFile) {
    writeBytes(path, "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n");
    for (const char* f : {"00000001.IDX", "00000002.IDX"}) writeBytes(dataDir + f, "x");
    ASSERT_TRUE(deleteGroupEntry(dataDir, 1));
    EXPECT_FALSE(std::filesystem::exists(dataDir + "00000001.IDX"));
    EXPECT_TRUE(std::filesystem::exists(dataDir + "00000002.IDX"));
}

TEST_F(GroupOutlineTest, LinesReadSafelyAndIdsAboveTwoBillionRoundTripAsSigned) {
    EXPECT_EQ(formatDirectoryLine(1, "G", 3000000000u), "1\tG\t-1294967296\r\n");
    EXPECT_EQ(parseDirectoryLine("1\tG\t-1294967296").id, 3000000000u);
    EXPECT_EQ(parseDirectoryLine("garbage").name, "");
    EXPECT_EQ(parseDirectoryLine("2\tonly name").name, "only name");
    EXPECT_EQ(parseDirectoryLine("2\tonly name").id, 0u);
    EXPECT_EQ(parseDirectoryLine("\t\t").level, 0);
}

TEST_F(GroupOutlineTest, FailedRewriteLeavesTheFileByteIdentical) {
    writeBytes(path, "0\tRoot\t0\r\n1\tA\t1\r\n");
    writeBytes(dataDir + "00000001.IDX", "keep");
    std::filesystem::create_directory(dataDir + "ZELO_DIR.TMP");
    EXPECT_FALSE(renameGroupEntry(dataDir, 1, "B"));
    EXPECT_FALSE(insertGroupEntry(dataDir, 0, 2, "C"));
    EXPECT_FALSE(deleteGroupEntry(dataDir, 1));
    EXPECT_EQ(readBytes(path), "0\tRoot\t0\r\n1\tA\t1\r\n");
    EXPECT_TRUE(std::filesystem::exists(dataDir + "00000001.IDX"));
}

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
