#include "connection/device_session.h"

#include <functional>

#include <gtest/gtest.h>

#include "connection/framed_readout.h"
#include "settings/app_settings.h"
#include "tests/support/scripted_network.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

using test::ScriptedFrontend;
using test::ScriptedNetwork;
using test::ScriptedStream;

constexpr const char* kNegotiation = "\xFF\xFB\x01\xFF\xFB\x03\xFF\xFD\x18";

class SessionTest : public ::testing::Test {
protected:
    test::TestWorkspace w{"unused/", test::Net::Scripted, 1'700'000'000};
    ManualClock& clock = w.clock;
    ScriptedNetwork& net = w.net;
    ScriptedFrontend& frontend = w.frontend;
    test::ScriptedView& view = w.view;
    AppSettings& settings = w.ws.settings();
    DeviceSession& session = w.session();

    void framedRecord() {
        session.record.modelCode = 3;
        session.record.addressText = "127.0.0.1";
        session.record.port = 23;
        session.record.selectNumber = "00";
        session.record.prompt = "HX";
        session.record.password = "7394";
    }
    void plainRecord() {
        session.record.modelCode = 11;
        session.record.addressText = "127.0.0.1";
        session.record.port = 23;
        session.record.password = "tavik";
        session.record.systemName = "old";
    }

    // A framed device: prompt at once, or "login:" first.
    void framedDevice(bool asksLogin, const std::string& version = " 1.23.4") {
        net.onConnect = [=](ScriptedStream& s) {
            s.deliver(std::string(kNegotiation) + (asksLogin ? "login:" : "00:HX>"));
            s.onSend = [&s, version](const std::string& text) {
                if (text == "admin\r\n") s.deliver("Password:");
                else if (text == "7394\r\n") s.deliver("\r\n00:HX>");
                else if (text == "bad\r\n") s.deliver("\r\nlogin:");
                else if (text == "*\r\n" || text == "ver\r\n")
                    s.deliver("*00:HX-7200 Ver" + version + "\r\n00:HX>");
            };
        };
    }

    void plainDevice(const std::string& greeting = " 220 SWD-12K (rack-pdu) ready\r\n") {
        net.onConnect = [=](ScriptedStream& s) {
            s.deliver(greeting);
            s.onSend = [&s](const std::string& text) {
                if (text == "\r\n") s.deliver("Password:");
                else if (text == "tavik\r\n") s.deliver("\r\nrack-pdu> ");
                else if (text == "wrong\r\n") s.deliver("\r\nIncorrect password\r\n");
            };
        };
    }
};

TEST_F(SessionTest, FramedDeviceWithoutLoginIsIdentifiedWithAStar) {
    framedRecord();
    framedDevice(false);
    ASSERT_FALSE(session.loginFramed(true));
    EXPECT_EQ(net.last().sent, "*\r\n");
    EXPECT_EQ(session.loginMode, 0);
    EXPECT_EQ(session.status.modelNameText, "HX-7200");
    EXPECT_EQ(session.status.firmwareText, "1.23.4");
    EXPECT_EQ(session.status.firmwareVersion, 0x12304u);
    EXPECT_TRUE(frontend.errors.empty());
}

TEST_F(SessionTest, FramedLoginSendsAdminAndThePasswordThenVer) {
    framedRecord();
    session.record.loginName = "never-sent";
    framedDevice(true, " 3.14.12");
    ASSERT_FALSE(session.loginFramed(true));
    EXPECT_EQ(net.last().sent, "admin\r\n7394\r\nver\r\n");
    EXPECT_EQ(session.loginMode, 1);
    EXPECT_EQ(session.status.firmwareVersion, 0x31412u);
}

TEST_F(SessionTest, FramedLoginRefusedIsABadPassword) {
    framedRecord();
    session.record.password = "bad";
    framedDevice(true);
    EXPECT_TRUE(session.loginFramed(true));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadPassword});
    EXPECT_EQ(frontend.errorCaptions, std::vector<int>{msg::kError});
    EXPECT_FALSE(session.connection.isOpen());
}

TEST_F(SessionTest, SecondConsoleGetsTooManyUsers) {
    framedRecord();
    net.onConnect = [](ScriptedStream& s) { s.deliver("503 Too many users\r\n"); };
    EXPECT_TRUE(session.loginFramed(true));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kTooManyUsers});
}

