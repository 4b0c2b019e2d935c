// The framed reply parser, the register dispatcher and the status readout
// with its firmware gates, on scripted replies.
#include "connection/framed_readout.h"

#include <gtest/gtest.h>

#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "directory/device_directory.h"
#include "directory/item_file.h"
#include "tests/connection/framed_device_script.h"
#include "tests/support/test_workspace.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::FramedDeviceScript;

class ReadoutTest : public ::testing::Test {
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
    std::uint32_t group = 0;

    void SetUp() override {
        settings.language = 1;
        ASSERT_TRUE(directory.load());
        group = directory.addGroup(0, "Lab");
        const std::uint32_t id = directory.addDevice(group, 3, "hx");
        ASSERT_NE(id, 0u);
        session.record = *directory.devices().find(id);
        session.record.addressText = "127.0.0.1";
        session.record.port = 23;
        ASSERT_TRUE(directory.saveDevice(session.record));
        device.fallback = [](const std::string& cmd) { return defaultReply(cmd); };
        device.attach(net);
    }

    // A small device with four outlets that knows every readout command.
    static std::string defaultReply(const std::string& cmd) {
        using S = FramedDeviceScript;
        if (cmd == "MPOS") return S::framed("MPOS=1,1:0,0:0,1:0,1:0,");
        if (cmd == "SCS") return S::framed("SCS=1:0,0:0,1:0,0:0,");
        if (cmd == "DT") return S::framed("DT=2024/05/06 Mon 07:08:09");
        if (cmd == "SPEC") return S::framed("SPEC=7200-0100-4101-0300-1400-0001-0000-4");
        if (cmd == "TYPE") return S::framed("TYPE=11,11,1A,11");
        if (cmd == "LOG0") return S::framed("LOG0=24/05/06 07:08 POWER ON");
        if (cmd == "R9900") return S::framed("R9900=00:80:87:0A:0B:0C");
        if (cmd == "R9930") return S::framed("R9930=SN0042");
        if (cmd.rfind("RL", 0) == 0) {
            const std::string first = cmd.substr(2, cmd.find('-') - 2);
            return "*00:RL=" + cmd.substr(2) + "\r\nR" + first + "=1\r\n----------\r\n00:HX>";
        }
        if (cmd.rfind("PL", 0) == 0)
            return "*00:PLIST=" + cmd.substr(2) +
                   "\r\nPL00=WEEK 12:30 01:02 Mon 1\r\n---\r\n00:HX>";
        if (cmd.size() > 1 && cmd[0] == 'R') return S::framed(cmd + "=1");
        return S::framed("Err");
    }

    void login() { ASSERT_FALSE(session.loginFramed(true)); }
    bool parse(const std::string& line) { return session.takeFramedReply(line); }
    const RegisterValue* reg(std::uint16_t n) const {
        auto it = session.status.registers.find(n);
        return it == session.status.registers.end() ? nullptr : &it->second;
    }
    DeviceRecord stored() const { return loadItemFile(dataDir, group).at(0); }
};

// ------------------------------------------------------------ reply classes

TEST_F(ReadoutTest, PosLineSetsStatesSavesTheRecordAndAsksForMpos) {
    login();
    session.record.powerText = "1 1111";
    ASSERT_FALSE(parse("*00:POS=1:0,0:0,1:1,0:0,"));
    const DeviceStatus& st = session.status;
    EXPECT_EQ(st.outletCount, 4);
    EXPECT_EQ(st.outlets[0].state, 1);
    EXPECT_EQ(st.outlets[1].state, 0);
    EXPECT_EQ(st.outlets[2].state, 1);
    EXPECT_EQ(st.outlets[3].state, 0);
    EXPECT_EQ(st.previousRecord.powerText, "1 1111");
    // Master state not yet known: no master digit.
    EXPECT_EQ(session.record.powerText, "1010");
    EXPECT_EQ(stored().powerText, "1010");
    ASSERT_FALSE(view.changedRecords.empty());
    EXPECT_EQ(view.changedRecords.back().powerText, "1010");
    EXPECT_EQ(view.redrawnOutlets, (std::vector<int>{0, 2}));  // the states that changed
    EXPECT_EQ(device.commands, std::vector<std::string>{"MPOS"});
}

