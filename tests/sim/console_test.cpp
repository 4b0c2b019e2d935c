// The framed (codes 3 and 5) and plain (codes 6 to 13) consoles over
// loopback, byte for byte.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>

#include "sim_test_support.h"

namespace zelo::sim::test {
namespace {

const std::string kHx = kTelnetHello + "00:HX>";
const std::string kErr = "*00:Err\r\n00:HX>";
const std::string kLocked = "*00:Locked\r\n00:HX>";
const std::string kEnd = "--------------------\r\n00:HX>";
std::string pos(const std::string& fields) { return "*00:POS=" + fields + "\r\n"; }

const Transcript kFramed[] = {
    {"prompt mode: frames with and without select number, and refused ones", "hx",
     {{"<", kHx},
      {"*", "*00:HX-7200 Ver 3.14.12\r\n00:HX>"}, {"*00:7394#MPOS", "*00:MPOS=1,1:0,1:0,1:0,1:0,\r\n00:HX>"},
      {"*7394#POS", pos("1:0,1:0,1:0,1:0,") + "00:HX>"},
      {"*00:1234#MPOS", kErr},  // wrong password
      {"MPOS", kErr},           // no login: the password must come along
      {"*00:7394#NOSUCH", kErr},
      {"*01:7394#MPOS", "00:HX>"},  // another unit's select number
      {"!outlet hx 1 off", "OK"},
      {"<", pos("0:0,1:0,1:0,1:0,")},  // a hand switch shows unasked
      {"*00:7394#SCS", "*00:SCS=0:0,1:0,1:0,0:0,\r\n00:HX>"},
      {"*00:7394#DT", "*00:DT=2006/04/01 Sat 12:00:00\r\n00:HX>"},
      {"*00:7394#SPEC", "*00:SPEC=7200-0100-4101-0300-1400-0001-0000-0\r\n00:HX>"},
      {"*00:7394#TYPE", "*00:TYPE=11,11,11,11\r\n00:HX>"},
      {"*00:7394#R9900", "*00:R9900=00:80:87:12:34:56\r\n00:HX>"}, {"*00:7394#R9165", "*00:R9165=1\r\n00:HX>"},
      {"*00:7394#RL3000-300F", "*00:RL=3000-300F\r\n" + kEnd}}},
    {"login mode: user and password, then bare commands", "hxlogin",
     {{"<", kTelnetHello + "login: "},
      {"admin", "admin\r\nPassword: "}, {"0000", "\r\nLogin incorrect\r\nlogin: "},
      {"root", "root\r\nPassword: "},  // a wrong user fails the same way, whatever the password
      {"7394", "\r\nLogin incorrect\r\nlogin: "}, {"admin", "admin\r\nPassword: "}, {"7394", "\r\n07:HX>"},
      {"ver", "*07:HX-7200 Ver 3.14.12\r\n07:HX>"},
      {"MPOS", "*07:MPOS=1,1:0,1:0,1:0,1:0,\r\n07:HX>"}}},
    {"register writes change what the unit does", "hx",
     {{"<", kHx},
      {"*00:7394#R340=2.5", "*00:R340=2.5\r\n00:HX>"}, {"*00:7394#R340", "*00:R340=2.5\r\n00:HX>"},
      {"*00:7394#R340=abc", kErr},
      {"*00:7394#R9900=1", kErr},  // read only
      {"*00:7394#POF1", pos("0:0,1:0,1:0,1:0,") + "00:HX>"},
      {"*00:7394#PON1", pos("5:0,1:0,1:0,1:0,") + "00:HX>"},  // on 2.5 s after the command
      {"+2499", ""},
      {"+1", pos("1:0,1:0,1:0,1:0,")}}},
    {"power delays show states 2 and 5 while they run", "hxdelay",
     {{"<", kHx},
      {"*00:7394#POF2", pos("1:0,2:0,1:0,1:0,") + "00:HX>"}, {"+2999", ""}, {"+1", pos("1:0,0:0,1:0,1:0,")},
      {"*00:7394#PON2", pos("1:0,5:0,1:0,1:0,") + "00:HX>"}, {"+2000", pos("1:0,1:0,1:0,1:0,")},
      // a reboot: off delay (2), then the reboot time (5), then on
      {"*00:7394#POR3", pos("1:0,1:0,2:0,1:0,") + "00:HX>"}, {"+3000", pos("1:0,1:0,5:0,1:0,")},
      {"+1000", pos("1:0,1:0,1:0,1:0,")},
      // the master: off at once, and every outlet with it
      {"*00:7394#MPOF", pos("0:0,0:0,0:0,0:0,") + "00:HX>"},
      {"*00:7394#MPOS", "*00:MPOS=0,0:0,0:0,0:0,0:0,\r\n00:HX>"},
      {"*00:7394#PON9", kErr}}},
    {"schedule upload lists and refuses doubles and junk", "hx",
     {{"<", kHx},
      {"*00:7394#PCLR", "*00:PCLR=OK\r\n00:HX>"}, {"*00:7394#PSET08:30,05/01,,PON1", "*00:PSET=000\r\n00:HX>"},
      {"*00:7394#PSET07:00,00/00,1-5,MPOF", "*00:PSET=001\r\n00:HX>"},
      {"*00:7394#PSET08:30,05/01,,PON1", "*00:Doubled\r\n00:HX>"}, {"*00:7394#PSET25:00,05/01,,PON1", kErr},
      {"*00:7394#PSET08:30,05/01,,BOOM", kErr},
      {"*00:7394#PL-30", "*00:PLIST=0-30\r\nPL00=DATE 0501 08:30 01:02 All \r\nPL01=WEEK 07:00 00:03 M-F \r\n" + kEnd},
      {"*00:7394#PL31-60", "*00:PLIST=31-60\r\n" + kEnd}}},
    {"a locked unit refuses changes but still reports", "hx",
     {{"!lock hx on", "OK"},
      {"<", kHx}, {"*00:7394#POF1", kLocked}, {"*00:7394#PCLR", kLocked}, {"*00:7394#R340=1", kLocked},
      {"*00:7394#MPOS", "*00:MPOS=1,1:0,1:0,1:0,1:0,\r\n00:HX>"}}},
    {"older firmware knows fewer commands", "jbold",
     {{"<", kTelnetHello + "00:JB>"},
      {"*", "*00:JB-81K Ver 3.10.01\r\n00:JB>"}, {"*00:7394#SCS", "*00:Err\r\n00:JB>"},
      {"*00:7394#RL170-1FF", "*00:Err\r\n00:JB>"}, {"*00:7394#LOG0", "*00:Err\r\n00:JB>"},
      {"*00:7394#R194", "*00:Err\r\n00:JB>"},
      {"*00:7394#PL", "*00:PLIST=0-199\r\n--------------------\r\n00:JB>"}}},
};

const std::string kPrompt = "RACK-12> ";
const std::string kGreeting = " 220 SWD-12K (RACK-12) Ver 2.01a.0012 ready.\r\n";
std::string answer(const std::string& line) { return line + "\r\n" + kPrompt; }
const std::vector<Step> kLogin = {{"<", kGreeting}, {"", "Password:"}, {"tavik", "\r\n" + kPrompt}};
std::vector<Step> loggedIn(std::vector<Step> steps) {
    steps.insert(steps.begin(), kLogin.begin(), kLogin.end());
    return steps;
}

const Transcript kPlain[] = {
    {"greeting, nothing until the empty line, password, prompt", "swd12k",
     {{"<", kGreeting},
      {"+0", ""}, {"", "Password:"}, {"tavik", "\r\n" + kPrompt}, {"", kPrompt},
      {"ver", answer("version 2.01a.0012 /060401")}, {"?model", answer("?model=\"SWD-12K\"")},
      {"XPOS", answer("XPOS 1:0000,1:0000,1:0000,1:0000")}, {"DATE", answer("DATE 06/04/01")},
      {"TIME", answer("TIME 12:00:00")}}},
    {"wrong passwords are told and the third ends the console", "gv",
     {{"<", " 220 GV2208 (gv) Ver 2.01a.0012 ready.\r\n"},
      {"", "Password:"}, {"tavik", "\r\nIncorrect password\r\nPassword:"},
      {"x", "\r\nIncorrect password\r\nPassword:"}, {"y", "\r\nIncorrect password\r\n"},
      {"~", ""}}},
    {"setting writes answer with the stored value", "swd12k",
     loggedIn({{".sysLocation=Lab 2", answer("sysLocation=\"Lab 2\"")},
               {"?sysLocation", answer("?sysLocation=\"Lab 2\"")},
               {".debOlShutdownTime=5,-1,0,2", answer("debOlShutdownTime=5,-1,0,2")},
               {"?debOlShutdownTime", answer("?debOlShutdownTime=5,-1,0,2")},
               {".ipAdEntAddr=10.0.0.300", answer("501 Invalid setting")},
               {".telnetPort=abc", answer("501 Invalid setting")}, {".telnetPort=0", answer("501 Invalid setting")},
               {".model=X", answer("501 Invalid setting")},  // read only
               {".noSuchKey=1", answer("501 Invalid setting")}, {"WRITE", answer("WRITE OK")},
               // a new system name is the new prompt at once
               {".sysName=LAB", "sysName=\"LAB\"\r\nLAB> "}})},
    {"power commands answer with the prompt and reject with 501", "swd12k",
     loggedIn({{"POF3", kPrompt},
               {"XPOS", answer("XPOS 1:0000,1:0000,0:0000,1:0000")}, {"PON3", kPrompt},
               {"POF1", kPrompt},  // 2 s switch-off delay
               {"XPOS", answer("XPOS 2:0002,1:0000,1:0000,1:0000")}, {"+2000", ""},
               {"XPOS", answer("XPOS 0:0000,1:0000,1:0000,1:0000")},
               {"MPON", kPrompt},  // no master switch: every outlet
               {"XPOS", answer("XPOS 1:0000,1:0000,1:0000,1:0000")}, {"MPOF", kPrompt},
               {"XPOS", answer("XPOS 2:0002,0:0000,0:0000,0:0000")}, {"+2000", ""},
               {"XPOS", answer("XPOS 0:0000,0:0000,0:0000,0:0000")}, {"PON9", answer("501 Invalid outlet")},
               {"FROB", answer("501 Unknown command")}, {"?nothing", answer("501 Unknown setting")},
               {"!lock swd12k on", "OK"},
               {"PON1", answer("501 Locked")}})},
};

TEST(SimConsole, Transcripts) {
    for (const Transcript& t : kFramed) Play(t);
    for (const Transcript& t : kPlain) Play(t);
    // Every plain model names itself in its greeting.
    const std::pair<const char*, const char*> models[] = {{"swd6", "SWD-6K"}, {"swd7", "SWD-6ZK"}, {"swd8", "SWD-7KA"},
        {"swd9", "SWD-7KB"}, {"swd10", "SWD-8KBN"}, {"q6m", "SWD-Q6M"}};
    for (const auto& [unit, model] : models)
        Play({unit, unit, {{"<", std::string(" 220 ") + model + " (" + unit + ") Ver 2.01a.0012 ready.\r\n"}}});
}

class SimFramedConsole : public ::testing::Test {
protected:
    SimHarness h{kFleet};
    RawClient c;
    std::string cmd(const std::string& frame) { return h.exchange(c, frame + "\r\n", "00:HX>"); }
    void SetUp() override { LoginFramedPrompt(h, c, "hx"); }
};

TEST_F(SimFramedConsole, ScheduleMemoryHoldsTwoHundredEntries) {
    char frame[64];
    for (int i = 0; i < 200; ++i) {
        std::snprintf(frame, sizeof frame, "*00:7394#PSET%02d:%02d,01/01,,PON1", i / 60, i % 60);
        ASSERT_EQ(cmd(frame).compare(0, 9, "*00:PSET="), 0) << i;
    }
    EXPECT_EQ(cmd("*00:7394#PSET23:59,01/01,,PON1"), "*00:FullMemory\r\n00:HX>");
}

TEST_F(SimFramedConsole, CpuResetDropsTheConsoleAndTheUnitComesBack) {
    RawClient during, after;
    EXPECT_EQ(cmd("*00:7394#CPURESET"), "*00:CPURESET=OK\r\n00:HX>");
    EXPECT_TRUE(h.untilClosed(c));
    EXPECT_FALSE(during.connectTo(h.port("hx")));
    h.advance(h.device("hx").config().restartMs);
    ASSERT_TRUE(after.connectTo(h.port("hx")));
    EXPECT_EQ(h.until(after, "00:HX>"), kHx);
}

// Every settings key a LIST must carry, in the reply forms the client reads.
const char kListKeys[] =
    "ipAdEntAddr ifPhysAddress ipAdEntNetMask ipRouteDest dhcpEnabled ipAdDnsServer sysName sysContact "
    "sysLocation telnetEnabled telnetPort debTcpInactiveTimer ipAdNtpServer mailUserName mailPassword mailAddr "
    "mailSmtpServer extMailAddr1 extMailAddr2 extMailAddr3 extMailAddr4 extMailAddr5 extMailAddr6 extMailAddr7 "
    "extMailAddr8 mailPopServer mailApopEnabled msrpEnabled ipAdCenter centerPort centerSendTimer "
    "centerChangeSendTimer centerChangeSendCount rs232Port1Speed rs232Port1Parity rs232Port1Bits "
    "rs232Port1StopBits debOlName debOlPowerOnTime debOlShutdownTime debOlRebootTime mailLogDisp debOlWdogAddr "
    "debOlWdogAction debOlWdogSendMax debOlWdogNoResMax debOlWdogActCond debOlRebootInterval debOlRebootCount "
    "debOlNoEchoInterval debOlPingInterval debWakeupPhysAddr debWakeupMaxCount debWakeupInterval schEnabled "
    "schDay schHour schMinute schOutletNo schAction model version serialNo";

TEST(SimConsole, PlainListShowsEverySettingOnceOnTwoPagesEachEndedByThePrompt) {
    SimHarness h(kFleet);
    RawClient c;
    LoginPlain(h, c, "swd12k", "tavik");
    c.send("LIST\r\n");
    auto prompts = [](const std::string& text) {
        std::size_t n = 0;
        for (std::size_t p = text.find(kPrompt); p != std::string::npos; p = text.find(kPrompt, p + 1)) ++n;
        return n;
    };
    std::string all = h.until(c, kPrompt);
    if (prompts(all) < 2) all += h.until(c, kPrompt);  // the second page
    EXPECT_EQ(prompts(all), 2u);
    std::set<std::string> keys;
    for (std::size_t start = 0, nl; (nl = all.find("\r\n", start)) != std::string::npos; start = nl + 2) {
        const std::string line = all.substr(start, nl - start);
        if (line.empty() || line[0] == '-' || line == kPrompt) continue;
        const auto eq = line.find('=');
        ASSERT_NE(eq, std::string::npos) << line;
        EXPECT_TRUE(keys.insert(line.substr(0, eq)).second) << "twice: " << line;
    }
    std::istringstream wanted(kListKeys);
    for (std::string k; wanted >> k;) EXPECT_EQ(keys.count(k), 1u) << k;
    EXPECT_NE(all.find("sysContact=\"admin@example.com\""), std::string::npos);
    EXPECT_NE(all.find("model=\"SWD-12K\""), std::string::npos);
}

}  // namespace
}  // namespace zelo::sim::test