TEST_F(SessionTest, SilentFramedDeviceIsDisconnectedAfterThreeSeconds) {
    framedRecord();
    const std::int64_t start = clock.micros();
    net.onConnect = [](ScriptedStream& s) { s.deliver("noise\r\n"); };
    EXPECT_TRUE(session.loginFramed(true));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kDisconnected});
    EXPECT_GE(clock.micros() - start, 3'000'000);
    EXPECT_LT(clock.micros() - start, 3'100'000);  // and the close drains briefly
}

TEST_F(SessionTest, FramedDeviceWithoutIdentificationIsBadCommunication) {
    framedRecord();
    net.onConnect = [](ScriptedStream& s) {
        s.deliver("00:HX>");
        s.onSend = [&s](const std::string&) { s.deliver("something else\r\n00:HX>"); };
    };
    EXPECT_TRUE(session.loginFramed(true));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
}

TEST_F(SessionTest, UnresolvableOrRefusedAddressCannotConnect) {
    framedRecord();
    session.record.addressText = "no.such.host";
    EXPECT_TRUE(session.loginFramed(true));
    net.refuse = true;
    session.record.addressText = "127.0.0.1";
    EXPECT_TRUE(session.loginPlain(true));
    EXPECT_EQ(frontend.errors, (std::vector<int>{msg::kCannotConnect, msg::kCannotConnect}));
}

TEST_F(SessionTest, PlainLoginTakesTheNameFromTheGreeting) {
    plainRecord();
    plainDevice();
    ASSERT_FALSE(session.loginPlain(true));
    EXPECT_EQ(session.workingPromptName, "rack-pdu");
    EXPECT_EQ(session.record.systemName, "rack-pdu");
    EXPECT_EQ(net.last().sent, "\r\ntavik\r\n");
    EXPECT_EQ(session.status.specField, 20);
}

TEST_F(SessionTest, PlainGreetingWithoutParenthesesKeepsTheSystemName) {
    plainRecord();
    session.record.systemName = "rack-pdu";
    plainDevice(" 220 SWD-12K ready\r\n");
    ASSERT_FALSE(session.loginPlain(true));
    EXPECT_EQ(session.workingPromptName, "rack-pdu");
}

TEST_F(SessionTest, LongGreetingNameIsCutForPromptAndRecord) {
    plainRecord();
    const std::string name(40, 'n');
    net.onConnect = [&](ScriptedStream& s) {
        s.deliver(" 220 X (" + name + ") ready\r\n");
        s.onSend = [&s](const std::string& t) {
            if (t == "\r\n") s.deliver("Password:");
            else s.deliver(std::string(32, 'n') + "> ");
        };
    };
    ASSERT_FALSE(session.loginPlain(true));
    EXPECT_EQ(session.workingPromptName, std::string(32, 'n'));
    EXPECT_EQ(session.record.systemName, std::string(31, 'n'));
}

TEST_F(SessionTest, PlainIncorrectPasswordAndBadGreeting) {
    plainRecord();
    session.record.password = "wrong";
    plainDevice();
    EXPECT_TRUE(session.loginPlain(true));
    plainDevice(" 500 go away\r\n");
    EXPECT_TRUE(session.loginPlain(true));
    net.onConnect = nullptr;  // no greeting at all
    EXPECT_TRUE(session.loginPlain(true));
    EXPECT_EQ(frontend.errors,
              (std::vector<int>{msg::kBadPassword, msg::kBadCommunication, msg::kDisconnected}));
}

TEST_F(SessionTest, FramesForEachLoginMode) {
    framedRecord();
    framedDevice(false);
    ASSERT_FALSE(session.loginFramed(true));
    ScriptedStream& s = net.last();
    s.sent.clear();
    session.sendFramedCommand("MPOS", true);
    session.sendFramedCommand("PON1", false);
    session.writeRegister(0x9165, "1", true);
    session.writeRegister(0x2AB, "x", false);
    EXPECT_EQ(s.sent, "*00:7394#MPOS\r\n*7394#PON1\r\n*00:7394#R9165=1\r\n*7394#R2ab=x\r\n");
    session.loginMode = 1;
    s.sent.clear();
    session.sendFramedCommand("MPOS", true);
    EXPECT_EQ(s.sent, "MPOS\r\n");
}

