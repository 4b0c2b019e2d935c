// The running simulator: reports over UDP, the control channel and the
// console fault modes. (Units going offline and online are exercised by the
// hostile-device tests.)

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

TEST(SimServerControl, SocketTakesCommandsAndAnswersOkOrErr) {
    ServerOptions options;
    options.controlPort = 0;
    SimHarness h("interval = 0\n[hx]\nmodel = 3\n[sw]\nmodel = 8\n", options);
    RawClient ctl;
    ASSERT_TRUE(ctl.connectTo(h.server().controlPort()));
    const std::pair<const char*, const char*> rows[] = {
        {"outlet hx 3 off\n", "OK\n"}, {"master #1 off\n", "ERR device has no master switch\n"},
        {"outlet nobody 1 on\n", "ERR no device nobody\n"}, {"frobnicate hx\n", "ERR unknown command frobnicate\n"},
    };
    for (const auto& [command, reply] : rows) EXPECT_EQ(h.exchange(ctl, command, "\n"), reply);
    EXPECT_NE(h.exchange(ctl, "show hx\n", "OK\n").find("states=1101"), std::string::npos);
    const std::string list = h.exchange(ctl, "list\n", "OK\n");
    EXPECT_NE(list.find("0 hx model=3"), std::string::npos) << list;
    EXPECT_NE(list.find("1 sw model=8"), std::string::npos) << list;
    EXPECT_EQ(h.exchange(ctl, "quit\n", "\n"), "OK\n");
    EXPECT_TRUE(h.server().stopped());
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

class SimServerFaultModes : public ::testing::Test {
protected:
    SimHarness h{kFleet};
    RawClient c;
    void connect(const std::string& unit, const std::string& fault) {
        ASSERT_EQ(h.server().control("fault " + unit + " " + fault), "OK");
        ASSERT_TRUE(c.connectTo(h.port(unit)));
    }
};

TEST_F(SimServerFaultModes, FloodWithoutLineEndsAndGarbageLines) {
    connect("swd12k", "flood:20000");
    const std::string got = h.until(c, "\r\n");
    ASSERT_GT(got.size(), 20000u);
    EXPECT_EQ(got.substr(0, 20000).find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(got.substr(20000), kGreeting);
    RawClient g;
    ASSERT_EQ(h.server().control("fault hx garbage:2"), "OK");
    LoginFramedPrompt(h, g, "hx");
    const std::string answer = h.exchange(g, "*00:7394#MPOS\r\n", "00:HX>");
    const auto second = answer.find("\r\n", answer.find("\r\n") + 2);  // two lines of noise before every answer
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(answer.substr(0, second).find_first_of("*>"), std::string::npos);
    EXPECT_EQ(answer.substr(second + 2), "*00:MPOS=1,1:0,1:0,1:0,1:0,\r\n00:HX>");
}

// The chunks from `from` on as a client's telnet stripping reads each on
// its own: their text, and how many negotiations (IAC WILL/WONT/DO/DONT x)
// and subnegotiations (IAC SB ... IAC SE); "cut" when a sequence runs past
// a chunk's end.
std::string stripped(const std::vector<std::string>& chunks, std::size_t from) {
    std::string text;
    int negotiations = 0, subnegotiations = 0;
    for (std::size_t k = from; k < chunks.size(); ++k) {
        const std::string& chunk = chunks[k];
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            const auto cmd = i + 1 < chunk.size() ? static_cast<unsigned char>(chunk[i + 1]) : 0;
            const std::size_t se = chunk.find("\xFF\xF0", i + 2);
            if (static_cast<unsigned char>(chunk[i]) != 0xFF) text += chunk[i];
            else if (cmd >= 251 && i + 2 < chunk.size()) ++negotiations, i += 2;
            else if (cmd == 250 && se != std::string::npos) ++subnegotiations, i = se + 1;
            else return "cut in chunk " + std::to_string(k);
        }
    }
    return text + " " + std::to_string(negotiations) + "+" + std::to_string(subnegotiations);
}

TEST_F(SimServerFaultModes, TelnetStormSurroundsEveryAnswerInWholeSequences) {
    connect("hx", "iac-storm:150");
    // The sends leave 5 ms apart; each step of the clock lets one go, until
    // the last chunk ends a subnegotiation after the text.
    auto collect = [&](std::size_t from, const std::string& tail) {
        h.settle(&c);
        for (int i = 0; i < 100; ++i) {
            h.advance(5, &c);
            const auto& chunks = c.chunkList();
            if (chunks.size() > from && stripped(chunks, from).find(tail + " ") != std::string::npos &&
                chunks.back().size() >= 2 && chunks.back().substr(chunks.back().size() - 2) == "\xFF\xF0")
                break;
        }
        return stripped(c.chunkList(), from);
    };
    EXPECT_EQ(collect(0, "00:HX>"), "00:HX> 151+1");  // and the unit's own WILL ECHO, WILL SGA
    const std::size_t greeting = c.chunkList().size();
    EXPECT_GE(greeting, 4u);  // 64 to a send ahead of the text, then its pieces
    EXPECT_EQ(c.chunkList().back().substr(c.chunkList().back().size() - 6), std::string("\xFF\xFA\x18\x01\xFF\xF0", 6));
    c.send("*\r\n");
    EXPECT_EQ(collect(greeting, kIdent), kIdent + " 149+1");
    EXPECT_GE(c.chunkList().size() - greeting, 4u);
    // Two commands at once: the first answer is still on its way when the
    // second queues up, so only the second keeps its subnegotiation.
    const std::size_t before = c.chunkList().size();
    c.send("*\r\n*\r\n");
    EXPECT_EQ(collect(before, kIdent + kIdent), kIdent + kIdent + " 298+1");
    for (const std::string& chunk : c.chunkList()) EXPECT_EQ(chunk.find('\0'), std::string::npos);
}

}  // namespace
}  // namespace zelo::sim::test
