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

class Directory : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    std::string path = dataDir + "ZELO_DIR.DAT";
    AppSettings settings{dataDir + "ZELO.INI"};
    LangStrings strings{settings};
    std::string tree() {  // each entry as "name<parent index>"
        GroupOutline o;
        EXPECT_TRUE(loadDirectoryTree(dataDir, "Root", o));
        std::string out;
        for (const auto& e : o.entries) out += e.name + "<" + std::to_string(e.parent) + " ";
        return out;
    }
};

TEST_F(Directory, OutlineFirstStartEmptyFileAndTreePlacement) {
    EXPECT_EQ(tree(), "Root<-1 ");
    EXPECT_EQ(readBytes(path), "0\tRoot\t0\r\n");
    writeBytes(path, "");
    EXPECT_EQ(tree(), "Noname<-1 ");
    EXPECT_EQ(readBytes(path), "");
    ASSERT_TRUE(insertGroupEntry(dataDir, 0, 1, "First"));  // kept, with the root line it needs
    EXPECT_EQ(readBytes(path), "0\tNoname\t0\r\n1\tFirst\t1\r\n");
    // Two levels up from A1x; a jump of two levels is one step deeper; one
    // level up from the previous parent B. Levels beyond 32 bits read as the
    // largest and smallest numbers; climbing past the root leaves the tree.
    writeBytes(path, "0\tRoot\t0\n1\tA\t1\n2\tA1\t2\n3\tA1x\t5\n1\tB\t3\n3\tB-deep\t4\n2\tB2\t6\n99999999999\tBig\t7\n-5\tNeg\t8\n");
    EXPECT_EQ(tree(), "Root<-1 A<0 A1<1 A1x<2 B<0 B-deep<4 B2<0 Big<6 Neg<-1 ");
    GroupOutline o;
    ASSERT_TRUE(loadDirectoryTree(dataDir, "Root", o));
    EXPECT_EQ(o.children(0), (std::vector<int>{1, 4, 6}));
    EXPECT_EQ(o.depth(3), 3);
    EXPECT_EQ(o.entries[7].level, 2147483647);
    EXPECT_EQ(formatDirectoryLine(1, "G", 3000000000u), "1\tG\t-1294967296\r\n");  // ids above 2^31 as signed
    EXPECT_EQ(parseDirectoryLine("1\tG\t-1294967296").id, 3000000000u);
    EXPECT_EQ(parseDirectoryLine("2\tonly name").name + "|" + std::to_string(parseDirectoryLine("2\tonly name").id), "only name|0");
    EXPECT_EQ(parseDirectoryLine("garbage").name, "");
    EXPECT_EQ(parseDirectoryLine("\t\t").level, 0);
}

