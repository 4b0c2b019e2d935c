// The framed console (codes 3 and 5) over loopback, byte for byte.

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <sstream>

#include "sim_test_support.h"

namespace zelo::sim::test {
namespace {

const char kFleet[] = R"(
interval = 0
[hx]
model = 3
[hxlogin]
model = 3
login = login
select = 07
[hxdelay]
model = 3
off-delay = 30
on-delay = 20
reboot-time = 10
[jbold]
model = 5
firmware = 3.10.01
)";

const std::string kNegotiation = "\xFF\xFB\x01\xFF\xFB\x03";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0, nl;
    while ((nl = text.find("\r\n", start)) != std::string::npos) {
        out.push_back(text.substr(start, nl - start));
        start = nl + 2;
    }
    out.push_back(text.substr(start));  // what follows the last line end (the prompt)
    return out;
}

// Outlet states as the client takes them: every fourth column from `first`
// (1-based) until a blank or control byte, at most eight.
std::string statesFrom(const std::string& line, std::size_t first) {
    std::string out;
    for (std::size_t i = first - 1; i < line.size() && out.size() < 8; i += 4) {
        if (static_cast<unsigned char>(line[i]) <= 32) break;
        out.push_back(line[i]);
    }
    return out;
}

std::string deviceStates(Device& d) {
    std::string s;
    for (const auto& o : d.outlets()) s += static_cast<char>('0' + o.state);
    return s;
}

class SimFramed : public ::testing::Test {
protected:
    SimHarness h{kFleet};
    RawClient c;
    std::string cmd(const std::string& frame) { return h.exchange(c, frame + "\r\n", "00:HX>"); }
};

TEST_F(SimFramed, PromptModeNegotiatesThenShowsThePromptWithoutLineEnd) {
    ASSERT_TRUE(c.connectTo(h.port("hx")));
    EXPECT_EQ(h.until(c, "00:HX>"), kNegotiation + "00:HX>");
    EXPECT_EQ(cmd("*"), "*00:HX-7200 Ver 3.14.12\r\n00:HX>");
    // the identification line as the client reads it: skip the 4-character prefix, "%s Ver %s"
    char model[32], version[32];
    ASSERT_EQ(std::sscanf(std::string("*00:HX-7200 Ver 3.14.12").c_str() + 4, "%31s Ver %31s", model, version), 2);
}

TEST_F(SimFramed, LoginModeAsksForUserAndPasswordThenTakesBareCommands) {
    ASSERT_TRUE(c.connectTo(h.port("hxlogin")));
    EXPECT_EQ(h.until(c, "login: "), kNegotiation + "login: ");
    EXPECT_EQ(h.exchange(c, "admin\r\n", "Password: "), "admin\r\nPassword: ");
    EXPECT_EQ(h.exchange(c, "7394\r\n", "07:HX>"), "\r\n07:HX>");
    EXPECT_EQ(h.exchange(c, "ver\r\n", "07:HX>"), "*07:HX-7200 Ver 3.14.12\r\n07:HX>");
    std::string mpos = h.exchange(c, "MPOS\r\n", "07:HX>");
    EXPECT_EQ(mpos.compare(0, 9, "*07:MPOS="), 0) << mpos;
}

TEST_F(SimFramed, LoginModeRefusesAWrongPasswordWithANewLoginPrompt) {
    ASSERT_TRUE(c.connectTo(h.port("hxlogin")));
    h.until(c, "login: ");
    h.exchange(c, "admin\r\n", "Password: ");
    EXPECT_EQ(h.exchange(c, "0000\r\n", "login: "), "\r\nLogin incorrect\r\nlogin: ");
    // a wrong user name fails the same way, whatever the password
    h.exchange(c, "root\r\n", "Password: ");
    EXPECT_EQ(h.exchange(c, "7394\r\n", "login: "), "\r\nLogin incorrect\r\nlogin: ");
}

