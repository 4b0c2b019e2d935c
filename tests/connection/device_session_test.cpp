// The dialogue with one device on the scripted network: logins of both
// dialects and how each fails, command frames and power commands, the
// reply waits, finding a lost device again, and opening a device: the
// framed readout with its firmware gates, what each failure or loss in it
// does, the plain start-up queries, and how the session acts on the lines
// it reads.
#include "connection/device_session.h"

#include <gtest/gtest.h>

#include <functional>

#include "connection/framed_readout.h"
#include "connection/open_sequence.h"
#include "connection/power_control.h"
#include "tests/support/scripted_devices.h"

namespace zelo {
namespace {

using test::FramedDeviceScript;
using test::ScriptedStream;

constexpr std::int64_t kWait = kReplySeconds * 1'000'000;

class SessionTest : public test::DeviceFixture {
protected:
    void greetWith(const char* text) {
        net.onConnect = [text](ScriptedStream& s) { s.deliver(text); };
    }
};
using ReadoutTest = SessionTest;

TEST_F(SessionTest, FramedLoginsIdentifyTheDeviceWithAStarOrAfterTheLogin) {
    for (const bool asksLogin : {false, true}) {
        SCOPED_TRACE(asksLogin ? "login" : "prompt");
        framed.asksLogin = asksLogin;
        framed.version = asksLogin ? " 3.14.12" : " 1.23.4";
        framed.loginDelay = kWait - 1;  // the prompt just before the wait ends
        session.record.loginName = "never-sent";
        ASSERT_EQ(session.loginFramed(true), StepResult::Ok);
        const DeviceStatus& st = session.status;
        EXPECT_EQ(
            net.last().sent + std::to_string(session.loginMode) + " " + st.modelNameText + " " +
                st.firmwareText,
            asksLogin ? "admin\r\n7394\r\nver\r\n1 HX-7200 3.14.12" : "*\r\n0 HX-7200 1.23.4");
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
        plain.loginDelay = kWait - 1;  // the prompt just before the wait ends
        session.record.systemName = c.before;
        ASSERT_EQ(session.loginPlain(true), StepResult::Ok);
        EXPECT_EQ(session.plainPrompt(), c.prompt);
        EXPECT_EQ(session.record.systemName, c.after);
        EXPECT_EQ(net.last().sent, "\r\ntavik\r\n");
        EXPECT_EQ(session.status.specField, 20);
    }
    // What follows the password prompt is no answer to the password.
    plain.passwordPrompt = "Password:Incorrect password\r\n";
    EXPECT_EQ(session.loginPlain(true), StepResult::Ok);
}

// Each failed login shows its one message with what failed (address, port,
// and the reason where one is known), closes the connection and takes the
// waits it must and no more; in a command's reconnect too.
TEST_F(SessionTest, EachFailedLoginShowsItsMessageInAnOpenOrAReconnect) {
    const struct {
        const char* name;
        int model;
        std::function<void()> breakDevice;
        Text message;
        int waits;           // 3-second waits that run out
        const char* detail;  // after the address and port
    } cases[] = {
        {"framed password refused", 3,
         [&] { framed.asksLogin = true, session.record.password = "x"; }, Text::BadPassword, 0, ""},
        {"console taken", 3, [&] { greetWith("503 Too many users\r\n"); }, Text::TooManyUsers, 0,
         ""},
        {"framed device silent", 3, [&] { greetWith("noise\r\n"); }, Text::NetworkDisconnected, 1,
         ": no '00:HX>' in time"},
        {"no identification", 3, [&] { framed.replies["*"] = "something else\r\n00:HX>"; },
         Text::BadCommunication, 0, ""},
        {"prompt but no answer", 3, [&] { framed.replies["*"] = ""; }, Text::BadCommunication, 1,
         ": no answer in time"},
        {"unresolvable address", 3, [&] { session.record.addressText = "no.such.host"; },
         Text::CannotConnect, 0, ": unknown host"},
        {"connection refused", 11, [&] { net.refuse = true; }, Text::CannotConnect, 0,
         ": cannot connect"},
        {"plain password refused", 11, [&] { session.record.password = "x"; }, Text::BadPassword, 0,
         ""},
        {"plain console taken", 11, [&] { greetWith("503 Too many users\r\n"); },
         Text::BadCommunication, 0, ""},
        {"no greeting", 11, [&] { net.onConnect = nullptr; }, Text::NetworkDisconnected, 1,
         ": no answer in time"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        nextRow(c.model);
        c.breakDevice();
        const std::int64_t start = clock.micros();
        EXPECT_EQ(c.model == 3 ? session.loginFramed(true) : session.loginPlain(true),
                  StepResult::Failed);
        EXPECT_EQ(frontend.errors, std::vector<Text>{c.message});
        EXPECT_EQ(frontend.errorCaptions, std::vector<Text>{Text::ErrorCaption});
        EXPECT_EQ(session.failureDetail(), session.record.addressText + ":23" + c.detail);
        EXPECT_FALSE(session.connection.isOpen());
        EXPECT_EQ((clock.micros() - start) / 100'000, c.waits * 30);  // the close drains briefly

        // The same failure in a command's reconnect: its message is the only
        // one, the connection stays lost, a later open tells its own, and the
        // next command (the device well again) tries again.
        nextRow(c.model);
        ASSERT_EQ(c.model == 3 ? session.loginFramed(true) : session.loginPlain(true),
                  StepResult::Ok);
        session.connection.connected = false;  // lost
        c.breakDevice();
        EXPECT_EQ(
            c.model == 3 ? readOutletStates(session) : sendPowerCommand(session, "PON1", true),
            StepResult::Failed);
        EXPECT_EQ(frontend.errors, std::vector<Text>{c.message});
        EXPECT_FALSE(session.connection.connected);
        EXPECT_EQ(openDevice(session), OpenResult::Failed);
        EXPECT_EQ(frontend.errors, (std::vector<Text>{c.message, c.message}));
        session.connection.connected = false;  // the failed open left the flag set
        nextRow(c.model);
        const int connects = net.connects;
        static_cast<void>(sendPowerCommand(session, "PON1", true));
        EXPECT_EQ(net.connects, connects + 1);
        EXPECT_TRUE(session.connection.connected);
        EXPECT_TRUE(frontend.errors.empty());
    }
}

TEST_F(SessionTest, FramesForEachLoginModeAndPowerCommandsInEachDialect) {
    ASSERT_EQ(session.loginFramed(true), StepResult::Ok);
    ScriptedStream& s = net.last();
    s.sent.clear();
    EXPECT_EQ(sendPowerCommand(session, "POF2", true), StepResult::Ok);
    EXPECT_EQ(sendPowerCommand(session, "PON1", false), StepResult::Ok);
    static_cast<void>(session.writeRegister(0x9165, "1", true));
    static_cast<void>(session.writeRegister(0x2AB, "x", false));
    EXPECT_EQ(s.sent, "*00:7394#POF2\r\n*7394#PON1\r\n*00:7394#R9165=1\r\n*7394#R2ab=x\r\n");
    session.loginMode = 1;
    s.sent.clear();
    EXPECT_EQ(sendPowerCommand(session, "POR0", true), StepResult::Ok);  // sent as POR0
    EXPECT_EQ(s.sent, "POR0\r\n");

    useModel(11);
    plain.replies["POF9"] = "501 Invalid outlet\r\n";
    ASSERT_EQ(session.loginPlain(true), StepResult::Ok);
    for (const char* command : {"POR0", "PON0", "POF0", "POR3"})
        EXPECT_EQ(sendPowerCommand(session, command, true), StepResult::Ok) << command;
    EXPECT_EQ(plain.commands, (std::vector<std::string>{"MPOR", "MPON", "MPOF", "POR3"}));
    // The prompt was awaited: nothing is left over for the next command.
    EXPECT_EQ(session.connection.unreadBytes(), 0u);
    EXPECT_EQ(sendPowerCommand(session, "POF9", true), StepResult::Failed);  // rejected quietly
    EXPECT_TRUE(frontend.errors.empty());
}

// (Which texts are power buttons: the zeloctl tests, which refuse the others.)
// (The question's text: the Wine window tests.)
TEST_F(SessionTest, PowerCommandsAreConfirmedWhenTheSettingAsks) {
    settings.confirmPower = false;
    EXPECT_TRUE(confirmPowerControl(session));
    settings.confirmPower = true;
    frontend.answers = {false};
    EXPECT_FALSE(confirmPowerControl(session));
    EXPECT_EQ(frontend.questions.size(), 1u);
}

// A framed reply is the line of its key, then the prompt, each within its
// wait of what came before; a refusal ends it at once. Only a reply (or its
// start) that does not come in time counts as timed out: the readout stops
// its lists on it and on nothing else.
TEST_F(SessionTest, AFramedReplyAndWhatCountsAsATimeOut) {
    const struct {
        const char* name;
        std::vector<std::pair<const char*, std::int64_t>> arrives;  // text, micros after the last
        bool failed, timedOut;
        std::int64_t took;
        bool hangsUp = false;  // instead of answering
    } cases[] = {
        {"just before the wait ends",
         {{"*00:R170=1\r\n00:HX>", kWait - 1}},
         false,
         false,
         kWait - 1},
        {"each line starts the wait afresh",
         {{"*00:R170=1\r\n", 2'000'000}, {"*00:R171=2\r\n", 2'000'000}, {"00:HX>", 2'000'000}},
         false,
         false,
         6'000'000},
        {"refused", {{"*00:Err\r\n00:HX>", 0}}, true, false, 0},
        {"doubled", {{"*00:Doubled\r\n00:HX>", 0}}, true, false, 0},
        {"memory full", {{"*00:FullMemory\r\n00:HX>", 0}}, true, false, 0},
        {"silent", {}, true, true, kWait},
        {"no prompt", {{"*00:R170=1\r\n", 0}}, true, true, kWait},
        {"the prompt without the key", {{"00:HX>", 0}}, true, true, kWait},
        {"hung up", {}, true, false, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        nextRow(3);
        framed.replies["R170"] = "";
        if (c.hangsUp) framed.hangUpOn = "R170";
        ASSERT_EQ(session.loginFramed(true), StepResult::Ok);
        for (const auto& [text, after] : c.arrives) net.last().deliver(text, after);
        const std::int64_t start = clock.micros();
        EXPECT_EQ(session.queryFramed("R170", "R170") == StepResult::Failed, c.failed);
        EXPECT_EQ(session.waitTimedOut, c.timedOut);
        EXPECT_TRUE(session.dialogueIdle);
        EXPECT_EQ(clock.micros() - start, c.took);
    }
}

// (A yes reconnects and sends: the Wine window tests, over the simulator.)
TEST_F(SessionTest, ReconnectAsksWhileTheWindowIsOpenAndNoSendsNothing) {
    framed.replies["MPOS"] = "";
    ASSERT_EQ(session.loginFramed(true), StepResult::Ok);
    w.ws.state().openDialog = OpenDialog::Control;
    session.connection.connected = false;
    frontend.answers = {false};
    EXPECT_EQ(session.sendFramedCommand("MPOS", true), StepResult::Failed);  // no login, no answer
    EXPECT_EQ(frontend.questions,
              (std::vector<test::ScriptedFrontend::Question>{
                  {Text::ReconnectQuestion, Text::ConfirmCaption, Icon::Question}}));
    EXPECT_EQ(net.connects, 1);
}

TEST_F(ReadoutTest, PosLineSavesTheRecordRedrawsWhatChangedAndAsksForMpos) {
    ASSERT_EQ(session.loginFramed(true), StepResult::Ok);
    session.record.powerText = "1 1111";
    ASSERT_EQ(session.takeFramedReply("*00:POS=1:0,0:0,1:1,0:0,"), LineTaken::Taken);
    EXPECT_EQ(session.status.previousRecord.powerText, "1 1111");
    EXPECT_EQ(stored().powerText, "1010");
    ASSERT_EQ(view.changedRecords.size(), 1u);
    EXPECT_EQ(view.changedRecords.back().powerText, "1010");
    EXPECT_EQ(view.redrawnOutlets, (std::vector<int>{0, 2}));  // the states that changed
    EXPECT_EQ(framed.commands, std::vector<std::string>{"MPOS"});

    clock.set(1'717'000'000);
    ASSERT_EQ(session.takeFramedReply("*00:MPOS=0,1:0,0:0,1:0,"), LineTaken::Taken);
    EXPECT_EQ(stored().updateTime, 1'717'000'000u);
    EXPECT_EQ(session.takeFramedReply("*00:Err"), LineTaken::Refused);

    // The states alone, as after a power command.
    framed.commands.clear();
    ASSERT_EQ(readOutletStates(session), StepResult::Ok);
    EXPECT_EQ(framed.commands, (std::vector<std::string>{"MPOS", "SCS"}));
    framed.replies["SCS"] = FramedDeviceScript::framed("Err");
    EXPECT_EQ(readOutletStates(session), StepResult::Failed);
    EXPECT_EQ(frontend.errors, std::vector<Text>{Text::BadCommunication});
}

TEST_F(ReadoutTest, FirmwareDecidesWhatIsAsked) {
    const struct {
        const char* version;
        std::vector<std::string> asked, notAsked;
        std::size_t registerCommands;  // "R..." single registers and range lists
        const char* scheduleText;
    } cases[] = {
        {" 3.10.1",
         {"MPOS", "R170", "PL"},
         {"SCS", "R194", "R9165", "R9919", "R9801", "PL-30"},
         134 + 1,
         "----"},  // no SCS: the schedule is not known
        {" 3.14.11",
         {"SCS", "R9165", "R9919", "R194", "R2243", "PL"},
         {"R9801", "LOG0", "PL-30"},
         135 + 2 + 1,
         "1010"},
        {" 3.14.12",
         {"R9801", "RL41C0-41FF", "PL186-"},
         {"R170", "R9930", "LOG0"},
         3 + 1 + 44,
         "1010"},
        {" 3.29.05", {"LOG0", "R9930"}, {"R170"}, 3 + 1 + 1 + 44, "1010"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        useModel(3);
        framed.version = c.version;
        framed.commands.clear();
        ASSERT_EQ(session.loginFramed(true), StepResult::Ok);
        ASSERT_EQ(readFramedStatus(session), StepResult::Ok);
        for (const std::string& command : c.asked) EXPECT_TRUE(framed.received(command)) << command;
        for (const std::string& command : c.notAsked)
            EXPECT_FALSE(framed.received(command)) << command;
        EXPECT_EQ(framed.commandsStartingWith("R").size(), c.registerCommands);
        EXPECT_EQ(stored().scheduleText, c.scheduleText);
        EXPECT_EQ(stored().macText, "0080870A0B0C");
        EXPECT_TRUE(frontend.errors.empty());
    }
    // 3.29.05, its MAC known: no R9900.
    session.record.macText = "0080870A0B0C";
    framed.commands.clear();
    ASSERT_EQ(session.loginFramed(true), StepResult::Ok);
    ASSERT_EQ(readFramedStatus(session), StepResult::Ok);
    EXPECT_FALSE(framed.received("R9900"));
    EXPECT_EQ(framed.commandsStartingWith("PL"),
              (std::vector<std::string>{"PL-30", "PL31-60", "PL61-90", "PL91-110", "PL111-135",
                                        "PL136-160", "PL161-185", "PL186-"}));
}

// A failure in the readout shows one message; a range that is refused
// leaves the others to run (the last decides), a range that times out or
// loses the connection ends the lists after its one wait. What a range
// brought before it failed is kept.
TEST_F(ReadoutTest, FailuresInTheReadout) {
    const struct {
        const char* name;
        const char* version;
        std::function<void()> breakDevice;
        std::optional<Text> message;  // none: the readout succeeds
        std::size_t ranges;
        const char* lastCommand;
        int waits;
        bool read300 = false;  // register 0x300 is known afterwards
    } cases[] = {
        {"refused MPOS", " 3.14.12",
         [&] { framed.replies["MPOS"] = FramedDeviceScript::framed("Err"); }, Text::BadPassword, 0,
         "MPOS", 0},
        {"locked register", " 3.14.11",
         [&] { framed.replies["R205"] = FramedDeviceScript::framed("Locked"); },
         Text::BadCommunication, 0, "R205", 0},
        {"first range refused", " 3.14.12",
         [&] { framed.replies["RL170-1FF"] = FramedDeviceScript::framed("Err"); }, std::nullopt, 44,
         "PL186-", 0, true},
        {"last range refused", " 3.14.12",
         [&] { framed.replies["RL41C0-41FF"] = FramedDeviceScript::framed("Err"); },
         Text::BadCommunication, 44, "RL41C0-41FF", 0, true},
        {"range without its prompt", " 3.14.12",
         [&] { framed.replies["RL300-31F"] = "*00:RL=300-31F\r\nR300=0.0\r\n"; },
         Text::BadCommunication, 6, "RL300-31F", 1, true},
        {"hung up on a range", " 3.14.12", [&] { framed.hangUpOn = "RL300-31F"; },
         Text::BadCommunication, 5, "RL270-28F", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        nextRow(3);
        framed.version = c.version;
        ASSERT_EQ(session.loginFramed(true), StepResult::Ok);
        c.breakDevice();
        const std::int64_t start = clock.micros();
        EXPECT_EQ(readFramedStatus(session) == StepResult::Failed, c.message.has_value());
        EXPECT_EQ(frontend.errors, c.message ? std::vector<Text>{*c.message} : std::vector<Text>{});
        EXPECT_EQ(session.connection.isOpen(), !c.message);
        EXPECT_EQ(framed.commandsStartingWith("RL").size(), c.ranges);
        EXPECT_EQ(framed.commands.back(), c.lastCommand);  // nothing is asked after a failure
        EXPECT_EQ((clock.micros() - start) / kWait, c.waits);
        EXPECT_EQ(session.status.registers.count(0x300), c.read300 ? 1u : 0u);
        EXPECT_EQ(session.listMode, 0);  // a list cut short leaves no list open
    }
    EXPECT_FALSE(session.connection.connected);
    EXPECT_EQ(session.awaitFramedReply("RL"), StepResult::Failed);
    EXPECT_EQ(view.losses, 1);  // only the hang-up was a loss, and it is told once
    EXPECT_EQ(readOutletStates(session), StepResult::Ok);  // the next command logs in, unasked
    EXPECT_TRUE(session.connection.isOpen());
    EXPECT_TRUE(frontend.questions.empty());
}

TEST_F(ReadoutTest, OpeningADeviceOfEitherDialect) {
    const struct {
        const char* name;
        int model;
        std::function<void()> breakDevice;
        OpenResult result;
        std::optional<Text> message;
    } cases[] = {
        {"framed", 3, [] {}, OpenResult::Opened, std::nullopt},
        {"plain", 11, [] {}, OpenResult::Opened, std::nullopt},
        {"no address", 3, [&] { session.record.addressText.clear(); }, OpenResult::NeedsProperties,
         std::nullopt},
        {"neither dialect", 3, [&] { session.record.modelCode = 4; }, OpenResult::NotSupported,
         Text::NotSupported},
        {"another model", 11, [&] { plain.replies["?model"] = "?model=\"SWD-Q6M\"\r\n"; },
         OpenResult::Failed, Text::BadCommunication},
        {"outlets refused", 11, [&] { plain.replies["XPOS"] = "501 Invalid\r\n"; },
         OpenResult::Failed, Text::ErrorCaption},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        session.connection.closeConnection();
        nextRow(c.model);
        plain.replies = {{"ver", "version 2.01a.0012 /061231\r\n"},
                         {"?model", "?model=\"SWD-12K\"\r\n"},
                         {"XPOS", "XPOS 1:0000,0:0000,1:0000,1:0000\r\n"},
                         {"DATE", "DATE 24/05/06\r\n"},
                         {"TIME", "TIME 07:08:09\r\n"},
                         {"LIST", "sysLocation=\"Rack room\"\r\npdu> rs232Port1Speed=9600\r\n"}};
        view.connectingShows = view.connectingHides = 0;
        const int connects = net.connects;
        c.breakDevice();
        EXPECT_EQ(openDevice(session), c.result);
        EXPECT_EQ(frontend.errors, c.message ? std::vector<Text>{*c.message} : std::vector<Text>{});
        const bool tried = c.result == OpenResult::Opened || c.result == OpenResult::Failed;
        EXPECT_EQ(net.connects, connects + (tried ? 1 : 0));
        EXPECT_EQ(view.connectingShows, tried ? 1 : 0);
        EXPECT_EQ(view.connectingHides, tried ? 1 : 0);
        EXPECT_EQ(session.connection.isOpen(), c.result == OpenResult::Opened);
    }
    // A plain device's mail ports are the fixed ones, set as its queries start.
    EXPECT_EQ(
        std::to_string(session.status.smtpPort) + " " + std::to_string(session.status.pop3Port),
        "25 110");
}

}  // namespace
}  // namespace zelo
