#include "common/c_number.h"

#include <gtest/gtest.h>

namespace zelo {
namespace {

TEST(ParseCInt, FollowsTheCLibraryRules) {
    EXPECT_EQ(parseCInt("42"), 42);
    EXPECT_EQ(parseCInt("  -12abc"), -12);
    EXPECT_EQ(parseCInt("+7"), 7);
    EXPECT_EQ(parseCInt("abc"), 0);
    EXPECT_EQ(parseCInt(""), 0);
    EXPECT_EQ(parseCInt("-"), 0);
    EXPECT_EQ(parseCInt("99999999999"), 2147483647);
    EXPECT_EQ(parseCInt("-99999999999"), -2147483647 - 1);
}

TEST(ParseCUnsigned, NegatesModulo32BitsAndSaturates) {
    EXPECT_EQ(parseCUnsigned("4294967295"), 4294967295u);
    EXPECT_EQ(parseCUnsigned("4294967296"), 4294967295u);
    EXPECT_EQ(parseCUnsigned("-1"), 4294967295u);
    EXPECT_EQ(parseCUnsigned("-2"), 4294967294u);
    EXPECT_EQ(parseCUnsigned(" 17 "), 17u);
    EXPECT_EQ(parseCUnsigned("x"), 0u);
}

TEST(ScanInts, StopsAtTheFirstMissingNumberAndKeepsTheRest) {
    std::int32_t v[4] = {9, 9, 9, 9};
    EXPECT_EQ(scanInts("1 2", v, 4), 2);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], 2);
    EXPECT_EQ(v[2], 9);
    EXPECT_EQ(scanInts("5 x 7 8", v, 4), 1);
    EXPECT_EQ(v[0], 5);
    EXPECT_EQ(v[1], 2);
    EXPECT_EQ(scanInts("  -3\t4\r\n5 6 7", v, 4), 4);
    EXPECT_EQ(v[0], -3);
    EXPECT_EQ(v[3], 6);
    EXPECT_EQ(scanInts("", v, 4), 0);
}

}  // namespace
}  // namespace zelo