TEST_F(SimFramed, PasswordFramesWithAndWithoutSelectNumber) {
    LoginFramedPrompt(h, c, "hx");
    Device& d = h.device("hx");
    std::string withSelect = cmd("*00:7394#MPOS");
    auto l = lines(withSelect);
    ASSERT_EQ(l.size(), 2u) << withSelect;
    EXPECT_EQ(l[1], "00:HX>");
    EXPECT_EQ(l[0].compare(0, 9, "*00:MPOS="), 0);
    EXPECT_EQ(l[0][9], '0' + d.masterState());      // 10th character
    EXPECT_EQ(statesFrom(l[0], 12), deviceStates(d));  // every 4th from the 12th

    std::string plainFrame = cmd("*7394#POS");
    l = lines(plainFrame);
    EXPECT_EQ(l[0].compare(0, 8, "*00:POS="), 0);
    EXPECT_EQ(statesFrom(l[0], 9), deviceStates(d));

    EXPECT_EQ(cmd("*00:1234#MPOS"), "*00:Err\r\n00:HX>");  // wrong password
    EXPECT_EQ(cmd("MPOS"), "*00:Err\r\n00:HX>");           // no login: the password must come along
    EXPECT_EQ(cmd("*00:7394#NOSUCH"), "*00:Err\r\n00:HX>");
    EXPECT_EQ(cmd("*01:7394#MPOS"), "00:HX>");  // another unit's select number
}

TEST_F(SimFramed, ReadoutRepliesHaveTheirFixedShapes) {
    LoginFramedPrompt(h, c, "hx");
    Device& d = h.device("hx");
    auto scs = lines(cmd("*00:7394#SCS"));
    EXPECT_EQ(scs[0].compare(0, 8, "*00:SCS="), 0);
    std::string flags;
    for (const auto& o : d.outlets()) flags += o.scheduled ? '1' : '0';
    EXPECT_EQ(statesFrom(scs[0], 9), flags);

    auto dt = lines(cmd("*00:7394#DT"));
    ASSERT_EQ(dt[0].size(), 30u) << dt[0];  // no daylight note
    int y, mo, da, hh, mi, ss;
    char wd[8];
    ASSERT_EQ(std::sscanf(dt[0].c_str() + 7, "%d/%d/%d %7s %d:%d:%d", &y, &mo, &da, wd, &hh, &mi, &ss), 7);
    std::time_t t = static_cast<std::time_t>(h.clock().wallSeconds());
    std::tm tm{};
    gmtime_r(&t, &tm);
    EXPECT_EQ(y, tm.tm_year + 1900);
    EXPECT_EQ(mo, tm.tm_mon + 1);
    EXPECT_EQ(da, tm.tm_mday);
    const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    EXPECT_STREQ(wd, days[tm.tm_wday]);

    auto spec = lines(cmd("*00:7394#SPEC"));
    ASSERT_EQ(spec[0].compare(0, 9, "*00:SPEC="), 0);
    const std::string v = spec[0].substr(9);
    ASSERT_GE(v.size(), 36u);
    for (std::size_t p : {4, 9, 14, 19, 24, 29, 34}) EXPECT_EQ(v[p], '-') << p;
    EXPECT_NE(v[13], '0');
    EXPECT_EQ(v[10] - '0', static_cast<int>(d.outlets().size()));
    // the status entry count, its hex digits in the order 22, 23, 20, 21
    const std::string swapped = {v[22], v[23], v[20], v[21]};
    EXPECT_EQ(std::stoi(swapped, nullptr, 16) & 0xFF, 20);

    auto type = lines(cmd("*00:7394#TYPE"));
    ASSERT_EQ(type[0].compare(0, 9, "*00:TYPE="), 0);
    std::stringstream ts(type[0].substr(9));
    std::string item;
    int count = 0;
    while (std::getline(ts, item, ',')) {
        EXPECT_NO_THROW((void)std::stoi(item, nullptr, 16));
        ++count;
    }
    EXPECT_EQ(count, static_cast<int>(d.outlets().size()));

    auto mac = lines(cmd("*00:7394#R9900"));
    std::string m = mac[0].substr(std::string("*00:R9900=").size());
    char p[6][3];
    ASSERT_EQ(std::sscanf(m.c_str(), "%2s:%2s:%2s:%2s:%2s:%2s", p[0], p[1], p[2], p[3], p[4], p[5]), 6);
    std::string joined;
    for (auto& part : p) joined += part;
    EXPECT_EQ(joined, d.config().mac);
    EXPECT_EQ(lines(cmd("*00:7394#R9165"))[0], "*00:R9165=1");
}

