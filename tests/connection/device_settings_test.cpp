// Settings replies of every form, the model check, the fixed apply order
// with its conditions, the restart question, and the framed registers.
#include "connection/device_settings.h"

#include <gtest/gtest.h>

#include <map>

#include "settings/app_settings.h"
#include "connection/framed_readout.h"
#include "tests/connection/framed_device_script.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

using test::ScriptedStream;

class SettingsTest : public ::testing::Test {
protected:
    test::TestWorkspace w{"unused/", test::Net::Scripted, 1'700'000'000};
    ManualClock& clock = w.clock;
    test::ScriptedNetwork& net = w.net;
    test::ScriptedFrontend& frontend = w.frontend;
    test::ScriptedView& view = w.view;
    AppSettings& settings = w.ws.settings();
    DeviceSession& session = w.session();
    std::string name = "pdu";
    std::vector<std::string> commands;           // plain commands as received
    std::map<std::string, std::string> rejects;  // command -> reply before the prompt
    bool closed = false;

    void SetUp() override {
        DeviceRecord& r = session.record;
        r.modelCode = 11;
        r.addressText = "127.0.0.1";
        r.port = 23;
        r.password = "tavik";
        net.onConnect = [this](ScriptedStream& s) {
            s.deliver(" 220 SWD-12K (" + name + ") ready\r\n");
            s.onSend = [this, &s](const std::string& text) { answer(s, text); };
        };
    }

    // A plain device: echoes a written key's new value, then its prompt.
    void answer(ScriptedStream& s, std::string text) {
        if (text.size() >= 2) text.resize(text.size() - 2);
        if (text.empty()) return s.deliver("Password:");
        if (text == "tavik" && commands.empty() && !loggedIn) {
            loggedIn = true;
            return s.deliver("\r\n" + name + "> ");
        }
        commands.push_back(text);
        if (auto it = rejects.find(text); it != rejects.end())
            return s.deliver(it->second + "\r\n" + name + "> ");
        if (text == "CPURESET") {
            s.deliver("Restarting...\r\n");
            s.closeAfter();
            return;
        }
        if (text.rfind(".sysName=", 0) == 0) name = text.substr(9);
        std::string reply;
        if (text[0] == '.') reply = text.substr(1) + "\r\n";
        if (text == "?debOlShutdownTime") reply = "?debOlShutdownTime=7,-1,0,0\r\n";
        s.deliver(reply + name + "> ");
    }
    bool loggedIn = false;

    void login() { ASSERT_FALSE(session.loginPlain(true)); }
    bool parse(const std::string& line) {
        ReplyTarget target = session.replyTarget();
        return parseSettingLine(target, line).error;
    }
    DeviceSettings& values() { return session.status.settings; }
    std::vector<std::string> writes() const {
        std::vector<std::string> out;
        for (const std::string& c : commands) out.push_back(c.substr(0, c.find('=')));
        return out;
    }
};

// ------------------------------------------------------------ reply forms

TEST_F(SettingsTest, AddressesNumbersAndFlags) {
    parse("ipAdEntAddr=192.168.1.20");
    parse("?ipAdEntNetMask=255.255.255.0");  // a leading "?" is skipped
    parse("ipRouteDest=192.168.1");          // malformed: 0
    parse("dhcpEnabled=1");
    parse("telnetPort=2323");
    parse("msrpEnabled=5");
    EXPECT_EQ(values().ipAdEntAddr, 0xC0A80114u);
    EXPECT_EQ(values().ipAdEntNetMask, 0xFFFFFF00u);
    EXPECT_EQ(values().ipRouteDest, 0u);
    EXPECT_EQ(values().dhcpEnabled, 1);
    EXPECT_EQ(values().telnetPort, 2323);
    EXPECT_TRUE(values().msrpEnabled);
}

TEST_F(SettingsTest, QuotedTextsLoseTheirQuotesAndAreCut) {
    parse("sysContact=\"admin@example.com\"");
    EXPECT_EQ(values().sysContact, "admin@example.com");
    parse("mailUserName=\"" + std::string(40, 'u') + "\"");
    EXPECT_EQ(values().mailUserName, std::string(31, 'u'));
    parse("mailPassword=\"" + std::string(40, 'p') + "\"");
    EXPECT_EQ(values().mailPassword, std::string(32, 'p'));
    parse("sysLocation=x");  // too short to carry quotes
    EXPECT_EQ(values().sysLocation, "");
    parse("ipAdNtpServer=" + std::string(70, 'n'));  // plain text, 63
    EXPECT_EQ(values().ipAdNtpServer, std::string(63, 'n'));
    parse("serialNo=\"SN0001-TOO-LONG-FOR-IT\"");
    EXPECT_EQ(values().serialNo, "SN0001-TOO-LONG");
}

TEST_F(SettingsTest, TenthsAndMalformedTenths) {
    parse("debTcpInactiveTimer=30.5");
    EXPECT_EQ(values().debTcpInactiveTimer, 305);
    parse("debTcpInactiveTimer=3x");
    EXPECT_EQ(values().debTcpInactiveTimer, -1);
}

TEST_F(SettingsTest, ListsOfFourAndTwentyAreCutAtTheirLength) {
    parse("debOlName=\"Web\",\"Mail\",\"" + std::string(40, 'x') + "\",\"Four\",\"Five\"");
    EXPECT_EQ(values().debOlName[0], "Web");
    EXPECT_EQ(values().debOlName[2], std::string(31, 'x'));
    EXPECT_EQ(values().debOlName[3], "Four");
    parse("debOlPowerOnTime=5,-1,0,12,99");
    EXPECT_EQ(values().debOlPowerOnTime[1], -1);
    EXPECT_EQ(values().debOlPowerOnTime[3], 12);
    parse("debOlRebootTime=5.0,1.5,2");
    EXPECT_EQ(values().debOlRebootTime[0], 50);
    EXPECT_EQ(values().debOlRebootTime[1], 15);
    EXPECT_EQ(values().debOlRebootTime[2], 20);
    std::string twentyTwo;
    for (int i = 0; i < 22; ++i) twentyTwo += (i ? "," : "") + std::to_string(i);
    parse("schHour=" + twentyTwo);
    EXPECT_EQ(values().schHour[19], 19);
    parse("ipAdCenter=10.0.0.1,10.0.0.2,10.0.0.3,10.0.0.4");
    EXPECT_EQ(values().ipAdCenter[2], "10.0.0.3");
    parse("debWakeupPhysAddr=00:11:22:33:44:55");
    EXPECT_EQ(values().debWakeupPhysAddr[0], "00:11:22:33:44:55");
}

TEST_F(SettingsTest, CenterAliasesWithACapitalLetter) {
    parse("CenterPort=5000,5001,5002");
    parse("CenterSendTimer=60");
    parse("CenterChangeSendTimer=7");
    parse("CenterChangeSendCount=3");
    EXPECT_EQ(values().centerPort[1], 5001);
    EXPECT_EQ(values().centerSendTimer, 60);
    EXPECT_EQ(values().centerChangeSendTimer, 7);
    EXPECT_EQ(values().centerChangeSendCount, 3);
    parse("CENTERPORT=1");  // keys are compared exactly
    EXPECT_EQ(values().centerPort[0], 5000);
}

TEST_F(SettingsTest, ScheduleActionsBecomeSlotCommands) {
    parse("schOutletNo=1,2,3,4");
    parse("schAction=1,2,3,0");
    EXPECT_EQ(values().schCommand[0], "POR1");
    EXPECT_EQ(values().schCommand[1], "PON2");
    EXPECT_EQ(values().schCommand[2], "POF3");
    EXPECT_EQ(values().schCommand[3], "");
    values().schCommand[0] = "MPON";
    values().schCommand[1] = "MPOR";
    EXPECT_EQ(settingText(values(), "schAction").substr(0, 8), "2,1,3,0,");
}

TEST_F(SettingsTest, MacAddressGoesIntoTheRecord) {
    parse("ifPhysAddress=00:80:87:12:34:56");
    EXPECT_EQ(session.record.macText, "008087123456");
    parse("ifPhysAddress=garbage");
    EXPECT_EQ(session.record.macText, "008087123456");
}

TEST_F(SettingsTest, ModelCheckByModelCode) {
    session.record.modelCode = 11;
    EXPECT_FALSE(parse("model=\"SWD-12K\""));
    EXPECT_EQ(values().model, "SWD-12K");
    EXPECT_TRUE(parse("model=\"SWD-Q6M\""));
    session.record.modelCode = 10;
    EXPECT_FALSE(parse("?model=\"SWD-8KBN\""));
    EXPECT_TRUE(parse("?model=\"SWD-8KB\""));
    session.record.modelCode = 6;  // not checked
    EXPECT_FALSE(parse("model=\"anything\""));
}

TEST_F(SettingsTest, UnknownKeysAndOddLinesAreIgnored) {
    EXPECT_FALSE(parse("noSuchKey=1"));
    EXPECT_FALSE(parse("no equals sign"));
    EXPECT_FALSE(parse(""));
    EXPECT_FALSE(parse("?"));
    EXPECT_FALSE(parse("="));
    EXPECT_FALSE(parse("sysName=\"ignored\""));  // the name comes from the greeting
    EXPECT_EQ(values().sysName, "");
    EXPECT_FALSE(parse("mailLogDisp=1"));
}

// ------------------------------------------------------------ apply

TEST_F(SettingsTest, OnlySysLocationWritesThatKeyAndWriteAndAsksNothing) {
    login();
    ASSERT_EQ(enterSetting(values(), "sysLocation", "Rack 7"), EntryResult::Ok);
    EXPECT_FALSE(applyPlainSettings(session));
    EXPECT_EQ(commands, (std::vector<std::string>{".sysLocation=Rack 7", "WRITE"}));
    EXPECT_TRUE(frontend.questions.empty());
    EXPECT_TRUE(values().changed.empty());
    EXPECT_EQ(values().written, std::vector<std::string>{"sysLocation=Rack 7"});
}

TEST_F(SettingsTest, KeysGoOutInTheFixedOrder) {
    login();
    session.record.modelCode = 12;
    for (const auto& [k, v] :
         std::vector<std::pair<const char*, const char*>>{{"centerPort", "5000,5000,5000"},
                                                          {"mailSmtpServer", "smtp.example.com"},
                                                          {"debOlName", "A,B,C,D"},
                                                          {"ipAdDnsServer", "10.0.0.53"},
                                                          {"debOlShutdownTime", "5,-1,0,0"},
                                                          {"sysName", "newname"},
                                                          {"debOlWdogAction", "1,1,1,1"},
                                                          {"debOlPowerOnTime", "1,2,3,4"},
                                                          {"schHour", "1"},
                                                          {"dhcpEnabled", "1"}})
        ASSERT_EQ(enterSetting(values(), k, v), EntryResult::Ok) << k;
    EXPECT_FALSE(applyPlainSettings(session));
    EXPECT_EQ(writes(),
              (std::vector<std::string>{
                  ".debOlPowerOnTime", ".debOlShutdownTime", "?debOlShutdownTime", ".sysName",
                  ".debOlName", ".ipAdDnsServer", ".dhcpEnabled", ".mailSmtpServer", ".centerPort",
                  ".debOlWdogAction", ".schDay", ".schHour", ".schMinute", ".schOutletNo",
                  ".schAction", ".schEnabled", "WRITE"}));
    // The device's answer to the query refreshed the delays.
    EXPECT_EQ(values().debOlShutdownTime[0], 7);
    // The new name is the prompt and the record's system name.
    EXPECT_EQ(session.workingPromptName, "newname");
    EXPECT_EQ(session.record.systemName, "newname");
    EXPECT_EQ(commands[1], ".debOlShutdownTime=5,-1,0,0");
}

TEST_F(SettingsTest, CenterAndWatchdogKeysOnlyForTheLatestModels) {
    session.record.modelCode = 8;
    login();
    enterSetting(values(), "msrpEnabled", "1");
    enterSetting(values(), "debOlNoEchoInterval", "5");
    enterSetting(values(), "debOlPingInterval", "5");
    EXPECT_FALSE(applyPlainSettings(session));
    EXPECT_EQ(writes(), (std::vector<std::string>{".debOlPingInterval", "WRITE"}));
    EXPECT_EQ(values().changed.count("msrpEnabled"), 1u);  // still waiting
}

TEST_F(SettingsTest, TimerEnteredInTenthsIsWrittenInWholeSeconds) {
    login();
    ASSERT_EQ(enterSetting(values(), "debTcpInactiveTimer", "1.5"), EntryResult::Ok);
    EXPECT_EQ(values().debTcpInactiveTimer, 15);
    applyPlainSettings(session);
    EXPECT_EQ(commands.front(), ".debTcpInactiveTimer=1");
}

TEST_F(SettingsTest, AFailedWriteStopsSilentlyAndKeepsTheRestChanged) {
    login();
    rejects[".sysContact=me"] = "501 Invalid setting";
    enterSetting(values(), "sysLocation", "here");
    enterSetting(values(), "sysContact", "me");
    enterSetting(values(), "ipAdDnsServer", "10.0.0.53");
    EXPECT_TRUE(applyPlainSettings(session));
    EXPECT_EQ(writes(), (std::vector<std::string>{".sysLocation", ".sysContact"}));
    EXPECT_EQ(values().changed.count("sysLocation"), 0u);
    EXPECT_EQ(values().changed.count("sysContact"), 1u);
    EXPECT_EQ(values().changed.count("ipAdDnsServer"), 1u);
    EXPECT_TRUE(frontend.errors.empty());
    rejects.clear();
    commands.clear();
    EXPECT_FALSE(applyPlainSettings(session));  // the next apply writes the rest
    EXPECT_EQ(writes(), (std::vector<std::string>{".sysContact", ".ipAdDnsServer", "WRITE"}));
}

TEST_F(SettingsTest, APortThatDoesNotConvertEndsTheApply) {
    login();
    enterSetting(values(), "sysLocation", "here");
    values().telnetPort = -1;  // what the window's field gave
    values().changed.insert("telnetPort");
    enterSetting(values(), "dhcpEnabled", "1");
    EXPECT_TRUE(applyPlainSettings(session));
    EXPECT_EQ(writes(), std::vector<std::string>{".sysLocation"});
}

TEST_F(SettingsTest, SerialKeysAreWrittenWhenTheyDifferFromWhatWasRead) {
    login();
    parse("rs232Port1Speed=9600");
    parse("rs232Port1Bits=8");
    enterSetting(values(), "rs232Port1Speed", "9600");  // same as read
    enterSetting(values(), "rs232Port1Bits", "7");
    session.record.modelCode = 11;
    frontend.answers = {false};
    EXPECT_FALSE(applyPlainSettings(session));
    EXPECT_EQ(writes(), (std::vector<std::string>{".rs232Port1Bits", "WRITE"}));
    ASSERT_EQ(frontend.questions.size(), 1u);  // a serial key needs a restart
    EXPECT_EQ(frontend.questions[0].textId, kRestartQuestion);
    EXPECT_EQ(frontend.questions[0].captionId, msg::kConfirm);
    EXPECT_EQ(frontend.questions[0].icon, Icon::Warning);
    EXPECT_TRUE(values().restartNeeded);  // No: the flag stays
    EXPECT_TRUE(session.connection.isOpen());
}

TEST_F(SettingsTest, NewPortIsSavedAndTheRestartClosesTheConnection) {
    login();
    enterSetting(values(), "telnetPort", "2323");
    frontend.answers = {true};
    EXPECT_FALSE(applyPlainSettings(session));
    EXPECT_EQ(writes(), (std::vector<std::string>{".telnetPort", "WRITE", "CPURESET"}));
    EXPECT_EQ(session.record.port, 2323);
    EXPECT_FALSE(values().restartNeeded);
    EXPECT_FALSE(session.connection.isOpen());
    EXPECT_FALSE(session.connection.connected);
    EXPECT_EQ(view.losses, 1);
}

TEST_F(SettingsTest, EnteredValuesAreChecked) {
    EXPECT_EQ(enterSetting(values(), "model", "x"), EntryResult::ReadOnly);
    EXPECT_EQ(enterSetting(values(), "nope", "x"), EntryResult::UnknownKey);
    EXPECT_EQ(enterSetting(values(), "telnetPort", "23a"), EntryResult::BadValue);
    EXPECT_EQ(enterSetting(values(), "ipAdEntAddr", "1.2.3"), EntryResult::BadValue);
    EXPECT_EQ(enterSetting(values(), "debOlPowerOnTime", "1,x"), EntryResult::BadValue);
    EXPECT_EQ(enterSetting(values(), "sysContact", "\"quoted\""), EntryResult::Ok);
    EXPECT_EQ(values().sysContact, "quoted");
    EXPECT_TRUE(values().changed.count("sysContact"));
}

// ------------------------------------------------------------ framed registers

class FramedSettingsTest : public ::testing::Test {
protected:
    test::TestWorkspace w{"unused/", test::Net::Scripted, 1'700'000'000};
    ManualClock& clock = w.clock;
    test::ScriptedNetwork& net = w.net;
    test::ScriptedFrontend& frontend = w.frontend;
    test::ScriptedView& view = w.view;
    AppSettings& settings = w.ws.settings();
    DeviceSession& session = w.session();
    test::FramedDeviceScript device;

    void SetUp() override {
        DeviceRecord& r = session.record;
        r.modelCode = 3;
        r.addressText = "127.0.0.1";
        r.port = 23;
        r.selectNumber = "00";
        r.prompt = "HX";
        r.password = "7394";
        device.fallback = [](const std::string& cmd) {
            if (cmd.rfind("R23", 0) == 0) return test::FramedDeviceScript::framed(cmd);
            return test::FramedDeviceScript::framed("Err");
        };
        device.attach(net);
        ASSERT_FALSE(session.loginFramed(true));
    }
};

TEST_F(FramedSettingsTest, ChangedRegistersAreWrittenInOrderAndDispatched) {
    DeviceSettings& s = session.status.settings;
    ASSERT_EQ(enterCenterRegister(s, 0x233, "60.0"), EntryResult::Ok);
    ASSERT_EQ(enterCenterRegister(s, 0x230, "7"), EntryResult::Ok);
    ASSERT_EQ(enterCenterRegister(s, 0x231, "192.168.0.9"), EntryResult::Ok);
    EXPECT_EQ(enterCenterRegister(s, 0x236, "1"), EntryResult::ReadOnly);
    frontend.answers = {false};
    EXPECT_FALSE(applyFramedSettings(session));
    EXPECT_EQ(device.commands,
              (std::vector<std::string>{"R230=1", "R231=192.168.0.9", "R233=60.0"}));
    EXPECT_EQ(session.status.registers.at(0x233).number, 600);
    EXPECT_EQ(session.status.settings.ipAdCenter[0], "192.168.0.9");
    EXPECT_FALSE(s.centerRegisterChanged[0]);
    ASSERT_EQ(frontend.questions.size(), 1u);
    EXPECT_EQ(frontend.questions[0].textId, kRestartQuestion);
}

TEST_F(FramedSettingsTest, LockedDeviceEndsTheApplyAndTheRestartIsFramed) {
    DeviceSettings& s = session.status.settings;
    device.replies["R232=5001"] = test::FramedDeviceScript::framed("Locked");
    enterCenterRegister(s, 0x232, "5001");
    enterCenterRegister(s, 0x234, "1");
    EXPECT_TRUE(applyFramedSettings(session));
    EXPECT_TRUE(s.centerRegisterChanged[2]);
    EXPECT_TRUE(s.centerRegisterChanged[4]);
    EXPECT_TRUE(frontend.questions.empty());

    device.replies.clear();
    device.replies["CPURESET"] = test::FramedDeviceScript::framed("CPURESET=OK");
    frontend.answers = {true};
    EXPECT_FALSE(applyFramedSettings(session));
    EXPECT_EQ(device.commands.back(), "CPURESET");
    EXPECT_EQ(device.frames.back(), "*00:7394#CPURESET");
    EXPECT_FALSE(session.connection.isOpen());
}

}  // namespace
}  // namespace zelo
