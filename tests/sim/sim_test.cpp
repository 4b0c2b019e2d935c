// The simulator: its fleet description, its status reports as the station's
// own decoder reads them, its consoles byte for byte where the client's tests
// over the simulator do not go (refused frames, power delays, the three-strike
// login), its fault modes, and the report timing, ping watch and offline
// cycles. (Logins of every model and firmware, readouts with
// their settings lists, settings, register and power commands, schedule
// uploads and lists, locked units, refused passwords, telnet storms, floods
// and noise lines are exercised through the client by its tests over the
// simulator.)
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <utility>

#include "connection/network.h"
#include "sim/device.h"
#include "sim/fleet.h"
#include "sim/report.h"
#include "sim/server.h"
#include "sim/sim_clock.h"
#include "status/udp_receiver.h"
#include "tests/status/report_builder.h"

namespace zelo::sim::test {
namespace {

// A console client on the system's sockets, read without waiting.
class RawClient {
public:
    bool connectTo(int port) {
        bool created = false;
        stream_ = network_->connect(0x7F000001u, static_cast<std::uint16_t>(port), created);
        return stream_ != nullptr;
    }
    void send(const std::string& bytes) {
        ASSERT_EQ(stream_->send(bytes.data(), bytes.size()), int(bytes.size()));
    }
    bool poll() {  // reads what is there; false once the peer has closed
        char buf[65536];
        while (stream_ && !closed_ && stream_->waitReadable(0) > 0) {
            const int got = stream_->recv(buf, sizeof buf);
            if (got > 0) received_.append(buf, std::size_t(got));
            closed_ = got <= 0;
        }
        return !closed_;
    }
    // Every byte since the last take.
    std::string take() { return std::exchange(received_, std::string()); }
    const std::string& received() const { return received_; }
    bool peerClosed() const { return closed_; }

private:
    std::unique_ptr<Network> network_ = makeSystemNetwork();
    std::unique_ptr<TcpStream> stream_;
    bool closed_ = false;
    std::string received_;
};

// The station's end: its own socket, read by the test.
struct UdpStation {
    UdpReceiver socket;
    UdpStation() { EXPECT_TRUE(socket.open(0, 0x7F000001u)); }
    std::string address() const { return "127.0.0.1:" + std::to_string(socket.localPort()); }
    // The datagrams that arrived, oldest first.
    std::vector<std::vector<std::uint8_t>> drain() {
        std::vector<std::vector<std::uint8_t>> out;
        std::uint8_t buf[4096];  // room to spare: an oversized one shows its true size
        for (std::size_t n = 0;
             socket.receive(buf, sizeof buf, n) == UdpReceiver::Result::Datagram;)
            out.emplace_back(buf, buf + n);
        return out;
    }
};

// An embedded simulator on a manual clock, stepped by the test thread.
class SimHarness {
public:
    explicit SimHarness(const std::string& fleetText) {
        Fleet fleet;
        std::string error;
        EXPECT_TRUE(ParseFleet(fleetText, fleet, error)) << error;
        server_ = std::make_unique<SimServer>(std::move(fleet), ServerOptions{}, &clock_);
        EXPECT_TRUE(server_->start(error)) << error;
    }
    SimServer& server() { return *server_; }
    int port(const std::string& name) {
        return server_->consolePort(std::size_t(server_->find(name)));
    }
    // Steps the simulator and reads the client until its bytes end with
    // `tail`, the peer closes it, or about a second of real time has passed;
    // returns what was received.
    std::string until(RawClient& c, const std::string& tail) {
        for (const auto end = aSecond();
             !c.peerClosed() && std::chrono::steady_clock::now() < end;) {
            server_->step(1);
            c.poll();
            const std::string& r = c.received();
            if (r.size() >= tail.size() &&
                r.compare(r.size() - tail.size(), tail.size(), tail) == 0)
                break;
        }
        return c.take();
    }
    bool untilClosed(RawClient& c) {
        for (const auto end = aSecond(); std::chrono::steady_clock::now() < end && !c.peerClosed();
             c.poll())
            server_->step(1);
        return c.peerClosed();
    }
    // A few quick rounds.
    void settle(RawClient* c = nullptr, int rounds = 5) {
        for (int i = 0; i < rounds; ++i)
            if (server_->step(1), c) c->poll();
    }
    // The clock moved on, and what fell due ran.
    void advance(std::int64_t ms, RawClient* c = nullptr) {
        clock_.advanceMs(ms);
        settle(c, 3);
    }

private:
    static std::chrono::steady_clock::time_point aSecond() {
        return std::chrono::steady_clock::now() + std::chrono::seconds(1);
    }
    ManualSimClock clock_;
    std::unique_ptr<SimServer> server_;
};

// The units the console tests use.
const std::string kFleet =
    "interval = 0\n[hx]\nmodel = 3\n[hxdelay]\nmodel = 3\noff-delay = 30\non-delay = "
    "20\nreboot-time = 10\n"
    "[swd12k]\nmodel = 11\nsysname = RACK-12\noff-delay = 20,0,0,0\n[gv]\nmodel = 13\npassword = "
    "s3cret\n";
const std::string kTelnetHello = "\xFF\xFB\x01\xFF\xFB\x03";  // WILL ECHO, WILL SUPPRESS-GO-AHEAD

// One console conversation on a fresh simulator of kFleet, step by step.
// By its first character a step's `send` is '!' a control command that
// answers `reply`; '<' `reply` arriving unasked (a greeting, a change shown
// unasked); '+' the clock moved on by the milliseconds that follow, then
// `reply` arriving unasked, or nothing at all when it is empty; '~' the
// console closed by the unit after `reply`. Any other text is a line sent
// with CR LF and answered by exactly `reply`. The console is opened before
// the first step that is no control command.
struct Step {
    std::string send, reply;
};
struct Transcript {
    const char* name;
    const char* unit;
    std::vector<Step> steps;
};
void Play(const Transcript& t) {
    SCOPED_TRACE(t.name);
    SimHarness h(kFleet);
    RawClient c;
    bool open = false;
    for (const Step& s : t.steps) {
        SCOPED_TRACE(s.send);
        const char kind = s.send.empty() ? ' ' : s.send[0];
        if (kind == '!') {
            EXPECT_EQ(h.server().control(s.send.substr(1)), s.reply);
            continue;
        }
        if (!open) {
            ASSERT_TRUE(open = c.connectTo(h.port(t.unit)));
            h.settle(&c);  // accepted before the clock moves
        }
        if (kind == '<') {
            EXPECT_EQ(h.until(c, s.reply), s.reply);
        } else if (kind == '+') {
            h.advance(std::stoll(s.send.substr(1)), &c);
            if (s.reply.empty()) h.settle(&c, 10);
            EXPECT_EQ(s.reply.empty() ? c.take() : h.until(c, s.reply), s.reply);
            EXPECT_FALSE(c.peerClosed());
        } else if (kind == '~') {
            EXPECT_TRUE(h.untilClosed(c));
            EXPECT_EQ(c.take(), s.reply);
        } else {
            c.send(s.send + "\r\n");
            EXPECT_EQ(h.until(c, s.reply), s.reply);
        }
    }
}

TEST(SimFleet, NumberedCopiesTakeTheirOwnPortsAndAddressesFaultsTheirDefaultsAndTheFleetFilesLoad) {
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(ParseFleet(
        "[rack]\nmodel = 8\ncount = 3\nport = 4000\nunit = 65535\nmac = 00-80-87-00-00-ff\n", fleet,
        error));
    std::string got;
    for (const auto& d : fleet.devices)
        got += d.name + " " + std::to_string(d.port) + " " + d.mac + " " + std::to_string(d.unit) +
               ", ";
    // units wrap at 16 bits
    EXPECT_EQ(
        got,
        "rack-1 4000 0080870000FF 65535, rack-2 4001 008087000100 0, rack-3 4002 008087000101 1, ");
    FaultConfig f;  // fault values left out take their defaults
    ASSERT_TRUE(ParseFaults("slow:5, iac-storm, drip, flood", f, error)) << error;
    EXPECT_EQ(std::vector<int>({f.slowMs, f.iacStorm, f.dripMs}), std::vector<int>({5, 32, 1000}));
    EXPECT_GT(f.floodBytes, 8192);  // beyond a client's receive ring
    // The fleets the sample directory and the live demo run.
    for (const char* file : {ZELO_SIM_SAMPLE_FLEET, ZELO_SIM_DEMO_FLEET})
        EXPECT_TRUE(LoadFleetFile(file, fleet, error)) << file << ": " << error;
}

TEST(SimFleet, ErrorsNameTheirLine) {
    // A unit that does not hold together is named by the line of its section.
    std::vector<std::pair<std::string, const char*>> bad = {
        {"[a]\nmodel = 4\n", "line 1"},
        {"[a]\nmodel = 3\nstates = 101\n", "line 1"},
        {"[a]\nmodel = 11\nping-trip = 30:5\n", "line 1"},  // the unit has four watch entries
        {"station = 127.0.0.1\n[a]\nmodel = 3\n", "line 1: station must be HOST:PORT"},
    };
    for (const char* line :
         {"colour = red", "port = 70000", "[a]\nmodel = 5", "faults = slow:x", "just words",
          "offline-cycle = 40", "offline-cycle = 40:0", "offline-cycle = 40:15:gone",
          "faults = explode", "faults = report:loud", "faults = close-after:-1",
          "faults = close-at:cmd0", "faults = iac-storm:x", "faults = drip:0"})
        bad.push_back({"[a]\nmodel = 3\n" + std::string(line) + "\n", "line 3"});
    for (const char* line :
         {"ping = 1:0,9", "ping-trip = 0", "ping-trip = 30:x", "ping-trip = 30:2:1"})
        bad.push_back({"[a]\nmodel = 11\n" + std::string(line) + "\n", "line 3"});
    for (const auto& [text, where] : bad) {
        Fleet fleet;
        std::string error;
        EXPECT_FALSE(ParseFleet(text, fleet, error)) << text;
        EXPECT_EQ(error.compare(0, std::string(where).size(), where), 0) << text << " -> " << error;
    }
}

using zelo::test::describe;

// The compact ping watch and the short temperature element are read from the
// server's own reports below.
TEST(SimReport, TheStationsDecoderReadsTheLongFormsAndANegativeTemperature) {
    ReportState s;
    s.mac = "00808712ABCD";
    for (int i = 0; i < 8; ++i) {
        s.outlets.push_back(OutletReport{"10251011"[i] - '0', 0});
        s.schedule.push_back(i % 2 == 0);
    }
    s.ping = {PingEntry{1, 0, 0x7F000001}, PingEntry{0, 2, 0}, PingEntry{3, 1, 0},
              PingEntry{2, 7, 0}, PingEntry{1, 9, 0}};
    s.pingCompact = s.temperatureShortForm = s.sensor = false;
    s.temperature = -425;
    s.temperatureState = 4;
    s.unit = 0x1234;
    EXPECT_EQ(describe(EncodeElementReport(s)),
              "mac:00808712ABCD outlets:10251011 schedule:10101010 ping:1/0,0/2,3/1,2/7,1/9, "
              "temp:0/4/-425 ");
    // The older layouts carry the first four outlets, running delays too.
    EXPECT_EQ(describe(EncodeTableReport(s)), "unit=4660 outlets=1025");
    EXPECT_EQ(describe(EncodeShortReport(s)), "unit=4660 outlets=1025");
}

const std::string kHx = kTelnetHello + "00:HX>";
const std::string kErr = "*00:Err\r\n00:HX>";
std::string pos(const std::string& fields) {
    return "*00:POS=" + fields + "\r\n";
}
const std::string kPrompt = "RACK-12> ";
const std::string kGreeting = " 220 SWD-12K (RACK-12) Ver 2.01a.0012 ready.\r\n";
std::string answer(const std::string& line) {
    return line + "\r\n" + kPrompt;
}

TEST(SimConsole, Transcripts) {
    const Transcript transcripts[] = {
        {"prompt mode: a frame without its select number, and refused ones",
         "hx",
         {{"<", kHx},
          {"*7394#POS", pos("1:0,1:0,1:0,1:0,") + "00:HX>"},
          {"*00:1234#MPOS", kErr},
          {"MPOS", kErr},  // no login: the password must come along
          {"*00:7394#NOSUCH", kErr},
          {"*01:7394#MPOS", "00:HX>"},  // another unit's select number
          {"!outlet hx 1 off", "OK"},
          {"<", pos("0:0,1:0,1:0,1:0,")}}},  // a hand switch shows unasked
        {"power delays show states 2 and 5 while they run",
         "hxdelay",
         {{"<", kHx},
          {"*00:7394#POF2", pos("1:0,2:0,1:0,1:0,") + "00:HX>"},
          {"+2999", ""},
          {"+1", pos("1:0,0:0,1:0,1:0,")},
          {"*00:7394#PON2", pos("1:0,5:0,1:0,1:0,") + "00:HX>"},
          {"+2000", pos("1:0,1:0,1:0,1:0,")},
          // a reboot: off delay (2), then the reboot time (5), then on
          {"*00:7394#POR3", pos("1:0,1:0,2:0,1:0,") + "00:HX>"},
          {"+3000", pos("1:0,1:0,5:0,1:0,")},
          {"+1000", pos("1:0,1:0,1:0,1:0,")},
          {"*00:7394#MPOF",
           pos("0:0,0:0,0:0,0:0,") + "00:HX>"},  // the master: off at once, every outlet with it
          {"*00:7394#MPOS", "*00:MPOS=0,0:0,0:0,0:0,0:0,\r\n00:HX>"},
          {"*00:7394#PON9", kErr}}},
        {"plain: nothing until the empty line; a switch-off delay; the new system name is the "
         "prompt",
         "swd12k",
         {{"<", kGreeting},
          {"+0", ""},
          {"", "Password:"},
          {"tavik", "\r\n" + kPrompt},
          {"", kPrompt},
          {"POF1", kPrompt},  // a 2 s switch-off delay
          {"XPOS", answer("XPOS 2:0002,1:0000,1:0000,1:0000")},
          {"+2000", ""},
          {"XPOS", answer("XPOS 0:0000,1:0000,1:0000,1:0000")},
          {".sysName=LAB", "sysName=\"LAB\"\r\nLAB> "}}},
        {"plain: the third wrong password ends the console",
         "gv",
         {{"<", " 220 GV2208 (gv) Ver 2.01a.0012 ready.\r\n"},
          {"", "Password:"},
          {"tavik", "\r\nIncorrect password\r\nPassword:"},
          {"x", "\r\nIncorrect password\r\nPassword:"},
          {"y", "\r\nIncorrect password\r\n"},
          {"~", ""}}},
    };
    for (const Transcript& t : transcripts) Play(t);
}

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
    SimHarness h(
        fleetFor(st, "[q]\nmodel = 12\nmac = 00:80:87:12:34:56\nstates = 1010\nping = 1:0\n"));
    const std::string head = "mac:008087123456 outlets:", tail = " schedule:0000 ping:1/0, temp:1/";
    h.settle();
    EXPECT_EQ(drained(st), (std::multiset<std::string>{head + "1010" + tail + "0/2350 "}));
    const std::pair<const char*, std::string> changes[] = {
        {"outlet q 2 on", head + "1110" + tail + "0/2350 "},
        {"temp q 41.5", head + "1110" + tail + "2/4150 "},
        {"", head + "1110" + tail + "2/4150 "},  // the interval: a minute after the first
        {"ping q 1 trip",
         head + "5110 schedule:0000 ping:3/1, temp:1/2/4150 "},  // the watch reboots outlet 1
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
    SimHarness h(fleetFor(st,
                          "[t]\nmodel = 10\nunit = 258\nstates = 1011\n[s]\nmodel = 6\nunit = 7\n"
                          "[a]\nmodel = 11\nfaults = report:bad-checksum\n"));
    h.advance(1000);
    EXPECT_EQ(drained(st), (std::multiset<std::string>{"unit=258 outlets=1011",
                                                       "unit=7 outlets=1111", "rejected"}));
    EXPECT_EQ(h.server().control("fault a none"), "OK");
    EXPECT_EQ(h.server().control("report a"), "OK");
    EXPECT_NE(describe(st.drain().at(0)), "rejected");
}

TEST(SimServerReports, AggregateRateSpreadsReportsOverTheFleet) {
    UdpStation st;
    SimHarness h("rate = 200\nstation = " + st.address() +
                 "\ninterval = 0\n[u]\nmodel = 11\ncount = 50\n");
    for (int i = 0; i < 100; ++i) h.advance(10);
    const auto got = st.drain();
    EXPECT_GE(got.size(), 195u);
    EXPECT_LE(got.size(), 205u);
    std::set<std::string> macs;
    for (const auto& d : got) macs.insert(describe(d).substr(0, 16));
    EXPECT_EQ(macs.size(), 50u);
}

// Closing after N bytes or at the N-th command, dripping and split telnet
// sequences are the hostile suite's: its cases over the simulator fail, and
// time out, where those do; a silent reset is the window suite's, whose
// restart waits for the close.
TEST(SimServerFaults, Transcripts) {
    const Transcript faults[] = {
        {"close at the login",
         "swd12k",
         {{"!fault swd12k close-at:login", "OK"},
          {"<", kGreeting},
          {"", "Password:"},
          {"tavik", "\r\nRACK-12> "},
          {"~", ""}}},
        {"slow answers wait for the clock",
         "hx",
         {{"!fault hx slow:800", "OK"}, {"+799", ""}, {"+1", kHx}}},
    };
    for (const Transcript& t : faults) Play(t);
}

TEST(SimServerRecurring, PingWatchTripsEveryPeriodAndWatchesAgainOnceItsOutletIsBack) {
    UdpStation st;
    SimHarness h(fleetFor(st, "[sw]\nmodel = 11\nreboot-time = 20\nping-trip = 30:2\n"));
    h.settle();
    ASSERT_NE(describe(st.drain().at(0)).find(" ping:1/0,1/0,"), std::string::npos);
    const std::pair<std::int64_t, std::string> steps[] = {
        {29000, ""},                                         // not yet
        {1000, "outlets:1511 schedule:0000 ping:1/0,3/1,"},  // entry 2 reboots outlet 2
        {2000, "outlets:1111 schedule:0000 ping:1/0,1/1,"},  // back on: watching again
        {27000, ""},
        {1000, "outlets:1511 schedule:0000 ping:1/0,3/2,"},  // thirty seconds after the first
    };
    for (const auto& [ms, report] : steps) {
        h.advance(ms);
        const auto got = st.drain();
        SCOPED_TRACE(report);
        if (report.empty()) {
            EXPECT_TRUE(got.empty());
        } else {
            ASSERT_EQ(got.size(), 1u);
            EXPECT_NE(describe(got[0]).find(report), std::string::npos) << describe(got[0]);
        }
    }
}

TEST(SimServerRecurring, OfflineCycleLeavesAndRejoinsTheNetworkOnItsOwn) {
    UdpStation st;
    SimHarness h(fleetFor(st,
                          "[a]\nmodel = 3\noffline-cycle = 20:10\n"
                          "[b]\nmodel = 3\noffline-cycle = 20:10:silent\n"));
    h.advance(1000);  // the first reports of a fleet spread over a second
    ASSERT_EQ(st.drain().size(), 2u);
    const int port = h.port("a");
    RawClient open;
    ASSERT_TRUE(open.connectTo(port));
    h.advance(18000, &open);
    EXPECT_FALSE(open.peerClosed());
    h.advance(1000, &open);
    EXPECT_TRUE(h.untilClosed(open));  // gone: the console drops
    EXPECT_NE(h.server().control("list").find(" offline"), std::string::npos);
    RawClient refused, silent;
    EXPECT_FALSE(refused.connectTo(port));
    ASSERT_TRUE(silent.connectTo(h.port("b")));  // taken, never answered
    h.settle(&silent, 20);
    EXPECT_EQ(silent.take(), "");
    // A change while away goes out as soon as the unit is back.
    EXPECT_EQ(h.server().control("outlet a 1 off"), "OK");
    h.settle();
    EXPECT_TRUE(st.drain().empty());
    h.advance(10000);
    EXPECT_NE(describe(st.drain().at(0)).find("outlets:0111"), std::string::npos);
    RawClient back;
    EXPECT_TRUE(back.connectTo(port));
}

}  // namespace
}  // namespace zelo::sim::test
