// Numbers read by the C library's rules.
#include "common/c_number.h"

#include <gtest/gtest.h>

namespace zelo {
namespace {

TEST(CNumbers, ParseCIntAndParseCUnsigned) {
    const std::pair<const char*, int> ints[] = {{"42", 42},  {"  -12abc", -12}, {"+7", 7},
                                                {"abc", 0},  {"", 0},           {"-", 0},
                                                {"99999999999", 2147483647},   {"-99999999999", -2147483647 - 1}};
    for (const auto& [text, value] : ints) EXPECT_EQ(parseCInt(text), value) << text;
    // Negation modulo 32 bits; saturation.
    const std::pair<const char*, unsigned> unsigneds[] = {{"4294967295", 4294967295u}, {"4294967296", 4294967295u},
                                                          {"-1", 4294967295u},         {"-2", 4294967294u},
                                                          {" 17 ", 17u},               {"x", 0u}};
    for (const auto& [text, value] : unsigneds) EXPECT_EQ(parseCUnsigned(text), value) << text;
}

TEST(CNumbers, ScanIntsStopsAtTheFirstMissingNumberAndKeepsTheRest) {
    std::int32_t v[4] = {9, 9, 9, 9};
    const struct {
        const char* text;
        int read;
        std::vector<int> after;
    } rows[] = {{"1 2", 2, {1, 2, 9, 9}}, {"5 x 7 8", 1, {5, 2, 9, 9}}, {"  -3\t4\r\n5 6 7", 4, {-3, 4, 5, 6}}, {"", 0, {-3, 4, 5, 6}}};
    for (const auto& row : rows) {
        EXPECT_EQ(scanInts(row.text, v, 4), row.read) << row.text;
        EXPECT_EQ(std::vector<int>(v, v + 4), row.after) << row.text;
    }
}

}  // namespace
}  // namespace zelo
