// Numbers read by the C library's rules, the texts the list, the logs and
// the dialogs show, and the data directory's lock.
#include <gtest/gtest.h>

#include <ctime>

#include "common/c_number.h"
#include "common/data_lock.h"
#include "common/format.h"
#include "common/scan.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

TEST(CNumbers, ParseCIntAndParseCUnsigned) {
    const std::pair<const char*, int> ints[] = {{"42", 42},
                                                {"  -12abc", -12},
                                                {"+7", 7},
                                                {"", 0},
                                                {"-", 0},
                                                {"99999999999", 2147483647},
                                                {"-99999999999", -2147483647 - 1}};
    for (const auto& [text, value] : ints) EXPECT_EQ(parseCInt(text), value) << text;
    // Negation modulo 32 bits; saturation.
    const std::pair<const char*, unsigned> unsigneds[] = {{"4294967295", 4294967295u},
                                                          {"4294967296", 4294967295u},
                                                          {"-1", 4294967295u},
                                                          {"-2", 4294967294u},
                                                          {" 17 ", 17u},
                                                          {"x", 0u}};
    for (const auto& [text, value] : unsigneds) EXPECT_EQ(parseCUnsigned(text), value) << text;
}

TEST(CNumbers, ScanIntsStopsAtTheFirstMissingNumberAndKeepsTheRest) {
    std::int32_t v[4] = {9, 9, 9, 9};
    const struct {
        const char* text;
        int read;
        std::vector<int> after;
    } rows[] = {{"1 2", 2, {1, 2, 9, 9}},
                {"5 x 7 8", 1, {5, 2, 9, 9}},
                {"  -3\t4\r\n5 6 7", 4, {-3, 4, 5, 6}}};
    for (const auto& row : rows) {
        EXPECT_EQ(scanInts(row.text, v, 4), row.read) << row.text;
        EXPECT_EQ(std::vector<int>(v, v + 4), row.after) << row.text;
    }
}

TEST(Format, MacAndAddresses) {
    const std::pair<const char*, const char*> macs[] = {{"0090CC112233", "00:90:CC:11:22:33"},
                                                        {"0090CC112233XYZ", "00:90:CC:11:22:33"},
                                                        {"0090CC11223", "0090CC11223"}};
    for (const auto& [text, shown] : macs) EXPECT_EQ(formatMac(text), shown) << text;
    EXPECT_EQ(formatIp(0xC0A80001u), "192.168.0.1");
    EXPECT_EQ(formatIp(0xFFFFFFFFu), "255.255.255.255");
    // Empty parts count as zero, parts are not range checked (256 carries),
    // a missing dot or trailing text gives zero.
    const std::pair<const char*, std::uint32_t> ips[] = {{"192.168.0.1", 0xC0A80001u},
                                                         {"192..0.1", 0xC0000001u},
                                                         {"...", 0u},
                                                         {"1.2.3.", 0x01020300u},
                                                         {"1.2.3.256", 0x01020400u},
                                                         {"192.168.0", 0u},
                                                         {"192.168.0.1 ", 0u},
                                                         {"192.168.0.1.5", 0u},
                                                         {"1.x.3.4", 0u},
                                                         {"", 0u}};
    for (const auto& [text, value] : ips) EXPECT_EQ(parseIp(text), value) << text;
    // A view into a longer line reads none of the characters behind it.
    EXPECT_EQ(parseIp(std::string_view("1.2.3.45").substr(0, 7)), 0x01020304u);
    EXPECT_EQ(alphaNumericRun(std::string_view("PL12=").substr(0, 3), 2, 3), 1u);
}

TEST(Format, NumbersTenthsFlagsAndQuotes) {
    const std::pair<const char*, long long> ints[] = {{"0", 0},
                                                      {"65535", 65535},
                                                      {"", 0},
                                                      {"12a", -1},
                                                      {"-5", -1},
                                                      {" 5", -1},
                                                      {"99999999999999999999", 4294967295LL}};
    for (const auto& [text, value] : ints) EXPECT_EQ(parseInt(text), value) << text;
    // The fraction is added as a whole number.
    const std::pair<const char*, long long> tenths[] = {{"1.5", 15},  {"1.25", 35}, {"12", 120},
                                                        {"0.0", 0},   {"1.", 10},   {"", 0},
                                                        {"1.5x", -1}, {"1x", -1},   {"1.2.3", -1}};
    for (const auto& [text, value] : tenths) EXPECT_EQ(parseTenths(text), value) << text;
    for (const char* on : {"1", "7", " 2x"}) EXPECT_TRUE(parseFlag(on)) << on;
    for (const char* off : {"0", "yes", ""}) EXPECT_FALSE(parseFlag(off)) << off;
    // The first and last character dropped, within the size.
    EXPECT_EQ(unquote("\"name\"", 32), "name");
    EXPECT_EQ(unquote("\"abcdef\"", 4), "abc");
    for (const char* empty : {"\"\"", "x", ""}) EXPECT_EQ(unquote(empty, 32), "") << empty;
}