TEST_F(SessionTest, FramedReplyWaitsForTheExpectedKeyThenThePrompt) {
    framedRecord();
    framedDevice(false);
    ASSERT_FALSE(session.loginFramed(true));
    ScriptedStream& s = net.last();
    s.deliver("*00:MPOS=1,1,0,1,1\r\n00:HX>");
    EXPECT_FALSE(session.awaitFramedReply("MPOS"));
    // The prompt without the expected line: waits 3 s of silence, then fails.
    const std::int64_t start = clock.micros();
    s.deliver("00:HX>");
    EXPECT_TRUE(session.awaitFramedReply("SCS"));
    EXPECT_EQ(clock.micros() - start, 3'000'000);
}

TEST_F(SessionTest, ErrorMarkersFailTheWaitEvenWithThePrompt) {
    framedRecord();
    framedDevice(false);
    ASSERT_FALSE(session.loginFramed(true));
    for (const char* marker : {"Err", "Doubled", "Locked", "FullMemory"}) {
        net.last().deliver(std::string("*00:") + marker + "\r\n00:HX>");
        EXPECT_TRUE(session.awaitFramedReply(std::nullopt)) << marker;
        EXPECT_TRUE(session.dialogueIdle);
        session.connection.resetRing();
    }
}

TEST_F(SessionTest, EachLineRestartsTheFramedClock) {
    framedRecord();
    framedDevice(false);
    ASSERT_FALSE(session.loginFramed(true));
    ScriptedStream& s = net.last();
    s.deliver("*00:RL=\r\n", 2'000'000);
    s.deliver("R170=1\r\n", 2'000'000);
    s.deliver("00:HX>", 2'000'000);
    EXPECT_FALSE(session.awaitFramedReply("RL"));
}

TEST_F(SessionTest, PlainRepliesFillTheStatus) {
    plainRecord();
    plainDevice();
    ASSERT_FALSE(session.loginPlain(true));
    EXPECT_FALSE(session.takePlainReply("XPOS 1,,,,,,0,,,,,"));
    EXPECT_EQ(session.status.outletCount, 2);
    EXPECT_EQ(session.status.outlets[0].state, 1);
    EXPECT_EQ(session.status.outlets[1].state, 0);
    EXPECT_EQ(session.record.powerText, "10");
    EXPECT_FALSE(session.takePlainReply("DATE 06.04.01"));
    EXPECT_EQ(session.status.clock.year, 106);
    EXPECT_EQ(session.status.clock.month, 3);
    EXPECT_EQ(session.status.clock.day, 1);
    EXPECT_EQ(session.status.clock.weekday, 6);  // Saturday
    EXPECT_FALSE(session.takePlainReply("DATE 07-05-02"));
    EXPECT_EQ(session.status.clock.year, 106);  // another separator changes nothing
    EXPECT_FALSE(session.takePlainReply("DATE 07/05/02"));
    EXPECT_EQ(session.status.clock.year, 107);
    EXPECT_FALSE(session.takePlainReply("TIME 13:05:09"));
    EXPECT_EQ(session.status.clock.hour, 13);
    EXPECT_EQ(session.status.clock.second, 9);
    EXPECT_TRUE(session.takePlainReply("501 Syntax error"));
    EXPECT_FALSE(session.takePlainReply("version 1.23a.0012 /061231"));
    EXPECT_EQ(session.status.firmwareVersion, (0x1u << 16) + (0x23u << 8) + 'a');
    EXPECT_EQ(session.status.firmwareBuild, 0x12u);
    EXPECT_EQ(session.status.firmwareDate, "061231");
    EXPECT_FALSE(session.takePlainReply("version 2.10 /0612"));
    EXPECT_EQ(session.status.firmwareVersion, (0x2u << 16) + (0x10u << 8) + ' ');
    EXPECT_EQ(session.status.firmwareDate, "061231");  // too few digits: unchanged
}

TEST_F(SessionTest, ShortOrOddPlainLinesAreSafe) {
    plainRecord();
    for (const char* line : {"XPOS ", "XPOS", "DATE ", "DATE 1", "TIME 1:", "ver", "ver ", "ver 1.",
                             "XPOS 9,,,,,,", "XPOS 1,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1,,,,,,1"})
        session.takePlainReply(line);
    EXPECT_LE(session.status.outletCount, 8);
}

