// The main window's geometry and the options dialog's port field.
#include <gtest/gtest.h>

#include "app/main_layout.h"
#include "app/options_rules.h"

namespace zelo {
namespace {

std::string text(const PaneRect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

TEST(MainLayout, OpensAtTheSavedCornerWithTheSavedSizeOnlyWhenLeftAndRightAreSet) {
    const std::pair<WindowPosition, PaneRect> rows[] = {
        // saved top, bottom, left, right
        {{0, 0, 0, 0}, {0, 0, 800, 500}},
        {{40, 440, 60, 560}, {60, 40, 500, 400}},
        {{40, 440, 0, 560}, {0, 40, 800, 500}},  // left edge 0: default size at that top
        {{40, 440, 60, 0}, {60, 40, 800, 500}},  // right edge 0
        {{40, 440, 60, 1}, {60, 40, -59, 400}},
        {{-8, 300, -8, 1000}, {-8, -8, 1008, 308}},  // a maximised window's edges
    };
    for (const auto& [saved, expected] : rows)
        EXPECT_EQ(text(initialWindowRect(saved)), text(expected)) << text(expected);
}

TEST(MainLayout, PanesShareTheClientArea) {
    const PaneLayout created = createPanes(787, 400);  // the left pane 20 %, rounded down
    EXPECT_EQ(text(created.left) + " " + text(created.right), "0,0 157x300 157,0 630x300");
    const struct {
        int width, height, status, left;
        const char* panes;
    } rows[] = {
        {1000, 600, 20, 150,
         "0,0 150x580 150,0 850x580"},  // the left width kept, the rest to the right
        {120, 600, 20, 150, "0,0 150x580 150,0 0x580"},  // right never below 0
        {500, 10, 20, 150, "0,0 150x0 150,0 350x0"},     // nor the height
    };
    for (const auto& r : rows) {
        const PaneLayout l = sizePanes(r.width, r.height, r.status, r.left);
        EXPECT_EQ(text(l.left) + " " + text(l.right), r.panes) << r.width;
    }
    // A child leaves out the bar on the neighbour's side.
    EXPECT_EQ(text(childRect(200, 300, true, false)), "0,0 196x300");
    EXPECT_EQ(text(childRect(200, 300, false, true)), "0,0 200x296");
    EXPECT_EQ(text(childRect(200, 300, false, false)), "0,0 200x300");
}

TEST(MainLayout, ControlsFillThePanesAndNeverGoNegative) {
    const auto all = [](const PaneControls& c) {  // combo, tree, list
        return text(c.combo) + " " + text(c.tree) + " " + text(c.list);
    };
    EXPECT_EQ(all(paneControls(160, 400, 640, 400, 21, 460)),
              "0,0 153x230 0,24 152x372 0,0 636x396");
    EXPECT_EQ(all(paneControls(4, 10, 3, 2, 21, 1)), "0,0 0x0 0,24 0x0 0,0 0x0");
}

TEST(OptionsRules, PortFieldKeepsTheLeadingDigitsInSixteenBits) {
    const std::pair<const char*, unsigned> rows[] = {
        {"5000", 5000},
        {"", 0},
        {"abc", 0},
        {"65535", 65535},
        {"65536", 0},
        {"70000", 4464},
        {"12ab", 12},
        {" 12", 12},
        {"00080", 80},
        {"0000000000000000000000000000001"
         "9",
         1},  // only 31 characters are read: the 32nd digit is not
    };
    for (const auto& [text, port] : rows) EXPECT_EQ(portFromField(text), port) << text;
}

}  // namespace
}  // namespace zelo
