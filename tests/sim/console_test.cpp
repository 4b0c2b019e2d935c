// The framed (codes 3 and 5) and plain (codes 6 to 13) consoles over
// loopback, byte for byte. (Logins of every model and firmware, refused
// passwords, a second console, and readouts with their settings lists,
// settings and power commands are the client's tests over the simulator.)

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
const std::string kPrompt = "RACK-12> ";
const std::string kGreeting = " 220 SWD-12K (RACK-12) Ver 2.01a.0012 ready.\r\n";
std::string answer(const std::string& line) { return line + "\r\n" + kPrompt; }

TEST(SimConsole, Transcripts) {
    const Transcript transcripts[] = {
        {"prompt mode: frames with and without select number, and refused ones", "hx",
         {{"<", kHx}, {"*", "*00:HX-7200 Ver 3.14.12\r\n00:HX>"}, {"*00:7394#MPOS", "*00:MPOS=1,1:0,1:0,1:0,1:0,\r\n00:HX>"},
          {"*7394#POS", pos("1:0,1:0,1:0,1:0,") + "00:HX>"}, {"*00:1234#MPOS", kErr},
          {"MPOS", kErr},  // no login: the password must come along
          {"*00:7394#NOSUCH", kErr}, {"*01:7394#MPOS", "00:HX>"},  // another unit's select number
          {"!outlet hx 1 off", "OK"}, {"<", pos("0:0,1:0,1:0,1:0,")},  // a hand switch shows unasked
          {"*00:7394#SCS", "*00:SCS=0:0,1:0,1:0,0:0,\r\n00:HX>"}, {"*00:7394#DT", "*00:DT=2006/04/01 Sat 12:00:00\r\n00:HX>"},
          {"*00:7394#SPEC", "*00:SPEC=7200-0100-4101-0300-1400-0001-0000-0\r\n00:HX>"},
          {"*00:7394#TYPE", "*00:TYPE=11,11,11,11\r\n00:HX>"}, {"*00:7394#R9900", "*00:R9900=00:80:87:12:34:56\r\n00:HX>"},
          {"*00:7394#RL3000-300F", "*00:RL=3000-300F\r\n" + kEnd}}},
        {"register writes change what the unit does", "hx",
         {{"<", kHx}, {"*00:7394#R340=2.5", "*00:R340=2.5\r\n00:HX>"}, {"*00:7394#R340", "*00:R340=2.5\r\n00:HX>"},
          {"*00:7394#R340=abc", kErr}, {"*00:7394#R9900=1", kErr},  // read only
          {"*00:7394#POF1", pos("0:0,1:0,1:0,1:0,") + "00:HX>"},
          {"*00:7394#PON1", pos("5:0,1:0,1:0,1:0,") + "00:HX>"},  // on 2.5 s after the command
          {"+2499", ""}, {"+1", pos("1:0,1:0,1:0,1:0,")}}},
        {"power delays show states 2 and 5 while they run", "hxdelay",
         {{"<", kHx}, {"*00:7394#POF2", pos("1:0,2:0,1:0,1:0,") + "00:HX>"}, {"+2999", ""}, {"+1", pos("1:0,0:0,1:0,1:0,")},
          {"*00:7394#PON2", pos("1:0,5:0,1:0,1:0,") + "00:HX>"}, {"+2000", pos("1:0,1:0,1:0,1:0,")},
          // a reboot: off delay (2), then the reboot time (5), then on
          {"*00:7394#POR3", pos("1:0,1:0,2:0,1:0,") + "00:HX>"}, {"+3000", pos("1:0,1:0,5:0,1:0,")},
          {"+1000", pos("1:0,1:0,1:0,1:0,")},
          {"*00:7394#MPOF", pos("0:0,0:0,0:0,0:0,") + "00:HX>"},  // the master: off at once, every outlet with it
          {"*00:7394#MPOS", "*00:MPOS=0,0:0,0:0,0:0,0:0,\r\n00:HX>"}, {"*00:7394#PON9", kErr}}},
        {"schedule upload lists and refuses doubles and junk", "hx",
         {{"<", kHx}, {"*00:7394#PCLR", "*00:PCLR=OK\r\n00:HX>"}, {"*00:7394#PSET08:30,05/01,,PON1", "*00:PSET=000\r\n00:HX>"},
          {"*00:7394#PSET07:00,00/00,1-5,MPOF", "*00:PSET=001\r\n00:HX>"},
          {"*00:7394#PSET08:30,05/01,,PON1", "*00:Doubled\r\n00:HX>"}, {"*00:7394#PSET25:00,05/01,,PON1", kErr},
          {"*00:7394#PSET08:30,05/01,,BOOM", kErr},
          {"*00:7394#PL-30", "*00:PLIST=0-30\r\nPL00=DATE 0501 08:30 01:02 All \r\nPL01=WEEK 07:00 00:03 M-F \r\n" + kEnd},
          {"*00:7394#PL31-60", "*00:PLIST=31-60\r\n" + kEnd}}},
        {"a locked unit refuses changes but still reports", "hx",
         {{"!lock hx on", "OK"}, {"<", kHx}, {"*00:7394#POF1", kLocked}, {"*00:7394#PCLR", kLocked},
          {"*00:7394#R340=1", kLocked}, {"*00:7394#MPOS", "*00:MPOS=1,1:0,1:0,1:0,1:0,\r\n00:HX>"}}},
        {"plain: nothing until the empty line, then password, prompt and fixed replies", "swd12k",
         {{"<", kGreeting}, {"+0", ""}, {"", "Password:"}, {"tavik", "\r\n" + kPrompt}, {"", kPrompt},
          {"ver", answer("version 2.01a.0012 /060401")}, {"DATE", answer("DATE 06/04/01")}, {"TIME", answer("TIME 12:00:00")},
          {"POF1", kPrompt},  // a 2 s switch-off delay
          {"XPOS", answer("XPOS 2:0002,1:0000,1:0000,1:0000")}, {"+2000", ""},
          {"XPOS", answer("XPOS 0:0000,1:0000,1:0000,1:0000")}, {".model=X", answer("501 Invalid setting")},  // read only
          {".sysName=LAB", "sysName=\"LAB\"\r\nLAB> "},  // the new system name is the prompt at once
          {"!lock swd12k on", "OK"}, {"PON1", "501 Locked\r\nLAB> "}}},
        {"plain: the third wrong password ends the console", "gv",
         {{"<", " 220 GV2208 (gv) Ver 2.01a.0012 ready.\r\n"}, {"", "Password:"},
          {"tavik", "\r\nIncorrect password\r\nPassword:"}, {"x", "\r\nIncorrect password\r\nPassword:"},
          {"y", "\r\nIncorrect password\r\n"}, {"~", ""}}},
    };
    for (const Transcript& t : transcripts) Play(t);
}

TEST(SimConsole, ScheduleMemoryHoldsTwoHundredEntries) {
    SimHarness h(kFleet);
    RawClient c;
    ASSERT_TRUE(c.connectTo(h.port("hx")));
    ASSERT_EQ(h.until(c, "00:HX>"), kHx);
    char frame[64];
    for (int i = 0; i < 200; ++i) {
        std::snprintf(frame, sizeof frame, "*00:7394#PSET%02d:%02d,01/01,,PON1\r\n", i / 60, i % 60);
        ASSERT_EQ(h.exchange(c, frame, "00:HX>").compare(0, 9, "*00:PSET="), 0) << i;
    }
    EXPECT_EQ(h.exchange(c, "*00:7394#PSET23:59,01/01,,PON1\r\n", "00:HX>"), "*00:FullMemory\r\n00:HX>");
}

}  // namespace
}  // namespace zelo::sim::test