TEST(Format, OutletStatesInTheirSymbols) {
    const struct {
        const char* power;
        bool master;
        int language;
        bool lineMaster;
        const char* shown;
    } rows[] = {
        {"1 0101-", false, 1, false, "O -O-O-"},
        {"10?1", false, 2, false, "O-?O"},
        {"10-", false, 0, false, "\x81\xA0\x81\xA1\x81\x7C"},  // CP932 squares
        {"1 0", false, 0, false, "\x81\xA0 \x81\xA1"},
        // The master prefix needs the flag, the setting, and no blank second
        // (both with them are shown by zeloctl list).
        {"1010", true, 0, true, "\x81\x7C \x81\xA0\x81\xA1\x81\xA0\x81\xA1"},
        {"1 ", true, 1, true, "O "},  // the master shown already
        {"0", true, 1, true, "- -"},
        {"1010", false, 1, true, "O-O-"},
        {"1010", true, 1, false, "O-O-"},
        {"-010", true, 1, true, "--O-"},
        {"", true, 1, true, ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(formatOutletStates(r.power, r.master, Language(r.language), r.lineMaster),
                  r.shown)
            << r.power;
}

TEST(Format, UpdateTimeDateOrderFollowsTheStyle) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 8;
    t.tm_hour = 5;
    t.tm_min = 42;
    t.tm_isdst = -1;
    const std::int64_t local = std::mktime(&t);  // 2024-03-08 05:42 local time
    const std::pair<int, const char*> styles[] = {{0, "2024/03/08 05:42"},
                                                  {1, "03/08/2024 05:42"},
                                                  {2, "08/03/2024 05:42"},
                                                  {7, "08/03/2024 05:42"}};
    for (const auto& [style, text] : styles)
        EXPECT_EQ(formatUpdateTime(local, style), text) << style;
    EXPECT_EQ(formatUpdateTime(0, 0), "");  // never
}

// A lock belongs to its open file: a second DataLock in this process is
// turned away as another process would be.
TEST(DataLock, OneHolderAtATimeNamedToTheNext) {
    test::TempDir dir;
    const std::string dataDir = dir.path().string() + "/";
    DataLock first, second;
    ASSERT_EQ(first.take(dataDir, "zeloctl listen"), DataLock::Result::Taken);
    const std::string text = test::readBytes(dataDir + kLockFileName);
    EXPECT_EQ(text.rfind("zeloctl listen (process ", 0), 0u) << text;
    EXPECT_EQ(second.take(dataDir, "zeloctl set"), DataLock::Result::Held);
    EXPECT_FALSE(second.held());
    EXPECT_EQ(second.holder() + "\r\n", text);
    first.release();
    EXPECT_EQ(test::readBytes(dataDir + kLockFileName), "");
    EXPECT_EQ(second.take(dataDir, "zeloctl set"), DataLock::Result::Taken);
    EXPECT_EQ(first.take(dataDir, "x"), DataLock::Result::Held);
    EXPECT_EQ(first.take(dataDir + "missing/", "x"), DataLock::Result::Failed);
    EXPECT_NE(first.reason(), "");

    const std::pair<std::string, std::string> holders[] = {
        {"  \r\n", "another program"},
        {"ZELO.exe (process 7)\r\nmore", "ZELO.exe (process 7)"},
        {std::string("a\0b\x1b[2Jc", 9), "ab[2Jc"},
        {std::string(300, 'x'), std::string(200, 'x')}};
    for (const auto& [contents, shown] : holders) EXPECT_EQ(lockHolderText(contents), shown);
}

}  // namespace
}  // namespace zelo
