// Item files, ZELO_DIR.DAT's outline and rewrites, the directory in memory
// and on disk with the ids it hands out, the property dialog's fields, and
// the device list. (A rewrite that fails at any step is swept in
// tests/reliability; the list's column texts are checked through zeloctl list.)
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "directory/device_directory.h"
#include "directory/device_list.h"
#include "directory/device_status.h"
#include "directory/group_outline.h"
#include "directory/item_file.h"
#include "directory/property_edit.h"
#include "settings/profile_file.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

using test::readBytes;
using test::writeBytes;

const std::string kHeader = "#ZELO ITEM FILE#VER 2\r\n";

// A record's fields as the reader leaves them.
std::string fields(const DeviceRecord& r) {
    return r.name + "|" + std::to_string(r.deviceId) + "|" + r.addressText + "|" +
           std::to_string(r.port) + "|" + r.powerText + "|" + std::to_string(r.outletCount) + "|" +
           std::to_string(r.updateTime) + "|" + r.macText + "|" + std::to_string(r.unitId) + "|" +
           r.password + "|" + r.loginName + "|" + r.prompt + "|" + r.selectNumber + "|" +
           r.systemName + "|" + r.pingText + "|" + r.rebootText + "|" +
           std::to_string(r.temperature) + "|" + std::to_string(r.temperatureState) + "|" +
           std::to_string(r.lastTemperatureState);
}

const char* kVersion0File =
    "Old one\r\nHX-7200\r\n5\r\n3\r\nC0A80001 17\r\n1 1111\r\n1111\r\n00000000 000003E8\r\n"
    "1F\r\npw login\r\nHX 01\r\n\r\n"
    "Old two\r\nJB-81K\r\n6\r\n5\r\n#dev.local 1F90\r\n1 111\r\n111\r\n00000001 00000001\r\n"
    "0090CC000001\r\n7394\r\nJB 02\r\n\r\n";