TEST_F(SimFramed, RegisterListHasHeaderRegisterLinesSeparatorAndPrompt) {
    LoginFramedPrompt(h, c, "hx");
    std::string reply = cmd("*00:7394#RL300-31F");
    auto l = lines(reply);
    ASSERT_GE(l.size(), 4u);
    EXPECT_EQ(l.front(), "*00:RL=300-31F");
    EXPECT_EQ(l.back(), "00:HX>");
    EXPECT_EQ(l[l.size() - 2][0], '-');
    int seen = 0;
    for (std::size_t i = 1; i + 2 < l.size(); ++i) {
        const std::string& r = l[i];
        const auto eq = r.find('=');
        ASSERT_TRUE(r[0] == 'R' && (eq == 4 || eq == 5)) << r;
        const int reg = std::stoi(r.substr(1, eq - 1), nullptr, 16);
        EXPECT_GE(reg, 0x300);
        EXPECT_LE(reg, 0x31F);
        ++seen;
    }
    EXPECT_GE(seen, 4);  // one shutdown delay per outlet at least
    // an empty range still closes with its separator and prompt
    EXPECT_EQ(cmd("*00:7394#RL3000-300F"), "*00:RL=3000-300F\r\n--------------------\r\n00:HX>");
}

TEST_F(SimFramed, RegisterWritesChangeWhatTheUnitDoes) {
    LoginFramedPrompt(h, c, "hx");
    EXPECT_EQ(cmd("*00:7394#R340=2.5"), "*00:R340=2.5\r\n00:HX>");
    EXPECT_EQ(cmd("*00:7394#R340"), "*00:R340=2.5\r\n00:HX>");
    EXPECT_EQ(cmd("*00:7394#R340=abc"), "*00:Err\r\n00:HX>");
    EXPECT_EQ(cmd("*00:7394#R9900=1"), "*00:Err\r\n00:HX>");  // read only
    // outlet 1 now switches on 2.5 s after the command
    cmd("*00:7394#POF1");
    auto pos = lines(cmd("*00:7394#PON1"));
    EXPECT_EQ(statesFrom(pos[0], 9)[0], '5');
    c.take();
    h.advance(2500, &c);
    std::string unsolicited = h.until(c, "\r\n");
    EXPECT_EQ(unsolicited.compare(0, 8, "*00:POS="), 0) << unsolicited;
    EXPECT_EQ(statesFrom(unsolicited, 9)[0], '1');
}

