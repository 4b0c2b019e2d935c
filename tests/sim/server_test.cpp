// The running simulator: reports over UDP, the control channel, network
// presence, the console fault modes, and a fleet of ten thousand units.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>

#include "report_check.h"
#include "sim_test_support.h"

namespace zelo::sim::test {
namespace {

std::string fleetFor(const UdpStation& st, const std::string& body) {
    return "station = " + st.address() + "\ninterval = 60\n" + body;
}

std::string statesOf(const std::vector<std::uint8_t>& d) {
    ElementWalk w = WalkElementReport(d);
    for (std::size_t i = 0; i < w.types.size(); ++i) {
        if (w.types[i] != kElemOutlets) continue;
        std::string s;
        const std::size_t o = w.offsets[i];
        for (unsigned k = 0; k < be16(d, o + 4); ++k) s += static_cast<char>('0' + be16(d, o + 6 + 6 * k));
        return s;
    }
    return "?";
}

TEST(SimServerReports, FirstReportPassesTheStationChecksAndNamesTheUnit) {
    UdpStation st;
    SimHarness h(fleetFor(st, "[hx]\nmodel = 3\nmac = 00:80:87:12:34:56\nstates = 1010\n"));
    h.settle();
    auto got = st.drain();
    ASSERT_EQ(got.size(), 1u);
    ElementWalk w = WalkElementReport(got[0]);
    ASSERT_TRUE(w.accepted) << w.why;
    ASSERT_FALSE(w.types.empty());
    EXPECT_EQ(w.types[0], kElemMac);
    char mac[13];
    const auto& d = got[0];
    const std::size_t m = w.offsets[0];
    std::snprintf(mac, sizeof mac, "%02X%02X%02X%02X%02X%02X", d[m + 6], d[m + 7], d[m + 8], d[m + 9], d[m + 10], d[m + 11]);
    EXPECT_STREQ(mac, "008087123456");
    EXPECT_EQ(statesOf(got[0]), "1010");
}

TEST(SimServerReports, ChangesAreReportedAtOnceAndIntervalsKeepTime) {
    UdpStation st;
    SimHarness h(fleetFor(st, "[q]\nmodel = 12\n"));
    h.settle();
    ASSERT_EQ(st.drain().size(), 1u);
    EXPECT_EQ(h.server().control("outlet q 2 off"), "OK");
    h.settle();
    auto got = st.drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(statesOf(got[0]), "1011");
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
    EXPECT_EQ(statesOf(got[0]), "1511");  // the watch reboots outlet 2
}

TEST(SimServerReports, OlderUnitsSendTableAndShortReports) {
    UdpStation st;
    SimHarness h(fleetFor(st, "[t]\nmodel = 10\nunit = 258\nstates = 1011\n[s]\nmodel = 6\nunit = 7\n"));
    h.advance(1000);
    auto got = st.drain();
    ASSERT_EQ(got.size(), 2u);
    for (const auto& d : got) {
        if (d.size() == 240) {
            EXPECT_EQ(d[10], 0x02);
            EXPECT_EQ(d[11], 0x01);
            EXPECT_EQ(d[48 + 48 * 1 + 1], 0);  // outlet 2 off
        } else {
            ASSERT_EQ(d.size(), 30u);
            EXPECT_EQ(le16(d, 4), 7u);
        }
    }
}

TEST(SimServerReports, ReportFaultsSpoilEveryDatagram) {
    UdpStation st;
    SimHarness h(fleetFor(st, "[a]\nmodel = 11\nfaults = report:bad-checksum\n"));
    h.settle();
    auto got = st.drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(WalkElementReport(got[0]).why, "checksum");
    EXPECT_EQ(h.server().control("fault a report:wrong-length"), "OK");
    EXPECT_EQ(h.server().control("report a"), "OK");
    got = st.drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(WalkElementReport(got[0]).why, "length");
    EXPECT_EQ(h.server().control("fault a none"), "OK");
    h.server().control("report a");
    EXPECT_TRUE(WalkElementReport(st.drain().at(0)).accepted);
}

TEST(SimServerReports, AggregateRateSpreadsReportsOverTheFleet) {
    UdpStation st;
    SimHarness h("rate = 200\nstation = " + st.address() + "\ninterval = 0\n[u]\nmodel = 11\ncount = 50\n");
    for (int i = 0; i < 100; ++i) h.advance(10);
    auto got = st.drain();
    EXPECT_GE(got.size(), 195u);
    EXPECT_LE(got.size(), 205u);
    std::set<std::string> macs;
    for (const auto& d : got) macs.insert(std::string(d.begin() + 14, d.begin() + 20));
    EXPECT_EQ(macs.size(), 50u);
}

TEST(SimServerControl, SocketTakesCommandsAndAnswersOkOrErr) {
    ServerOptions options;
    options.controlPort = 0;
    SimHarness h("interval = 0\n[hx]\nmodel = 3\n[sw]\nmodel = 8\n", options);
    ASSERT_GT(h.server().controlPort(), 0);
    RawClient ctl;
    ASSERT_TRUE(ctl.connectTo(h.server().controlPort()));
    EXPECT_EQ(h.exchange(ctl, "outlet hx 3 off\n", "\n"), "OK\n");
    EXPECT_EQ(h.device("hx").outlets()[2].state, 0);
    EXPECT_EQ(h.exchange(ctl, "master #1 off\n", "\n"), "ERR device has no master switch\n");
    EXPECT_EQ(h.exchange(ctl, "outlet nobody 1 on\n", "\n"), "ERR no device nobody\n");
    EXPECT_EQ(h.exchange(ctl, "frobnicate hx\n", "\n"), "ERR unknown command frobnicate\n");
    std::string show = h.exchange(ctl, "show hx\n", "OK\n");
    EXPECT_NE(show.find("states=1101"), std::string::npos) << show;
    std::string list = h.exchange(ctl, "list\n", "OK\n");
    EXPECT_NE(list.find("0 hx model=3"), std::string::npos) << list;
    EXPECT_NE(list.find("1 sw model=8"), std::string::npos) << list;
    EXPECT_EQ(h.exchange(ctl, "quit\n", "\n"), "OK\n");
    EXPECT_TRUE(h.server().stopped());
}

TEST(SimServerControl, HandSwitchShowsOnTheFramedConsoleUnasked) {
    SimHarness h("interval = 0\n[hx]\nmodel = 3\n");
    RawClient c;
    LoginFramedPrompt(h, c, "hx");
    h.server().control("outlet hx 1 off");
    EXPECT_EQ(h.until(c, "\r\n"), "*00:POS=0:0,1:0,1:0,1:0,\r\n");
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
    EXPECT_EQ(h.until(back, "00:HX>").substr(6), "00:HX>");
    h.advance(61000);
    EXPECT_FALSE(st.drain().empty());
}

// A ping watch entry's state and reboot count as the report carries them
// (compact form); {999, 999} when the report has no ping element.
std::pair<unsigned, unsigned> pingEntryOf(const std::vector<std::uint8_t>& d, std::size_t entry) {
    ElementWalk w = WalkElementReport(d);
    for (std::size_t i = 0; i < w.types.size(); ++i) {
        if (w.types[i] != kElemPing) continue;
        const std::size_t at = w.offsets[i] + 6 + 34 * entry;
        return {be16(d, at + 2), be16(d, at + 16)};
    }
    return {999, 999};
}

using Ping = std::pair<unsigned, unsigned>;

TEST(SimServerRecurring, PingWatchTripsEveryPeriodAndWatchesAgainOnceItsOutletIsBack) {
    UdpStation st;
    SimHarness h(fleetFor(st, "[sw]\nmodel = 11\nreboot-time = 20\nping-trip = 30:2\n"));
    h.settle();
    auto got = st.drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(pingEntryOf(got[0], 1), Ping(1, 0));
    h.advance(29000);
    EXPECT_TRUE(st.drain().empty());
    h.advance(1000);
    got = st.drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(statesOf(got[0]), "1511");  // entry 2 reboots outlet 2
    EXPECT_EQ(pingEntryOf(got[0], 1), Ping(3, 1));
    EXPECT_EQ(pingEntryOf(got[0], 0), Ping(1, 0));
    h.advance(2000);
    got = st.drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(statesOf(got[0]), "1111");
    EXPECT_EQ(pingEntryOf(got[0], 1), Ping(1, 1));
    h.advance(27000);
    EXPECT_TRUE(st.drain().empty());
    h.advance(1000);  // thirty seconds after the first trip
    got = st.drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(pingEntryOf(got[0], 1), Ping(3, 2));
}

TEST(SimServerRecurring, OfflineCycleLeavesAndRejoinsTheNetworkOnItsOwn) {
    UdpStation st;
    SimHarness h(fleetFor(st, "[a]\nmodel = 3\noffline-cycle = 20:10\n"
                              "[b]\nmodel = 3\noffline-cycle = 20:10:silent\n"));
    h.advance(1000);  // the first reports of a fleet spread over a second
    ASSERT_EQ(st.drain().size(), 2u);
    const int port = h.port("a");
    RawClient open;
    LoginFramedPrompt(h, open, "a");
    h.advance(18000);
    EXPECT_FALSE(open.peerClosed());
    h.advance(1000);
    EXPECT_TRUE(h.untilClosed(open));
    RawClient refused;
    EXPECT_FALSE(refused.connectTo(port));
    RawClient silent;
    ASSERT_TRUE(silent.connectTo(h.port("b")));  // taken, never answered
    h.settle(&silent, 20);
    EXPECT_EQ(silent.take(), "");
    // A change while away goes out as soon as the unit is back.
    EXPECT_EQ(h.server().control("outlet a 1 off"), "OK");
    h.settle();
    EXPECT_TRUE(st.drain().empty());
    h.advance(10000);
    auto got = st.drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(statesOf(got[0]), "0111");
    RawClient back;
    ASSERT_TRUE(back.connectTo(port));
    EXPECT_EQ(h.until(back, "00:HX>").substr(6), "00:HX>");
    back.closeNow();
    h.settle();
    h.advance(20000);  // and away again
    RawClient again;
    EXPECT_FALSE(again.connectTo(port));
    const std::string list = h.server().control("list");
    const std::string first = list.substr(0, list.find('\n'));
    EXPECT_EQ(first.compare(0, 11, "0 a model=3"), 0) << list;
    EXPECT_TRUE(first.size() > 8 && first.substr(first.size() - 8) == " offline") << list;
}

class SimServerFaults : public ::testing::Test {
protected:
    SimHarness h{"interval = 0\n[hx]\nmodel = 3\n[sw]\nmodel = 11\nsysname = SW\n"};
    RawClient c;
    void fault(const std::string& dev, const std::string& spec) {
        ASSERT_EQ(h.server().control("fault " + dev + " " + spec), "OK");
    }
};

TEST_F(SimServerFaults, CloseAfterBytesCutsTheStream) {
    fault("hx", "close-after:4");
    ASSERT_TRUE(c.connectTo(h.port("hx")));
    EXPECT_TRUE(h.untilClosed(c));
    EXPECT_EQ(c.take(), "\xFF\xFB\x01\xFF");
}

TEST_F(SimServerFaults, CloseAtAStepEndsTheConsoleThere) {
    fault("sw", "close-at:login");
    ASSERT_TRUE(c.connectTo(h.port("sw")));
    h.until(c, "\r\n");
    h.exchange(c, "\r\n", "Password:");
    EXPECT_EQ(h.exchange(c, "tavik\r\n", "SW> "), "\r\nSW> ");
    EXPECT_TRUE(h.untilClosed(c));

    fault("hx", "close-at:cmd2");
    RawClient f;
    LoginFramedPrompt(h, f, "hx");
    EXPECT_EQ(h.exchange(f, "*\r\n", "00:HX>"), "*00:HX-7200 Ver 3.14.12\r\n00:HX>");
    f.send("*00:7394#MPOS\r\n");
    EXPECT_TRUE(h.untilClosed(f));
    EXPECT_EQ(f.take(), "");
}

TEST_F(SimServerFaults, SlowAnswersWaitForTheClock) {
    fault("hx", "slow:800");
    ASSERT_TRUE(c.connectTo(h.port("hx")));
    h.settle(&c, 10);
    EXPECT_EQ(c.take(), "");
    h.advance(799, &c);
    EXPECT_EQ(c.take(), "");
    h.advance(1, &c);
    EXPECT_EQ(h.until(c, "00:HX>"), "\xFF\xFB\x01\xFF\xFB\x03" "00:HX>");
}

TEST_F(SimServerFaults, MuteUnitsAcceptAndSayNothing) {
    fault("hx", "mute");
    ASSERT_TRUE(c.connectTo(h.port("hx")));
    c.send("*\r\n");
    h.settle(&c, 20);
    EXPECT_EQ(c.take(), "");
    EXPECT_FALSE(c.peerClosed());

    fault("sw", "mute-commands");
    RawClient p;
    LoginPlain(h, p, "sw", "tavik");
    p.send("XPOS\r\n");
    h.settle(&p, 20);
    EXPECT_EQ(p.take(), "");
}

TEST_F(SimServerFaults, TelnetSequencesArriveCutAcrossChunks) {
    fault("hx", "split-iac");
    ASSERT_TRUE(c.connectTo(h.port("hx")));
    h.settle(&c, 10);
    EXPECT_EQ(c.take(), "\xFF");
    h.advance(40, &c);
    EXPECT_EQ(h.until(c, "00:HX>"), "\xFB\x01\xFF\xFB\x01\xFF\xFB\x03" "00:HX>");
    c.send("*\r\n");
    h.settle(&c, 10);
    const auto chunks = c.chunkList();
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks.back(), "\xFF");  // the sequence's first byte alone
    h.advance(40, &c);
    EXPECT_EQ(h.until(c, "00:HX>"), "\xFF\xFB\x01*00:HX-7200 Ver 3.14.12\r\n00:HX>");
}

TEST_F(SimServerFaults, FloodWithoutLineEndsComesBeforeTheGreeting) {
    fault("sw", "flood:20000");
    ASSERT_TRUE(c.connectTo(h.port("sw")));
    std::string got = h.until(c, "\r\n");
    ASSERT_GT(got.size(), 20000u);
    EXPECT_EQ(got.substr(0, 20000).find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(got.compare(20000, 5, " 220 "), 0);
}

TEST_F(SimServerFaults, GarbageLinesComeBeforeEveryAnswer) {
    fault("hx", "garbage:2");
    LoginFramedPrompt(h, c, "hx");
    std::string got = h.exchange(c, "*00:7394#MPOS\r\n", "00:HX>");
    const auto first = got.find("\r\n");
    const auto second = got.find("\r\n", first + 2);
    ASSERT_NE(second, std::string::npos);
    const std::string noise = got.substr(0, second);
    EXPECT_EQ(noise.find('*'), std::string::npos);
    EXPECT_EQ(noise.find('>'), std::string::npos);
    EXPECT_EQ(got.compare(second + 2, 9, "*00:MPOS="), 0) << got;
}

TEST_F(SimServerFaults, RefusedPasswordsInBothDialects) {
    fault("sw", "refuse-password");
    ASSERT_TRUE(c.connectTo(h.port("sw")));
    h.until(c, "\r\n");
    h.exchange(c, "\r\n", "Password:");
    EXPECT_EQ(h.exchange(c, "tavik\r\n", "Password:"), "\r\nIncorrect password\r\nPassword:");
    fault("hx", "refuse-password");
    RawClient f;
    LoginFramedPrompt(h, f, "hx");
    EXPECT_EQ(h.exchange(f, "*00:7394#MPOS\r\n", "00:HX>"), "*00:Err\r\n00:HX>");
}

// What a client's telnet stripping makes of one chunk read on its own.
struct ChunkText {
    std::string text;        // the bytes that are no telnet sequence
    int negotiations = 0;    // IAC WILL/WONT/DO/DONT x
    int subnegotiations = 0; // IAC SB ... IAC SE
    bool whole = true;       // no sequence runs past the chunk's end
};

ChunkText stripChunk(const std::string& chunk) {
    ChunkText out;
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        const auto c = static_cast<unsigned char>(chunk[i]);
        if (c != 0xFF) {
            out.text += chunk[i];
            continue;
        }
        if (i + 1 >= chunk.size()) return out.whole = false, out;
        const auto cmd = static_cast<unsigned char>(chunk[i + 1]);
        if (cmd >= 251) {
            if (i + 2 >= chunk.size()) return out.whole = false, out;
            ++out.negotiations;
            i += 2;
        } else if (cmd == 250) {
            const std::size_t se = chunk.find("\xFF\xF0", i + 2);
            if (se == std::string::npos) return out.whole = false, out;
            ++out.subnegotiations;
            i = se + 1;
        } else {
            return out.whole = false, out;  // the storm sends nothing else
        }
    }
    return out;
}

TEST_F(SimServerFaults, TelnetStormSurroundsEveryAnswerInWholeSequences) {
    fault("hx", "iac-storm:150");
    ASSERT_TRUE(c.connectTo(h.port("hx")));
    // The sends leave 5 ms apart; each step of the clock lets one go.
    auto collect = [&](std::size_t from, const std::string& tail) {
        ChunkText all;
        for (int i = 0; i < 100 && all.text.size() < tail.size() + 64; ++i) {
            h.advance(5, &c);
            if (c.chunkList().size() > from) {
                const auto chunks = c.chunkList();
                all = ChunkText{};
                for (std::size_t k = from; k < chunks.size(); ++k) {
                    const ChunkText t = stripChunk(chunks[k]);
                    EXPECT_TRUE(t.whole) << "chunk " << k;
                    all.text += t.text;
                    all.negotiations += t.negotiations;
                    all.subnegotiations += t.subnegotiations;
                }
                if (all.text.size() >= tail.size() &&
                    all.text.compare(all.text.size() - tail.size(), tail.size(), tail) == 0 &&
                    chunks.back().size() >= 2 &&
                    chunks.back().compare(chunks.back().size() - 2, 2, "\xFF\xF0") == 0)
                    break;
            }
        }
        return all;
    };
    h.settle(&c);
    ChunkText greeting = collect(0, "00:HX>");
    EXPECT_EQ(greeting.text, "00:HX>");
    EXPECT_EQ(greeting.negotiations, 149 + 2);  // and the unit's own WILL ECHO, WILL SGA
    EXPECT_EQ(greeting.subnegotiations, 1);
    const std::size_t greetingChunks = c.chunkList().size();
    EXPECT_GE(greetingChunks, 4u);  // 64 to a send ahead of the text, then its pieces
    EXPECT_EQ(c.chunkList().back().substr(c.chunkList().back().size() - 6),
              std::string("\xFF\xFA\x18\x01\xFF\xF0", 6));

    c.send("*\r\n");
    h.settle(&c);
    ChunkText ident = collect(greetingChunks, "00:HX>");
    EXPECT_EQ(ident.text, "*00:HX-7200 Ver 3.14.12\r\n00:HX>");
    EXPECT_EQ(ident.negotiations, 149);
    EXPECT_EQ(ident.subnegotiations, 1);
    EXPECT_GE(c.chunkList().size() - greetingChunks, 4u);
    for (const std::string& chunk : c.chunkList())
        EXPECT_EQ(chunk.find('\0'), std::string::npos);

    // Two commands at once: the first answer is still on its way when the
    // second queues up, so only the second keeps its subnegotiation.
    const std::size_t before = c.chunkList().size();
    c.send("*\r\n*\r\n");
    h.settle(&c);
    const std::string twice = "*00:HX-7200 Ver 3.14.12\r\n00:HX>*00:HX-7200 Ver 3.14.12\r\n00:HX>";
    ChunkText both = collect(before, twice);
    EXPECT_EQ(both.text, twice);
    EXPECT_EQ(both.negotiations, 2 * 149);
    EXPECT_EQ(both.subnegotiations, 1);
}

TEST_F(SimServerFaults, DripSendsEveryAnswerByteAloneAtItsPace) {
    fault("sw", "drip:100");
    ASSERT_TRUE(c.connectTo(h.port("sw")));
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
    EXPECT_EQ(" 2" + rest, " 220 SWD-12K (SW) Ver 2.01a.0012 ready.\r\n");
}

TEST_F(SimServerFaults, MuteCommandsStillGreetsOnTheFramedConsole) {
    fault("hx", "mute-commands");
    ASSERT_TRUE(c.connectTo(h.port("hx")));
    EXPECT_EQ(h.until(c, "00:HX>"), "\xFF\xFB\x01\xFF\xFB\x03" "00:HX>");
    c.send("*\r\n");
    h.settle(&c, 20);
    EXPECT_EQ(c.take(), "");
    EXPECT_FALSE(c.peerClosed());
}

TEST(SimServerScale, TenThousandUnitsInOneProcess) {
    UdpStation st;
    ServerOptions options;
    // Below the system's ephemeral range; ports in use are skipped.
    options.portBase = 20000 + static_cast<int>(getpid() % 1000);
    SimHarness h("rate = 5000\nstation = " + st.address() +
                 "\ninterval = 0\n[a]\nmodel = 11\ncount = 5000\n[b]\nmodel = 8\ncount = 5000\n",
                 options);
    ASSERT_EQ(h.server().deviceCount(), 10000u);
    for (int i = 0; i < 20; ++i) h.advance(10);
    auto got = st.drain();
    EXPECT_GE(got.size(), 900u);  // 5000 per second for 0.2 s
    EXPECT_LE(got.size(), 1100u);
    // the last unit answers its console like the first
    RawClient first, last;
    ASSERT_TRUE(first.connectTo(h.port("a-1")));
    ASSERT_TRUE(last.connectTo(h.port("b-5000")));
    EXPECT_EQ(h.until(last, "\r\n").compare(0, 5, " 220 "), 0);
    EXPECT_EQ(h.until(first, "\r\n").compare(0, 5, " 220 "), 0);
}

}  // namespace
}  // namespace zelo::sim::test
