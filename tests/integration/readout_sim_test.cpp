// The open sequence, settings and power commands against simulated devices
// of every model and firmware generation, over loopback, with a real
// directory on disk.
#include <gtest/gtest.h>

#include <memory>

#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "connection/device_settings.h"
#include "connection/framed_readout.h"
#include "connection/open_sequence.h"
#include "connection/power_control.h"
#include "directory/device_directory.h"
#include "directory/item_file.h"
#include "sim/fleet.h"
#include "sim/server.h"
#include "tests/support/test_workspace.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

const char* kFleet = R"(
[hx]
model = 3
states = 1011
[jb]
model = 5
login = login
[hx-31411]
model = 3
firmware = 3.14.11
[hx-31001]
model = 3
firmware = 3.10.1
[hx-32905]
model = 3
firmware = 3.29.05
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
[swdq6m]
model = 12
[gv2208]
model = 13
outlets = 4
states = 1100
)";

class ReadoutSim : public ::testing::Test {
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

    test::TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    test::TestWorkspace w{dataDir, test::Net::System, test::kWorkspaceNow, test::Time::System};
    AppSettings& settings = w.ws.settings();
    DeviceDirectory& directory = w.ws.directory();
    test::ScriptedFrontend& frontend = w.frontend;
    test::ScriptedView& view = w.view;
    std::uint32_t group = 0;

    void SetUp() override {
        settings.language = 1;
        ASSERT_TRUE(directory.load());
        group = directory.addGroup(0, "Lab");
    }

    // A session on a new record of the unit's model, pointing at its console.
    std::unique_ptr<DeviceSession> sessionFor(const char* unit, int model) {
        const std::uint32_t id = directory.addDevice(group, model, unit);
        EXPECT_NE(id, 0u);
        DeviceRecord r = *directory.devices().find(id);
        r.addressText = "127.0.0.1";
        r.port = static_cast<std::uint16_t>(
            server->consolePort(static_cast<std::size_t>(server->find(unit))));
        EXPECT_TRUE(directory.saveDevice(r));
        auto s = w.ws.newSession(r, nullptr, &w.view, true);
        return s;
    }
    DeviceRecord stored(std::uint32_t id) {
        for (const DeviceRecord& r : loadItemFile(dataDir, group))
            if (r.deviceId == id) return r;
        return {};
    }

    static std::unique_ptr<sim::SimServer> server;
};
std::unique_ptr<sim::SimServer> ReadoutSim::server;

TEST_F(ReadoutSim, FullStateOfEveryModelAndFirmware) {
    const struct {
        const char* unit;
        int model;
    } units[] = {{"hx", 3},      {"jb", 5},      {"hx-31411", 3}, {"hx-31001", 3}, {"hx-32905", 3},
                 {"swd6k", 6},   {"swd6zk", 7},  {"swd7ka", 8},   {"swd7kb", 9},   {"swd8kbn", 10},
                 {"swd12k", 11}, {"swdq6m", 12}, {"gv2208", 13}};
    for (const auto& u : units) {
        SCOPED_TRACE(u.unit);
        auto s = sessionFor(u.unit, u.model);
        ASSERT_EQ(openDevice(*s), OpenResult::Opened);
        EXPECT_TRUE(frontend.errors.empty());
        const DeviceStatus& st = s->status;
        const DeviceRecord saved = stored(s->record.deviceId);
        EXPECT_EQ(saved.powerText, s->record.powerText);
        EXPECT_NE(saved.macText, "000000000000");
        const sim::Device& dev = server->device(static_cast<std::size_t>(server->find(u.unit)));
        EXPECT_EQ(st.outletCount, static_cast<int>(dev.outlets().size()));
        EXPECT_EQ(saved.macText, dev.config().mac);
        if (u.model == 3 || u.model == 5) {
            EXPECT_EQ(st.modelNameText, sim::ModelName(u.model));
            EXPECT_GT(st.registers.size(), 100u);
            EXPECT_EQ(st.specField, 20);
            EXPECT_EQ(st.outlets[0].type, 0x11);
            EXPECT_EQ(st.clock.year + 1900 >= 1970, true);
            EXPECT_EQ(st.registers.count(0x194), st.firmwareVersion >= 0x31002 ? 1u : 0u);
            EXPECT_EQ(st.registers.count(0x9930), st.firmwareVersion >= 0x32905 ? 1u : 0u);
            if (st.firmwareVersion >= 0x32905) {
                EXPECT_EQ(st.lastLogText, "POWER ON");
            }
        } else {
            EXPECT_EQ(st.settings.model, sim::ModelName(u.model));
            EXPECT_EQ(st.settings.sysLocation, "Rack room");
            EXPECT_EQ(st.settings.rs232Port1Speed, 9600);
            EXPECT_EQ(st.settings.debOlRebootTime[0], 50);
            EXPECT_EQ(saved.systemName, u.unit);
        }
        s->connection.closeConnection();
    }
}

