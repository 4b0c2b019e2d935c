#include "common/format.h"

#include <gtest/gtest.h>

#include <ctime>

namespace zelo {
namespace {

TEST(FormatMac, GroupsTheFirstTwelveCharactersInPairs) {
    EXPECT_EQ(FormatMac("0090CC112233"), "00:90:CC:11:22:33");
    EXPECT_EQ(FormatMac("0090CC112233XYZ"), "00:90:CC:11:22:33");
    EXPECT_EQ(FormatMac("0090CC11223"), "0090CC11223");  // too short: unchanged
    EXPECT_EQ(FormatMac(""), "");
}

TEST(FormatIp, PrintsMostSignificantByteFirst) {
    EXPECT_EQ(FormatIp(0xC0A80001u), "192.168.0.1");
    EXPECT_EQ(FormatIp(0), "0.0.0.0");
    EXPECT_EQ(FormatIp(0xFFFFFFFFu), "255.255.255.255");
}

TEST(ParseIp, ReadsFourDecimalParts) {
    EXPECT_EQ(ParseIp("192.168.0.1"), 0xC0A80001u);
    EXPECT_EQ(ParseIp("10.0.0.254"), 0x0A0000FEu);
    EXPECT_EQ(FormatIp(ParseIp("172.16.5.9")), "172.16.5.9");
}

TEST(ParseIp, EmptyPartsCountAsZeroAndPartsAreNotRangeChecked) {
    EXPECT_EQ(ParseIp("192..0.1"), 0xC0000001u);
    EXPECT_EQ(ParseIp("..."), 0u);
    EXPECT_EQ(ParseIp("1.2.3."), 0x01020300u);
    // 256 in the last part carries into the third.
    EXPECT_EQ(ParseIp("1.2.3.256"), 0x01020400u);
}

TEST(ParseIp, MissingDotOrTrailingTextGivesZero) {
    EXPECT_EQ(ParseIp("192.168.0"), 0u);
    EXPECT_EQ(ParseIp("192.168.0.1 "), 0u);
    EXPECT_EQ(ParseIp("192.168.0.1.5"), 0u);
    EXPECT_EQ(ParseIp("192.168.0.1x"), 0u);
    EXPECT_EQ(ParseIp("1.x.3.4"), 0u);
    EXPECT_EQ(ParseIp(""), 0u);
}

TEST(ParseInt, DigitsOnly) {
    EXPECT_EQ(ParseInt("0"), 0);
    EXPECT_EQ(ParseInt("65535"), 65535);
    EXPECT_EQ(ParseInt(""), 0);
    EXPECT_EQ(ParseInt("12a"), -1);
    EXPECT_EQ(ParseInt("-5"), -1);
    EXPECT_EQ(ParseInt(" 5"), -1);
    EXPECT_EQ(ParseInt("99999999999999999999"), 4294967295LL);
}

TEST(ParseTenths, AddsTheFractionAsAWholeNumber) {
    EXPECT_EQ(ParseTenths("1.5"), 15);
    EXPECT_EQ(ParseTenths("1.25"), 35);
    EXPECT_EQ(ParseTenths("12"), 120);
    EXPECT_EQ(ParseTenths("0.0"), 0);
    EXPECT_EQ(ParseTenths("1."), 10);
    EXPECT_EQ(ParseTenths(""), 0);
    EXPECT_EQ(ParseTenths("1.5x"), -1);
    EXPECT_EQ(ParseTenths("1x"), -1);
    EXPECT_EQ(ParseTenths("1.2.3"), -1);
}

TEST(ParseFlag, NonZeroNumberIsOn) {
    EXPECT_TRUE(ParseFlag("1"));
    EXPECT_TRUE(ParseFlag("7"));
    EXPECT_TRUE(ParseFlag(" 2x"));
    EXPECT_FALSE(ParseFlag("0"));
    EXPECT_FALSE(ParseFlag("yes"));
    EXPECT_FALSE(ParseFlag(""));
}

TEST(Unquote, DropsFirstAndLastCharacterWithinTheSize) {
    EXPECT_EQ(Unquote("\"name\"", 32), "name");
    EXPECT_EQ(Unquote("\"abcdef\"", 4), "abc");
    EXPECT_EQ(Unquote("\"\"", 32), "");
    EXPECT_EQ(Unquote("x", 32), "");
    EXPECT_EQ(Unquote("", 32), "");
}

TEST(FormatOutletStates, EnglishSymbols) {
    EXPECT_EQ(FormatOutletStates("1 0101-", false, 1, false), "O -O-O-");
    EXPECT_EQ(FormatOutletStates("10?1", false, 2, false), "O-?O");
}

TEST(FormatOutletStates, JapaneseUsesCp932Squares) {
    EXPECT_EQ(FormatOutletStates("10-", false, 0, false), "\x81\xA0\x81\xA1\x81\x7C");
    EXPECT_EQ(FormatOutletStates("1 0", false, 0, false), "\x81\xA0 \x81\xA1");
}

TEST(FormatOutletStates, MasterPrefixNeedsFlagSettingAndNoBlankSecond) {
    EXPECT_EQ(FormatOutletStates("1010", true, 1, true), "- O-O-");
    EXPECT_EQ(FormatOutletStates("1010", true, 0, true),
              "\x81\x7C \x81\xA0\x81\xA1\x81\xA0\x81\xA1");
    EXPECT_EQ(FormatOutletStates("1 010", true, 1, true), "O -O-");  // master shown already
    EXPECT_EQ(FormatOutletStates("1010", false, 1, true), "O-O-");
    EXPECT_EQ(FormatOutletStates("1010", true, 1, false), "O-O-");
    EXPECT_EQ(FormatOutletStates("-010", true, 1, true), "--O-");
    EXPECT_EQ(FormatOutletStates("", true, 1, true), "");
}

TEST(FormatUpdateTime, ZeroIsEmpty) { EXPECT_EQ(FormatUpdateTime(0, 0), ""); }

TEST(FormatUpdateTime, DateOrderFollowsTheStyle) {
    const std::int64_t t = 1709876543;  // early March 2024
    const std::time_t tt = static_cast<std::time_t>(t);
    const std::tm tm = *std::localtime(&tt);
    char ymd[64], mdy[64], dmy[64];
    std::snprintf(ymd, sizeof ymd, "%04d/%02d/%02d %02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min);
    std::snprintf(mdy, sizeof mdy, "%02d/%02d/%04d %02d:%02d", tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min);
    std::snprintf(dmy, sizeof dmy, "%02d/%02d/%04d %02d:%02d", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min);
    EXPECT_EQ(FormatUpdateTime(t, 0), ymd);
    EXPECT_EQ(FormatUpdateTime(t, 1), mdy);
    EXPECT_EQ(FormatUpdateTime(t, 2), dmy);
    EXPECT_EQ(FormatUpdateTime(t, -1), dmy);
    EXPECT_EQ(FormatUpdateTime(t, 7), dmy);
    EXPECT_EQ(std::string(ymd).substr(0, 8), "2024/03/");
}

}  // namespace
}  // namespace zelo
