// The rules the group tree and the device list apply: rows and their order,
// the group box position and the saved column layout. (The menus and texts
// are checked where the windows show them, tests/gui.)
#include "app/main_screen.h"

#include <gtest/gtest.h>

#include "directory/item_file.h"
#include "directory/model_table.h"
#include "resources/resource_ids.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

using test::writeBytes;

std::string record(const std::string& name, std::uint32_t id) {
    DeviceRecord r;
    r.name = name;
    r.modelCode = 13;
    r.deviceId = id;
    return formatRecordLines(r);
}

TEST(MainScreen, RowsAreSubGroupsInOutlineOrderThenTheGroupsOwnDevicesInLoadOrder) {
    test::TempDir dir;
    const std::string data = dir.path().string() + "/";
    // Group 7 comes before group 3 in the file; 5 is nested in 7.
    writeBytes(data + "ZELO_DIR.DAT",
               "0\tRoot\t0\r\n1\tB\t7\r\n2\tB1\t5\r\n1\tA\t3\r\n2\tA1\t9\r\n2\tA2\t4\r\n");
    writeBytes(itemFilePath(data, 3),
               "#ZELO ITEM FILE#VER 2\r\n" + record("x", 21) + record("y", 20));
    writeBytes(itemFilePath(data, 7), "#ZELO ITEM FILE#VER 2\r\n" + record("z", 22));
    writeBytes(itemFilePath(data, 0), "#ZELO ITEM FILE#VER 2\r\n" + record("at root", 23));
    test::TestWorkspace w(data);
    ASSERT_TRUE(w.load());
    const DeviceDirectory& d = w.ws.directory();
    using R = std::vector<ListRow>;
    EXPECT_EQ(groupListRows(d, 0), (R{{true, 7}, {true, 3}}));  // never the root's devices
    EXPECT_EQ(groupListRows(d, 3), (R{{true, 9}, {true, 4}, {false, 21}, {false, 20}}));
    EXPECT_EQ(groupListRows(d, 7), (R{{true, 5}, {false, 22}}));
    EXPECT_EQ(groupListRows(d, 4), R{});
    EXPECT_EQ(groupListRows(d, 99), R{});  // not a group

    const GroupOutline& o = d.outline();
    EXPECT_EQ(groupComboEntries(o), (std::vector<std::string>{"B", "A"}));
    const std::pair<std::uint32_t, int> positions[] = {{0, 0}, {7, 0}, {3, 1}, {5, 2}, {4, 2}};
    for (const auto& [id, position] : positions)
        EXPECT_EQ(groupComboPosition(o, id), position) << "group " << id;
}

TEST(MainScreen, EachNewDeviceCommandMakesTheModelItIsNamedAfter) {
    const std::pair<int, const char*> rows[] = {
        {IDM_NEW_HX7200, "HX-7200"},   {IDM_NEW_JB81K, "JB-81K"},   {IDM_NEW_SWD6ZK, "SWD-6ZK"},
        {IDM_NEW_SWD8KBN, "SWD-8KBN"}, {IDM_NEW_SWD7KA, "SWD-7KA"}, {IDM_NEW_SWD7KB, "SWD-7KB"},
        {IDM_NEW_SWD12K, "SWD-12K"},   {IDM_NEW_SWDQ6M, "SWD-Q6M"}, {IDM_NEW_GV2208, "GV2208"}};
    for (const auto& [command, name] : rows) {
        EXPECT_NE(newDeviceModel(command), 0) << name;
        EXPECT_EQ(newDeviceModel(command), modelCodeFromDisplayText(name)) << name;
    }
    EXPECT_EQ(newDeviceModel(IDM_NEW_HX7200 - 1), 0);
}

// Title string, width and centring of each column, at the top level and in a group.
TEST(MainScreen, ColumnsOfTheTopLevelAndOfAGroup) {
    std::string text;
    for (const std::uint32_t group : {0u, 7u})
        for (const ListColumn& c : listColumnsFor(group))
            text += std::to_string(static_cast<int>(c.titleId)) + " " + std::to_string(c.width) +
                    (c.centred ? " c, " : ", ");
    EXPECT_EQ(text,
              "110 200, 104 130, 105 90, 106 80, 108 105, 109 100, 111 80, 112 80, 113 80 c, "
              "114 80 c, ");
}

TEST(MainScreen, LayoutIsTakenForTheColumnsShownAndSurvivesTheFile) {
    test::TempDir dir;
    const std::string ini = dir.file("ZELO.INI");
    AppSettings s(ini);
    s.loadListLayout();
    takeListLayout(s, {8, 0, 1, 2, 3, 4, 5, 6, 7}, {10, 11, 12, 13, 14, 15, 16, 17, 18});
    ASSERT_TRUE(s.saveListLayout());
    AppSettings back(ini);
    back.loadListLayout();
    // The tenth order entry keeps its value; the tenth width is 0 (no column).
    EXPECT_EQ(back.listOrder, (std::array<int, 10>{8, 0, 1, 2, 3, 4, 5, 6, 7, 9}));
    EXPECT_EQ(back.columnWidth, (std::array<int, 10>{10, 11, 12, 13, 14, 15, 16, 17, 18, 0}));
    const ListLayout l = savedListLayout(back, 9);
    EXPECT_EQ(l.order, (std::vector<int>{8, 0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(l.widths, (std::vector<int>{10, 11, 12, 13, 14, 15, 16, 17, 18}));
    EXPECT_TRUE(savedListLayout(back, 0).order.empty());
}

TEST(MainScreen, AnOrderThatIsNotEachColumnOnceFallsBackToTheNaturalOrder) {
    const std::vector<int> natural{0, 1, 2, 3, 4, 5, 6, 7, 8};
    const struct {
        const char* stored;
        std::vector<int> expected;
    } cases[] = {
        {"2 1 0 3 4 5", {2, 1, 0, 3, 4, 5, 6, 7, 8}},  // completed by the file's tail
        {"1 0 2 3 4 5 6 7 8 9", {1, 0, 2, 3, 4, 5, 6, 7, 8}},
        {"0 0 2 3 4 5 6 7 8", natural},  // a column twice
        {"9 1 2 3 4 5 6 7 8", natural},  // a column that is not there
        {"-1 1 2 3 4 5 6 7 8", natural},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        writeBytes(dir.file("ZELO.INI"),
                   std::string("[ZELO]\r\nListOrder=") + c.stored + "\r\nColumnWidth=5 -1 0\r\n");
        AppSettings s(dir.file("ZELO.INI"));
        s.loadListLayout();
        const ListLayout l = savedListLayout(s, 9);
        EXPECT_EQ(l.order, c.expected);
        EXPECT_EQ(l.widths, (std::vector<int>{5, -1, 0, 80, 80, 80, 80, 80, 80}));
    }
}

}  // namespace
}  // namespace zelo
