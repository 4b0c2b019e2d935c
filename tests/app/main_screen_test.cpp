// The rules the device list applies: the model each new-device command makes,
// the columns and the saved column layout. (The rows, the group box, the
// menus and texts are checked where the windows show them, tests/gui.)
#include "app/main_screen.h"

#include <gtest/gtest.h>

#include "directory/model_table.h"
#include "resources/resource_ids.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::writeBytes;

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
        {"0 0 2 3 4 5 6 7 8", natural},  // a column twice
        {"9 1 2 3 4 5 6 7 8", natural},  // a column that is not there
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
    }
}

}  // namespace
}  // namespace zelo
