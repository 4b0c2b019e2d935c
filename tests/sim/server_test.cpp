// The running simulator: reports over UDP, the control channel, network
// presence and the console fault modes.

#include <gtest/gtest.h>

#include <set>

#include "sim_test_support.h"
#include "status/report_decoder.h"

namespace zelo::sim::test {
namespace {

std::string fleetFor(const UdpStation& st, const std::string& body) {
    return "station = " + st.address() + "\ninterval = 60\n" + body;
}

// The outlet states the station's decoder reads from a report; "rejected"
// when it takes none.
std::string statesOf(const std::vector<std::uint8_t>& d) {
    const auto r = zelo::decodeReport(d.data(), d.size());
    if (!r) return "rejected";
    std::string s;
    if (r->layout != zelo::ReportLayout::Element)
        for (int o : r->unitOutlets) s += std::to_string(o);
    for (const auto& e : r->elements)
        if (auto o = std::get_if<zelo::OutletsElement>(&e))
            for (std::size_t i = 0; i < o->kept(); ++i) s += std::to_string(o->outlets[i].state());
    return s;
}

TEST(SimServerReports, FirstReportNamesTheUnitChangesGoOutAtOnceIntervalsKeepTime) {
    UdpStation st;
    SimHarness h(fleetFor(st, "[q]\nmodel = 12\nmac = 00:80:87:12:34:56\nstates = 1010\n"));
    h.settle();
    auto got = st.drain();
    ASSERT_EQ(got.size(), 1u);
    const auto r = zelo::decodeReport(got[0].data(), got[0].size());
    ASSERT_TRUE(r);
    EXPECT_EQ(std::get<zelo::MacElement>(r->elements.at(0)).mac,
              (std::array<std::uint8_t, 6>{0x00, 0x80, 0x87, 0x12, 0x34, 0x56}));
    EXPECT_EQ(statesOf(got[0]), "1010");
    EXPECT_EQ(h.server().control("outlet q 2 on"), "OK");
    h.settle();
    got = st.drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(statesOf(got[0]), "1110");
    h.advance(59000);
    EXPECT_TRUE(st.drain().empty());
    h.advance(1000);
    EXPECT_EQ(st.drain().size(), 1u);
    // temperature and ping changes go out at once as well
    EXPECT_EQ(h.server().control("temp q 41.5"), "OK");
    h.settle();
    EXPECT_EQ(st.drain().size(), 1u);
    EXPECT_EQ(h.device("q").temperatureState(), 2);
    EXPECT_EQ(h.server().control("ping q 2 trip"), "OK");
    h.settle();
    got = st.drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(statesOf(got[0]), "1510");  // the watch reboots outlet 2
}

TEST(SimServerReports, OlderUnitsSendTableAndShortReportsAndFaultsSpoilEveryDatagram) {
    UdpStation st;
    SimHarness h(fleetFor(st, "[t]\nmodel = 10\nunit = 258\nstates = 1011\n[s]\nmodel = 6\nunit = 7\n"
                              "[a]\nmodel = 11\nfaults = report:bad-checksum\n"));
    h.advance(1000);
    std::multiset<std::string> seen;
    for (const auto& d : st.drain()) {
        const auto r = zelo::decodeReport(d.data(), d.size());
        seen.insert(r ? std::to_string(int(r->layout)) + " " + std::to_string(r->unitId) + " " + statesOf(d)
                      : "rejected");
    }
    EXPECT_EQ(seen, (std::multiset<std::string>{"1 258 1011", "2 7 1111", "rejected"}));
    EXPECT_EQ(h.server().control("fault a none"), "OK");
    EXPECT_EQ(h.server().control("report a"), "OK");
    EXPECT_NE(statesOf(st.drain().at(0)), "rejected");
}

TEST(SimServerReports, AggregateRateSpreadsReportsOverTheFleet) {
    UdpStation st;
    SimHarness h("rate = 200\nstation = " + st.address() + "\ninterval = 0\n[u]\nmodel = 11\ncount = 50\n");
    for (int i = 0; i < 100; ++i) h.advance(10);
    const auto got = st.drain();
    EXPECT_GE(got.size(), 195u);
    EXPECT_LE(got.size(), 205u);
    std::set<std::array<std::uint8_t, 6>> macs;
    for (const auto& d : got)
        macs.insert(std::get<zelo::MacElement>(zelo::decodeReport(d.data(), d.size())->elements.at(0)).mac);
    EXPECT_EQ(macs.size(), 50u);
}

TEST(SimServerControl, SocketTakesCommandsAndAnswersOkOrErr) {
    ServerOptions options;
    options.controlPort = 0;
    SimHarness h("interval = 0\n[hx]\nmodel = 3\n[sw]\nmodel = 8\n", options);
    ASSERT_GT(h.server().controlPort(), 0);
    RawClient ctl;
    ASSERT_TRUE(ctl.connectTo(h.server().controlPort()));
    const std::pair<const char*, const char*> rows[] = {
        {"outlet hx 3 off\n", "OK\n"},
        {"master #1 off\n", "ERR device has no master switch\n"},
        {"outlet nobody 1 on\n", "ERR no device nobody\n"},
        {"frobnicate hx\n", "ERR unknown command frobnicate\n"},
    };
    for (const auto& [command, reply] : rows) EXPECT_EQ(h.exchange(ctl, command, "\n"), reply);
    EXPECT_EQ(h.device("hx").outlets()[2].state, 0);
    const std::string show = h.exchange(ctl, "show hx\n", "OK\n");
    EXPECT_NE(show.find("states=1101"), std::string::npos) << show;
    const std::string list = h.exchange(ctl, "list\n", "OK\n");
    EXPECT_NE(list.find("0 hx model=3"), std::string::npos) << list;
    EXPECT_NE(list.find("1 sw model=8"), std::string::npos) << list;
    EXPECT_EQ(h.exchange(ctl, "quit\n", "\n"), "OK\n");
    EXPECT_TRUE(h.server().stopped());
}

TEST(SimServerPresence, OfflineUnitRefusesOrIgnoresAndStopsReporting) {
    UdpStation st;
    SimHarness h(fleetFor(st, "[a]\nmodel = 3\n"));
    h.settle();
    st.drain();
    const int port = h.port("a");
    RawClient open;
    LoginFramedPrompt(h, open, "a");
    EXPECT_EQ(h.server().control("offline a"), "OK");
    EXPECT_TRUE(h.untilClosed(open));
    RawClient refused;
    EXPECT_FALSE(refused.connectTo(port));
    h.advance(61000);
    EXPECT_TRUE(st.drain().empty());
    EXPECT_EQ(h.server().control("offline a silent"), "OK");
    RawClient silent;
    ASSERT_TRUE(silent.connectTo(port));  // the kernel takes it; nobody answers
    h.settle(&silent, 20);
    EXPECT_EQ(silent.take(), "");
    EXPECT_FALSE(silent.peerClosed());
    EXPECT_EQ(h.server().control("online a"), "OK");
    RawClient back;
    ASSERT_TRUE(back.connectTo(port));
    EXPECT_EQ(h.until(back, "00:HX>"), kTelnetHello + "00:HX>");
    h.advance(61000);
    EXPECT_FALSE(st.drain().empty());
}

const std::string kHx = kTelnetHello + "00:HX>";
const std::string kIdent = "*00:HX-7200 Ver 3.14.12\r\n00:HX>";
const std::string kGreeting = " 220 SWD-12K (RACK-12) Ver 2.01a.0012 ready.\r\n";

const Transcript kFaults[] = {
    {"close after bytes cuts the stream", "hx", {{"!fault hx close-after:4", "OK"}, {"~", "\xFF\xFB\x01\xFF"}}},
    {"close at the login", "swd12k",
     {{"!fault swd12k close-at:login", "OK"}, {"<", kGreeting}, {"", "Password:"}, {"tavik", "\r\nRACK-12> "}, {"~", ""}}},
    {"close at the second command", "hx",
     {{"!fault hx close-at:cmd2", "OK"}, {"<", kHx}, {"*", kIdent}, {"*00:7394#MPOS", ""}, {"~", ""}}},
    {"slow answers wait for the clock", "hx", {{"!fault hx slow:800", "OK"}, {"+799", ""}, {"+1", kHx}}},
    {"a mute unit accepts and says nothing", "hx", {{"!fault hx mute", "OK"}, {"*", ""}, {"+0", ""}}},
    {"mute commands still greets on the framed console", "hx",
     {{"!fault hx mute-commands", "OK"}, {"<", kHx}, {"*", ""}, {"+0", ""}}},
    {"mute commands on the plain console", "swd12k",
     {{"!fault swd12k mute-commands", "OK"}, {"<", kGreeting}, {"", "Password:"}, {"tavik", "\r\nRACK-12> "},
      {"XPOS", ""}, {"+0", ""}}},
    {"refused password, plain", "swd12k",
     {{"!fault swd12k refuse-password", "OK"}, {"<", kGreeting}, {"", "Password:"},
      {"tavik", "\r\nIncorrect password\r\nPassword:"}}},
    {"refused password, framed", "hx",
     {{"!fault hx refuse-password", "OK"}, {"<", kHx}, {"*00:7394#MPOS", "*00:Err\r\n00:HX>"}}},
};

TEST(SimServerFaultTranscripts, Play) {
    for (const Transcript& t : kFaults) Play(t);
}

class SimServerFaults : public ::testing::Test {
protected:
    SimHarness h{kFleet};
    RawClient c;
    void connect(const std::string& unit, const std::string& fault) {
        ASSERT_EQ(h.server().control("fault " + unit + " " + fault), "OK");
        ASSERT_TRUE(c.connectTo(h.port(unit)));
    }
};

TEST_F(SimServerFaults, TelnetSequencesArriveCutAcrossChunks) {
    connect("hx", "split-iac");
    h.settle(&c, 10);
    EXPECT_EQ(c.take(), "\xFF");
    h.advance(40, &c);
    EXPECT_EQ(h.until(c, "00:HX>"), "\xFB\x01\xFF\xFB\x01\xFF\xFB\x03" "00:HX>");
    c.send("*\r\n");
    h.settle(&c, 10);
    ASSERT_FALSE(c.chunkList().empty());
    EXPECT_EQ(c.chunkList().back(), "\xFF");  // the sequence's first byte alone
    h.advance(40, &c);
    EXPECT_EQ(h.until(c, "00:HX>"), "\xFF\xFB\x01" + kIdent);
}

TEST_F(SimServerFaults, FloodWithoutLineEndsComesBeforeTheGreeting) {
    connect("swd12k", "flood:20000");
    const std::string got = h.until(c, "\r\n");
    ASSERT_GT(got.size(), 20000u);
    EXPECT_EQ(got.substr(0, 20000).find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(got.substr(20000), kGreeting);
}

TEST_F(SimServerFaults, GarbageLinesComeBeforeEveryAnswer) {
    connect("hx", "garbage:2");
    h.until(c, "00:HX>");
    const std::string got = h.exchange(c, "*00:7394#MPOS\r\n", "00:HX>");
    const auto second = got.find("\r\n", got.find("\r\n") + 2);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(got.substr(0, second).find_first_of("*>"), std::string::npos);
    EXPECT_EQ(got.substr(second + 2), "*00:MPOS=1,1:0,1:0,1:0,1:0,\r\n00:HX>");
}

TEST_F(SimServerFaults, DripSendsEveryAnswerByteAloneAtItsPace) {
    connect("swd12k", "drip:100");
    h.settle(&c);
    EXPECT_EQ(c.take(), " ");  // the first byte at once
    h.advance(99, &c);
    EXPECT_EQ(c.take(), "");
    h.advance(1, &c);
    EXPECT_EQ(c.take(), "2");
    std::string rest;
    for (int i = 0; i < 100 && rest.find("\r\n") == std::string::npos; ++i) {
        h.advance(100, &c);
        const std::string got = c.take();
        EXPECT_LE(got.size(), 1u);
        rest += got;
    }
    EXPECT_EQ(" 2" + rest, kGreeting);
}

// What a client's telnet stripping makes of one chunk read on its own.
struct ChunkText {
    std::string text;         // the bytes that are no telnet sequence
    int negotiations = 0;     // IAC WILL/WONT/DO/DONT x
    int subnegotiations = 0;  // IAC SB ... IAC SE
    bool whole = true;        // no sequence runs past the chunk's end
};

ChunkText stripChunk(const std::string& chunk) {
    ChunkText out;
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        if (static_cast<unsigned char>(chunk[i]) != 0xFF) {
            out.text += chunk[i];
            continue;
        }
        const auto cmd = i + 1 < chunk.size() ? static_cast<unsigned char>(chunk[i + 1]) : 0;
        const std::size_t se = chunk.find("\xFF\xF0", i + 2);
        if (cmd >= 251 && i + 2 < chunk.size()) {
            ++out.negotiations;
            i += 2;
        } else if (cmd == 250 && se != std::string::npos) {
            ++out.subnegotiations;
            i = se + 1;
        } else {
            out.whole = false;  // cut, or something the storm never sends
            return out;
        }
    }
    return out;
}

TEST_F(SimServerFaults, TelnetStormSurroundsEveryAnswerInWholeSequences) {
    connect("hx", "iac-storm:150");
    // The sends leave 5 ms apart; each step of the clock lets one go. Collects
    // the chunks from `from` on until their text ends with `tail` and the last
    // chunk with a subnegotiation's end.
    auto collect = [&](std::size_t from, const std::string& tail) {
        h.settle(&c);
        ChunkText all;
        for (int i = 0; i < 100; ++i) {
            h.advance(5, &c);
            const auto& chunks = c.chunkList();
            all = ChunkText{};
            for (std::size_t k = from; k < chunks.size(); ++k) {
                const ChunkText t = stripChunk(chunks[k]);
                EXPECT_TRUE(t.whole) << "chunk " << k;
                all.text += t.text;
                all.negotiations += t.negotiations;
                all.subnegotiations += t.subnegotiations;
            }
            if (chunks.size() > from && all.text.size() >= tail.size() &&
                all.text.compare(all.text.size() - tail.size(), tail.size(), tail) == 0 &&
                chunks.back().size() >= 2 && chunks.back().compare(chunks.back().size() - 2, 2, "\xFF\xF0") == 0)
                break;
        }
        return all;
    };
    const ChunkText greeting = collect(0, "00:HX>");
    EXPECT_EQ(greeting.text, "00:HX>");
    EXPECT_EQ(greeting.negotiations, 149 + 2);  // and the unit's own WILL ECHO, WILL SGA
    EXPECT_EQ(greeting.subnegotiations, 1);
    const std::size_t greetingChunks = c.chunkList().size();
    EXPECT_GE(greetingChunks, 4u);  // 64 to a send ahead of the text, then its pieces
    EXPECT_EQ(c.chunkList().back().substr(c.chunkList().back().size() - 6), std::string("\xFF\xFA\x18\x01\xFF\xF0", 6));

    c.send("*\r\n");
    const ChunkText ident = collect(greetingChunks, "00:HX>");
    EXPECT_EQ(ident.text, kIdent);
    EXPECT_EQ(ident.negotiations, 149);
    EXPECT_EQ(ident.subnegotiations, 1);
    EXPECT_GE(c.chunkList().size() - greetingChunks, 4u);
    for (const std::string& chunk : c.chunkList()) EXPECT_EQ(chunk.find('\0'), std::string::npos);

    // Two commands at once: the first answer is still on its way when the
    // second queues up, so only the second keeps its subnegotiation.
    const std::size_t before = c.chunkList().size();
    c.send("*\r\n*\r\n");
    const ChunkText both = collect(before, kIdent + kIdent);
    EXPECT_EQ(both.text, kIdent + kIdent);
    EXPECT_EQ(both.negotiations, 2 * 149);
    EXPECT_EQ(both.subnegotiations, 1);
}

}  // namespace
}  // namespace zelo::sim::test