TEST_F(Directory, OutlineRewritesKeepEveryOtherLine) {
    const struct { const char* before; std::function<bool(const std::string&)> change; const char* after; } rows[] = {
        {"0\tRoot\t0\r\n1\tMy Group\t1\r\n1\tOther\t2\r\n",  // names with blanks survive other groups' edits
         [](const std::string& d) { return renameGroupEntry(d, 2, "Renamed one") && insertGroupEntry(d, 0, 3, "New group") && deleteGroupEntry(d, 3); },
         "0\tRoot\t0\r\n1\tMy Group\t1\r\n1\tRenamed one\t2\r\n"},
        {"0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n2\tA2\t4\r\n1\tB\t5\r\n",  // after the parent's whole sub-tree
         [](const std::string& d) { return insertGroupEntry(d, 1, 6, "A3") && insertGroupEntry(d, 5, 7, "B1") && insertGroupEntry(d, 0, 8, "C"); },
         "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n2\tA2\t4\r\n2\tA3\t6\r\n1\tB\t5\r\n2\tB1\t7\r\n1\tC\t8\r\n"},
        {"0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n1\tB\t4\r\n2\tB1\t5\r\n",  // the sub-tree goes too
         [](const std::string& d) { return deleteGroupEntry(d, 1); }, "0\tRoot\t0\r\n1\tB\t4\r\n2\tB1\t5\r\n"},
        {"0\tRoot\t0\n1\tA\t1\n", [](const std::string& d) { return renameGroupEntry(d, 1, "New\tname"); },  // tabs cleaned
         "0\tRoot\t0\r\n1\tNew name\t1\r\n"},
        {"0\tRoot\t0\r\n99999999999\tA\t1\r\n-5\tB\t2\r\n",  // nothing is deeper than A: a group made under it goes beside it
         [](const std::string& d) { return insertGroupEntry(d, 1, 3, "C"); }, "0\tRoot\t0\r\n99999999999\tA\t1\r\n2147483647\tC\t3\r\n-5\tB\t2\r\n"},
    };
    for (const auto& row : rows) {
        writeBytes(path, row.before);
        EXPECT_TRUE(row.change(dataDir)) << row.before;
        EXPECT_EQ(readBytes(path), row.after);
    }
    for (const char* f : {"00000001.IDX", "00000002.IDX"}) writeBytes(dataDir + f, "x");
    writeBytes(path, "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n");
    ASSERT_TRUE(deleteGroupEntry(dataDir, 1));  // only the group's own item file goes
    EXPECT_FALSE(std::filesystem::exists(dataDir + "00000001.IDX"));
    EXPECT_TRUE(std::filesystem::exists(dataDir + "00000002.IDX"));
    writeBytes(path, "0\tRoot\t0\r\n1\tA\t1\r\n");
    std::filesystem::create_directory(dataDir + "ZELO_DIR.TMP");  // every rewrite fails, the file byte-identical
    EXPECT_FALSE(renameGroupEntry(dataDir, 1, "B") || insertGroupEntry(dataDir, 0, 2, "C") || deleteGroupEntry(dataDir, 1));
    EXPECT_EQ(readBytes(path), "0\tRoot\t0\r\n1\tA\t1\r\n");
}

TEST_F(Directory, LoadsEveryGroupInOutlineOrderAndChangesReachMemoryAndDisk) {
    writeBytes(dataDir + "ZELO.INI", "[ZELO]\r\nUniqueObj=41\r\nUniqueTree=2\r\n");
    writeBytes(path, "0\tRoot\t0\r\n1\tB\t2\r\n1\tA\t1\r\n");
    DeviceRecord r;
    for (const auto& [group, id, name] : {std::tuple{1u, 10u, "in A"}, {2u, 20u, "in B"}, {2u, 21u, "in B too"}})
        ASSERT_TRUE(createDeviceRecord(dataDir, 3, group, id, name, r));
    settings.loadSettings(strings);
    DeviceDirectory directory(dataDir, settings, strings);
    ASSERT_TRUE(directory.load());
    EXPECT_EQ(directory.addDevice(1, 13, "new"), 42u);  // the counter plus one, written at once
    EXPECT_EQ(readProfileString(dataDir + "ZELO.INI", "ZELO", "UniqueObj", ""), "42");
    std::string names;
    for (const DeviceRecord& d : directory.devices()) names += d.name + "@" + std::to_string(d.groupId) + " ";
    EXPECT_EQ(names, "in B@2 in B too@2 in A@1 new@1 ");
    const std::uint32_t group = directory.addGroup(0, "Lab");
    ASSERT_EQ(group, 3u);
    ASSERT_NE(directory.addDevice(group, 5, "jb"), 0u);
    ASSERT_TRUE(directory.deleteGroup(group));
    EXPECT_EQ(directory.addDevice(group, 5, "nowhere"), 0u);  // the group is gone
    EXPECT_EQ(directory.addDevice(1, 4, "no new records of model 4"), 0u);
}

TEST(ListColumns, AnUnknownTemperatureStateRepeatsTheTemperatureAndPlainModelsShowTheirMacText) {
    AppSettings settings("unused.ini");
    LangStrings strings(settings);
    DeviceRecord r;
    r.modelCode = 8, r.temperature = -150, r.temperatureState = 7;
    const auto c = deviceColumnTexts(r, settings, strings);
    EXPECT_EQ(c[7] + "|" + c[8], "-1|-1");
    r.modelCode = 11, r.macText = "ABC";
    EXPECT_EQ(deviceIdColumnText(r), "ABC");
}

