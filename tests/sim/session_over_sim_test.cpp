// The device session against zelo-sim over loopback: what the user is told
// when a unit goes away in the middle of a dialogue.
#include <gtest/gtest.h>

#include "connection/device_settings.h"
#include "tests/support/sim_fleet.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

// A unit that restarts on CPURESET without answering takes the connection
// with it while the command waits: the loss is told once, not again by the
// apply's restart step.
TEST(SessionOverSim, ASilentRestartIsToldOnce) {
    struct Row {
        const char* name;
        int model;
        bool (*enter)(DeviceSettings&);
        StepResult (*apply)(DeviceSession&);
    };
    const Row rows[] = {
        {"framed: report target Enable unchecked", 3,
         [](DeviceSettings& s) { return enterCenterRegister(s, 0x230, "0") == EntryResult::Ok; },
         applyFramedSettings},
        {"plain: net mask", 12,
         [](DeviceSettings& s) {
             return enterSetting(s, "ipAdEntNetMask", "255.255.0.0") == EntryResult::Ok;
         },
         applyPlainSettings},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const bool silent : {false, true}) {
            SCOPED_TRACE(silent ? "silent restart" : "answered restart");
            test::SimFleet sim;
            std::string error;
            ASSERT_TRUE(sim.start("[unit]\nmodel = " + std::to_string(row.model) +
                                      "\nfaults = " + (silent ? "silent-reset" : "none") + "\n",
                                  error))
                << error;
            test::TempDir dir;
            test::TestWorkspace w(dir.path().string() + "/", test::Net::System, test::kWorkspaceNow,
                                  test::Time::System);
            ASSERT_TRUE(w.load());
            DeviceDirectory& directory = w.ws.directory();
            const std::uint32_t id =
                directory.addDevice(directory.addGroup(0, "Lab"), row.model, "unit");
            DeviceRecord record = *directory.devices().find(id);
            record.addressText = "127.0.0.1";
            record.port = static_cast<std::uint16_t>(sim.port("unit"));
            ASSERT_TRUE(directory.saveDevice(record));
            DeviceSession& session = w.select(id).session();
            ASSERT_EQ(row.model == 3 ? session.loginFramed(true) : session.loginPlain(true),
                      StepResult::Ok);
            ASSERT_TRUE(row.enter(session.status.settings));
            w.frontend.answers = {true};  // restart the unit: Yes
            static_cast<void>(row.apply(session));
            EXPECT_FALSE(session.connection.isOpen() || session.connection.connected);
            EXPECT_EQ(w.view.losses, 1);
        }
    }
}

}  // namespace
}  // namespace zelo
