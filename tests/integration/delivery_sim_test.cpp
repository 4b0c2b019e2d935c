// Schedule delivery to simulated devices: what arrives in their schedule
// memory, what the delivery log says, and which devices are left alone.
#include <gtest/gtest.h>

#include <memory>

#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "connection/device_session.h"
#include "connection/framed_readout.h"
#include "schedule/delivery.h"
#include "sim/fleet.h"
#include "sim/server.h"
#include "tests/support/test_workspace.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

int countOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
}

class DeliveryTest : public ::testing::Test {
protected:
    void startFleet(const std::string& fleetText) {
        sim::Fleet fleet;
        std::string error;
        ASSERT_TRUE(sim::ParseFleet(fleetText, fleet, error)) << error;
        server = std::make_unique<sim::SimServer>(std::move(fleet));
        ASSERT_TRUE(server->start(error)) << error;
        server->startThread();
    }
    void TearDown() override {
        if (server) server->stop();
    }

    DeviceRecord recordFor(const char* unit, int model, std::uint32_t id) {
        DeviceRecord r;
        r.deviceId = id;
        r.name = unit;
        r.modelCode = model;
        r.addressText = "127.0.0.1";
        r.port = static_cast<std::uint16_t>(server->consolePort(std::size_t(server->find(unit))));
        r.selectNumber = "00";
        r.prompt = model == 5 ? "JB" : "HX";
        r.password = "7394";
        return r;
    }
    const std::vector<sim::ScheduleEntry>& memoryOf(const char* unit) {
        return server->device(std::size_t(server->find(unit))).schedule();
    }
    std::string log() { return test::readBytes(dir.file("ZELO.LOG")); }

    test::TempDir dir;
    std::unique_ptr<sim::SimServer> server;
    test::TestWorkspace w{dir.path().string() + "/", test::Net::System, test::kWorkspaceNow,
                          test::Time::System};
    AppSettings& settings = w.ws.settings();
    test::ScriptedFrontend& frontend = w.frontend;
    ScheduleTable& table = w.ws.schedule();

    // A walk over `targets` as the progress window steps it (the records
    // need not be in the directory).
    std::unique_ptr<DeliveryWalk> walkOver(std::vector<DeviceRecord> targets) {
        return std::make_unique<DeliveryWalk>(
            std::move(targets), table,
            DeliveryContext{w.ws.network(), w.ws.clock(), settings, w.ws.strings(), w.ws.dataDir()},
            w.ws.directory(), frontend);
    }
    DeliveryResult deliver(const DeviceRecord& r) {
        auto walk = walkOver({r});
        walk->next();
        return walk->results().at(0);
    }
};

TEST_F(DeliveryTest, BothFramedModelsReceiveEveryEntry) {
    settings.language = 1;
    startFleet("[hx]\nmodel = 3\n[jb]\nmodel = 5\nlogin = login\n");
    parseScheduleText("8:30,5/1,,PON1\n07:00,S,1-6,MPON\n23:15,2031/12/24,3,POF2\n", table);
    table.fileName = "week.shx";
    const auto hx = deliver(recordFor("hx", 3, 1));
    const auto jb = deliver(recordFor("jb", 5, 2));
    EXPECT_TRUE(hx.normal) << failedStepText(hx);
    EXPECT_TRUE(jb.normal) << failedStepText(jb);

    // Read back through the schedule list of the full readout.
    for (const auto& [unit, model] : {std::pair<const char*, int>{"hx", 3}, {"jb", 5}}) {
        test::TestWorkspace w("unused/", test::Net::System, test::kWorkspaceNow, test::Time::System);
        w.ws.current().select(recordFor(unit, model, 9));
        DeviceSession& session = w.session();
        ASSERT_FALSE(session.loginFramed(true)) << unit;
        ASSERT_FALSE(readFramedStatus(session)) << unit;
        session.connection.closeConnection();
        const auto& listed = session.status.scheduleList;
        int used = 0;
        for (const auto& e : listed) used += e.used;
        ASSERT_EQ(used, 3) << unit;
        for (int i = 0; i < 3; ++i) {
            const ScheduleEntry& sent = table.entries[std::size_t(i)];
            EXPECT_EQ(listed[std::size_t(i)].hour, sent.hour) << unit << " entry " << i;
            EXPECT_EQ(listed[std::size_t(i)].minute, sent.minute) << unit << " entry " << i;
            EXPECT_EQ(listed[std::size_t(i)].dayToken, sent.weekday) << unit << " entry " << i;
        }
    }
    server->stop();
    for (const char* unit : {"hx", "jb"}) {
        const auto& memory = memoryOf(unit);
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
    EXPECT_EQ(countOf(text, "------------------------------\r\n"), 2);
    EXPECT_EQ(countOf(text, "Send filename: week.shx\r\n"), 2);
    EXPECT_EQ(countOf(text, "Result: Normal\r\n\r\n"), 2);
    EXPECT_EQ(text.find("------------------------------\r\nhx 127.0.0.1 "), 0u);
    EXPECT_TRUE(frontend.errors.empty());
}

TEST_F(DeliveryTest, ARefusedLineNamesItsTablePosition) {
    settings.language = 1;
    startFleet("[hx]\nmodel = 3\n");
    // Position 2 repeats position 0: the device answers Doubled.
    parseScheduleText("8:30,5/1,,PON1\n9:00,5/1,,PON2\n8:30,5/1,,PON1\n10:00,5/1,,PON3\n", table);
    const auto r = deliver(recordFor("hx", 3, 1));
    EXPECT_FALSE(r.normal);
    EXPECT_EQ(failedStepText(r), "upload line 2");
    EXPECT_EQ(frontend.errors, std::vector<int>{kTextScheduleRefused});
    EXPECT_EQ(frontend.errorCaptions, std::vector<int>{msg::kConfirm});
    EXPECT_EQ(frontend.numbers, std::vector<int>{2});
    server->stop();
    EXPECT_EQ(memoryOf("hx").size(), 2u);  // the lines before the refused one stay
    EXPECT_EQ(countOf(log(), "Result: Abnormal\r\n\r\n"), 1);
}

TEST_F(DeliveryTest, AWrongPasswordFailsTheReadout) {
    startFleet("[hx]\nmodel = 3\n");
    parseScheduleText("8:30,5/1,,PON1\n", table);
    DeviceRecord r = recordFor("hx", 3, 1);
    r.password = "0000";
    const auto result = deliver(r);
    EXPECT_EQ(failedStepText(result), "readout");
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadPassword});
    EXPECT_EQ(countOf(log(), "------------------------------"), 1);
}