TEST_F(SessionTest, DatesOutOfRangeChangeNothing) {
    plainRecord();
    ASSERT_FALSE(session.takePlainReply("DATE 06.04.01"));
    for (const char* line : {"DATE 06.04.99999999999", "DATE   .  .99999999999 -99999999999 1",
                             "DATE 06.13.01", "DATE 06.04.00", "DATE 06.04.32", "DATE -1.04.01"})
        EXPECT_FALSE(session.takePlainReply(line));
    EXPECT_EQ(session.status.clock.year, 106);
    EXPECT_EQ(session.status.clock.month, 3);
    EXPECT_EQ(session.status.clock.day, 1);
    EXPECT_EQ(session.status.clock.weekday, 6);
    EXPECT_FALSE(session.takePlainReply("DATE 99/12/31"));
    EXPECT_EQ(session.status.clock.year, 199);
    EXPECT_EQ(session.status.clock.weekday, 4);  // 2099-12-31, a Thursday
}

TEST_F(SessionTest, WeekdayFormula) {
    EXPECT_EQ(weekdayOf(2006, 4, 1), 6);
    EXPECT_EQ(weekdayOf(2024, 1, 1), 1);   // Monday, January counts as month 13
    EXPECT_EQ(weekdayOf(2000, 2, 29), 2);  // Tuesday
}

TEST_F(SessionTest, ReconnectAsksAndNoSendsNothing) {
    framedRecord();
    framedDevice(false);
    ASSERT_FALSE(session.loginFramed(true));
    w.ws.state().openDialog = OpenDialog::Control;
    session.connection.connected = false;
    frontend.answers = {false};
    EXPECT_TRUE(session.sendFramedCommand("MPOS", true));  // nothing goes out, nothing comes
    ASSERT_EQ(frontend.questions.size(), 1u);
    EXPECT_EQ(frontend.questions[0].textId, msg::kReconnectQuestion);
    EXPECT_EQ(frontend.questions[0].captionId, msg::kConfirm);
    EXPECT_EQ(net.connects, 1);

    frontend.answers = {true};
    session.connection.connected = false;
    session.sendFramedCommand("MPOS", true);
    EXPECT_EQ(net.connects, 2);
    EXPECT_EQ(net.last().sent, "*\r\n*00:7394#MPOS\r\n");
    EXPECT_EQ(view.redrawnOutlets.back(), -1);  // the window refreshes its controls
}

TEST_F(SessionTest, ALostConnectionIsNoticedAndTheNextCommandLogsInAgain) {
    framedRecord();
    framedDevice(false);
    ASSERT_FALSE(session.loginFramed(true));
    net.last().closeAfter();
    EXPECT_TRUE(session.awaitFramedReply("MPOS"));
    EXPECT_EQ(view.losses, 1);
    session.sendFramedCommand("MPOS", true);  // no window open: no question
    EXPECT_EQ(net.connects, 2);
    EXPECT_TRUE(frontend.questions.empty());
}

// The reconnect of a command fails at one of its steps: the message of that
// step is the only one, and the connection stays lost for the next command.
TEST_F(SessionTest, AFailedReconnectShowsItsOneMessageAndTheNextCommandTriesAgain) {
    struct Case {
        const char* step;
        std::function<void()> breakDevice;
        int message;
    };
    const Case cases[] = {
        {"connect", [&] { net.refuse = true; }, msg::kCannotConnect},
        {"greeting", [&] { net.onConnect = nullptr; }, msg::kDisconnected},
        {"password",
         [&] {
             session.record.password = "bad";
             framedDevice(true);
         },
         msg::kBadPassword},
    };
    for (const Case& c : cases) {
        framedRecord();
        framedDevice(false);
        net.refuse = false;
        ASSERT_FALSE(session.loginFramed(true)) << c.step;
        session.connection.connected = false;  // lost
        c.breakDevice();
        frontend.errors.clear();
        EXPECT_TRUE(readOutletStates(session)) << c.step;
        EXPECT_EQ(frontend.errors, std::vector<int>{c.message}) << c.step;
        EXPECT_FALSE(session.connection.connected) << c.step;

        framedRecord();
        framedDevice(false);
        net.refuse = false;
        const int connects = net.connects;
        session.sendFramedCommand("MPOS", true);  // unanswered: only the login counts here
        EXPECT_EQ(net.connects, connects + 1) << c.step;
        EXPECT_TRUE(session.connection.connected) << c.step;
        EXPECT_EQ(frontend.errors.size(), 1u) << c.step;
    }
}

}  // namespace
}  // namespace zelo
