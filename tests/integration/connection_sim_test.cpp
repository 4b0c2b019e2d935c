// Logins and command dialogues against simulated devices over loopback.
#include <gtest/gtest.h>

#include <memory>

#include "settings/app_settings.h"
#include "connection/device_session.h"
#include "sim/fleet.h"
#include "sim/server.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

const char* kFleet = R"(
[hx]
model = 3
[jb-login]
model = 5
login = login
[hx-old]
model = 3
firmware = 3.10.2
[swd6k]
model = 6
[swd6zk]
model = 7
[swd7ka]
model = 8
[swd7kb]
model = 9
[swd8kbn]
model = 10
[swd12k]
model = 11
sysname = RACK-A
[swdq6m]
model = 12
[gv2208]
model = 13
[refuser]
model = 11
faults = refuse-password
[dropper]
model = 3
faults = close-at:cmd3
)";

class SimFleetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim::Fleet fleet;
        std::string error;
        ASSERT_TRUE(sim::ParseFleet(kFleet, fleet, error)) << error;
        server = std::make_unique<sim::SimServer>(std::move(fleet));
        ASSERT_TRUE(server->start(error)) << error;
        server->startThread();
    }
    static void TearDownTestSuite() {
        server->stop();
        server.reset();
    }

    std::unique_ptr<DeviceSession> sessionFor(const char* name, int model) {
        auto s = w.ws.newSession(DeviceRecord{}, nullptr, &w.view);
        DeviceRecord& r = s->record;
        r.modelCode = model;
        r.addressText = "127.0.0.1";
        r.port = static_cast<std::uint16_t>(server->consolePort(std::size_t(server->find(name))));
        r.selectNumber = "00";
        r.prompt = model == 5 ? "JB" : "HX";
        r.password = model == 3 || model == 5 ? "7394" : "tavik";
        return s;
    }

    static std::unique_ptr<sim::SimServer> server;
    test::TestWorkspace w{"unused/", test::Net::System, test::kWorkspaceNow, test::Time::System};
    test::ScriptedFrontend& frontend = w.frontend;
    AppSettings& settings = w.ws.settings();
};

std::unique_ptr<sim::SimServer> SimFleetTest::server;

TEST_F(SimFleetTest, FramedDeviceShowingItsPromptAtOnce) {
    auto s = sessionFor("hx", 3);
    ASSERT_FALSE(s->loginFramed(true));
    EXPECT_EQ(s->loginMode, 0);
    EXPECT_EQ(s->status.modelNameText, "HX-7200");
    EXPECT_EQ(s->status.firmwareVersion, 0x31412u);
    ASSERT_FALSE(s->sendFramedCommand("MPOS", true));
    EXPECT_FALSE(s->awaitFramedReply("MPOS"));
    s->connection.closeConnection();
    EXPECT_TRUE(frontend.errors.empty());
}

TEST_F(SimFleetTest, FramedDeviceAskingForALogin) {
    auto s = sessionFor("jb-login", 5);
    ASSERT_FALSE(s->loginFramed(true));
    EXPECT_EQ(s->loginMode, 1);
    EXPECT_EQ(s->status.firmwareVersion, 0x32905u);
    ASSERT_FALSE(s->sendFramedCommand("MPOS", true));  // a bare command after the login
    EXPECT_FALSE(s->awaitFramedReply("MPOS"));
    s->connection.closeConnection();
}

TEST_F(SimFleetTest, WrongPasswordOnALoginDevice) {
    auto s = sessionFor("jb-login", 5);
    s->record.password = "0000";
    EXPECT_TRUE(s->loginFramed(true));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadPassword});
}

TEST_F(SimFleetTest, WrongPasswordInFramesIsRefusedPerCommand) {
    auto s = sessionFor("hx", 3);
    s->record.password = "0000";
    ASSERT_FALSE(s->loginFramed(true));  // identification needs no password
    ASSERT_FALSE(s->sendFramedCommand("MPOS", true));
    EXPECT_TRUE(s->awaitFramedReply("MPOS"));
    s->connection.closeConnection();
}

TEST_F(SimFleetTest, EveryPlainModelLogsInAndAnswersTheStartUpQueries) {
    const std::pair<const char*, int> units[] = {{"swd6k", 6},   {"swd6zk", 7},  {"swd7ka", 8},
                                                 {"swd7kb", 9},  {"swd8kbn", 10}, {"swd12k", 11},
                                                 {"swdq6m", 12}, {"gv2208", 13}};
    for (const auto& [name, model] : units) {
        auto s = sessionFor(name, model);
        ASSERT_FALSE(s->loginPlain(true)) << name;
        EXPECT_EQ(s->startPlainQueries(), 0) << name;
        EXPECT_GE(s->status.outletCount, 1) << name;
        EXPECT_NE(s->status.firmwareVersion, 0u) << name;
        s->connection.closeConnection();
    }
    auto s = sessionFor("swd12k", 11);
    ASSERT_FALSE(s->loginPlain(true));
    EXPECT_EQ(s->record.systemName, "RACK-A");
    s->connection.closeConnection();
    EXPECT_TRUE(frontend.errors.empty());
}

TEST_F(SimFleetTest, PlainWrongPassword) {
    auto s = sessionFor("refuser", 11);
    EXPECT_TRUE(s->loginPlain(true));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadPassword});
}

TEST_F(SimFleetTest, ASecondConsoleIsTurnedAway) {
    auto first = sessionFor("hx", 3);
    ASSERT_FALSE(first->loginFramed(true));
    auto second = sessionFor("hx", 3);
    EXPECT_TRUE(second->loginFramed(true));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kTooManyUsers});
    first->connection.closeConnection();
}

TEST_F(SimFleetTest, ADeviceThatDropsMidDialogueIsNoticedAndReconnected) {
    auto s = sessionFor("dropper", 3);
    ASSERT_FALSE(s->loginFramed(true));
    ASSERT_FALSE(s->sendFramedCommand("MPOS", true));
    EXPECT_FALSE(s->awaitFramedReply("MPOS"));
    s->sendFramedCommand("SCS", true);  // the third command after "*": the device hangs up
    EXPECT_TRUE(s->awaitFramedReply("SCS"));
    EXPECT_EQ(w.view.losses, 1);
    EXPECT_FALSE(s->connection.connected);
    // The next command logs in again before it goes out.
    EXPECT_FALSE(s->reconnectIfNeeded());
    EXPECT_TRUE(s->connection.isOpen());
    EXPECT_TRUE(frontend.errors.empty());
    s->connection.closeConnection();
}

}  // namespace
}  // namespace zelo