TEST_F(ReadoutSim, PlainSettingsChangedAndReadBack) {
    auto s = sessionFor("swdq6m", 12);
    ASSERT_EQ(openDevice(*s), OpenResult::Opened);
    DeviceSettings& v = s->status.settings;
    ASSERT_EQ(enterSetting(v, "sysContact", "ops@example.com"), EntryResult::Ok);
    ASSERT_EQ(enterSetting(v, "debOlPowerOnTime", "3,-1,0,0"), EntryResult::Ok);
    ASSERT_EQ(enterSetting(v, "centerSendTimer", "30"), EntryResult::Ok);
    ASSERT_FALSE(applyPlainSettings(*s));
    EXPECT_TRUE(v.changed.empty());
    s->connection.closeConnection();

    auto again = sessionFor("swdq6m", 12);
    ASSERT_EQ(openDevice(*again), OpenResult::Opened);
    EXPECT_EQ(again->status.settings.sysContact, "ops@example.com");
    EXPECT_EQ(again->status.settings.debOlPowerOnTime[0], 3);
    EXPECT_EQ(again->status.settings.debOlPowerOnTime[1], -1);
    EXPECT_EQ(again->status.settings.centerSendTimer, 30);
    again->connection.closeConnection();
}

TEST_F(ReadoutSim, FramedCentreRegistersChangedAndReadBack) {
    auto s = sessionFor("hx-32905", 3);
    ASSERT_EQ(openDevice(*s), OpenResult::Opened);
    enterCenterRegister(s->status.settings, 0x232, "5123");
    frontend.answers = {false};  // no restart
    ASSERT_FALSE(applyFramedSettings(*s));
    ASSERT_FALSE(s->sendFramedCommand("R232", true) || s->awaitFramedReply("R232"));
    EXPECT_EQ(s->status.registers.at(0x232).number, 5123);
    s->connection.closeConnection();
}

TEST_F(ReadoutSim, FramedSwitchingUpdatesRecordItemFileAndRow) {
    auto s = sessionFor("hx", 3);
    ASSERT_EQ(openDevice(*s), OpenResult::Opened);
    EXPECT_EQ(s->record.powerText, "1 1011");
    view.changedRecords.clear();
    ASSERT_TRUE(confirmPowerControl(*s));
    ASSERT_FALSE(sendPowerCommand(*s, "PON2", true));
    // The POS reply (and the MPOS it asks for) as the window's timer reads them.
    ASSERT_FALSE(s->awaitFramedReply(std::nullopt));
    EXPECT_EQ(s->record.powerText, "1 1111");
    EXPECT_EQ(stored(s->record.deviceId).powerText, "1 1111");
    ASSERT_EQ(view.changedRecords.size(), 1u);  // POS and the MPOS it asks for: one save
    EXPECT_EQ(view.changedRecords.back().powerText, "1 1111");
    EXPECT_EQ(s->status.previousRecord.powerText, "1 1111");  // copied before MPOS
    s->connection.closeConnection();
}

TEST_F(ReadoutSim, PlainSwitchingThenXposReadsTheNewStates) {
    auto s = sessionFor("gv2208", 13);
    ASSERT_EQ(openDevice(*s), OpenResult::Opened);
    EXPECT_EQ(s->record.powerText, "1100");
    ASSERT_FALSE(sendPowerCommand(*s, "PON0", true));  // goes out as MPON
    ASSERT_FALSE(s->sendPlainCommand("XPOS") || s->awaitPlainPrompt());
    EXPECT_EQ(s->record.powerText, "1111");
    EXPECT_EQ(stored(s->record.deviceId).powerText, "1111");
    ASSERT_FALSE(sendPowerCommand(*s, "POF0", true));
    ASSERT_FALSE(s->sendPlainCommand("XPOS") || s->awaitPlainPrompt());
    EXPECT_EQ(s->record.powerText, "0000");
    s->connection.closeConnection();
}

}  // namespace
}  // namespace zelo
