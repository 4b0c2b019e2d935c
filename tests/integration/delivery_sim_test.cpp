// Schedule delivery to simulated devices over loopback: what arrives in
// their schedule memory and what the readout lists of it, what the delivery
// log says, which devices are left alone, and a walk cut short.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "connection/framed_readout.h"
#include "schedule/delivery.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "tests/support/sim_fleet.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

int countOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
}

class DeliveryTest : public ::testing::Test {
protected:
    void start(const std::string& fleet, const std::string& schedule) {
        std::string error;
        ASSERT_TRUE(sim.start(fleet, error)) << error;
        settings.language = 1;
        parseScheduleText(schedule, table);
    }
    DeviceRecord recordFor(const std::string& unit, int model, std::uint32_t id) {
        DeviceRecord r;
        r.deviceId = id;
        r.name = unit;
        r.modelCode = model;
        r.addressText = "127.0.0.1";
        r.port = static_cast<std::uint16_t>(sim.port(unit));
        r.selectNumber = "00";
        r.prompt = model == 5 ? "JB" : "HX";
        r.password = "7394";
        return r;
    }
    // A walk over `targets` as the progress window steps it (the records
    // need not be in the directory).
    std::unique_ptr<DeliveryWalk> walkOver(std::vector<DeviceRecord> targets) {
        return std::make_unique<DeliveryWalk>(
            std::move(targets), table,
            DeliveryContext{w.ws.network(), w.ws.clock(), settings, w.ws.strings(), w.ws.dataDir()},
            w.ws.directory(), w.frontend);
    }
    DeliveryResult deliver(const DeviceRecord& r) {
        auto walk = walkOver({r});
        walk->next();
        return walk->results().at(0);
    }
    std::string log() { return test::readBytes(dir.file("ZELO.LOG")); }

    test::TempDir dir;
    test::SimFleet sim;
    test::TestWorkspace w{dir.path().string() + "/", test::Net::System, test::kWorkspaceNow,
                          test::Time::System};
    AppSettings& settings = w.ws.settings();
    ScheduleTable& table = w.ws.schedule();
};

TEST_F(DeliveryTest, BothFramedModelsReceiveEveryEntryAndListThemAgain) {
    start("[hx]\nmodel = 3\n[jb]\nmodel = 5\nlogin = login\n",
          "8:30,5/1,,PON1\n07:00,S,1-6,MPON\n23:15,2031/12/24,3,POF2\n");
    table.fileName = "week.shx";
    for (const auto& [unit, model] : {std::pair<const char*, int>{"hx", 3}, {"jb", 5}}) {
        SCOPED_TRACE(unit);
        const DeliveryResult result = deliver(recordFor(unit, model, model));
        EXPECT_TRUE(result.normal) << failedStepText(result);
        auto session = w.ws.newSession(recordFor(unit, model, 9));
        ASSERT_FALSE(session->loginFramed(true) || readFramedStatus(*session));
        session->connection.closeConnection();
        for (int i = 0; i < 200; ++i) {
            const ListedScheduleEntry& listed = session->status.scheduleList[std::size_t(i)];
            ASSERT_EQ(listed.used, i < 3) << i;
            if (!listed.used) continue;
            const ScheduleEntry& sent = table.entries[std::size_t(i)];
            EXPECT_EQ(listed.hour * 100 + listed.minute, sent.hour * 100 + sent.minute) << i;
            EXPECT_EQ(listed.dayToken, sent.weekday) << i;
        }
    }
    sim.stop();
    for (const char* unit : {"hx", "jb"}) {
        const auto& memory = sim.device(unit).schedule();
        ASSERT_EQ(memory.size(), 3u) << unit;
        EXPECT_EQ(memory[0].hour, 8);
        EXPECT_EQ(memory[0].month, 5);
        EXPECT_EQ(memory[0].weekday, 7);
        EXPECT_EQ(memory[0].action, "PON1");
        EXPECT_EQ(memory[1].month, 255);
        EXPECT_EQ(memory[1].weekday, 9);
        EXPECT_EQ(memory[2].year, 2031);
        EXPECT_EQ(memory[2].weekday, 3);
        EXPECT_EQ(memory[2].action, "POF2");
    }
    const std::string text = log();
    EXPECT_EQ(text.find("------------------------------\r\nhx 127.0.0.1 "), 0u);
    EXPECT_EQ(countOf(text, "------------------------------\r\n"), 2);
    EXPECT_EQ(countOf(text, "Send filename: week.shx\r\n"), 2);
    EXPECT_EQ(countOf(text, "Result: Normal\r\n\r\n"), 2);
    EXPECT_TRUE(w.frontend.errors.empty());
}

TEST_F(DeliveryTest, ARefusedLineNamesItsTablePosition) {
    // Position 2 repeats position 0: the device answers Doubled.
    start("[hx]\nmodel = 3\n", "8:30,5/1,,PON1\n9:00,5/1,,PON2\n8:30,5/1,,PON1\n10:00,5/1,,PON3\n");
    const DeliveryResult r = deliver(recordFor("hx", 3, 1));
    EXPECT_FALSE(r.normal);
    EXPECT_EQ(failedStepText(r), "upload line 2");
    EXPECT_EQ(w.frontend.errors, std::vector<int>{kTextScheduleRefused});
    EXPECT_EQ(w.frontend.errorCaptions, std::vector<int>{msg::kConfirm});
    EXPECT_EQ(w.frontend.numbers, std::vector<int>{2});
    sim.stop();
    EXPECT_EQ(sim.device("hx").schedule().size(), 2u);  // the lines before the refused one stay
    EXPECT_EQ(countOf(log(), "Result: Abnormal\r\n\r\n"), 1);
}

TEST_F(DeliveryTest, DevicesThatTakeNoScheduleAreSkippedWithoutALogEntry) {
    start("[hx]\nmodel = 3\n", "8:30,5/1,,PON1\n");
    std::vector<DeviceRecord> skipped(3, recordFor("hx", 3, 1));
    skipped[0].modelCode = 11;
    skipped[1].addressText.clear();
    skipped[2].port = 0;
    for (const DeviceRecord& r : skipped) EXPECT_EQ(deliver(r).failedStep, DeliveryStep::Skipped);
    EXPECT_FALSE(std::filesystem::exists(dir.file("ZELO.LOG")));
}

TEST_F(DeliveryTest, ACancelledWalkStopsAfterTheDeviceInHand) {
    start("[hx]\nmodel = 3\ncount = 3\n", "8:30,5/1,,PON1\n");
    std::vector<DeviceRecord> targets;
    for (std::uint32_t i = 1; i <= 3; ++i)
        targets.push_back(recordFor("hx-" + std::to_string(i), 3, i));
    auto walk = walkOver(targets);
    ASSERT_NE(walk->next(), nullptr);
    walk->cancel();
    EXPECT_EQ(walk->next(), nullptr);
    EXPECT_TRUE(walk->done());
    EXPECT_EQ(walk->results().size(), 1u);
    ASSERT_EQ(w.frontend.progress.size(), 1u);  // before the first device
    EXPECT_EQ(w.frontend.progress[0].name, "hx-1");
    EXPECT_EQ(w.frontend.progress[0].total, 3u);
    sim.stop();
    EXPECT_EQ(sim.device("hx-2").schedule().size(), 0u);
    EXPECT_EQ(countOf(log(), "------------------------------"), 1);
}

}  // namespace
}  // namespace zelo
