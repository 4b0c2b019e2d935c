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
    std::vector<int> ids;
    for (int round = 0; round < 2; ++round) {
        for (ControlKind kind : {ControlKind::CheckBox, ControlKind::EditField, ControlKind::StaticText,
                                 ControlKind::GroupBox, ControlKind::CheckBox, ControlKind::PushButton,
                                 ControlKind::EditField, ControlKind::PushButton})
            ids.push_back(pages.takeId(kind));
        pages.resetIds();  // the next dialog starts again
    }
    const int n = kNoControlId;
    EXPECT_EQ(ids, (std::vector<int>{3100, 3300, n, n, 3101, 3000, 3301, 3001, 3100, 3300, n, n, 3101, 3000, 3301, 3001}));
}

TEST(ControlPages, ThirteenPagesOfAHundredAndSeventyControls) {
    ControlPages<int> pages;
    EXPECT_FALSE(pages.hasRoom(-1));
    EXPECT_FALSE(pages.hasRoom(13));
    for (int i = 0; i < 170; ++i) {
        ASSERT_TRUE(pages.hasRoom(12)) << i;
        pages.record(12, i);
    }
    EXPECT_FALSE(pages.hasRoom(12));
    EXPECT_TRUE(pages.hasRoom(0));
    pages.record(0, 1000);
    EXPECT_EQ(pages.page(12).size(), 170u);
    EXPECT_EQ(pages.page(0), std::vector<int>{1000});
    EXPECT_EQ(pages.takeAll().size(), 171u);
    EXPECT_TRUE(pages.page(12).empty() && pages.page(0).empty() && pages.hasRoom(12));
    EXPECT_EQ(pages.currentPage(), -1);  // none shown until a tab is chosen
}

TEST(OptionsRules, PortFieldKeepsTheLeadingDigitsInSixteenBits) {
    const std::pair<const char*, unsigned> rows[] = {
        {"5000", 5000}, {"", 0},         {"abc", 0},     {"0", 0},     {"65535", 65535}, {"65536", 0},
        {"70000", 4464}, {"99999", 34463}, {"12ab", 12},  {" 12", 12},  {"00080", 80},
        {"0000000000000000000000000000001" "9", 1},  // only 31 characters are read: the 32nd digit is not
    };
    for (const auto& [text, port] : rows) EXPECT_EQ(portFromField(text), port) << text;
    EXPECT_EQ(portFieldText(0), "0");
    EXPECT_EQ(portFieldText(65535), "65535");
}

}  // namespace
}  // namespace zelo