TEST(ItemFileRead, WhatEachTextReadsAs) {
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> records;
    } rows[] = {
        // The old hexadecimal address form; a short line 9 is also the unit
        // number; the two words of the update time are added.
        {"version 0: twelve-line records with defaults",
         kVersion0File,
         {"Old one|5|192.168.0.1|23|1 1111|4|1000|1F|31|pw|login|HX|01||||0|-1|-1",
          "Old two|6|dev.local|8080|1 111|3|2|0090CC000001|0|7394||JB|02||||0|-1|-1"}},
        {"a user-login model's line 11 wins over a short line 9",
         kHeader + "X\r\nSWD-6K\r\n1\r\n6\r\n# 17\r\n1111\r\n \r\n00000000 00000000\r\n1F\r\ntavik "
                   "admin\r\n"
                   "\r\n\r\n\r\n"
                   "\r\n0\r\n-1\r\n",
         {"X|1||23|1111|4|0|1F|0|tavik|admin||||||0|-1|-1"}},
        {"reading stops at an empty line",
         kHeader +
             "a\r\nHX-7200\r\n1\r\n3\r\n# 17\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n0\r\n-1\r\n"
             "\r\nb\r\nHX-7200\r\n2\r\n3\r\n",
         {"a|1||23||1|0||0||||||||0|-1|-1"}},
        {"a record cut short",
         kHeader + "short\r\nSWD-12K\r\nA\r\n11\r\n#host 17\r\n1 11",
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
    const std::pair<const char*, int> counts[] = {{"1 11111111111", 8}, {"", 1}, {"1 ", 1}};
    for (const auto& [power, count] : counts)
        EXPECT_EQ(outletCountFromPowerText(power), count) << power;
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

// A model with neither prompt nor user login: the password alone on line 10,
// an empty line 11.
TEST_F(ItemFileTest, AModelWithoutPromptOrUserLoginKeepsOnlyItsPassword) {
    DeviceRecord r = create(6, 3, "My Device");
    r.modelCode = 4;
    r.prompt = "HX";
    r.password = "secret";
    ASSERT_EQ(saveDeviceRecord(dataDir, 0x1A, r), 0);
    EXPECT_NE(readBytes(path).find("\r\nsecret\r\n\r\n\r\n"), std::string::npos);
    EXPECT_EQ(fields(loadItemFile(dataDir, 0x1A)[0]),
              "My Device|3||23|1111|4|0|000000000000|0|secret|||||||0|-1|-1");
}

TEST_F(ItemFileTest, SavingUpgradesAVersion0File) {
    writeBytes(path, kVersion0File);
    DeviceRecord b = loadItemFile(dataDir, 0x1A)[1];
    b.powerText = "0 101";
    ASSERT_EQ(saveDeviceRecord(dataDir, 0x1A, b), 1);
    // An old record had no sensor, and still has none after the upgrade.
    const std::string upgraded =
        kHeader +
        "Old one\r\nHX-7200\r\n5\r\n3\r\nC0A80001 17\r\n1 1111\r\n1111\r\n00000000 "
        "000003E8\r\n1F\r\n"
        "pw login\r\nHX 01\r\n"
        "\r\n\r\n\r\n0\r\n-1\r\n"
        "Old two\r\nJB-81K\r\n6\r\n5\r\n#dev.local 1F90\r\n0 101\r\n111\r\n00000000 00000002\r\n"
        "0090CC000001\r\n7394\r\n"
        "JB 02\r\n\r\n\r\n\r\n0\r\n-1\r\n";
    EXPECT_EQ(readBytes(path), upgraded);
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
    EXPECT_EQ(readBytes(path), kHeader + formatRecordLines(b));
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
    EXPECT_EQ(readBytes(path),
              kHeader +
                  "short\r\nSWD-12K\r\nA\r\n11\r\n#host 17\r\n1 11\r\n\r\n\r\n\r\n\r\n\r\n\r\n"
                  "\r\n\r\n\r\n\r\n");
}

class Directory : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    std::string path = dataDir + "ZELO_DIR.DAT";
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
    writeBytes(path,
               "0\tRoot\t0\n1\tA\t1\n2\tA1\t2\n3\tA1x\t5\n1\tB\t3\n3\tB-deep\t4\n2\tB2\t6\n"
               "99999999999\tBig\t7\n-5\tNeg\t8\n");
    EXPECT_EQ(tree(), "Root<-1 A<0 A1<1 A1x<2 B<0 B-deep<4 B2<0 Big<6 Neg<-1 ");
    GroupOutline o;
    ASSERT_TRUE(loadDirectoryTree(dataDir, "Root", o));
    EXPECT_EQ(o.children(0), (std::vector<int>{1, 4, 6}));
    EXPECT_EQ(o.depth(3), 3);
    EXPECT_EQ(o.entries[7].level, 2147483647);
    EXPECT_EQ(formatDirectoryLine(1, "G", 3000000000u),
              "1\tG\t-1294967296\r\n");  // ids above 2^31 as signed
    EXPECT_EQ(parseDirectoryLine("1\tG\t-1294967296").id, 3000000000u);
    // Damaged lines (noise, a line cut short, a control character first)
    // are skipped and counted, the groups behind them still read; an empty
    // line is no damage.
    writeBytes(path,
               "0\tRoot\t0\r\n\x01junk\r\n1\tA\t1\r\nno "
               "tabs\r\n\r\n\t\t\r\nx\tY\t4\r\n2\tA1\t2\r\n1\tB\t3\r\n");
    EXPECT_EQ(tree(), "Root<-1 A<0 A1<1 B<0 ");
    ASSERT_TRUE(loadDirectoryTree(dataDir, "Root", o));
    EXPECT_EQ(o.damagedLines, 4);
    writeBytes(path, "\x01\r\nnoise\r\n");  // nothing readable: the root stands in
    EXPECT_EQ(tree(), "Noname<-1 ");
}

TEST_F(Directory, OutlineRewritesKeepEveryOtherLine) {
    const struct {
        const char* before;
        std::function<bool(const std::string&)> change;
        const char* after;
    } rows[] = {
        // after the parent's whole sub-tree
        {"0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n2\tA2\t4\r\n1\tB\t5\r\n",
         [](const std::string& d) {
             return insertGroupEntry(d, 1, 6, "A3") && insertGroupEntry(d, 5, 7, "B1") &&
                    insertGroupEntry(d, 0, 8, "C");
         },
         "0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n2\tA2\t4\r\n2\tA3\t6\r\n1\tB\t5\r\n2\tB"
         "1\t7\r\n"
         "1\tC\t8\r\n"},
        // the sub-tree goes too
        {"0\tRoot\t0\r\n1\tA\t1\r\n2\tA1\t2\r\n3\tA1a\t3\r\n1\tB\t4\r\n2\tB1\t5\r\n",
         [](const std::string& d) { return deleteGroupEntry(d, 1); },
         "0\tRoot\t0\r\n1\tB\t4\r\n2\tB1\t5\r\n"},
        // tabs cleaned
        {"0\tRoot\t0\n1\tA\t1\n",
         [](const std::string& d) { return renameGroupEntry(d, 1, "New\tname"); },
         "0\tRoot\t0\r\n1\tNew name\t1\r\n"},
        // nothing is deeper than A: a group made under it goes beside it
        // damaged lines stay where they were, the groups behind them too
        {"0\tRoot\t0\r\n\x01junk\r\n1\tA\t1\r\nno tabs\r\n\r\n1\tB\t2\r\n",
         [](const std::string& d) {
             return insertGroupEntry(d, 0, 3, "C") && renameGroupEntry(d, 0, "Top");
         },
         "0\tTop\t0\r\n\x01junk\r\n1\tA\t1\r\nno tabs\r\n1\tB\t2\r\n1\tC\t3\r\n"},
        {"0\tRoot\t0\r\n99999999999\tA\t1\r\n-5\tB\t2\r\n",
         [](const std::string& d) { return insertGroupEntry(d, 1, 3, "C"); },
         "0\tRoot\t0\r\n99999999999\tA\t1\r\n2147483647\tC\t3\r\n-5\tB\t2\r\n"},
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
}

// Groups load in outline order (not id order) and new ids never repeat one the
// directory holds, whatever ZELO.INI says.
TEST(DirectoryLoad, EveryGroupInOutlineOrderAndIdsAboveTheHighestInTheFiles) {
    struct Row {
        const char* ini;              // ZELO.INI as found (none, at the highest, newer)
        std::uint32_t group, device;  // the next ids handed out
    };
    // The directory holds groups 1, 7 (under 1) and 3, devices 10, 0x2F and 12.
    for (const Row& r :
         {Row{nullptr, 8, 0x30}, Row{"[ZELO]\r\nUniqueTree=7\r\nUniqueObj=47\r\n", 8, 0x30},
          Row{"[ZELO]\r\nUniqueTree=20\r\nUniqueObj=100\r\n", 21, 101}}) {
        SCOPED_TRACE(r.ini ? r.ini : "no ZELO.INI");
        test::TempDir dir;
        const std::string dataDir = dir.path().string() + "/";
        writeBytes(dataDir + "ZELO_DIR.DAT", "0\tRoot\t0\r\n1\tA\t1\r\n2\tB\t7\r\n1\tC\t3\r\n");
        DeviceRecord made;
        for (const auto& [model, group, id, name] :
             {std::tuple{3, 1u, 10u, "a"}, {13, 3u, 0x2Fu, "c"}, {8, 7u, 12u, "b"}})
            ASSERT_TRUE(createDeviceRecord(dataDir, model, group, id, name, made));
        if (r.ini) writeBytes(dataDir + "ZELO.INI", r.ini);
        test::TestWorkspace w(dataDir);
        DeviceDirectory& directory = w.ws.directory();
        ASSERT_TRUE(w.load());
        EXPECT_EQ(r.ini == nullptr,
                  !std::filesystem::exists(dataDir + "ZELO.INI"));  // loading writes nothing
        EXPECT_EQ(directory.addGroup(0, "new"), r.group);
        EXPECT_EQ(directory.addDevice(1, 3, "new"), r.device);  // written at once
        EXPECT_EQ(readProfileString(dataDir + "ZELO.INI", "ZELO", "UniqueObj", ""),
                  std::to_string(r.device));
        std::string names;
        for (const DeviceRecord& d : directory.devices())
            names += d.name + "@" + std::to_string(d.groupId) + " ";
        EXPECT_EQ(names, "a@1 b@7 c@3 new@1 ");
    }
}

TEST(NextFreeId, AboveTheCounterThenRoundFromOne) {
    const struct {
        std::uint32_t last;
        std::vector<std::uint32_t> used;
        std::uint32_t highest, id;
    } rows[] = {
        {0, {}, kHighestId, 1},
        {4, {5, 6, 8}, kHighestId, 7},
        {kHighestId, {1, 2, kHighestId}, kHighestId, 3},  // a damaged id at the top
        {kHighestId - 1, {kHighestId}, kHighestId, 1},
        {9, {1, 2}, 5, 3},              // a counter beyond the highest starts again at 1
        {3, {1, 2, 3, 4, 5}, 5, 0},     // none free
        {3, {1, 2, 4, 5, 7, 9}, 5, 3},  // the counter's own id, the last one free
    };
    for (const auto& r : rows) EXPECT_EQ(nextFreeId(r.last, r.used, r.highest), r.id) << r.last;
}

// Damaged records whose ids read as the highest id, and an item file left by
// a deleted group. (A ZELO.INI that cannot take the counter: tests/gui.)
TEST(DirectoryNewIds, FreeOfEveryIdInUseAndFailuresSayWhy) {
    test::TempDir dir;
    const std::string dataDir = dir.path().string() + "/";
    writeBytes(dataDir + "ZELO_DIR.DAT", "0\tRoot\t0\r\n1\tA\t1\r\n1\tBad\t-1\r\n");
    DeviceRecord made;
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 1, kHighestId, "damaged", made));
    ASSERT_TRUE(createDeviceRecord(dataDir, 3, 1, 1, "one", made));
    writeBytes(dataDir + "00000002.IDX", kHeader);
    test::TestWorkspace w(dataDir);
    DeviceDirectory& directory = w.ws.directory();
    ASSERT_TRUE(w.load());
    EXPECT_EQ(directory.addDevice(1, 3, "new"), 2u);
    EXPECT_EQ(directory.addGroup(0, "new"), 3u);  // 2 has an item file
    EXPECT_EQ(directory.lastAddError(), DeviceDirectory::AddError::None);
    EXPECT_EQ(directory.addGroup(99, "nowhere"), 0u);
    EXPECT_EQ(directory.lastAddError(), DeviceDirectory::AddError::NoSuchPlace);
}