TEST_F(SimFramed, PowerDelaysShowStatesTwoAndFiveWhileTheyRun) {
    ASSERT_TRUE(c.connectTo(h.port("hxdelay")));
    h.until(c, "00:HX>");
    Device& d = h.device("hxdelay");
    auto pos = lines(cmd("*00:7394#POF2"));
    EXPECT_EQ(statesFrom(pos[0], 9), "1211");
    h.advance(2999, &c);
    EXPECT_EQ(deviceStates(d), "1211");
    c.take();
    h.advance(1, &c);
    EXPECT_EQ(statesFrom(h.until(c, "\r\n"), 9), "1011");
    EXPECT_EQ(statesFrom(lines(cmd("*00:7394#PON2"))[0], 9), "1511");
    h.advance(2000, &c);
    EXPECT_EQ(statesFrom(h.until(c, "\r\n"), 9), "1111");
    // a reboot: off delay (2), then the reboot time (5), then on
    EXPECT_EQ(statesFrom(lines(cmd("*00:7394#POR3"))[0], 9), "1121");
    h.advance(3000, &c);
    EXPECT_EQ(statesFrom(h.until(c, "\r\n"), 9), "1151");
    h.advance(1000, &c);
    EXPECT_EQ(statesFrom(h.until(c, "\r\n"), 9), "1111");
    // the master: off at once, and every outlet with it
    auto mpos = lines(cmd("*00:7394#MPOF"));
    EXPECT_EQ(statesFrom(mpos[0], 9), "0000");
    EXPECT_EQ(lines(cmd("*00:7394#MPOS"))[0][9], '0');
    EXPECT_EQ(cmd("*00:7394#PON9"), "*00:Err\r\n00:HX>");
}

TEST_F(SimFramed, ScheduleUploadListsAndRefusesDoublesAndJunk) {
    LoginFramedPrompt(h, c, "hx");
    EXPECT_EQ(cmd("*00:7394#PCLR"), "*00:PCLR=OK\r\n00:HX>");
    EXPECT_EQ(cmd("*00:7394#PSET08:30,05/01,,PON1"), "*00:PSET=000\r\n00:HX>");
    EXPECT_EQ(cmd("*00:7394#PSET07:00,00/00,1-5,MPOF"), "*00:PSET=001\r\n00:HX>");
    EXPECT_EQ(cmd("*00:7394#PSET08:30,05/01,,PON1"), "*00:Doubled\r\n00:HX>");
    EXPECT_EQ(cmd("*00:7394#PSET25:00,05/01,,PON1"), "*00:Err\r\n00:HX>");
    EXPECT_EQ(cmd("*00:7394#PSET08:30,05/01,,BOOM"), "*00:Err\r\n00:HX>");
    auto l = lines(cmd("*00:7394#PL-30"));
    ASSERT_EQ(l.size(), 5u);
    EXPECT_EQ(l[0], "*00:PLIST=0-30");
    EXPECT_EQ(l[3][0], '-');
    EXPECT_EQ(l[4], "00:HX>");
    // a dated entry: ':' at 18, time from 10; outlet 1, action 2 (on), every day
    ASSERT_EQ(l[1].compare(0, 5, "PL00="), 0);
    const std::string dated = l[1].substr(5);
    EXPECT_EQ(dated[18], ':');
    EXPECT_EQ(dated.substr(10, 2), "08");
    EXPECT_EQ(dated.substr(13, 2), "30");
    EXPECT_EQ(dated.substr(16, 2), "01");
    EXPECT_EQ(dated.substr(19, 2), "02");
    EXPECT_EQ(dated.substr(22, 3), "All");
    // an entry without a date: time from 5, Monday to Friday, outlet 0, action 3 (off)
    const std::string weekly = l[2].substr(5);
    EXPECT_NE(weekly[18], ':');
    EXPECT_EQ(weekly.substr(5, 5), "07:00");
    EXPECT_EQ(weekly.substr(11, 2), "00");
    EXPECT_EQ(weekly.substr(14, 2), "03");
    EXPECT_EQ(weekly.substr(17, 3), "M-F");
    EXPECT_EQ(cmd("*00:7394#PL31-60"), "*00:PLIST=31-60\r\n--------------------\r\n00:HX>");
}

TEST_F(SimFramed, ScheduleMemoryHoldsTwoHundredEntries) {
    LoginFramedPrompt(h, c, "hx");
    char frame[64];
    for (int i = 0; i < 200; ++i) {
        std::snprintf(frame, sizeof frame, "*00:7394#PSET%02d:%02d,01/01,,PON1", i / 60, i % 60);
        ASSERT_EQ(lines(cmd(frame))[0].compare(0, 9, "*00:PSET="), 0) << i;
    }
    EXPECT_EQ(cmd("*00:7394#PSET23:59,01/01,,PON1"), "*00:FullMemory\r\n00:HX>");
    EXPECT_EQ(h.device("hx").schedule().size(), 200u);
}