TEST_F(DeliveryTest, DevicesThatTakeNoScheduleAreSkippedWithoutALogEntry) {
    startFleet("[hx]\nmodel = 3\n");
    parseScheduleText("8:30,5/1,,PON1\n", table);
    DeviceRecord plain = recordFor("hx", 3, 1);
    plain.modelCode = 11;
    DeviceRecord noAddress = recordFor("hx", 3, 2);
    noAddress.addressText.clear();
    DeviceRecord noPort = recordFor("hx", 3, 3);
    noPort.port = 0;
    for (const DeviceRecord& r : {plain, noAddress, noPort})
        EXPECT_EQ(deliver(r).failedStep, DeliveryStep::Skipped);
    EXPECT_FALSE(std::filesystem::exists(dir.file("ZELO.LOG")));
}

TEST_F(DeliveryTest, ParallelDeliveryReachesEveryDeviceOnce) {
    settings.language = 1;
    startFleet("[hx]\nmodel = 3\ncount = 6\n");
    parseScheduleText("8:30,5/1,,PON1\n9:30,5/1,,POF1\n", table);
    std::vector<DeviceRecord> targets;
    for (int i = 1; i <= 6; ++i)
        targets.push_back(recordFor(("hx-" + std::to_string(i)).c_str(), 3, std::uint32_t(i)));
    std::vector<test::ScriptedFrontend> frontends(targets.size());
    auto walk = walkOver(targets);
    walk->runToEnd(3, [&](std::size_t i) -> Frontend& { return frontends[i]; });
    const auto& results = walk->results();
    ASSERT_EQ(results.size(), 6u);
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_TRUE(results[i].normal) << failedStepText(results[i]);
        EXPECT_EQ(results[i].deviceId, targets[i].deviceId);  // in target order
    }
    server->stop();
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(memoryOf(("hx-" + std::to_string(i)).c_str()).size(), 2u);
    EXPECT_EQ(countOf(log(), "Result: Normal\r\n\r\n"), 6);
}

TEST_F(DeliveryTest, ACancelledWalkStopsAfterTheDeviceInHand) {
    startFleet("[hx]\nmodel = 3\ncount = 3\n");
    parseScheduleText("8:30,5/1,,PON1\n", table);
    std::vector<DeviceRecord> targets;
    for (int i = 1; i <= 3; ++i)
        targets.push_back(recordFor(("hx-" + std::to_string(i)).c_str(), 3, std::uint32_t(i)));
    auto walk = walkOver(targets);
    ASSERT_NE(walk->next(), nullptr);
    walk->cancel();
    EXPECT_EQ(walk->next(), nullptr);
    EXPECT_TRUE(walk->done());
    EXPECT_EQ(walk->results().size(), 1u);
    ASSERT_EQ(frontend.progress.size(), 1u);  // before the first device
    EXPECT_EQ(frontend.progress[0].name, "hx-1");
    EXPECT_EQ(frontend.progress[0].total, 3u);
    server->stop();
    EXPECT_EQ(memoryOf("hx-2").size(), 0u);
    EXPECT_EQ(countOf(log(), "------------------------------"), 1);
}

}  // namespace
}  // namespace zelo
