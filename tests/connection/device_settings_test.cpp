// Writing a device's settings: the entered values and their checks, the
// fixed apply order with its conditions, a refused or dropped write, the
// restart question, and the framed registers 0x230..0x235.
#include "connection/device_settings.h"

#include <gtest/gtest.h>

#include "tests/support/scripted_devices.h"

namespace zelo {
namespace {

using test::FramedDeviceScript;

class SettingsTest : public test::DeviceFixture {
protected:
    void SetUp() override {
        useModel(11);
        plain.replies["?debOlShutdownTime"] = "?debOlShutdownTime=7,-1,0,0\r\n";
    }
    void login() { ASSERT_EQ(session.loginPlain(true), StepResult::Ok); }
    DeviceSettings& values() { return session.status.settings; }
    // The keys of the commands the device received.
    std::vector<std::string> writes() const {
        std::vector<std::string> out;
        for (const std::string& c : plain.commands) out.push_back(c.substr(0, c.find('=')));
        return out;
    }
};

TEST_F(SettingsTest, EnteredValuesAreChecked) {
    const struct {
        const char* key;
        const char* text;
        EntryResult result;
    } cases[] = {
        {"ipAdEntAddr", "1.2.3", EntryResult::BadValue},
        {"debOlPowerOnTime", "1,x", EntryResult::BadValue},
        {"sysContact", "\"quoted\"", EntryResult::Ok},
    };
    for (const auto& c : cases) EXPECT_EQ(enterSetting(values(), c.key, c.text), c.result) << c.key;
    EXPECT_EQ(values().sysContact, "quoted");
    EXPECT_EQ(values().changed, (std::set<std::string, std::less<>>{"sysContact"}));
}

// Which keys a user may change, which of them take effect only after a
// restart, and how many characters each text keeps (each key read from a
// long text of its own character, all into one block).
TEST_F(SettingsTest, KeysAreWritableRestartingAndKeepTheirTexts) {
    std::string readOnly, restarting, texts;
    ReplyTarget target = session.replyTarget();
    const auto& keys = settingKeys();
    const auto mark = [](std::size_t i) { return static_cast<char>('A' + i % 26); };
    for (std::size_t i = 0; i < keys.size(); ++i)
        parseSettingLine(target, std::string(keys[i]) + "=\"" + std::string(200, mark(i)) + "\"");
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::string key(keys[i]), text = settingText(values(), key);
        if (!isWritableSetting(key)) readOnly += key + " ";
        if (settingRestartsDevice(key)) restarting += key + " ";
        const std::string first = text.substr(0, text.find(','));
        const bool own = first.find_first_not_of(mark(i), first[0] == '"') == std::string::npos;
        if (first.size() > 8)  // not a number or an address
            texts += key + " " + std::to_string(first.size()) + (own ? " " : "? ");
    }
    EXPECT_EQ(readOnly,
              "ifPhysAddress telnetEnabled ipAdNtpServer mailAddr extMailAddr1 extMailAddr2 "
              "extMailAddr3 extMailAddr4 extMailAddr5 extMailAddr6 extMailAddr7 extMailAddr8 "
              "mailLogDisp model version serialNo ");
    EXPECT_EQ(restarting,
              "ipAdEntAddr ipAdEntNetMask telnetPort rs232Port1Speed rs232Port1Parity "
              "rs232Port1Bits rs232Port1StopBits ");
    EXPECT_EQ(texts,
              "sysContact 127 sysLocation 127 ipAdNtpServer 63 mailUserName 31 mailPassword 32 "
              "mailAddr 32 mailSmtpServer 63 extMailAddr1 32 extMailAddr2 32 extMailAddr3 32 "
              "extMailAddr4 32 extMailAddr5 32 extMailAddr6 32 extMailAddr7 32 extMailAddr8 32 "
              "mailPopServer 63 ipAdCenter 19 debOlName 31 debOlWdogAddr 15 debWakeupPhysAddr 18 "
              "model 31 version 31 serialNo 15 ");
}

// The changed keys go out in the fixed order, those the model knows, then
// WRITE; nothing is asked when none of them needs a restart.
TEST_F(SettingsTest, ChangedKeysGoOutInTheFixedOrder) {
    const struct {
        const char* name;
        int model;
        std::vector<std::pair<const char*, const char*>> entered;
        std::vector<std::string> commands;  // the first two whole, then their keys
    } cases[] = {
        {"centre and watchdog keys only for the latest models",
         8,
         {{"msrpEnabled", "1"}, {"debOlNoEchoInterval", "5"}, {"debOlPingInterval", "5"}},
         {".debOlPingInterval=5", "WRITE"}},
        {"every group",
         12,
         {{"centerPort", "5000,5000,5000"},
          {"mailSmtpServer", "smtp.example.com"},
          {"debOlName", "A,B,C,D"},
          {"ipAdDnsServer", "10.0.0.53"},
          {"debOlShutdownTime", "5,-1,0,0"},
          {"sysName", "newname"},
          {"debOlWdogAction", "1,1,1,1"},
          {"debOlPowerOnTime", "1,2,3,4"},
          {"schHour", "1"},
          {"dhcpEnabled", "1"}},
         // The delays are asked for again after they are written.
         {".debOlPowerOnTime=1,2,3,4", ".debOlShutdownTime=5,-1,0,0", "?debOlShutdownTime",
          ".sysName", ".debOlName", ".ipAdDnsServer", ".dhcpEnabled", ".mailSmtpServer",
          ".centerPort", ".debOlWdogAction", ".schDay", ".schHour", ".schMinute", ".schOutletNo",
          ".schAction", ".schEnabled", "WRITE"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        useModel(c.model);
        login();
        plain.commands.clear();
        for (const auto& [key, text] : c.entered)
            ASSERT_EQ(enterSetting(values(), key, text), EntryResult::Ok) << key;
        EXPECT_EQ(applyPlainSettings(session), StepResult::Ok);
        std::vector<std::string> sent = writes();
        sent[0] = plain.commands[0];
        if (sent.size() > 1) sent[1] = plain.commands[1];
        EXPECT_EQ(sent, c.commands);
        EXPECT_TRUE(frontend.questions.empty());
        EXPECT_EQ(values().changed.size(), c.model == 8 ? 2u : 0u);  // the others still wait
    }
    EXPECT_EQ(values().debOlShutdownTime[0], 7);  // as the device answered the question
    // The new name is the prompt and the record's system name.
    EXPECT_EQ(session.workingPromptName, "newname");
    EXPECT_EQ(stored().systemName, "newname");
}

// A write the device refuses, or one it hangs up on, ends the apply
// quietly: what went through is done, the rest stays changed, and the next
// apply (logging in again after a hang-up) writes the rest.
TEST_F(SettingsTest, AFailedWriteStopsSilentlyAndKeepsTheRestChanged) {
    for (const bool hangsUp : {false, true}) {
        SCOPED_TRACE(hangsUp ? "hang-up" : "refusal");
        useModel(11);
        login();
        plain.commands.clear();
        values() = DeviceSettings{};
        if (hangsUp)
            plain.hangUpOn = ".sysContact";
        else
            plain.replies[".sysContact=me"] = "501 Invalid setting\r\n";
        ASSERT_EQ(enterSetting(values(), "sysLocation", "here"), EntryResult::Ok);
        ASSERT_EQ(enterSetting(values(), "sysContact", "me"), EntryResult::Ok);
        ASSERT_EQ(enterSetting(values(), "ipAdDnsServer", "10.0.0.53"), EntryResult::Ok);
        EXPECT_EQ(applyPlainSettings(session), StepResult::Failed);
        EXPECT_EQ(plain.commands.front(), ".sysLocation=here");
        EXPECT_EQ(values().written, std::vector<std::string>{"sysLocation=here"});
        EXPECT_EQ(values().changed,
                  (std::set<std::string, std::less<>>{"sysContact", "ipAdDnsServer"}));
        EXPECT_TRUE(frontend.errors.empty());
        EXPECT_EQ(view.losses, hangsUp ? 1 : 0);
        EXPECT_EQ(session.connection.connected, !hangsUp);

        plain.hangUpOn.clear();
        plain.replies.clear();
        plain.commands.clear();
        const int connects = net.connects;
        EXPECT_EQ(applyPlainSettings(session), StepResult::Ok);
        EXPECT_EQ(writes(), (std::vector<std::string>{".sysContact", ".ipAdDnsServer", "WRITE"}));
        EXPECT_EQ(net.connects, connects + (hangsUp ? 1 : 0));
    }
}

// A key that needs a restart asks for it; declined, the flag stays. (The
// stored port follows only the restart: the zeloctl tests over the
// simulator.) Serial keys go out only when they differ from what was read.
TEST_F(SettingsTest, ARestartIsAskedForAndSerialKeysGoOutOnlyWhenChanged) {
    login();
    ReplyTarget target = session.replyTarget();
    parseSettingLine(target, "rs232Port1Speed=9600");
    parseSettingLine(target, "rs232Port1Bits=8");
    ASSERT_EQ(enterSetting(values(), "rs232Port1Speed", "9600"), EntryResult::Ok);  // same as read
    ASSERT_EQ(enterSetting(values(), "rs232Port1Bits", "7"), EntryResult::Ok);
    ASSERT_EQ(enterSetting(values(), "telnetPort", "2323"), EntryResult::Ok);
    frontend.answers = {false};
    EXPECT_EQ(applyPlainSettings(session), StepResult::Ok);
    EXPECT_EQ(writes(), (std::vector<std::string>{".telnetPort", ".rs232Port1Bits", "WRITE"}));
    EXPECT_TRUE(values().restartNeeded && session.connection.isOpen());  // No: the flag stays
    EXPECT_EQ(frontend.questions,
              (std::vector<test::ScriptedFrontend::Question>{
                  {Text::RestartQuestion, Text::ConfirmCaption, Icon::Warning}}));
}

// The framed registers 0x230..0x235 go out in their order and reach the
// settings; a locked device ends the apply and keeps the rest changed; the
// restart is a framed command.
TEST_F(SettingsTest, FramedRegistersAreWrittenInOrderAndDispatched) {
    useModel(3);
    framed.fallback = [](const std::string& cmd) {
        return FramedDeviceScript::framed(cmd.rfind("R23", 0) == 0 ? cmd : "Err");
    };
    ASSERT_EQ(session.loginFramed(true), StepResult::Ok);
    DeviceSettings& s = session.status.settings;
    ASSERT_EQ(enterCenterRegister(s, 0x233, "60.0"), EntryResult::Ok);
    ASSERT_EQ(enterCenterRegister(s, 0x230, "7"), EntryResult::Ok);
    ASSERT_EQ(enterCenterRegister(s, 0x231, "192.168.0.9"), EntryResult::Ok);
    EXPECT_EQ(enterCenterRegister(s, 0x232, "x"), EntryResult::BadValue);
    frontend.answers = {false};
    EXPECT_EQ(applyFramedSettings(session), StepResult::Ok);
    EXPECT_EQ(framed.commands,
              (std::vector<std::string>{"R230=1", "R231=192.168.0.9", "R233=60.0"}));
    EXPECT_EQ(session.status.registers.at(0x233).number, 600);
    EXPECT_FALSE(s.centerRegisterChanged[0]);
    EXPECT_EQ(frontend.questions,
              (std::vector<test::ScriptedFrontend::Question>{
                  {Text::RestartQuestion, Text::ConfirmCaption, Icon::Warning}}));

    frontend.questions.clear();
    framed.replies["R232=5001"] = FramedDeviceScript::framed("Locked");
    ASSERT_EQ(enterCenterRegister(s, 0x232, "5001"), EntryResult::Ok);
    ASSERT_EQ(enterCenterRegister(s, 0x234, "1"), EntryResult::Ok);
    EXPECT_EQ(applyFramedSettings(session), StepResult::Failed);
    EXPECT_TRUE(s.centerRegisterChanged[2] && s.centerRegisterChanged[4]);
    EXPECT_TRUE(frontend.questions.empty());
}

}  // namespace
}  // namespace zelo
