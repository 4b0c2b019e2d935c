#include "schedule/schedule.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

ScheduleTable parse(std::string_view text) {
    ScheduleTable t;
    parseScheduleText(text, t);
    return t;
}

TEST(ScheduleFile, ReadsTheFourFields) {
    const ScheduleTable t = parse("8:30,5/1,,PON1\r\n07:00,S,,MPON\r\n23:59,2006/12/31,1-5,POF2\r\n");
    ASSERT_EQ(t.count, 3);
    const ScheduleEntry& a = t.entries[0];
    EXPECT_EQ(a.hour, 8);
    EXPECT_EQ(a.minute, 30);
    EXPECT_EQ(a.year, 0);
    EXPECT_EQ(a.month, 5);
    EXPECT_EQ(a.day, 1);
    EXPECT_EQ(a.weekday, kEveryDay);
    EXPECT_EQ(a.action, "PON1");
    const ScheduleEntry& b = t.entries[1];
    EXPECT_EQ(b.month, 255);
    EXPECT_EQ(b.day, 255);
    EXPECT_EQ(b.weekday, kEveryDay);
    EXPECT_EQ(b.action, "MPON");
    const ScheduleEntry& c = t.entries[2];
    EXPECT_EQ(c.year, 2006);
    EXPECT_EQ(c.month, 12);
    EXPECT_EQ(c.day, 31);
    EXPECT_EQ(c.weekday, kMondayToFriday);
}

TEST(ScheduleFile, WeekdayForms) {
    const ScheduleTable t = parse("1:00,1/1,Mon 1-6 Sat,A\n1:00,1/1,3,B\n1:00,1/1,x,C\n");
    EXPECT_EQ(t.entries[0].weekday, kMondayToSaturday);
    EXPECT_EQ(t.entries[1].weekday, 3);
    EXPECT_EQ(t.entries[2].weekday, 0);  // not a number: read as 0
}

TEST(ScheduleFile, AShorterActionAfterALongerOneKeepsOnlyItsOwnCharacters) {
    const ScheduleTable t = parse("1:00,1/1,,CPURESET\n2:00,1/1,,POF\n");
    EXPECT_EQ(t.entries[0].action, "CPURES");  // six characters count
    EXPECT_EQ(t.entries[1].action, "POF");
}

TEST(ScheduleFile, AnEmptyLineEndsTheFile) {
    const ScheduleTable t = parse("1:00,1/1,,A\n\n2:00,1/1,,B\n");
    EXPECT_EQ(t.count, 1);
    EXPECT_FALSE(t.entries[1].inUse());
}

TEST(ScheduleFile, AtMost200EntriesAndExtraFieldsIgnored) {
    std::string text;
    for (int i = 0; i < 250; ++i) text += "1:00,1/1,,PON1,extra,fields\n";
    const ScheduleTable t = parse(text);
    EXPECT_EQ(t.count, 200);
    EXPECT_EQ(t.entries[199].action, "PON1");
}

TEST(ScheduleFile, OddLinesAreReadSafely) {
    const ScheduleTable t = parse("garbage\n,,,\n" + std::string(300, ',') + "\n99:99:99,20,1-5\n");
    EXPECT_EQ(t.count, 4);
    EXPECT_EQ(t.entries[0].hour, 0);
    EXPECT_FALSE(t.entries[0].inUse());
    EXPECT_EQ(t.entries[3].hour, 99);
    EXPECT_EQ(t.entries[3].year, 20);
}

TEST(ScheduleFile, LoadingAgainClearsTheTable) {
    ScheduleTable t;
    parseScheduleText("1:00,1/1,,A\n2:00,1/1,,B\n", t);
    parseScheduleText("3:00,1/1,,C\n", t);
    EXPECT_EQ(t.count, 1);
    EXPECT_FALSE(t.entries[1].inUse());
}

TEST(ScheduleFile, FromAPathKeepsTheFileNameForTheLog) {
    test::TempDir dir;
    test::writeBytes(dir.file("night.shx"), "22:00,1/1,,POF1\r\n");
    ScheduleTable t;
    ASSERT_TRUE(loadScheduleFromPath(dir.file("night.shx"), t));
    EXPECT_EQ(t.fileName, "night.shx");
    EXPECT_EQ(t.count, 1);
    EXPECT_FALSE(loadScheduleFromPath(dir.file("missing.shx"), t));
    EXPECT_EQ(t.count, 1);
}

TEST(ScheduleLine, EveryFormOfDateAndWeekday) {
    ScheduleEntry e;
    e.hour = 8;
    e.minute = 30;
    e.month = 5;
    e.day = 1;
    e.weekday = kEveryDay;
    e.action = "PON1";
    EXPECT_EQ(formatScheduleLine(e), "08:30,05/01,,PON1");
    e.year = 2006;
    EXPECT_EQ(formatScheduleLine(e), "08:30,2006/05/01,,PON1");
    e.year = 0;
    e.month = e.day = 255;
    e.weekday = kMondayToSaturday;
    EXPECT_EQ(formatScheduleLine(e), "08:30,S,1-6,PON1");
    e.weekday = kMondayToFriday;
    EXPECT_EQ(formatScheduleLine(e), "08:30,S,1-5,PON1");
    e.month = 2;
    e.day = 9;
    e.weekday = 3;
    EXPECT_EQ(formatScheduleLine(e), "08:30,02/09,3,PON1");
    e.week = 6;
    EXPECT_EQ(formatScheduleLine(e), "08:30,02/09,3/L,PON1");
    e.week = 2;
    EXPECT_EQ(formatScheduleLine(e), "08:30,02/09,3/2,PON1");
    e.weekday = 12;  // any code above 9 counts as every day
    EXPECT_EQ(formatScheduleLine(e), "08:30,02/09,,PON1");
}

TEST(ScheduleLine, FileLinesRoundTrip) {
    const ScheduleTable t = parse("7:05,S,,MPON\n23:00,2031/1/2,1-6,POF8\n0:00,12/24,0,POR1\n");
    EXPECT_EQ(formatScheduleLine(t.entries[0]), "07:05,S,,MPON");
    EXPECT_EQ(formatScheduleLine(t.entries[1]), "23:00,2031/01/02,1-6,POF8");
    EXPECT_EQ(formatScheduleLine(t.entries[2]), "00:00,12/24,0,POR1");
}

}  // namespace
}  // namespace zelo
