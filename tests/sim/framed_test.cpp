// The framed console (codes 3 and 5) over loopback, byte for byte.

#include <gtest/gtest.h>

#include <cstdio>

#include "sim_test_support.h"

namespace zelo::sim::test {
namespace {

const std::string kHx = kTelnetHello + "00:HX>";
const std::string kErr = "*00:Err\r\n00:HX>";
const std::string kLocked = "*00:Locked\r\n00:HX>";
const std::string kEnd = "--------------------\r\n00:HX>";
std::string pos(const std::string& fields) { return "*00:POS=" + fields + "\r\n"; }

const Transcript kTranscripts[] = {
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

TEST(SimFramed, Transcripts) {
    for (const Transcript& t : kTranscripts) Play(t);
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

TEST_F(SimFramedConsole, SecondConsoleIsTurnedAwayWhileTheFirstIsOpen) {
    RawClient second, third;
    ASSERT_TRUE(second.connectTo(h.port("hx")));
    EXPECT_EQ(h.until(second, "\r\n"), "503 Too many users\r\n");
    EXPECT_TRUE(h.untilClosed(second));
    // the first console is unharmed, and after it leaves a new one is served
    EXPECT_EQ(cmd("*"), "*00:HX-7200 Ver 3.14.12\r\n00:HX>");
    c.closeNow();
    h.settle();
    ASSERT_TRUE(third.connectTo(h.port("hx")));
    EXPECT_EQ(h.until(third, "00:HX>"), kHx);
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

}  // namespace
}  // namespace zelo::sim::test
