// Power commands: the button texts, the confirmation and the form each
// command takes in each dialect.
#include "connection/power_control.h"

#include <gtest/gtest.h>

#include "settings/app_settings.h"
#include "connection/framed_readout.h"
#include "tests/connection/framed_device_script.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

using test::ScriptedStream;

class PowerTest : public ::testing::Test {
protected:
    test::TestWorkspace w{"unused/", test::Net::Scripted, 1'700'000'000};
    ManualClock& clock = w.clock;
    test::ScriptedNetwork& net = w.net;
    test::ScriptedFrontend& frontend = w.frontend;
    test::ScriptedView& view = w.view;
    AppSettings& settings = w.ws.settings();
    DeviceSession& session = w.session();

    void framed(bool asksLogin) {
        DeviceRecord& r = session.record;
        r.modelCode = 5;
        r.addressText = "127.0.0.1";
        r.port = 23;
        r.selectNumber = "00";
        r.prompt = "HX";
        r.password = "7394";
        device.asksLogin = asksLogin;
        device.fallback = [](const std::string& cmd) {
            return test::FramedDeviceScript::framed(cmd == "MPOS" ? "MPOS=1,0:0,1:0,"
                                                                  : "POS=0:0,1:0,");
        };
        device.attach(net);
        ASSERT_FALSE(session.loginFramed(true));
    }
    void plain() {
        DeviceRecord& r = session.record;
        r.modelCode = 13;
        r.addressText = "127.0.0.1";
        r.port = 23;
        r.password = "tavik";
        net.onConnect = [this](ScriptedStream& s) {
            s.deliver(" 220 GV2208 (gv) ready\r\n");
            s.onSend = [this, &s](const std::string& text) {
                if (text == "\r\n") return s.deliver("Password:");
                if (text == "tavik\r\n") return s.deliver("\r\ngv> ");
                plainSent.push_back(text);
                s.deliver(text == "POF9\r\n" ? "501 Invalid outlet\r\ngv> " : "gv> ");
            };
        };
        ASSERT_FALSE(session.loginPlain(true));
    }

    test::FramedDeviceScript device;
    std::vector<std::string> plainSent;
};

TEST(PowerButtons, TwentyNineTextsInButtonOrder) {
    EXPECT_EQ(kPowerButtonTexts.size(), 29u);
    EXPECT_EQ(kPowerButtonTexts[0], "MPON");
    EXPECT_EQ(kPowerButtonTexts[1], "MPOF");
    EXPECT_EQ(kPowerButtonTexts[2], "PON1");
    EXPECT_EQ(kPowerButtonTexts[4], "POR1");
    EXPECT_EQ(kPowerButtonTexts[25], "POR8");
    EXPECT_EQ(kPowerButtonTexts[28], "POR0");
    EXPECT_TRUE(isPowerButtonText("POF8"));
    EXPECT_FALSE(isPowerButtonText("POF9"));
    EXPECT_FALSE(isPowerButtonText("MPOR"));
    EXPECT_FALSE(isPowerButtonText("pon1"));
}

TEST_F(PowerTest, ConfirmationFollowsThePowerSetting) {
    settings.confirmPower = false;
    EXPECT_TRUE(confirmPowerControl(session));
    EXPECT_TRUE(frontend.questions.empty());
    settings.confirmPower = true;
    frontend.answers = {false, true};
    EXPECT_FALSE(confirmPowerControl(session));
    EXPECT_TRUE(confirmPowerControl(session));
    ASSERT_EQ(frontend.questions.size(), 2u);
    EXPECT_EQ(frontend.questions[0].textId, kPowerQuestion);
    EXPECT_EQ(frontend.questions[0].captionId, msg::kConfirm);
    EXPECT_EQ(frontend.questions[0].icon, Icon::Question);
}

TEST_F(PowerTest, FramedCommandWithoutLoginGoesAsAPasswordFrame) {
    framed(false);
    EXPECT_FALSE(sendPowerCommand(session, "POF2", true));
    EXPECT_EQ(device.frames.back(), "*00:7394#POF2");
    EXPECT_FALSE(sendPowerCommand(session, "PON1", false));
    EXPECT_EQ(device.frames.back(), "*7394#PON1");
}

TEST_F(PowerTest, FramedCommandAfterALoginGoesBare) {
    framed(true);
    EXPECT_FALSE(sendPowerCommand(session, "POR0", true));
    EXPECT_EQ(device.frames.back(), "POR0");  // unit level stays POR0 in this dialect
}

TEST_F(PowerTest, FramedPosReplyUpdatesTheStatesAndFetchesMasterPower) {
    framed(false);
    sendPowerCommand(session, "POF1", true);
    // What the control window's timer does while no wait runs.
    // The POS line asks for MPOS without a wait; its answer, already in
    // the ring behind the prompt, is parsed in the same pass.
    ASSERT_FALSE(session.awaitFramedReply(std::nullopt));
    EXPECT_TRUE(device.received("MPOS"));
    EXPECT_EQ(session.status.masterState, 1);
    EXPECT_EQ(session.record.powerText, "1 01");
}

TEST_F(PowerTest, PlainUnitCommandsBecomeMasterCommands) {
    plain();
    EXPECT_FALSE(sendPowerCommand(session, "POR0", true));
    EXPECT_FALSE(sendPowerCommand(session, "PON0", true));
    EXPECT_FALSE(sendPowerCommand(session, "POF0", true));
    EXPECT_FALSE(sendPowerCommand(session, "POR3", true));
    EXPECT_EQ(plainSent,
              (std::vector<std::string>{"MPOR\r\n", "MPON\r\n", "MPOF\r\n", "POR3\r\n"}));
    // The prompt was awaited: nothing is left over for the next command.
    EXPECT_EQ(session.connection.unreadBytes(), 0u);
}

TEST_F(PowerTest, PlainRejectionIsAFailure) {
    plain();
    EXPECT_TRUE(sendPowerCommand(session, "POF9", true));
}

TEST_F(PowerTest, OtherModelsGetNothing) {
    session.record.modelCode = 4;
    session.record.addressText = "127.0.0.1";
    session.record.port = 23;
    EXPECT_TRUE(sendPowerCommand(session, "PON1", true));
    EXPECT_EQ(net.connects, 0);
}

}  // namespace
}  // namespace zelo
