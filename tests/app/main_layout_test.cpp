// The main window's geometry: where it opens, how the panes share the client
// area, and the drag limits of the splitter bar.
#include <gtest/gtest.h>

#include "app/main_layout.h"

namespace zelo {
namespace {

TEST(MainLayout, OpensAtTheSavedCornerWithTheSavedSizeOnlyWhenLeftAndRightAreSet) {
    struct Case {
        WindowPosition saved;  // top, bottom, left, right
        PaneRect expected;
    } cases[] = {
        {{0, 0, 0, 0}, {0, 0, 800, 500}},
        {{40, 440, 60, 560}, {60, 40, 500, 400}},
        {{40, 440, 0, 560}, {0, 40, 800, 500}},   // left edge 0: default size at that top
        {{40, 440, 60, 0}, {60, 40, 800, 500}},   // right edge 0
        {{-8, 300, -8, 1000}, {-8, -8, 1008, 308}},  // a maximised window's edges
    };
    for (const Case& c : cases) {
        EXPECT_EQ(initialWindowRect(c.saved), c.expected)
            << c.saved.top << " " << c.saved.bottom << " " << c.saved.left << " " << c.saved.right;
    }
}

TEST(MainLayout, CreationGivesTheLeftPaneTwentyPercentRoundedDown) {
    const PaneLayout l = createPanes(787, 400);
    EXPECT_EQ(l.left, (PaneRect{0, 0, 157, 300}));
    EXPECT_EQ(l.right, (PaneRect{157, 0, 630, 300}));
}

TEST(MainLayout, SizeKeepsTheLeftWidthAndGivesTheRestToTheRightPane) {
    struct Case {
        int clientWidth, clientHeight, statusHeight, leftWidth;
        PaneLayout expected;
    } cases[] = {
        {1000, 600, 20, 150, {{0, 0, 150, 580}, {150, 0, 850, 580}}},
        {120, 600, 20, 150, {{0, 0, 150, 580}, {150, 0, 0, 580}}},  // right never below 0
        {500, 10, 20, 150, {{0, 0, 150, 0}, {150, 0, 350, 0}}},     // nor the height
    };
    for (const Case& c : cases) {
        const PaneLayout l = sizePanes(c.clientWidth, c.clientHeight, c.statusHeight, c.leftWidth);
        EXPECT_EQ(l.left, c.expected.left) << c.clientWidth;
        EXPECT_EQ(l.right, c.expected.right) << c.clientWidth;
    }
}

TEST(MainLayout, ChildLeavesOutTheBarOnTheNeighboursSide) {
    EXPECT_EQ(childRect(200, 300, true, false), (PaneRect{0, 0, 196, 300}));
    EXPECT_EQ(childRect(200, 300, false, true), (PaneRect{0, 0, 200, 296}));
    EXPECT_EQ(childRect(200, 300, false, false), (PaneRect{0, 0, 200, 300}));
}

TEST(MainLayout, DragKeepsBothPanesAtLeastTheBarWide) {
    // span 800: the pane starts at 0 and the neighbour ends at 800.
    struct Case {
        int pointer, grab, span;
        SplitResult expected;
    } cases[] = {
        {300, 2, 800, {302, 302, 498}},    // the pane ends where the pointer plus grab is
        {-50, 2, 800, {4, 4, 796}},        // far left: the pane keeps 4
        {0, 0, 800, {4, 4, 796}},
        {5, 0, 800, {5, 5, 795}},
        {796, 0, 800, {796, 796, 4}},      // exactly the neighbour's minimum
        {797, 0, 800, {796, 796, 4}},      // one past: the neighbour keeps 4
        {5000, 3, 800, {796, 796, 4}},     // far right
        {3, 1, 6, {4, 4, 4}},              // no room for both: the pane still keeps 4
    };
    for (const Case& c : cases) {
        const SplitResult r = dragSplit(c.pointer, c.grab, c.span);
        EXPECT_EQ(r.paneSize, c.expected.paneSize) << c.pointer << "+" << c.grab << "/" << c.span;
        EXPECT_EQ(r.neighbourStart, c.expected.neighbourStart) << c.pointer;
        EXPECT_EQ(r.neighbourSize, c.expected.neighbourSize) << c.pointer;
    }
}

TEST(MainLayout, ControlsFillThePanesAndNeverGoNegative) {
    const PaneControls c = paneControls(160, 400, 640, 400, 21, 460);
    EXPECT_EQ(c.combo, (PaneRect{0, 0, 153, 230}));
    EXPECT_EQ(c.tree, (PaneRect{0, 24, 152, 372}));
    EXPECT_EQ(c.list, (PaneRect{0, 0, 636, 396}));
    const PaneControls tiny = paneControls(4, 10, 3, 2, 21, 1);
    EXPECT_EQ(tiny.combo, (PaneRect{0, 0, 0, 0}));
    EXPECT_EQ(tiny.tree, (PaneRect{0, 24, 0, 0}));
    EXPECT_EQ(tiny.list, (PaneRect{0, 0, 0, 0}));
}

}  // namespace
}  // namespace zelo
