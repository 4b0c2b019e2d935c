// Schedule files, and a delivery walk cancelled on its way.
#include "schedule/schedule.h"

#include <gtest/gtest.h>

#include "directory/device_directory.h"
#include "schedule/delivery.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

std::string describe(const ScheduleEntry& e) {
    return std::to_string(e.hour) + ":" + std::to_string(e.minute) + " " + std::to_string(e.year) +
           "/" + std::to_string(e.month) + "/" + std::to_string(e.day) + " w" +
           std::to_string(e.weekday) + " " + e.action;
}

TEST(ScheduleFile, EachLineReadInTurnAndSentBack) {
    const struct {
        std::string line;
        const char* entry;
        const char* sent;  // nullptr: not in use
    } rows[] = {
        {"8:30,5/1,,PON1", "8:30 0/5/1 w7 PON1", "08:30,05/01,,PON1"},
        {"07:00,S,,MPON", "7:0 0/255/255 w7 MPON", "07:00,S,,MPON"},
        {"23:59,2006/12/31,1-5,POF2", "23:59 2006/12/31 w8 POF2", "23:59,2006/12/31,1-5,POF2"},
        {"23:00,2031/1/2,1-6,POF8", "23:0 2031/1/2 w9 POF8", "23:00,2031/01/02,1-6,POF8"},
        {"1:00,1/1,Mon 1-6 Sat,A", "1:0 0/1/1 w9 A", "01:00,01/01,1-6,A"},
        {"0:00,12/24,0,POR1", "0:0 0/12/24 w0 POR1", "00:00,12/24,0,POR1"},
        {"1:00,1/1,x,C", "1:0 0/1/1 w0 C", "01:00,01/01,0,C"},  // not a number: read as 0
        {"1:00,1/1,12,C", "1:0 0/1/1 w12 C",
         "01:00,01/01,,C"},  // any code above 9 counts as every day
        {"1:00,1/1,,CPURESET", "1:0 0/1/1 w7 CPURES",
         "01:00,01/01,,CPURES"},  // six characters count
        {"2:00,1/1,,POF", "2:0 0/1/1 w7 POF",
         "02:00,01/01,,POF"},  // nothing left of the longer one before
        {"1:00,1/1,,PON1,extra,fields", "1:0 0/1/1 w7 PON1", "01:00,01/01,,PON1"},
        // A field counts with its first 31 characters.
        {"3:00,1/1," + std::string(28, ' ') + "1-5,B", "3:0 0/1/1 w8 B", "03:00,01/01,1-5,B"},
        {"3:00,1/1," + std::string(29, ' ') + "1-5,B", "3:0 0/1/1 w1 B", "03:00,01/01,1,B"},
        {"garbage", "0:0 0/0/0 w7 ", nullptr},
        {std::string(300, ','), "0:0 0/0/0 w7 ", nullptr},
        {"99:99:99,20,1-5", "99:99 20/0/0 w8 ", nullptr},
    };
    std::string text;
    for (const auto& row : rows) text += row.line + "\r\n";
    ScheduleTable t;
    parseScheduleText(text + "\r\n2:00,1/1,,B\n", t);  // an empty line ends the file
    ASSERT_EQ(t.count, int(std::size(rows)));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(describe(t.entries[i]), rows[i].entry) << rows[i].line;
        EXPECT_EQ(t.entries[i].inUse(), rows[i].sent != nullptr) << rows[i].line;
        if (rows[i].sent) {
            EXPECT_EQ(formatScheduleLine(t.entries[i]), rows[i].sent) << rows[i].line;
        }
    }
    EXPECT_FALSE(t.entries[std::size(rows)].inUse());
    parseScheduleText("3:00,1/1,,C\n", t);  // loading again clears the table
    EXPECT_EQ(t.count, 1);
    EXPECT_FALSE(t.entries[1].inUse());
    std::string many;
    for (int i = 0; i < 250; ++i) many += "1:00,1/1,,PON1\n";
    parseScheduleText(many, t);
    EXPECT_EQ(t.count, 200);
    EXPECT_EQ(t.entries[199].action, "PON1");
}

