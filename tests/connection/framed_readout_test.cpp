// Opening a device: the framed readout with its firmware gates, what each
// failure or loss in it does, the plain start-up queries, and how the
// session acts on the lines it reads.
#include "connection/framed_readout.h"

#include <gtest/gtest.h>

#include <functional>

#include "connection/open_sequence.h"
#include "tests/support/scripted_devices.h"

namespace zelo {
namespace {

using test::FramedDeviceScript;

constexpr std::int64_t kWait = kReplySeconds * 1'000'000;

class ReadoutTest : public test::DeviceFixture {};

TEST_F(ReadoutTest, PosLineSavesTheRecordRedrawsWhatChangedAndAsksForMpos) {
    ASSERT_FALSE(session.loginFramed(true));
    session.record.powerText = "1 1111";
    ASSERT_FALSE(session.takeFramedReply("*00:POS=1:0,0:0,1:1,0:0,"));
    EXPECT_EQ(session.status.previousRecord.powerText, "1 1111");
    EXPECT_EQ(stored().powerText, "1010");
    ASSERT_EQ(view.changedRecords.size(), 1u);
    EXPECT_EQ(view.changedRecords.back().powerText, "1010");
    EXPECT_EQ(view.redrawnOutlets, (std::vector<int>{0, 2}));  // the states that changed
    EXPECT_EQ(framed.commands, std::vector<std::string>{"MPOS"});

    clock.set(1'717'000'000);
    ASSERT_FALSE(session.takeFramedReply("*00:MPOS=0,1:0,0:0,1:0,"));
    EXPECT_EQ(stored().updateTime, 1'717'000'000u);
    EXPECT_EQ(view.redrawnOutlets.back(), -1);  // the master lamp
    EXPECT_TRUE(session.takeFramedReply("*00:Err"));
}

TEST_F(ReadoutTest, AReplyOfManyLinesSavesTheRecordOnceAndRedrawsEachOutletOnce) {
    ASSERT_FALSE(session.loginFramed(true));
    framed.replies["POF1"] = "*00:POS=0:0,0:0,0:0,\r\n*00:SCS=1:0,0:0,1:0,\r\n00:HX>";
    ASSERT_FALSE(session.sendFramedCommand("POF1", true));
    // The POS line asks for MPOS at once; its answer is read in the same pass.
    ASSERT_FALSE(session.awaitFramedReply(std::nullopt));
    EXPECT_EQ(framed.commands.back(), "MPOS");
    ASSERT_EQ(view.changedRecords.size(), 1u);
    for (const DeviceRecord& r : {view.changedRecords.back(), stored()})
        EXPECT_EQ(r.powerText + "/" + r.scheduleText, "1 1011/101");
    EXPECT_EQ(view.redrawnOutlets, (std::vector<int>{-1, 0, 2, 3}));
}

TEST_F(ReadoutTest, FirmwareDecidesWhatIsAsked) {
    const struct {
        const char* version;
        std::vector<std::string> asked, notAsked;
        std::size_t registerCommands;  // "R..." single registers and range lists
        const char* scheduleText;
    } cases[] = {
        {" 3.10.1", {"MPOS", "R170", "PL"}, {"SCS", "R194", "R9165", "R9919", "R9801", "PL-30"},
         134 + 1, "----"},  // no SCS: the schedule is not known
        {" 3.14.11", {"SCS", "R9165", "R9919", "R194", "R2243", "PL"}, {"R9801", "LOG0", "PL-30"},
         135 + 2 + 1, "1010"},
        {" 3.14.12", {"R9801", "RL41C0-41FF", "PL186-"}, {"R170", "R9930", "LOG0"},
         3 + 1 + 44, "1010"},
        {" 3.29.05", {"LOG0", "R9930"}, {"R170"}, 3 + 1 + 1 + 44, "1010"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        useModel(3);
        framed.version = c.version;
        framed.commands.clear();
        ASSERT_FALSE(session.loginFramed(true));
        ASSERT_FALSE(readFramedStatus(session));
        for (const std::string& command : c.asked) EXPECT_TRUE(framed.received(command)) << command;
        for (const std::string& command : c.notAsked)
            EXPECT_FALSE(framed.received(command)) << command;
        EXPECT_EQ(framed.commandsStartingWith("R").size(), c.registerCommands);
        EXPECT_EQ(stored().scheduleText, c.scheduleText);
        EXPECT_EQ(stored().macText, "0080870A0B0C");
        EXPECT_TRUE(frontend.errors.empty());
        EXPECT_EQ(session.listMode, 0);
    }
    // 3.29.05, its MAC known: no R9900; the log and the serial number read.
    EXPECT_EQ(session.status.lastLogText, "24/05/06 07:08 POWER ON");
    EXPECT_EQ(session.status.settings.serialNo, "SN0042");
    session.record.macText = "0080870A0B0C";
    framed.commands.clear();
    ASSERT_FALSE(session.loginFramed(true));
    ASSERT_FALSE(readFramedStatus(session));
    EXPECT_FALSE(framed.received("R9900"));
}

TEST_F(ReadoutTest, TheRangeReadoutInItsOrderAndTheStateItLeaves) {
    ASSERT_FALSE(session.loginFramed(true));
    ASSERT_FALSE(readFramedStatus(session));
    const std::vector<std::string> head(framed.commands.begin(), framed.commands.begin() + 10);
    EXPECT_EQ(head, (std::vector<std::string>{"MPOS", "SCS", "R9165", "R9801", "R9919", "DT",
                                              "SPEC", "TYPE", "R9900", "RL170-1FF"}));
    EXPECT_EQ(framed.commandsStartingWith("PL"),
              (std::vector<std::string>{"PL-30", "PL31-60", "PL61-90", "PL91-110", "PL111-135",
                                        "PL136-160", "PL161-185", "PL186-"}));
    const DeviceStatus& st = session.status;
    EXPECT_EQ(stored().powerText + " " + std::to_string(st.clock.weekday) + " " +
                  std::to_string(st.outlets[2].type) + " " +
                  std::to_string(st.registers.count(0x4180)) +
                  std::to_string(st.scheduleList[0].used),
              "1 1011 1 26 11");
}

// A failure in the readout shows one message; a range that is refused
// leaves the others to run (the last decides), a range that times out or
// loses the connection ends the lists after its one wait.
TEST_F(ReadoutTest, FailuresInTheReadout) {
    const struct {
        const char* name;
        const char* version;
        std::function<void()> breakDevice;
        int message;  // 0: the readout succeeds
        std::size_t ranges;
        const char* lastCommand;
        int waits;
    } cases[] = {
        {"refused MPOS", " 3.14.12",
         [&] { framed.replies["MPOS"] = FramedDeviceScript::framed("Err"); }, msg::kBadPassword, 0,
         "MPOS", 0},
        {"silent SPEC", " 3.14.12", [&] { framed.replies["SPEC"] = ""; }, msg::kBadCommunication, 0,
         "SPEC", 1},
        {"locked register", " 3.14.11",
         [&] { framed.replies["R205"] = FramedDeviceScript::framed("Locked"); },
         msg::kBadCommunication, 0, "R205", 0},
        {"first range refused", " 3.14.12",
         [&] { framed.replies["RL170-1FF"] = FramedDeviceScript::framed("Err"); }, 0, 44, "PL186-",
         0},
        {"last range refused", " 3.14.12",
         [&] { framed.replies["RL41C0-41FF"] = FramedDeviceScript::framed("Err"); },
         msg::kBadCommunication, 44, "RL41C0-41FF", 0},
        {"silent range", " 3.14.12", [&] { framed.replies["RL300-31F"] = ""; },
         msg::kBadCommunication, 6, "RL300-31F", 1},
        {"range without its prompt", " 3.14.12",
         [&] { framed.replies["RL300-31F"] = "*00:RL=300-31F\r\nR300=0.0\r\n"; },
         msg::kBadCommunication, 6, "RL300-31F", 1},
        {"hung up on a range", " 3.14.12", [&] { framed.hangUpOn = "RL300-31F"; },
         msg::kBadCommunication, 5, "RL270-28F", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        nextRow(3);
        framed.version = c.version;
        ASSERT_FALSE(session.loginFramed(true));
        c.breakDevice();
        const std::int64_t start = clock.micros();
        EXPECT_EQ(readFramedStatus(session), c.message != 0);
        EXPECT_EQ(frontend.errors, c.message ? std::vector<int>{c.message} : std::vector<int>{});
        EXPECT_EQ(session.connection.isOpen(), c.message == 0);
        EXPECT_EQ(framed.commandsStartingWith("RL").size(), c.ranges);
        EXPECT_EQ(framed.commands.back(), c.lastCommand);  // nothing is asked after a failure
        EXPECT_GE(clock.micros() - start, c.waits * kWait);
        EXPECT_LT(clock.micros() - start, (c.waits + 1) * kWait);
    }
    EXPECT_FALSE(session.connection.connected);
    EXPECT_TRUE(session.awaitFramedReply("RL"));
    EXPECT_EQ(view.losses, 1);  // only the hang-up was a loss, and it is told once
    EXPECT_FALSE(readOutletStates(session));  // the next command logs in again, unasked
    EXPECT_TRUE(session.connection.isOpen());
    EXPECT_TRUE(frontend.questions.empty());
}

TEST_F(ReadoutTest, WhatARangeWithoutItsPromptBroughtIsKept) {
    framed.replies["RL300-31F"] = "*00:RL=300-31F\r\nR300=0.0\r\n";
    ASSERT_FALSE(session.loginFramed(true));
    EXPECT_TRUE(readFramedStatus(session));
    EXPECT_EQ(session.status.registers.count(0x300), 1u);
}

TEST_F(ReadoutTest, OutletStatesAloneAfterAPowerCommand) {
    ASSERT_FALSE(session.loginFramed(true));
    ASSERT_FALSE(readOutletStates(session));
    EXPECT_EQ(framed.commands, (std::vector<std::string>{"MPOS", "SCS"}));
    framed.replies["SCS"] = FramedDeviceScript::framed("Err");
    EXPECT_TRUE(readOutletStates(session));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
}

TEST_F(ReadoutTest, OpeningADeviceOfEitherDialect) {
    const struct {
        const char* name;
        int model;
        std::function<void()> breakDevice;
        OpenResult result;
        int message;
    } cases[] = {
        {"framed", 3, [] {}, OpenResult::Opened, 0},
        {"plain", 11, [] {}, OpenResult::Opened, 0},
        {"no address", 3, [&] { session.record.addressText.clear(); }, OpenResult::NeedsProperties,
         0},
        {"no port", 11, [&] { session.record.port = 0; }, OpenResult::NeedsProperties, 0},
        {"neither dialect", 3, [&] { session.record.modelCode = 4; }, OpenResult::NotSupported,
         msg::kNotSupported},
        {"framed login fails", 3, [&] { net.refuse = true; }, OpenResult::Failed,
         msg::kCannotConnect},
        {"framed readout fails", 3,
         [&] { framed.replies["MPOS"] = FramedDeviceScript::framed("Err"); }, OpenResult::Failed,
         msg::kBadPassword},
        {"plain login fails", 11, [&] { session.record.password = "x"; }, OpenResult::Failed,
         msg::kBadPassword},
        {"another model", 11, [&] { plain.replies["?model"] = "?model=\"SWD-Q6M\"\r\n"; },
         OpenResult::Failed, msg::kBadCommunication},
        {"outlets refused", 11, [&] { plain.replies["XPOS"] = "501 Invalid\r\n"; },
         OpenResult::Failed, msg::kError},
        {"dropped on LIST", 11, [&] { plain.hangUpOn = "LIST"; }, OpenResult::Failed, msg::kError},
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
        EXPECT_EQ(frontend.errors, c.message ? std::vector<int>{c.message} : std::vector<int>{});
        const bool tried = c.result == OpenResult::Opened || c.result == OpenResult::Failed;
        EXPECT_EQ(net.connects, connects + (tried ? 1 : 0));
        EXPECT_EQ(view.connectingShows, tried ? 1 : 0);
        EXPECT_EQ(view.connectingHides, tried ? 1 : 0);
        EXPECT_EQ(session.connection.isOpen(), c.result == OpenResult::Opened);
    }
    // The plain device as the start-up queries read it.
    useModel(11);
    plain.hangUpOn.clear();
    ASSERT_EQ(openDevice(session), OpenResult::Opened);
    const DeviceStatus& st = session.status;
    EXPECT_EQ(stored().powerText + " " + st.firmwareDate + " " + std::to_string(st.clock.hour) +
                  " " + st.settings.model + " " + st.settings.sysLocation + " " +
                  std::to_string(st.settings.rs232Port1Speed),
              "1011 061231 7 SWD-12K Rack room 9600");
}

}  // namespace
}  // namespace zelo
