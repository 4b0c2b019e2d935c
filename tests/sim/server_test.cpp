// The running simulator: reports over UDP and the console fault modes. (The
// control socket, units going offline, telnet storms, floods and noise
// lines are exercised through the client by the hostile-device tests.)

#include <gtest/gtest.h>

#include <set>

#include "sim_test_support.h"
#include "tests/status/report_builder.h"

namespace zelo::sim::test {
namespace {

using zelo::test::describe;

std::string fleetFor(const UdpStation& st, const std::string& body) {
    return "station = " + st.address() + "\ninterval = 60\n" + body;
}

// What the station's decoder reads from each datagram that arrived.
std::multiset<std::string> drained(UdpStation& st) {
    std::multiset<std::string> out;
    for (const auto& d : st.drain()) out.insert(describe(d));
    return out;
}

TEST(SimServerReports, ChangesGoOutAtOnceAndIntervalsKeepTime) {
    UdpStation st;
    SimHarness h(fleetFor(st, "[q]\nmodel = 12\nmac = 00:80:87:12:34:56\nstates = 1010\nping = 1:0\n"));
    const std::string head = "mac:008087123456 outlets:", tail = " schedule:0000 ping:1/0, temp:1/";
    h.settle();
    EXPECT_EQ(drained(st), (std::multiset<std::string>{head + "1010" + tail + "0/2350 "}));
    const std::pair<const char*, std::string> changes[] = {
        {"outlet q 2 on", head + "1110" + tail + "0/2350 "}, {"temp q 41.5", head + "1110" + tail + "2/4150 "},
        {"", head + "1110" + tail + "2/4150 "},  // the interval: a minute after the first
        {"ping q 1 trip", head + "5110 schedule:0000 ping:3/1, temp:1/2/4150 "},  // the watch reboots outlet 1
    };
    for (const auto& [command, report] : changes) {
        if (*command) {
            EXPECT_EQ(h.server().control(command), "OK");
            h.settle();
        } else {
            h.advance(59000);
            EXPECT_TRUE(st.drain().empty());
            h.advance(1000);
        }
        EXPECT_EQ(drained(st), (std::multiset<std::string>{report})) << command;
    }
}

TEST(SimServerReports, OlderUnitsSendTableAndShortReportsAndFaultsSpoilEveryDatagram) {
    UdpStation st;
    SimHarness h(fleetFor(st, "[t]\nmodel = 10\nunit = 258\nstates = 1011\n[s]\nmodel = 6\nunit = 7\n"
                              "[a]\nmodel = 11\nfaults = report:bad-checksum\n"));
    h.advance(1000);
    EXPECT_EQ(drained(st), (std::multiset<std::string>{"unit=258 outlets=1011", "unit=7 outlets=1111", "rejected"}));
    EXPECT_EQ(h.server().control("fault a none"), "OK");
    EXPECT_EQ(h.server().control("report a"), "OK");
    EXPECT_NE(describe(st.drain().at(0)), "rejected");
}

TEST(SimServerReports, AggregateRateSpreadsReportsOverTheFleet) {
    UdpStation st;
    SimHarness h("rate = 200\nstation = " + st.address() + "\ninterval = 0\n[u]\nmodel = 11\ncount = 50\n");
    for (int i = 0; i < 100; ++i) h.advance(10);
    const auto got = st.drain();
    EXPECT_GE(got.size(), 195u);
    EXPECT_LE(got.size(), 205u);
    std::set<std::string> macs;
    for (const auto& d : got) macs.insert(describe(d).substr(0, 16));
    EXPECT_EQ(macs.size(), 50u);
}

const std::string kHx = kTelnetHello + "00:HX>";
const std::string kIdent = "*00:HX-7200 Ver 3.14.12\r\n00:HX>";
const std::string kGreeting = " 220 SWD-12K (RACK-12) Ver 2.01a.0012 ready.\r\n";
const Step kSwdLogin[] = {{"<", kGreeting}, {"", "Password:"}};

TEST(SimServerFaults, Transcripts) {
    const Transcript faults[] = {
        {"close after bytes cuts the stream", "hx", {{"!fault hx close-after:4", "OK"}, {"~", "\xFF\xFB\x01\xFF"}}},
        {"close at the login", "swd12k",
         {{"!fault swd12k close-at:login", "OK"}, kSwdLogin[0], kSwdLogin[1], {"tavik", "\r\nRACK-12> "}, {"~", ""}}},
        {"close at the second command", "hx",
         {{"!fault hx close-at:cmd2", "OK"}, {"<", kHx}, {"*", kIdent}, {"*00:7394#MPOS", ""}, {"~", ""}}},
        {"slow answers wait for the clock", "hx", {{"!fault hx slow:800", "OK"}, {"+799", ""}, {"+1", kHx}}},
        {"a mute unit accepts and says nothing", "hx", {{"!fault hx mute", "OK"}, {"*", ""}, {"+0", ""}}},
        {"mute commands, framed", "hx", {{"!fault hx mute-commands", "OK"}, {"<", kHx}, {"*", ""}, {"+0", ""}}},
        {"mute commands, plain", "swd12k",
         {{"!fault swd12k mute-commands", "OK"}, kSwdLogin[0], kSwdLogin[1], {"tavik", "\r\nRACK-12> "}, {"XPOS", ""}, {"+0", ""}}},
        {"refused password, plain", "swd12k",
         {{"!fault swd12k refuse-password", "OK"}, kSwdLogin[0], kSwdLogin[1], {"tavik", "\r\nIncorrect password\r\nPassword:"}}},
        {"refused password, framed", "hx",
         {{"!fault hx refuse-password", "OK"}, {"<", kHx}, {"*00:7394#MPOS", "*00:Err\r\n00:HX>"}}},
        {"drip: every byte alone, a tenth of a second apart", "swd12k",
         {{"!fault swd12k drip:100", "OK"}, {"+0", " "}, {"+99", ""}, {"+1", "2"}, {"+100", "2"}, {"+100", "0"}, {"+100", " "}}},
        {"split telnet sequences", "hx",
         {{"!fault hx split-iac", "OK"}, {"+0", "\xFF"}, {"+40", "\xFB\x01\xFF\xFB\x01\xFF\xFB\x03" "00:HX>"}, {"*", "\xFF"},
          {"+40", "\xFB\x01" + kIdent}}},
    };
    for (const Transcript& t : faults) Play(t);
}

}  // namespace
}  // namespace zelo::sim::test
