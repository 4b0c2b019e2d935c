// Scripted devices on a manual clock: a console that hangs up instead of
// answering a command, and one that falls silent (or stops short of its
// prompt) in the middle of the register lists. The waits cost no real time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "connection/framed_readout.h"
#include "directory/device_directory.h"
#include "tests/connection/framed_device_script.h"
#include "tests/support/scripted_network.h"
#include "tests/support/test_workspace.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::FramedDeviceScript;
using test::ScriptedStream;

constexpr std::int64_t kWait = kReplySeconds * 1'000'000;

class LostAndSilent : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    test::TestWorkspace w{dataDir, test::Net::Scripted, 1'700'000'000};
    AppSettings& settings = w.ws.settings();
    DeviceDirectory& directory = w.ws.directory();
    ManualClock& clock = w.clock;
    test::ScriptedNetwork& net = w.net;
    test::ScriptedFrontend& frontend = w.frontend;
    test::ScriptedView& view = w.view;
    DeviceSession& session = w.session();
    FramedDeviceScript device;
    std::string hangUpOn;  // the device closes its console when this command comes

    void SetUp() override {
        settings.language = 1;
        ASSERT_TRUE(directory.load());
        const std::uint32_t group = directory.addGroup(0, "Lab");
        session.record = *directory.devices().find(directory.addDevice(group, 3, "hx"));
        session.record.addressText = "127.0.0.1";
        session.record.port = 23;
        ASSERT_TRUE(directory.saveDevice(session.record));
        device.fallback = [](const std::string& cmd) { return reply(cmd); };
        device.attach(net);
        const auto attach = net.onConnect;
        net.onConnect = [this, attach](ScriptedStream& s) {
            attach(s);
            const auto answer = s.onSend;
            s.onSend = [this, &s, answer](const std::string& text) {
                if (!hangUpOn.empty() && text.find(hangUpOn) != std::string::npos) {
                    s.closeAfter();
                    return;
                }
                answer(text);
            };
        };
    }

    static std::string reply(const std::string& cmd) {
        using S = FramedDeviceScript;
        if (cmd == "MPOS") return S::framed("MPOS=1,1:0,0:0,1:0,1:0,");
        if (cmd == "SCS") return S::framed("SCS=1:0,0:0,1:0,0:0,");
        if (cmd == "DT") return S::framed("DT=2024/05/06 Mon 07:08:09");
        if (cmd == "SPEC") return S::framed("SPEC=7200-0100-4101-0300-1400-0001-0000-4");
        if (cmd == "TYPE") return S::framed("TYPE=11,11,1A,11");
        if (cmd.rfind("RL", 0) == 0) {
            const std::string first = cmd.substr(2, cmd.find('-') - 2);
            return "*00:RL=" + cmd.substr(2) + "\r\nR" + first + "=1\r\n----------\r\n00:HX>";
        }
        if (cmd.rfind("PL", 0) == 0) return "*00:PLIST=" + cmd.substr(2) + "\r\n---\r\n00:HX>";
        if (cmd.size() > 1 && cmd[0] == 'R') return S::framed(cmd + "=1");
        return S::framed("Err");
    }
};

TEST_F(LostAndSilent, FramedDeviceHangingUpInsteadOfAnsweringIsLostOnceAndReconnected) {
    ASSERT_FALSE(session.loginFramed(true));
    hangUpOn = "SCS";
    EXPECT_TRUE(session.sendFramedCommand("SCS", true));
    EXPECT_EQ(view.losses, 1);
    EXPECT_FALSE(session.connection.connected);
    EXPECT_FALSE(session.connection.isOpen());
    // A wait after the loss tells it no second time.
    EXPECT_TRUE(session.awaitFramedReply("SCS"));
    EXPECT_EQ(view.losses, 1);
    // The next command logs in again.
    hangUpOn.clear();
    ASSERT_FALSE(session.sendFramedCommand("MPOS", true));
    EXPECT_EQ(net.connects, 2);
    EXPECT_FALSE(session.awaitFramedReply("MPOS"));
    EXPECT_TRUE(session.connection.connected);
    EXPECT_TRUE(frontend.errors.empty());
}