TEST(PropertyEdit, FieldsTakeTheDialogsLimitsAndMacsAreSavedInUpperCase) {
    DeviceRecord r;
    r.modelCode = 13;
    auto set = [&r](const char* field, const std::string& text) {
        return applyPropertyField(r, field, text);
    };
    EXPECT_EQ(set("password", std::string(20, 'p')), EditResult::Ok);
    EXPECT_EQ(r.password, std::string(16, 'p'));
    for (const auto& [field, text] : {std::pair{"name", ""}, {"model", "2"}, {"model", "gv2208"}})
        EXPECT_EQ(set(field, text), EditResult::BadValue) << field << " " << text;
    // A terminal id is kept as typed (a MAC's upper case and the name's cut
    // are shown by zeloctl set).
    for (const auto& [model, field, typed, mac] :
         {std::tuple{8, "unit", "12ab", "12ab"}, {7, "mac", "5-x", "5x"}}) {
        r.modelCode = model;
        EXPECT_EQ(set(field, typed), EditResult::Ok) << typed;
        EXPECT_EQ(r.macText, mac);
    }
    r.modelCode =
        7;  // terminal-id models take unit and MAC from the same field, at most five digits read
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

// Records one field apart, whichever field it is, are not equal.
TEST(DeviceRecord, OneFieldApartIsNotEqual) {
    const DeviceRecord a = rec(7, "x");
#define APART(f) [](DeviceRecord& r) { r.f = decltype(r.f)(r.f + decltype(r.f)(1)); }
    // clang-format off
    const std::function<void(DeviceRecord&)> changes[] = {
        APART(ipAddress), APART(port), APART(temperature), APART(temperatureState),
        APART(updateTime), APART(deviceId), APART(groupId), APART(modelCode), APART(outletCount),
        APART(unitId), APART(lastTemperature), APART(lastTemperatureState), APART(lastMasterState),
        [](DeviceRecord& r) { r.name += "y"; }, [](DeviceRecord& r) { r.modelName = "y"; },
        [](DeviceRecord& r) { r.addressText = "y"; }, [](DeviceRecord& r) { r.powerText = "y"; },
        [](DeviceRecord& r) { r.scheduleText = "y"; }, [](DeviceRecord& r) { r.pingText = "y"; },
        [](DeviceRecord& r) { r.rebootText = "y"; }, [](DeviceRecord& r) { r.password = "y"; },
        [](DeviceRecord& r) { r.loginName = "y"; }, [](DeviceRecord& r) { r.macText = "y"; },
        [](DeviceRecord& r) { r.prompt = "y"; }, [](DeviceRecord& r) { r.selectNumber = "y"; },
        [](DeviceRecord& r) { r.systemName = "y"; }, [](DeviceRecord& r) { r.lastPowerText = "y"; },
        [](DeviceRecord& r) { r.lastScheduleText = "y"; }, [](DeviceRecord& r) { r.lastPingText = "y"; }};
    // clang-format on
#undef APART
    EXPECT_TRUE(a == a);
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        DeviceRecord b = a;
        changes[i](b);
        EXPECT_FALSE(a == b) << "change " << i;
    }
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
    const std::tuple<bool, int, const char*> rows[] = {
        {false, 1, "0110101"},  {true, -1, "0110101"},  {true, 0, "0 0110101"},
        {true, 1, "1 0110101"}, {true, 9, "9 0110101"}, {true, 10, "1 0110101"}};
    for (const auto& [present, master, text] : rows) {
        s.masterPresent = present, s.masterState = master;
        EXPECT_EQ(powerText(s), text) << "master " << present << "/" << master;
    }
    s.scheduleKnown = false;
    EXPECT_EQ(scheduleText(s), "--------");
}

}  // namespace
}  // namespace zelo
