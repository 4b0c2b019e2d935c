// The plain console (codes 6 to 13) over loopback, byte for byte.

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "sim_test_support.h"

namespace zelo::sim::test {
namespace {

const std::string kPrompt = "RACK-12> ";
const std::string kGreeting = " 220 SWD-12K (RACK-12) Ver 2.01a.0012 ready.\r\n";
std::string answer(const std::string& line) { return line + "\r\n" + kPrompt; }
const std::vector<Step> kLogin = {{"<", kGreeting}, {"", "Password:"}, {"tavik", "\r\n" + kPrompt}};
std::vector<Step> loggedIn(std::vector<Step> steps) {
    steps.insert(steps.begin(), kLogin.begin(), kLogin.end());
    return steps;
}

const Transcript kTranscripts[] = {
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

TEST(SimPlain, Transcripts) {
    for (const Transcript& t : kTranscripts) Play(t);
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

TEST(SimPlain, ListShowsEverySettingOnceOnTwoPagesEachEndedByThePrompt) {
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

TEST(SimPlain, CpuResetDropsTheConsoleAndComesBack) {
    SimHarness h(kFleet);
    RawClient c;
    LoginPlain(h, c, "swd12k", "tavik");
    EXPECT_EQ(h.exchange(c, "CPURESET\r\n", "\r\n"), "Restarting...\r\n");
    EXPECT_TRUE(h.untilClosed(c));
    h.advance(h.device("swd12k").config().restartMs);
    RawClient again;
    ASSERT_TRUE(again.connectTo(h.port("swd12k")));
    EXPECT_EQ(h.until(again, "\r\n"), kGreeting);
}

}  // namespace
}  // namespace zelo::sim::test