TEST_F(LostAndSilent, ReadoutDroppedOnARangeCommandLeavesTheSessionToReconnect) {
    ASSERT_FALSE(session.loginFramed(true));
    hangUpOn = "RL300-31F";
    EXPECT_TRUE(readFramedStatus(session));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
    EXPECT_EQ(view.losses, 1);
    EXPECT_FALSE(session.connection.connected);
    hangUpOn.clear();
    EXPECT_FALSE(readOutletStates(session));
    EXPECT_EQ(net.connects, 2);
}

TEST_F(LostAndSilent, PlainDeviceHangingUpInsteadOfAnsweringIsLostAndReconnected) {
    session.record.modelCode = 11;
    session.record.password = "tavik";
    net.onConnect = [this](ScriptedStream& s) {
        s.deliver(" 220 SWD-12K (pdu) ready\r\n");
        s.onSend = [this, &s](const std::string& text) {
            if (text == "\r\n") s.deliver("Password:");
            else if (text == "tavik\r\n") s.deliver("\r\npdu> ");
            else if (!hangUpOn.empty() && text.find(hangUpOn) != std::string::npos) s.closeAfter();
            else if (text == "XPOS\r\n") s.deliver("XPOS 1:0000,0:0000\r\npdu> ");
        };
    };
    ASSERT_FALSE(session.loginPlain(true));
    hangUpOn = "LIST";
    EXPECT_TRUE(session.sendPlainCommand("LIST"));
    EXPECT_EQ(view.losses, 1);
    EXPECT_FALSE(session.connection.connected);
    hangUpOn.clear();
    ASSERT_FALSE(session.sendPlainCommand("XPOS"));
    EXPECT_FALSE(session.awaitPlainPrompt());
    EXPECT_EQ(net.connects, 2);
    EXPECT_EQ(session.status.outletCount, 2);
}

// An Err for a range leaves the others to run (the last one decides); a
// range that gets no answer at all ends the lists after its one wait.
TEST_F(LostAndSilent, SilentRangeEndsTheRegisterListsAfterOneWait) {
    device.replies["RL300-31F"] = "";
    ASSERT_FALSE(session.loginFramed(true));
    const std::int64_t start = clock.micros();
    EXPECT_TRUE(readFramedStatus(session));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
    EXPECT_EQ(device.commandsStartingWith("RL").back(), "RL300-31F");
    EXPECT_TRUE(device.commandsStartingWith("PL").empty());
    EXPECT_GE(clock.micros() - start, kWait);
    EXPECT_LT(clock.micros() - start, 2 * kWait);
}

TEST_F(LostAndSilent, RangeThatNeverReachesItsPromptEndsTheRegisterListsAfterOneWait) {
    device.replies["RL300-31F"] = "*00:RL=300-31F\r\nR300=0.0\r\n";
    ASSERT_FALSE(session.loginFramed(true));
    const std::int64_t start = clock.micros();
    EXPECT_TRUE(readFramedStatus(session));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
    EXPECT_EQ(device.commandsStartingWith("RL").back(), "RL300-31F");
    EXPECT_GE(clock.micros() - start, kWait);
    EXPECT_LT(clock.micros() - start, 2 * kWait);
    EXPECT_EQ(session.status.registers.count(0x300), 1u);  // what came is kept
}

TEST_F(LostAndSilent, ErrForARangeStillLeavesTheOthersToRun) {
    device.replies["RL300-31F"] = FramedDeviceScript::framed("Err");
    ASSERT_FALSE(session.loginFramed(true));
    EXPECT_FALSE(readFramedStatus(session));
    EXPECT_EQ(device.commandsStartingWith("RL").size(), kRegisterRanges.size());
    EXPECT_TRUE(frontend.errors.empty());
}

}  // namespace
}  // namespace zelo