TEST_F(ReadoutTest, TheParserOnlyComputesWhatALineDid) {
    login();
    session.record.powerText = "0 0000";
    device.commands.clear();
    const DeviceRecord before = stored();
    ReplyTarget target = session.replyTarget();
    const ReplyEffects pos = parseFramedReply(target, "*00:POS=1:0,0:0,1:0,", 1'717'000'000);
    EXPECT_TRUE(pos.recordChanged);
    EXPECT_TRUE(pos.masterWanted);
    EXPECT_FALSE(pos.masterChanged);
    EXPECT_FALSE(pos.error);
    EXPECT_EQ(pos.outletsChanged, 0b101);  // outlets 0 and 2 were 0
    EXPECT_EQ(session.record.powerText, "101");
    // Nothing sent, saved or told.
    EXPECT_TRUE(device.commands.empty());
    EXPECT_TRUE(view.changedRecords.empty());
    EXPECT_TRUE(view.redrawnOutlets.empty());
    EXPECT_EQ(stored().powerText, before.powerText);

    const ReplyEffects mpos = parseFramedReply(target, "*00:MPOS=0,1:0,0:0,1:0,", 1'717'000'000);
    EXPECT_TRUE(mpos.masterChanged);
    EXPECT_FALSE(mpos.masterWanted);
    EXPECT_EQ(mpos.outletsChanged, 0);
    EXPECT_EQ(session.record.updateTime, 1'717'000'000u);
    EXPECT_TRUE(parseFramedReply(target, "*00:Err", 0).error);
    EXPECT_FALSE(parseFramedReply(target, "*00:DT=2006/04/01 Sat 12:34:56", 0).recordChanged);
    EXPECT_TRUE(parseFramedReply(target, "*00:R9900=00:80:87:0A:0B:0C", 0).recordChanged);
    EXPECT_FALSE(parseFramedReply(target, "*00:R9900=00:80", 0).recordChanged);

    parseFramedReply(target, "*00:RL=170-1FF", 0);
    EXPECT_FALSE(parseFramedReply(target, "00:HX>", 0).listEnded);  // before the dashes
    parseFramedReply(target, "-----", 0);
    EXPECT_TRUE(parseFramedReply(target, "00:HX>", 0).listEnded);
    EXPECT_EQ(session.listMode, 0);
    EXPECT_TRUE(view.changedRecords.empty());
}

TEST_F(ReadoutTest, AReplyOfManyLinesSavesTheRecordOnceAndRedrawsEachOutletOnce) {
    login();
    device.replies["POF1"] = "*00:POS=0:0,0:0,0:0,\r\n*00:SCS=1:0,0:0,1:0,\r\n00:HX>";
    ASSERT_FALSE(session.sendFramedCommand("POF1", true));
    view.changedRecords.clear();
    view.redrawnOutlets.clear();
    // The POS line asks for MPOS at once; its answer is read in the same pass.
    ASSERT_FALSE(session.awaitFramedReply(std::nullopt));
    EXPECT_EQ(device.commands.back(), "MPOS");
    EXPECT_EQ(view.changedRecords.size(), 1u);
    EXPECT_EQ(view.changedRecords.back().powerText, "1 1011");
    EXPECT_EQ(view.changedRecords.back().scheduleText, "101");
    EXPECT_EQ(view.redrawnOutlets, (std::vector<int>{-1, 0, 2, 3}));
    const DeviceRecord saved = stored();
    EXPECT_EQ(saved.powerText, "1 1011");
    EXPECT_EQ(saved.scheduleText, "101");
}

TEST_F(ReadoutTest, PosLineWithMoreThanEightFieldsStoresEight) {
    login();
    parse("*00:POS=1:0,1:0,1:0,1:0,1:0,1:0,1:0,1:0,1:0,1:0,");
    EXPECT_EQ(session.status.outletCount, 8);
    EXPECT_EQ(session.record.powerText, "11111111");
}

TEST_F(ReadoutTest, ShortOrOddPosLinesReadOnlyWhatIsThere) {
    login();
    parse("*00:POS=");
    EXPECT_EQ(session.status.outletCount, 0);
    parse("*00:POS=1");
    EXPECT_EQ(session.status.outletCount, 1);
    parse("*00:POS=1:0,0");  // the second field is cut after its state
    EXPECT_EQ(session.status.outletCount, 2);
    parse("*00:POS=1:0, :0,");  // a blank ends the states
    EXPECT_EQ(session.status.outletCount, 1);
}

TEST_F(ReadoutTest, MposLineSetsMasterOutletsAndUpdateTime) {
    login();
    clock.set(1'717'000'000);
    ASSERT_FALSE(parse("*00:MPOS=0,1:0,5:0,2:0,"));
    EXPECT_EQ(session.status.masterState, 0);
    EXPECT_EQ(session.status.outletCount, 3);
    EXPECT_EQ(session.record.powerText, "0 101");  // 5 counts as off, 2 as on
    EXPECT_EQ(session.record.updateTime, 1'717'000'000u);
    EXPECT_EQ(stored().updateTime, 1'717'000'000u);
    EXPECT_EQ(view.redrawnOutlets.front(), -1);  // the master lamp
}

TEST_F(ReadoutTest, ScsMarksTheScheduleKnown) {
    login();
    parse("*00:MPOS=1,1:0,1:0,1:0,1:0,");
    EXPECT_EQ(scheduleText(session.status), "----");
    parse("*00:SCS=1:0,0:0,1:0,0:0,1:0,");  // a fifth flag beyond the outlet count
    EXPECT_TRUE(session.status.scheduleKnown);
    EXPECT_EQ(session.record.scheduleText, "1010");
    EXPECT_EQ(stored().scheduleText, "1010");
    parse("*00:SCS=1");  // short: only the first flag
    EXPECT_EQ(session.record.scheduleText, "1010");
}

TEST_F(ReadoutTest, Log0KeepsThirtyOneCharacters) {
    parse("*00:LOG0=0123456789012345678901234567890123456789");
    EXPECT_EQ(session.status.lastLogText, "0123456789012345678901234567890");
    parse("*00:LOG0=");
    EXPECT_EQ(session.status.lastLogText, "");
}

TEST_F(ReadoutTest, DeviceClockInBothShapes) {
    const std::string plain = "*00:DT=2006/04/01 Sat 12:34:56";
    ASSERT_EQ(plain.size(), 30u);
    parse(plain);
    const DeviceClock& c = session.status.clock;
    EXPECT_EQ(c.year, 106);
    EXPECT_EQ(c.month, 3);
    EXPECT_EQ(c.day, 1);
    EXPECT_EQ(c.weekday, 6);
    EXPECT_EQ(c.hour, 12);
    EXPECT_EQ(c.minute, 34);
    EXPECT_EQ(c.second, 56);
    EXPECT_EQ(c.daylight, 0);
    parse("*00:DT=2006/07/02 Sunday 01:02:03 (DT)");
    EXPECT_EQ(c.daylight, -1);
    EXPECT_EQ(c.weekday, 0);
    EXPECT_EQ(c.month, 6);
    parse("*00:DT=2006/07/03 Xyz 01:02:03 (ST)");
    EXPECT_EQ(c.daylight, 0);
    EXPECT_EQ(c.weekday, 0);  // an unknown name counts as Sunday
    parse("*00:DT=2006/07");  // not a clock: nothing changes
    EXPECT_EQ(c.day, 3);
}

TEST_F(ReadoutTest, SpecIsReadOnlyWithItsDashes) {
    parse("*00:SPEC=7200-0100-4101-0300-1400-0001-0000-4");
    const DeviceStatus& st = session.status;
    EXPECT_EQ(st.outletGroups, 4);
    EXPECT_EQ(st.masterDigit, 1);
    EXPECT_EQ(st.modelByte, 3);
    EXPECT_EQ(st.specField, 0x14);  // characters 22, 23, 20, 21: "0014"
    EXPECT_EQ(st.sensorDigit, 1);
    EXPECT_EQ(st.pingDigit, 4);
    parse("*00:SPEC=7200-0100-4100-0300-2A19-0001-0000-4");
    EXPECT_EQ(st.outletGroups, 0);                           // digit 13 is "0"
    EXPECT_EQ(st.specField, 0x2A);                           // "192A", low 8 bits
    parse("*00:SPEC=7200+0100-6101-0300-1400-0001-0000-4");  // a dash missing
    EXPECT_EQ(st.outletGroups, 0);
    parse("*00:SPEC=7200-0100-6101-0300-1400-0001-0000-");  // ends at its last dash
    EXPECT_EQ(st.outletGroups, 6);
    EXPECT_EQ(st.pingDigit, 0);
    parse("*00:SPEC=7200-01");  // short: ignored
    EXPECT_EQ(st.outletGroups, 6);
}

TEST_F(ReadoutTest, TypesFollowTheOutletCount) {
    session.status.outletCount = 3;
    parse("*00:TYPE=11,1A,22,33,44");
    EXPECT_EQ(session.status.outlets[0].type, 0x11);
    EXPECT_EQ(session.status.outlets[1].type, 0x1A);
    EXPECT_EQ(session.status.outlets[2].type, 0x22);
    EXPECT_EQ(session.status.outlets[3].type, 0);
    parse("*00:TYPE=");
    EXPECT_EQ(session.status.outlets[0].type, 0);
}

TEST_F(ReadoutTest, ErrAfterThePrefixIsAFailureOtherLinesAreNot) {
    EXPECT_TRUE(parse("*00:Err"));
    EXPECT_TRUE(parse("*00:Error in line 3"));
    EXPECT_FALSE(parse("*01:Err"));  // another unit's prefix
    EXPECT_FALSE(parse("Err"));
    EXPECT_FALSE(parse(""));
    EXPECT_FALSE(parse("*00:"));
    EXPECT_FALSE(parse("*00:SOMETHING=1"));
}

TEST_F(ReadoutTest, PromptInFrontOfAnUnsolicitedLineDoesNotHideIt) {
    login();
    parse("00:HX>*00:POS=0:0,0:0,");
    EXPECT_EQ(session.status.outletCount, 2);
}

// ------------------------------------------------------------ registers

TEST_F(ReadoutTest, RegisterFormsAreConverted) {
    parse("*00:R190=9600");
    EXPECT_EQ(reg(0x190)->number, 9600);
    EXPECT_EQ(session.status.settings.rs232Port1Speed, 9600);
    parse("*00:R170=7");
    EXPECT_EQ(reg(0x170)->number, 1);  // flag
    parse("*00:R282=30.5");
    EXPECT_EQ(reg(0x282)->number, 305);  // tenths
    EXPECT_EQ(session.status.settings.debTcpInactiveTimer, 305);
    parse("*00:R283=3.x");
    EXPECT_EQ(reg(0x283)->number, -1);  // malformed tenths
    parse("*00:R201=255.255.255.0");
    EXPECT_EQ(reg(0x201)->number, 0xFFFFFF00);
    parse("*00:R204=255.255.0");
    EXPECT_EQ(reg(0x204)->number, 0);  // malformed address
    parse("*00:R231=123456789012345678901234");
    EXPECT_EQ(reg(0x231)->text, "123456789012345678");  // text, 18
    EXPECT_EQ(session.status.settings.ipAdCenter[0], "123456789012345678");
    parse("*00:R2002=65561");
    EXPECT_EQ(reg(0x2002)->number, 25);  // 16 bits
    EXPECT_EQ(session.status.smtpPort, 25);
    parse("*00:R2004=258");
    EXPECT_EQ(reg(0x2004)->number, 2);  // 8 bits
    parse("*00:R900=-3,12");
    EXPECT_EQ(reg(0x900)->number, -3);
    EXPECT_EQ(reg(0x900)->second, 12);
    parse("*00:R582=MAIL");
    EXPECT_EQ(reg(0x582)->number, 2);
    EXPECT_EQ(formatRegisterValue(*reg(0x582)), "MAIL");
    parse("*00:R880=0123456789012345678901234567890123");
    EXPECT_EQ(reg(0x880)->text.size(), 30u);
    EXPECT_EQ(session.status.settings.debOlName[0].size(), 30u);
    parse("*00:R871=\"Rack room\"");
    EXPECT_EQ(session.status.settings.sysLocation, "\"Rack room\"");
}

TEST_F(ReadoutTest, OwnAddressZeroMeansDhcp) {
    parse("*00:R200=0.0.0.0");
    EXPECT_EQ(session.status.settings.dhcpEnabled, 1);
    parse("*00:R200=192.168.0.10");
    EXPECT_EQ(session.status.settings.dhcpEnabled, 0);
    EXPECT_EQ(session.status.settings.ipAdEntAddr, 0xC0A8000Au);
}

TEST_F(ReadoutTest, MacRegisterIsSavedInTheRecord) {
    parse("*00:R9900=00:80:87:0A:0B:0C");
    EXPECT_EQ(session.record.macText, "0080870A0B0C");
    EXPECT_EQ(stored().macText, "0080870A0B0C");
    ASSERT_FALSE(view.changedRecords.empty());
    parse("*00:R9900=00:80:87");  // incomplete: the record keeps its MAC
    EXPECT_EQ(session.record.macText, "0080870A0B0C");
}

TEST_F(ReadoutTest, RegistersOutsideTheTableOrBeyondEntrySevenAreIgnored) {
    parse("*00:R308=5.0");   // outlet 8 of a per-outlet range
    parse("*00:R222=9");     // read, but not in the table
    parse("*00:R4018=1.0");  // ping watch timing beyond entry 7
    parse("*00:R12=1");      // too short to be a register line
    parse("*00:R12345=1");   // too long
    EXPECT_TRUE(session.status.registers.empty());
    parse("*00:R307=5.0");
    parse("*00:r307=1.0");  // lower-case "r" is no register line
    EXPECT_EQ(reg(0x307)->number, 50);
}

TEST_F(ReadoutTest, RegisterListRunsFromHeaderThroughDashesToPrompt) {
    parse("*00:RL=170-1FF");
    EXPECT_EQ(session.listMode, 1);
    EXPECT_TRUE(session.listStarted);
    parse("R170=1");
    parse("R193=2");
    EXPECT_EQ(reg(0x193)->number, 2);
    parse("00:HX>");  // a prompt before the dashes does not end the list
    EXPECT_EQ(session.listMode, 1);
    parse("--------");
    EXPECT_TRUE(session.listEnded);
    parse("00:HX>");
    EXPECT_EQ(session.listMode, 0);
    parse("R191=7");  // outside the list: not a register line any more
    EXPECT_EQ(reg(0x191), nullptr);
}

// ------------------------------------------------------------ schedule list

TEST_F(ReadoutTest, ScheduleEntriesWithAndWithoutDate) {
    parse("*00:PLIST=0-199");
    EXPECT_EQ(session.listMode, 2);
    parse("PL00=WEEK 12:30 01:02 Mon1");
    parse("PL01=DATE 0401 07:05 00:03 M-FL");
    parse("PL150=SPEC 9999 T     02:01 All ");
    parse("PL205=WEEK 12:30 01:02 Mon1");  // beyond the table
    parse("PL02=WEEK");                    // short: read as far as it goes
    parse("PL03=WEEK 1x:30 01:02 Xyz9");
    const auto& e = session.status.scheduleList;
    EXPECT_TRUE(e[0].used);
    EXPECT_EQ(e[0].code, "WEEK");
    EXPECT_EQ(e[0].dateField, 0);
    EXPECT_EQ(e[0].hour, 12);
    EXPECT_EQ(e[0].minute, 30);
    EXPECT_EQ(e[0].outlet, 1);
    EXPECT_EQ(e[0].action, 2);
    EXPECT_EQ(e[0].dayToken, 1);
    EXPECT_EQ(e[0].weekOfMonth, 1);
    EXPECT_EQ(e[1].code, "DATE");
    EXPECT_EQ(e[1].dateField, 401);
    EXPECT_EQ(e[1].hour, 7);
    EXPECT_EQ(e[1].minute, 5);
    EXPECT_EQ(e[1].outlet, 0);
    EXPECT_EQ(e[1].action, 3);
    EXPECT_EQ(e[1].dayToken, 8);
    EXPECT_EQ(e[1].weekOfMonth, 6);
    EXPECT_EQ(e[150].hour, 255);
    EXPECT_EQ(e[150].minute, 255);
    EXPECT_EQ(e[150].dayToken, 7);
    EXPECT_EQ(e[150].weekOfMonth, 0);
    EXPECT_TRUE(e[2].used);
    EXPECT_EQ(e[2].hour, 0);
    EXPECT_EQ(e[3].hour, 1);      // "1x": the digits there
    EXPECT_EQ(e[3].dayToken, 7);  // unknown token
    EXPECT_EQ(e[3].weekOfMonth, 0);
    parse("-----");
    parse("00:HX>");
    EXPECT_EQ(session.listMode, 0);
}

// ------------------------------------------------------------ the readout

TEST_F(ReadoutTest, Firmware31411ReadsRegistersOneByOne) {
    device.version = " 3.14.11";
    login();
    ASSERT_FALSE(readFramedStatus(session));
    EXPECT_TRUE(device.received("R9165"));
    EXPECT_TRUE(device.received("R9919"));
    EXPECT_FALSE(device.received("R9801"));
    EXPECT_FALSE(device.received("LOG0"));
    EXPECT_TRUE(device.commandsStartingWith("RL").empty());
    EXPECT_TRUE(device.received("R194"));
    EXPECT_TRUE(device.received("R2243"));
    EXPECT_TRUE(device.received("PL"));
    EXPECT_FALSE(device.received("PL-30"));
    // 135 single registers plus R9165 and R9919 (and R9900 for the zero MAC).
    EXPECT_EQ(device.commandsStartingWith("R").size(), 135u + 2u + 1u);
    EXPECT_TRUE(frontend.errors.empty());
}

TEST_F(ReadoutTest, Firmware31412UsesRangesInTheirOrder) {
    login();
    ASSERT_FALSE(readFramedStatus(session));
    const std::vector<std::string> head(device.commands.begin(), device.commands.begin() + 10);
    EXPECT_EQ(head, (std::vector<std::string>{"MPOS", "SCS", "R9165", "R9801", "R9919", "DT",
                                              "SPEC", "TYPE", "R9900", "RL170-1FF"}));
    const auto ranges = device.commandsStartingWith("RL");
    ASSERT_EQ(ranges.size(), 44u);
    EXPECT_EQ(ranges.back(), "RL41C0-41FF");
    const auto schedule = device.commandsStartingWith("PL");
    EXPECT_EQ(schedule,
              (std::vector<std::string>{"PL-30", "PL31-60", "PL61-90", "PL91-110", "PL111-135",
                                        "PL136-160", "PL161-185", "PL186-"}));
    EXPECT_FALSE(device.received("R170"));
    EXPECT_FALSE(device.received("R9930"));
    EXPECT_FALSE(device.received("LOG0"));
    // The state the replies carried.
    const DeviceStatus& st = session.status;
    EXPECT_EQ(session.record.powerText, "1 1011");
    EXPECT_EQ(session.record.scheduleText, "1010");
    EXPECT_EQ(session.record.macText, "0080870A0B0C");
    EXPECT_EQ(st.clock.weekday, 1);
    EXPECT_EQ(st.outlets[2].type, 0x1A);
    EXPECT_EQ(st.registers.count(0x4180), 1u);
    EXPECT_TRUE(st.scheduleList[0].used);
    EXPECT_EQ(session.listMode, 0);
    const DeviceRecord saved = stored();
    EXPECT_EQ(saved.powerText, "1 1011");
    EXPECT_EQ(saved.scheduleText, "1010");
    EXPECT_EQ(saved.macText, "0080870A0B0C");
}

TEST_F(ReadoutTest, Firmware32905ReadsTheLogAndTheSerialNumberWithoutAWait) {
    device.version = " 3.29.05";
    session.record.macText = "0080870A0B0C";
    login();
    ASSERT_FALSE(readFramedStatus(session));
    EXPECT_TRUE(device.received("LOG0"));
    EXPECT_TRUE(device.received("R9930"));
    EXPECT_FALSE(device.received("R9900"));  // the MAC is known
    EXPECT_EQ(session.status.lastLogText, "24/05/06 07:08 POWER ON");
    EXPECT_EQ(session.status.settings.serialNo, "SN0042");
}

TEST_F(ReadoutTest, FirmwareBelow31002SkipsTheStarredRegisterAndScs) {
    device.version = " 3.10.1";
    login();
    ASSERT_FALSE(readFramedStatus(session));
    EXPECT_FALSE(device.received("R194"));
    EXPECT_FALSE(device.received("SCS"));
    EXPECT_FALSE(device.received("R9165"));
    EXPECT_FALSE(device.received("R9919"));
    EXPECT_EQ(device.commands.front(), "MPOS");
    EXPECT_EQ(session.record.scheduleText, "----");  // no SCS: not known
    EXPECT_EQ(stored().scheduleText, "----");
}

TEST_F(ReadoutTest, RefusedMposIsABadPassword) {
    device.replies["MPOS"] = FramedDeviceScript::framed("Err");
    login();
    EXPECT_TRUE(readFramedStatus(session));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadPassword});
    EXPECT_FALSE(session.connection.isOpen());
}

TEST_F(ReadoutTest, SilentSpecIsBadCommunicationAfterThreeSeconds) {
    device.replies["SPEC"] = "";
    login();
    const std::int64_t start = clock.micros();
    EXPECT_TRUE(readFramedStatus(session));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
    EXPECT_GE(clock.micros() - start, 3'000'000);
    EXPECT_FALSE(device.received("TYPE"));
}

TEST_F(ReadoutTest, FailedSingleRegisterEndsTheReadout) {
    device.version = " 3.14.11";
    device.replies["R205"] = FramedDeviceScript::framed("Locked");
    login();
    EXPECT_TRUE(readFramedStatus(session));
    EXPECT_FALSE(device.received("R210"));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
}

TEST_F(ReadoutTest, AFailedRangeDoesNotStopTheOthersButTheLastDecides) {
    device.replies["RL170-1FF"] = FramedDeviceScript::framed("Err");
    login();
    EXPECT_FALSE(readFramedStatus(session));
    EXPECT_EQ(device.commandsStartingWith("RL").size(), 44u);

    device.commands.clear();
    device.replies.clear();
    device.replies["RL41C0-41FF"] = FramedDeviceScript::framed("Err");
    login();
    EXPECT_TRUE(readFramedStatus(session));
    EXPECT_EQ(device.commandsStartingWith("RL").size(), 44u);
    EXPECT_TRUE(device.commandsStartingWith("PL").empty());
}

TEST_F(ReadoutTest, OutletStatesAloneAfterAPowerCommand) {
    login();
    ASSERT_FALSE(readOutletStates(session));
    EXPECT_EQ(device.commands, (std::vector<std::string>{"MPOS", "SCS"}));
    device.replies["SCS"] = FramedDeviceScript::framed("Err");
    EXPECT_TRUE(readOutletStates(session));
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
}

}  // namespace
}  // namespace zelo
