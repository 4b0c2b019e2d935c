// The plain console (codes 6 to 13) over loopback, byte for byte.

#include <gtest/gtest.h>

#include <set>

#include "sim_test_support.h"

namespace zelo::sim::test {
namespace {

const char kFleet[] = R"(
interval = 0
[swd6]
model = 6
[swd7]
model = 7
[swd8]
model = 8
[swd9]
model = 9
[swd10]
model = 10
[swd12k]
model = 11
sysname = RACK-12
off-delay = 20,0,0,0
[q6m]
model = 12
[gv]
model = 13
password = s3cret
)";

// Every settings key a LIST must carry, in the reply forms the client reads.
const char* const kListKeys[] = {
    "ipAdEntAddr", "ifPhysAddress", "ipAdEntNetMask", "ipRouteDest", "dhcpEnabled",
    "ipAdDnsServer", "sysName", "sysContact", "sysLocation", "telnetEnabled", "telnetPort",
    "debTcpInactiveTimer", "ipAdNtpServer", "mailUserName", "mailPassword", "mailAddr",
    "mailSmtpServer", "extMailAddr1", "extMailAddr2", "extMailAddr3", "extMailAddr4",
    "extMailAddr5", "extMailAddr6", "extMailAddr7", "extMailAddr8", "mailPopServer",
    "mailApopEnabled", "msrpEnabled", "ipAdCenter", "centerPort", "centerSendTimer",
    "centerChangeSendTimer", "centerChangeSendCount", "rs232Port1Speed", "rs232Port1Parity",
    "rs232Port1Bits", "rs232Port1StopBits", "debOlName", "debOlPowerOnTime",
    "debOlShutdownTime", "debOlRebootTime", "mailLogDisp", "debOlWdogAddr", "debOlWdogAction",
    "debOlWdogSendMax", "debOlWdogNoResMax", "debOlWdogActCond", "debOlRebootInterval",
    "debOlRebootCount", "debOlNoEchoInterval", "debOlPingInterval", "debWakeupPhysAddr",
    "debWakeupMaxCount", "debWakeupInterval", "schEnabled", "schDay", "schHour", "schMinute",
    "schOutletNo", "schAction", "model", "version", "serialNo"};

class SimPlain : public ::testing::Test {
protected:
    SimHarness h{kFleet};
    RawClient c;
    const std::string prompt = "RACK-12> ";
    std::string cmd(const std::string& line) { return h.exchange(c, line + "\r\n", prompt); }
    void login() { LoginPlain(h, c, "swd12k", "tavik"); }
};

TEST_F(SimPlain, GreetingPasswordAndPrompt) {
    ASSERT_TRUE(c.connectTo(h.port("swd12k")));
    std::string greeting = h.until(c, "\r\n");
    EXPECT_EQ(greeting.compare(0, 5, " 220 "), 0) << greeting;
    const auto open = greeting.find(" (");
    ASSERT_NE(open, std::string::npos);
    const auto close = greeting.find(") ", open);
    ASSERT_NE(close, std::string::npos);
    EXPECT_EQ(greeting.substr(open + 2, close - open - 2), "RACK-12");
    // nothing more until the client sends its empty line
    h.settle(&c, 10);
    EXPECT_EQ(c.take(), "");
    EXPECT_EQ(h.exchange(c, "\r\n", "Password:"), "Password:");
    EXPECT_EQ(h.exchange(c, "tavik\r\n", prompt), "\r\n" + prompt);
    EXPECT_EQ(cmd(""), prompt);
}

TEST_F(SimPlain, WrongPasswordIsToldAndTheThirdEndsTheConsole) {
    ASSERT_TRUE(c.connectTo(h.port("gv")));
    h.until(c, "\r\n");
    h.exchange(c, "\r\n", "Password:");
    EXPECT_EQ(h.exchange(c, "tavik\r\n", "Password:"), "\r\nIncorrect password\r\nPassword:");
    EXPECT_EQ(h.exchange(c, "x\r\n", "Password:"), "\r\nIncorrect password\r\nPassword:");
    EXPECT_EQ(h.exchange(c, "y\r\n", "\r\n\r\n"), "\r\nIncorrect password\r\n");
    EXPECT_TRUE(h.untilClosed(c));
}

TEST_F(SimPlain, EveryModelNamesItselfInModelReplies) {
    const std::pair<const char*, const char*> models[] = {
        {"swd6", "SWD-6K"},    {"swd7", "SWD-6ZK"},   {"swd8", "SWD-7KA"}, {"swd9", "SWD-7KB"},
        {"swd10", "SWD-8KBN"}, {"swd12k", "SWD-12K"}, {"q6m", "SWD-Q6M"},  {"gv", "GV2208"}};
    for (const auto& [name, model] : models) {
        RawClient k;
        LoginPlain(h, k, name, h.device(name).config().password);
        const std::string p = h.device(name).systemName() + "> ";
        EXPECT_EQ(h.exchange(k, "?model\r\n", p), std::string("?model=\"") + model + "\"\r\n" + p) << name;
    }
}

TEST_F(SimPlain, VersionLineCarriesNumbersBuildAndDate) {
    login();
    std::string reply = cmd("ver");
    const std::string line = reply.substr(0, reply.find("\r\n"));
    EXPECT_EQ(line, "version 2.01a.0012 /060401");
    // the client's reading: from the first blank at or after the fifth character
    const auto blank = line.find(' ', 4);
    ASSERT_NE(blank, std::string::npos);
    EXPECT_EQ(std::stoi(line.substr(blank + 1), nullptr, 16), 2);
    const auto slash = line.find('/', 3);
    ASSERT_NE(slash, std::string::npos);
    EXPECT_EQ(line.substr(slash + 1).find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(line.size() - slash - 1, 6u);
}

TEST_F(SimPlain, XposDateAndTimeHaveTheirColumns) {
    login();
    std::string x = cmd("XPOS");
    const std::string line = x.substr(0, x.find("\r\n"));
    ASSERT_EQ(line.compare(0, 5, "XPOS "), 0);
    // fields of six characters separated by commas, the state first
    std::string states;
    for (std::size_t i = 5; i < line.size(); i += 7) {
        states += line[i];
        if (i + 6 < line.size()) {
            EXPECT_EQ(line[i + 6], ',');
        }
    }
    std::string expected;
    for (const auto& o : h.device("swd12k").outlets()) expected += static_cast<char>('0' + o.state);
    EXPECT_EQ(states, expected);
    EXPECT_EQ(line.size(), 5 + 7 * expected.size() - 1);

    std::string date = cmd("DATE");
    EXPECT_EQ(date.compare(0, 5, "DATE "), 0);
    EXPECT_TRUE(date[7] == date[10] && (date[7] == '/' || date[7] == '.')) << date;
    std::string time = cmd("TIME");
    EXPECT_EQ(time.compare(0, 5, "TIME "), 0);
    EXPECT_EQ(time[7], ':');
    EXPECT_EQ(time[10], ':');
}

TEST_F(SimPlain, ListShowsEverySettingOnTwoPagesEachEndedByThePrompt) {
    login();
    c.take();
    c.send("LIST\r\n");
    // the second page ends with the prompt too
    auto prompts = [&](const std::string& text) {
        std::size_t n = 0;
        for (std::size_t p = text.find(prompt); p != std::string::npos; p = text.find(prompt, p + 1)) ++n;
        return n;
    };
    std::string all = h.until(c, prompt);
    if (prompts(all) < 2) all += h.until(c, prompt);
    const std::size_t count = prompts(all);
    EXPECT_EQ(count, 2u);
    std::set<std::string> keys;
    std::size_t start = 0, nl;
    while ((nl = all.find("\r\n", start)) != std::string::npos) {
        std::string line = all.substr(start, nl - start);
        start = nl + 2;
        if (line.empty() || line[0] == '-' || line == prompt) continue;
        const auto eq = line.find('=');
        ASSERT_NE(eq, std::string::npos) << line;
        EXPECT_TRUE(keys.insert(line.substr(0, eq)).second) << "twice: " << line;
    }
    for (const char* k : kListKeys) EXPECT_EQ(keys.count(k), 1u) << k;
    EXPECT_NE(all.find("sysContact=\"admin@example.com\""), std::string::npos);
    EXPECT_NE(all.find("model=\"SWD-12K\""), std::string::npos);
}

TEST_F(SimPlain, SettingWritesAnswerWithTheStoredValue) {
    login();
    EXPECT_EQ(cmd(".sysLocation=Lab 2"), "sysLocation=\"Lab 2\"\r\n" + prompt);
    EXPECT_EQ(cmd("?sysLocation"), "?sysLocation=\"Lab 2\"\r\n" + prompt);
    EXPECT_EQ(cmd(".debOlShutdownTime=5,-1,0,2"), "debOlShutdownTime=5,-1,0,2\r\n" + prompt);
    EXPECT_EQ(cmd("?debOlShutdownTime"), "?debOlShutdownTime=5,-1,0,2\r\n" + prompt);
    EXPECT_EQ(cmd(".ipAdEntAddr=10.0.0.300"), "501 Invalid setting\r\n" + prompt);
    EXPECT_EQ(cmd(".telnetPort=abc"), "501 Invalid setting\r\n" + prompt);
    EXPECT_EQ(cmd(".model=X"), "501 Invalid setting\r\n" + prompt);  // read only
    EXPECT_EQ(cmd(".noSuchKey=1"), "501 Invalid setting\r\n" + prompt);
    EXPECT_EQ(cmd("WRITE"), "WRITE OK\r\n" + prompt);
    // a new system name is the new prompt at once
    EXPECT_EQ(h.exchange(c, ".sysName=LAB\r\n", "LAB> "), "sysName=\"LAB\"\r\nLAB> ");
}

TEST_F(SimPlain, PowerCommandsAnswerWithThePromptAndRejectWith501) {
    login();
    Device& d = h.device("swd12k");
    EXPECT_EQ(cmd("POF3"), prompt);
    EXPECT_EQ(d.outlets()[2].state, 0);
    EXPECT_EQ(cmd("PON3"), prompt);
    EXPECT_EQ(d.outlets()[2].state, 1);
    EXPECT_EQ(cmd("POF1"), prompt);  // 2 s switch-off delay
    std::string x = cmd("XPOS");
    EXPECT_EQ(x.substr(5, 6), "2:0002");
    h.advance(2000, &c);
    EXPECT_EQ(cmd("XPOS").substr(5, 6), "0:0000");
    EXPECT_EQ(cmd("MPON"), prompt);  // no master switch: every outlet
    for (const auto& o : d.outlets()) EXPECT_EQ(o.state, 1);
    EXPECT_EQ(cmd("MPOF"), prompt);
    EXPECT_EQ(d.outlets()[0].state, 2);
    h.advance(2000, &c);
    for (const auto& o : d.outlets()) EXPECT_EQ(o.state, 0);
    EXPECT_EQ(cmd("PON9"), "501 Invalid outlet\r\n" + prompt);
    EXPECT_EQ(cmd("FROB"), "501 Unknown command\r\n" + prompt);
    EXPECT_EQ(cmd("?nothing"), "501 Unknown setting\r\n" + prompt);
    h.server().control("lock swd12k on");
    EXPECT_EQ(cmd("PON1"), "501 Locked\r\n" + prompt);
}

TEST_F(SimPlain, CpuResetDropsTheConsoleAndComesBackOnTheNewPort) {
    login();
    const int oldPort = h.port("swd12k");
    EXPECT_EQ(cmd(".telnetPort=0"), "501 Invalid setting\r\n" + prompt);
    EXPECT_EQ(h.exchange(c, "CPURESET\r\n", "\r\n"), "Restarting...\r\n");
    EXPECT_TRUE(h.untilClosed(c));
    h.advance(h.device("swd12k").config().restartMs);
    RawClient again;
    ASSERT_TRUE(again.connectTo(oldPort));
    EXPECT_EQ(h.until(again, "\r\n").compare(0, 5, " 220 "), 0);
}

}  // namespace
}  // namespace zelo::sim::test
