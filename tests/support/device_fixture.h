#pragma once
// A device session on the manual clock and the scripted network: the
// device's record stored in a directory on disk, and a scripted device of
// each dialect for it to talk to.

#include <gtest/gtest.h>

#include <string>

#include "directory/item_file.h"
#include "settings/app_settings.h"
#include "tests/support/scripted_devices.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_workspace.h"

namespace zelo::test {

class DeviceFixture : public ::testing::Test {
protected:
    TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    TestWorkspace w{dataDir, Net::Scripted, 1'700'000'000};
    AppSettings& settings = w.ws.settings();
    DeviceDirectory& directory = w.ws.directory();
    ManualClock& clock = w.clock;
    ScriptedNetwork& net = w.net;
    ScriptedFrontend& frontend = w.frontend;
    ScriptedView& view = w.view;
    DeviceSession& session = w.session();
    FramedDeviceScript framed;
    PlainDeviceScript plain;
    std::uint32_t group = 0;

    // A stored record of the model (3 unless told), pointing at the scripted
    // device of its dialect.
    void SetUp() override { useModel(3); }
    void useModel(int model) {
        settings.language = 1;
        if (group == 0) {
            ASSERT_TRUE(directory.load());
            group = directory.addGroup(0, "Lab");
        }
        session.record = *directory.devices().find(directory.addDevice(group, model, "dev"));
        session.record.addressText = "127.0.0.1";
        session.record.port = 23;
        if (dialectOf(model) == Dialect::Framed) {
            session.record.prompt = "HX";
            framed.attach(net);
        } else {
            plain.attach(net);
        }
        ASSERT_TRUE(directory.saveDevice(session.record));
    }
    bool login() {
        return dialectOf(session.record.modelCode) == Dialect::Framed ? session.loginFramed(true)
                                                                     : session.loginPlain(true);
    }
    DeviceRecord stored() const {
        for (const DeviceRecord& r : loadItemFile(dataDir, group))
            if (r.deviceId == session.record.deviceId) return r;
        return {};
    }
};

}  // namespace zelo::test
