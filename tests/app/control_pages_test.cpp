// The run-time pages of the tabbed dialogs: ids per kind, the page limits,
// and what is forgotten when the dialog closes; then the options page's port
// field.
#include <gtest/gtest.h>

#include "app/control_pages.h"
#include "app/options_rules.h"

namespace zelo {
namespace {

TEST(ControlPages, EachKindCountsItsOwnIdsFromItsFirst) {
    ControlPages<int> pages;
    EXPECT_EQ(pages.takeId(ControlKind::CheckBox), 3100);
    EXPECT_EQ(pages.takeId(ControlKind::EditField), 3300);
    EXPECT_EQ(pages.takeId(ControlKind::StaticText), kNoControlId);
    EXPECT_EQ(pages.takeId(ControlKind::GroupBox), kNoControlId);
    EXPECT_EQ(pages.takeId(ControlKind::CheckBox), 3101);
    EXPECT_EQ(pages.takeId(ControlKind::PushButton), 3000);
    EXPECT_EQ(pages.takeId(ControlKind::EditField), 3301);
    EXPECT_EQ(pages.takeId(ControlKind::PushButton), 3001);
    pages.skipIds(ControlKind::PushButton, 3);  // rows a page does not have
    pages.skipIds(ControlKind::StaticText, 5);  // labels have no ids to pass over
    EXPECT_EQ(pages.takeId(ControlKind::PushButton), 3005);
    EXPECT_EQ(pages.takeId(ControlKind::StaticText), kNoControlId);
    pages.resetIds();  // the next dialog starts again
    EXPECT_EQ(pages.takeId(ControlKind::PushButton), 3000);
    EXPECT_EQ(pages.takeId(ControlKind::CheckBox), 3100);
    EXPECT_EQ(pages.takeId(ControlKind::EditField), 3300);
}

TEST(ControlPages, ThirteenPagesOfAHundredAndSeventyControls) {
    ControlPages<int> pages;
    EXPECT_FALSE(pages.hasRoom(-1));
    EXPECT_FALSE(pages.hasRoom(13));
    EXPECT_TRUE(pages.hasRoom(12));
    for (int i = 0; i < 170; ++i) {
        ASSERT_TRUE(pages.hasRoom(12)) << i;
        pages.record(12, i);
    }
    EXPECT_FALSE(pages.hasRoom(12));
    EXPECT_TRUE(pages.hasRoom(0));
    pages.record(0, 1000);
    EXPECT_EQ(pages.page(12).size(), 170u);
    EXPECT_EQ(pages.page(0), std::vector<int>{1000});

    const std::vector<int> all = pages.takeAll();
    EXPECT_EQ(all.size(), 171u);
    EXPECT_TRUE(pages.page(12).empty());
    EXPECT_TRUE(pages.page(0).empty());
    EXPECT_TRUE(pages.hasRoom(12));
    EXPECT_EQ(pages.currentPage(), -1);  // none shown until a tab is chosen
}

TEST(OptionsRules, PortFieldKeepsTheLeadingDigitsInSixteenBits) {
    struct Case {
        const char* text;
        unsigned expected;
    } cases[] = {
        {"5000", 5000}, {"", 0},         {"abc", 0},        {"0", 0},
        {"65535", 65535}, {"65536", 0},  {"70000", 4464},   {"99999", 34463},
        {"12ab", 12},     {" 12", 12},    {"00080", 80},
        // Only 31 characters are read: the 32nd digit is not.
        {"0000000000000000000000000000001" "9", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(portFromField(c.text), c.expected) << c.text;
    EXPECT_EQ(portFieldText(0), "0");
    EXPECT_EQ(portFieldText(65535), "65535");
}

}  // namespace
}  // namespace zelo