TEST(PropertyEdit, FieldsTakeTheDialogsLimits) {
    DeviceRecord r;
    r.modelCode = 13;
    auto set = [&r](const char* field, const std::string& text) { return applyPropertyField(r, field, text); };
    for (const auto& [field, text] : {std::pair<const char*, std::string>{"mac", "00-1a-2b-3c-4d-5e"}, {"port", "70000"},
                                      {"name", std::string(70, 'x')}, {"password", std::string(20, 'p')}, {"model", "HX-7200"}})
        EXPECT_EQ(set(field, text), EditResult::Ok) << field;
    EXPECT_EQ(r.macText + " " + std::to_string(r.port) + " " + std::to_string(r.name.size()) + " " +
                  std::to_string(r.password.size()) + " " + std::to_string(r.modelCode), "001a2b3c4d5e 65535 62 16 3");
    for (const auto& [field, text] : {std::pair{"name", ""}, {"port", "x"}, {"model", "2"}, {"model", "gv2208"}})
        EXPECT_EQ(set(field, text), EditResult::BadValue) << field << " " << text;
    EXPECT_EQ(set("colour", "red"), EditResult::UnknownField);
    r.modelCode = 7;  // terminal-id models take unit and MAC from the same field, at most five digits read
    EXPECT_EQ(set("unit", "1234567"), EditResult::Ok);
    EXPECT_EQ(std::to_string(r.unitId) + " " + r.macText, "12345 1234567");
    EXPECT_EQ(set("mac", "x12"), EditResult::Ok);
    EXPECT_EQ(std::to_string(r.unitId) + " " + r.macText, "0 x12");
}

DeviceRecord rec(std::uint32_t id, const char* name = "") {
    DeviceRecord r;
    r.deviceId = id, r.name = name;
    return r;
}

std::string ids(DeviceList& list) {
    std::string out;
    list.rewind();
    while (DeviceRecord* r = list.next()) out += std::to_string(r->deviceId) + r->name + " ";
    return out;
}

TEST(DeviceList, OrderRemovalDuplicatesCopiesAndTheCursor) {
    DeviceList list;
    EXPECT_EQ(list.find(1), nullptr);
    list.removeFirst();  // harmless on an empty list
    for (std::uint32_t i = 1; i <= 5; ++i) list.append(rec(i));
    list.remove(5);  // the tail: the next append links after the new tail
    EXPECT_EQ(list.tail()->deviceId, 4u);
    DeviceRecord r = rec(7, "first");
    list.append(r);
    r.name = "changed outside";  // records are copies
    list.append(rec(7, "second"));
    list.removeFirst();
    list.remove(3);
    list.remove(42);
    EXPECT_EQ(ids(list), "2 4 7first 7second ");
    EXPECT_EQ(list.head()->deviceId, 2u);
    list.find(7)->powerText = "1 1";  // the earlier of two records with one id
    EXPECT_EQ(list.find(7)->name + list.find(7)->powerText, "first1 1");
    list.remove(7);
    EXPECT_EQ(list.find(7)->name, "second");
    list.rewind();
    EXPECT_EQ(list.next()->deviceId, 2u);
    list.remove(4);  // the cursor's record
    EXPECT_EQ(list.next()->deviceId, 7u);
    for (std::uint32_t id : {2, 7}) list.remove(id);
    EXPECT_TRUE(list.empty() && !list.head() && !list.tail());
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
    const std::tuple<bool, int, const char*> rows[] = {{false, 1, "0110101"},  {true, -1, "0110101"}, {true, 0, "0 0110101"},
        {true, 1, "1 0110101"}, {true, 9, "9 0110101"}, {true, 10, "1 0110101"}, {true, 65535, "1 0110101"}};
    for (const auto& [present, master, text] : rows) {
        s.masterPresent = present, s.masterState = master;
        EXPECT_EQ(powerText(s), text) << "master " << present << "/" << master;
    }
    s.scheduleKnown = false;
    EXPECT_EQ(scheduleText(s), "--------");
}

}  // namespace
}  // namespace zelo