TEST(ScheduleFile, EveryLineIsCheckedBeforeAnythingIsSent) {
    std::string full;
    for (int i = 0; i < 201; ++i)
        full += std::to_string(i / 60) + ":" + std::to_string(i % 60) + ",1/1,,PON1\n";
    const struct {
        std::string text;
        int line;
        Text textId;
    } rows[] = {
        {"8:30,5/1,,PON1\r\n07:00,S,1-6,MPON\r\n18:00,2027/12/24,1-5,POF2,note\r\n22:15,10/"
         "01,3,POR3\r\n\r\n",
         0,
         {}},
        {"", 0, {}},
        {"8:30,5/1,,PON1\n24:00,5/1,,PON1\n", 2, Text::ScheduleBadTime},
        {"8:60,5/1,,PON1\n", 1, Text::ScheduleBadTime},
        {"008:30,5/1,,PON1\n", 1, Text::ScheduleBadTime},
        {" 8:30,5/1,,PON1\n", 1, Text::ScheduleBadTime},
        {"8:30,13/1,,PON1\n", 1, Text::ScheduleBadDate},
        {"8:30,5/0,,PON1\n", 1, Text::ScheduleBadDate},
        {"8:30,1999/5/1,,PON1\n", 1, Text::ScheduleBadDate},
        {"8:30,Sunday,,PON1\n", 1, Text::ScheduleBadDate},
        {"8:30,5/1,7,PON1\n", 1, Text::ScheduleBadWeekday},
        {"8:30,5/1,3/L,PON1\n", 1, Text::ScheduleBadWeekday},
        {"8:30,5/1,,CPURESET\n", 1, Text::ScheduleBadAction},
        {"8:30,5/1,,\n", 1, Text::ScheduleBadAction},
        {"8:30,5/1,,PON9\n", 1, Text::ScheduleBadAction},
        {"8:30,5/1,,PON1\n9:00,5/1,,PON1\n08:30,05/01,,PON1\n", 3, Text::ScheduleRepeated},
        {full, 201, Text::ScheduleTooLong},
    };
    for (const auto& row : rows) {
        const ScheduleFault f = checkScheduleText(row.text);
        EXPECT_EQ(f.line, row.line) << row.text.substr(0, 40);
        EXPECT_EQ(f.textId, row.textId) << row.text.substr(0, 40);
    }
    // A refused file leaves the table as it was.
    test::TempDir dir;
    test::writeBytes(dir.file("bad.shx"), "8:30,5/1,,PON1\nTIME,DATE\n");
    ScheduleTable t;
    parseScheduleText("3:00,1/1,,POF1\n", t);
    ScheduleFault fault;
    EXPECT_FALSE(loadScheduleFromPath(dir.file("bad.shx"), t, fault));
    EXPECT_EQ(fault.line, 2);
    EXPECT_EQ(t.count, 1);
    EXPECT_EQ(t.entries[0].action, "POF1");
    EXPECT_FALSE(loadScheduleFromPath(dir.file("missing.shx"), t, fault));
    EXPECT_FALSE(fault);
}

TEST(ScheduleFile, WeekOfTheMonth) {
    ScheduleTable t;
    parseScheduleText("8:30,2/9,3,PON1\n", t);
    for (const auto& [week, line] :
         {std::pair{6, "08:30,02/09,3/L,PON1"}, {2, "08:30,02/09,3/2,PON1"}}) {
        t.entries[0].week = static_cast<std::uint8_t>(week);
        EXPECT_EQ(formatScheduleLine(t.entries[0]), line);
    }
}

// Two devices a delivery skips without a connection: one of a model that
// takes no schedule, one without an address.
class DeliveryWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::writeBytes(dir.file("ZELO_DIR.DAT"), "0\tRoot\t0\r\n1\tB\t3\r\n");
        ASSERT_TRUE(w.load());
        for (const auto& [model, name] : {std::pair{11, "plain"}, {3, "no address"}}) {
            DeviceRecord r = *directory.devices().find(directory.addDevice(3, model, name));
            r.addressText = r.name == "no address" ? "" : "127.0.0.1";
            ASSERT_TRUE(directory.saveDevice(r));
        }
    }

    test::TempDir dir;
    test::TestWorkspace w{dir.path().string() + "/"};
    DeviceDirectory& directory = w.ws.directory();
};

// Stepped as the progress window does, a cancelled walk ends after the
// device in hand. (A walk run to its end is run through zeloctl deliver.)
TEST_F(DeliveryWalkTest, ACancelledWalkEndsAfterTheDeviceInHand) {
    std::vector<DeviceRecord> targets;
    for (std::uint32_t id : {1u, 2u, 1u, 2u}) targets.push_back(*directory.devices().find(id));
    ScheduleTable table;
    const DeliveryContext context{w.ws.network(), w.ws.clock(), w.ws.settings(), w.ws.strings(),
                                  w.ws.dataDir()};
    DeliveryWalk walk(targets, table, context, directory, w.frontend);
    for (std::size_t i = 0; i < 2; ++i) {
        ASSERT_NE(walk.next(), nullptr);
        EXPECT_EQ(walk.position(), i + 1);
        EXPECT_EQ(walk.results()[i].deviceId, targets[i].deviceId);
        EXPECT_EQ(failedStepText(walk.results()[i]), "skipped");
    }
    walk.cancel();
    EXPECT_TRUE(walk.done());
    EXPECT_EQ(walk.next(), nullptr);
    walk.runToEnd(2, nullptr);
    EXPECT_EQ(walk.results().size(), 2u);
    DeliveryWalk none(std::vector<DeviceRecord>{}, table, context, directory, w.frontend);
    none.runToEnd(2, nullptr);                  // nothing to deliver: no progress either
    ASSERT_EQ(w.frontend.progress.size(), 2u);  // before each device
    EXPECT_EQ(w.frontend.progress[1].done, 1u);
    EXPECT_EQ(w.frontend.progress[0].name + "/" + std::to_string(w.frontend.progress[0].total),
              "plain/4");
}

}  // namespace
}  // namespace zelo