TEST_F(SimFramed, LockedUnitRefusesChangesButStillReports) {
    LoginFramedPrompt(h, c, "hx");
    EXPECT_EQ(h.server().control("lock hx on"), "OK");
    EXPECT_EQ(cmd("*00:7394#POF1"), "*00:Locked\r\n00:HX>");
    EXPECT_EQ(cmd("*00:7394#PCLR"), "*00:Locked\r\n00:HX>");
    EXPECT_EQ(cmd("*00:7394#R340=1"), "*00:Locked\r\n00:HX>");
    EXPECT_EQ(lines(cmd("*00:7394#MPOS"))[0].compare(0, 9, "*00:MPOS="), 0);
}

TEST_F(SimFramed, SecondConsoleIsTurnedAwayWhileTheFirstIsOpen) {
    LoginFramedPrompt(h, c, "hx");
    RawClient second;
    ASSERT_TRUE(second.connectTo(h.port("hx")));
    EXPECT_EQ(h.until(second, "\r\n"), "503 Too many users\r\n");
    EXPECT_TRUE(h.untilClosed(second));
    // the first console is unharmed, and after it leaves a new one is served
    EXPECT_EQ(cmd("*"), "*00:HX-7200 Ver 3.14.12\r\n00:HX>");
    c.closeNow();
    h.settle();
    RawClient third;
    ASSERT_TRUE(third.connectTo(h.port("hx")));
    EXPECT_EQ(h.until(third, "00:HX>"), kNegotiation + "00:HX>");
}

TEST_F(SimFramed, OlderFirmwareKnowsFewerCommands) {
    ASSERT_TRUE(c.connectTo(h.port("jbold")));
    h.until(c, "00:JB>");
    auto run = [&](const std::string& f) { return h.exchange(c, f + "\r\n", "00:JB>"); };
    EXPECT_EQ(run("*"), "*00:JB-81K Ver 3.10.01\r\n00:JB>");
    EXPECT_EQ(run("*00:7394#SCS"), "*00:Err\r\n00:JB>");
    EXPECT_EQ(run("*00:7394#RL170-1FF"), "*00:Err\r\n00:JB>");
    EXPECT_EQ(run("*00:7394#LOG0"), "*00:Err\r\n00:JB>");
    EXPECT_EQ(run("*00:7394#R194"), "*00:Err\r\n00:JB>");
    // every register the one-by-one readout asks for answers
    for (const char* r : {"170", "193", "303", "5A3", "633", "883", "1084", "2243"}) {
        std::string reply = run(std::string("*00:7394#R") + r);
        EXPECT_EQ(reply.compare(0, 5 + std::string(r).size() + 1, std::string("*00:R") + r + "="), 0) << reply;
    }
    EXPECT_EQ(run("*00:7394#PL"), "*00:PLIST=0-199\r\n--------------------\r\n00:JB>");
}

TEST_F(SimFramed, CpuResetDropsTheConsoleAndTheUnitComesBack) {
    LoginFramedPrompt(h, c, "hx");
    const int port = h.port("hx");
    EXPECT_EQ(cmd("*00:7394#CPURESET"), "*00:CPURESET=OK\r\n00:HX>");
    EXPECT_TRUE(h.untilClosed(c));
    RawClient during;
    EXPECT_FALSE(during.connectTo(port));
    h.advance(h.device("hx").config().restartMs, nullptr);
    RawClient after;
    ASSERT_TRUE(after.connectTo(port));
    EXPECT_EQ(h.until(after, "00:HX>"), kNegotiation + "00:HX>");
}

}  // namespace
}  // namespace zelo::sim::test
