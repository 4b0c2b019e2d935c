// The dialogue with one device on the scripted network: logins of both
// dialects and how each fails, command frames and power commands, the
// reply waits, and finding a lost device again.
#include "connection/device_session.h"

#include <gtest/gtest.h>

#include <functional>

#include "connection/framed_readout.h"
#include "connection/power_control.h"
#include "tests/support/scripted_devices.h"

namespace zelo {
namespace {

using test::ScriptedStream;

class SessionTest : public test::DeviceFixture {
protected:
    void greetWith(const char* text) {
        net.onConnect = [text](ScriptedStream& s) { s.deliver(text); };
    }
};

TEST_F(SessionTest, FramedLoginsIdentifyTheDeviceWithAStarOrAfterTheLogin) {
    for (const bool asksLogin : {false, true}) {
        SCOPED_TRACE(asksLogin ? "login" : "prompt");
        framed.asksLogin = asksLogin;
        framed.version = asksLogin ? " 3.14.12" : " 1.23.4";
        session.record.loginName = "never-sent";
        ASSERT_FALSE(session.loginFramed(true));
        const DeviceStatus& st = session.status;
        EXPECT_EQ(net.last().sent + std::to_string(session.loginMode) + " " + st.modelNameText +
                      " " + st.firmwareText,
                  asksLogin ? "admin\r\n7394\r\nver\r\n1 HX-7200 3.14.12"
                            : "*\r\n0 HX-7200 1.23.4");
        EXPECT_EQ(st.firmwareVersion, asksLogin ? 0x31412u : 0x12304u);
        EXPECT_TRUE(frontend.errors.empty());
    }
}

// The name in the greeting's parentheses is the prompt (32 characters at
// most) and the record's system name (31); without one the name stays.
TEST_F(SessionTest, PlainLoginTakesItsNameFromTheGreeting) {
    useModel(11);
    const std::string n40(40, 'n'), n32(32, 'n'), n31(31, 'n');
    const struct {
        const char* greeting;  // the usual one when empty
        std::string name, prompt, before, after;
    } cases[] = {{"", "rack-pdu", "rack-pdu> ", "old", "rack-pdu"},
                 {" 220 SWD-12K ready\r\n", "rack-pdu", "rack-pdu> ", "rack-pdu", "rack-pdu"},
                 {"", n40, n32 + "> ", "old", n31}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.greeting + c.name);
        plain.greeting = c.greeting;
        plain.name = c.name;
        plain.prompt = c.prompt;
        session.record.systemName = c.before;
        ASSERT_FALSE(session.loginPlain(true));
        EXPECT_EQ(session.plainPrompt(), c.prompt);
        EXPECT_EQ(session.record.systemName, c.after);
        EXPECT_EQ(net.last().sent, "\r\ntavik\r\n");
        EXPECT_EQ(session.status.specField, 20);
    }
}

// Each failed login shows its one message, closes the connection and takes
// the waits it must and no more.
TEST_F(SessionTest, EachFailedLoginShowsItsMessage) {
    const struct {
        const char* name;
        int model;
        std::function<void()> breakDevice;
        int message;
        int waits;  // 3-second waits that run out
    } cases[] = {
        {"framed password refused", 3,
         [&] { framed.asksLogin = true, session.record.password = "x"; }, msg::kBadPassword, 0},
        {"console taken", 3, [&] { greetWith("503 Too many users\r\n"); }, msg::kTooManyUsers, 0},
        {"framed device silent", 3, [&] { greetWith("noise\r\n"); }, msg::kDisconnected, 1},
        {"no identification", 3, [&] { framed.replies["*"] = "something else\r\n00:HX>"; },
         msg::kBadCommunication, 0},
        {"prompt but no answer", 3, [&] { framed.replies["*"] = ""; }, msg::kBadCommunication, 1},
        {"unresolvable address", 3, [&] { session.record.addressText = "no.such.host"; },
         msg::kCannotConnect, 0},
        {"connection refused", 11, [&] { net.refuse = true; }, msg::kCannotConnect, 0},
        {"plain password refused", 11, [&] { session.record.password = "x"; }, msg::kBadPassword,
         0},
        {"plain console taken", 11, [&] { greetWith("503 Too many users\r\n"); },
         msg::kBadCommunication, 0},
        {"no greeting", 11, [&] { net.onConnect = nullptr; }, msg::kDisconnected, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        nextRow(c.model);
        c.breakDevice();
        const std::int64_t start = clock.micros();
        EXPECT_TRUE(login());
        EXPECT_EQ(frontend.errors, std::vector<int>{c.message});
        EXPECT_EQ(frontend.errorCaptions, std::vector<int>{msg::kError});
        EXPECT_FALSE(session.connection.isOpen());
        EXPECT_GE(clock.micros() - start, c.waits * 3'000'000);
        EXPECT_LT(clock.micros() - start,
                  c.waits * 3'000'000 + 100'000);  // the close drains briefly
    }
}

TEST_F(SessionTest, FramesForEachLoginModeAndPowerCommandsInEachDialect) {
    ASSERT_FALSE(session.loginFramed(true));
    ScriptedStream& s = net.last();
    s.sent.clear();
    EXPECT_FALSE(sendPowerCommand(session, "POF2", true));
    EXPECT_FALSE(sendPowerCommand(session, "PON1", false));
    session.writeRegister(0x9165, "1", true);
    session.writeRegister(0x2AB, "x", false);
    EXPECT_EQ(s.sent, "*00:7394#POF2\r\n*7394#PON1\r\n*00:7394#R9165=1\r\n*7394#R2ab=x\r\n");
    session.loginMode = 1;
    s.sent.clear();
    EXPECT_FALSE(sendPowerCommand(session, "POR0", true));  // POR0 stays POR0 in this dialect
    EXPECT_EQ(s.sent, "POR0\r\n");

    useModel(11);
    plain.replies["POF9"] = "501 Invalid outlet\r\n";
    ASSERT_FALSE(session.loginPlain(true));
    for (const char* command : {"POR0", "PON0", "POF0", "POR3"})
        EXPECT_FALSE(sendPowerCommand(session, command, true)) << command;
    EXPECT_EQ(plain.commands, (std::vector<std::string>{"MPOR", "MPON", "MPOF", "POR3"}));
    // The prompt was awaited: nothing is left over for the next command.
    EXPECT_EQ(session.connection.unreadBytes(), 0u);
    EXPECT_TRUE(sendPowerCommand(session, "POF9", true));  // rejected
    // A device that stops answering fails the command quietly after its wait.
    plain.mute = true;
    const std::int64_t start = clock.micros();
    EXPECT_TRUE(sendPowerCommand(session, "POF1", true));
    EXPECT_EQ(clock.micros() - start, 3'000'000);
    EXPECT_TRUE(frontend.errors.empty());

    session.record.modelCode = 4;  // neither dialect: nothing goes out
    EXPECT_TRUE(sendPowerCommand(session, "PON1", true));
    EXPECT_EQ(plain.commands.back(), "POF1");
}

TEST_F(SessionTest, PowerButtonsAndTheirConfirmation) {
    for (const char* other : {"POF9", "MPOR", "pon1"}) EXPECT_FALSE(isPowerButtonText(other));
    for (const char* button : {"MPOF", "POF8", "POR0"}) EXPECT_TRUE(isPowerButtonText(button));

    settings.confirmPower = false;
    EXPECT_TRUE(confirmPowerControl(session));
    EXPECT_TRUE(frontend.questions.empty());
    settings.confirmPower = true;
    frontend.answers = {false, true};
    EXPECT_FALSE(confirmPowerControl(session));
    EXPECT_TRUE(confirmPowerControl(session));
    const test::ScriptedFrontend::Question asked{kPowerQuestion, msg::kConfirm, Icon::Question};
    EXPECT_EQ(frontend.questions, (std::vector{asked, asked}));
}

TEST_F(SessionTest, FramedReplyWaitsForTheExpectedKeyThenThePrompt) {
    ASSERT_FALSE(session.loginFramed(true));
    ScriptedStream& s = net.last();
    s.deliver("*00:MPOS=1,1,0,1,1\r\n00:HX>");
    EXPECT_FALSE(session.awaitFramedReply("MPOS"));
    // The prompt without the expected line: waits 3 s of silence, then fails.
    const std::int64_t start = clock.micros();
    s.deliver("00:HX>");
    EXPECT_TRUE(session.awaitFramedReply("SCS"));
    EXPECT_EQ(clock.micros() - start, 3'000'000);
    // Each line starts the wait afresh.
    s.deliver("*00:RL=\r\n", 2'000'000);
    s.deliver("R170=1\r\n", 2'000'000);
    s.deliver("00:HX>", 2'000'000);
    EXPECT_FALSE(session.awaitFramedReply("RL"));
    for (const char* marker : {"Err", "Doubled", "Locked", "FullMemory"}) {
        s.deliver(std::string("*00:") + marker + "\r\n00:HX>");
        EXPECT_TRUE(session.awaitFramedReply(std::nullopt)) << marker;
        EXPECT_TRUE(session.dialogueIdle);
        session.connection.resetRing();
    }
}

// Only a reply (or its start) that does not come in time counts as timed
// out: the readout stops its lists on it and on nothing else.
TEST_F(SessionTest, OnlyAReplyThatDoesNotComeInTimeIsATimeOut) {
    const struct {
        const char* name;
        const char* reply;  // null: the device hangs up
        bool failed, timedOut;
    } cases[] = {{"answered", "*00:R170=1\r\n00:HX>", false, false},
                 {"refused", "*00:Err\r\n00:HX>", true, false},
                 {"silent", "", true, true},
                 {"no prompt", "*00:R170=1\r\n", true, true},
                 {"hung up", nullptr, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        framed.replies["R170"] = c.reply ? c.reply : "";
        framed.hangUpOn = c.reply ? "" : "R170";
        ASSERT_FALSE(session.loginFramed(true));
        EXPECT_EQ(session.sendFramedCommand("R170", true) || session.awaitFramedReply("R170"),
                  c.failed);
        EXPECT_EQ(session.waitTimedOut, c.timedOut);
    }
}

TEST_F(SessionTest, ReconnectAsksWhileTheWindowIsOpenAndNoSendsNothing) {
    framed.replies["MPOS"] = "";
    ASSERT_FALSE(session.loginFramed(true));
    w.ws.state().openDialog = OpenDialog::Control;
    session.connection.connected = false;
    frontend.answers = {false};
    EXPECT_TRUE(session.sendFramedCommand("MPOS", true));  // no login, and no answer
    EXPECT_EQ(frontend.questions, (std::vector<test::ScriptedFrontend::Question>{
                                      {msg::kReconnectQuestion, msg::kConfirm, Icon::Question}}));
    EXPECT_EQ(net.connects, 1);

    frontend.answers = {true};
    session.sendFramedCommand("MPOS", true);
    EXPECT_EQ(net.connects, 2);
    EXPECT_EQ(net.last().sent, "*\r\n*00:7394#MPOS\r\n");
    EXPECT_EQ(view.reconnects, 1);
    EXPECT_EQ(view.redrawnOutlets.back(), -1);  // the window refreshes its controls
}

// The reconnect of a command fails at one of its steps: the message of that
// step is the only one, and the connection stays lost for the next command.
TEST_F(SessionTest, AFailedReconnectShowsItsOneMessageAndTheNextCommandTriesAgain) {
    const struct {
        const char* step;
        std::function<void()> breakDevice;
        int message;
    } cases[] = {
        {"connect", [&] { net.refuse = true; }, msg::kCannotConnect},
        {"greeting", [&] { net.onConnect = nullptr; }, msg::kDisconnected},
        {"console taken", [&] { greetWith("503 Too many users\r\n"); }, msg::kTooManyUsers},
        {"password", [&] { framed.asksLogin = true, session.record.password = "x"; },
         msg::kBadPassword},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        nextRow(3);
        ASSERT_FALSE(session.loginFramed(true));
        session.connection.connected = false;  // lost
        c.breakDevice();
        EXPECT_TRUE(readOutletStates(session));
        EXPECT_EQ(frontend.errors, std::vector<int>{c.message});
        EXPECT_FALSE(session.connection.connected);

        nextRow(3);
        const int connects = net.connects;
        session.sendFramedCommand("MPOS", true);
        EXPECT_EQ(net.connects, connects + 1);
        EXPECT_TRUE(session.connection.connected);
        EXPECT_TRUE(frontend.errors.empty());
    }
}

}  // namespace
}  // namespace zelo
