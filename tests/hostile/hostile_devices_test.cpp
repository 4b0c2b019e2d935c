// Misbehaving devices against the connection code: floods, telnet storms,
// noise, half-open consoles, a device that answers a byte at a time, and
// consoles that drop in the middle of a list. Every case must end within
// the console's own waits, show the right message, leave the status and the
// stored record as they were (or as the device really reported them) and
// keep its memory bounded. The simulator runs as a child process.
//
// Each case prints one line for the report script:
//   HOSTILE <case> <handled|FAILED> message=<ids or -> ms=<elapsed>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "connection/device_settings.h"
#include "connection/framed_readout.h"
#include "connection/open_sequence.h"
#include "connection/power_control.h"
#include "directory/device_directory.h"
#include "directory/item_file.h"
#include "tests/hostile/external_sim.h"
#include "tests/support/test_workspace.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

// The console's waits: 3 s for a framed reply (and every login step), 5 s
// for the plain prompt. A case may take its wait and 2 s more.
constexpr std::int64_t kFramedBoundMs = kReplySeconds * 1000 + 2000;
constexpr std::int64_t kPlainBoundMs = kPlainPromptSeconds * 1000 + 2000;
// AddressSanitizer holds freed blocks back and adds its own bookkeeping, so
// the process's peak says nothing about the client's buffers there.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kFloodRssBoundKb = 64 * 1024;
#else
constexpr long kFloodRssBoundKb = 4 * 1024;
#endif

const char* kFleet = R"(
interval = 0

[flood-hx]
model = 3
faults = flood:5000000
[flood-jb]
model = 5
login = login
faults = flood:5000000
[flood-sw]
model = 6
faults = flood:5000000

[storm-hx]
model = 3
states = 1011
faults = iac-storm:40
[storm-jb]
model = 5
login = login
states = 101
faults = iac-storm:40
[storm-sw]
model = 12
states = 1010
faults = iac-storm:40
[gale-hx]
model = 3
faults = iac-storm:400000
[gale-sw]
model = 7
faults = iac-storm:400000
[split-hx]
model = 3
states = 1011
faults = split-iac
[split-sw]
model = 13
states = 0110
faults = split-iac

[noise-hx]
model = 3
states = 1011
faults = garbage:6
[noise-jb]
model = 5
login = login
states = 011
faults = garbage:3
[noise-sw]
model = 9
states = 0110
faults = garbage:6

[mute-hx]
model = 3
faults = mute
[mute-sw]
model = 10
faults = mute
[deaf-hx]
model = 3
faults = mute-commands
[deaf-sw]
model = 7
states = 1001
[unplug-hx]
model = 3
states = 1011
[unplug-sw]
model = 11
states = 1001
[gone-jb]
model = 5
login = login
[gone-sw]
model = 8

[drip-hx]
model = 3
faults = drip:1000
[drip-sw]
model = 8
faults = drip:1000
[ooze-hx]
model = 3
states = 1011
[seep-hx]
model = 3
states = 1011
[ooze-sw]
model = 13
states = 1100
[trickle-sw]
model = 6
states = 1011

[cut-hx]
model = 3
states = 1011
faults = close-after:1000
[cut-jb]
model = 5
login = login
states = 101
faults = close-at:cmd15
[cut-sw]
model = 8
states = 1001
faults = close-after:700
[cutat-sw]
model = 10
states = 0101
faults = close-at:cmd6

[busy-hx]
model = 3
states = 1011
[busy-sw]
model = 11
states = 1001
[write-sw]
model = 12
[refuse-jb]
model = 5
login = login
faults = refuse-password
)";

std::int64_t sinceMs(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

long peakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Starts the peak RSS afresh from the current RSS, so that a case measures
// its own growth even when an earlier case in this process peaked higher.
// Best effort: without it the growth shows only above the old peak.
void resetPeakRss() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

// Prints the case's line when it goes out of scope: after the last
// assertion, or after the one that ended the case early.
class CaseLine {
public:
    CaseLine(std::string name, const test::ScriptedFrontend& frontend)
        : name_(std::move(name)), frontend_(frontend), start_(std::chrono::steady_clock::now()) {}
    ~CaseLine() {
        std::string ids;
        for (int id : frontend_.errors) ids += (ids.empty() ? "" : ",") + std::to_string(id);
        const long long ms = ms_ >= 0 ? ms_ : sinceMs(start_);
        std::printf("HOSTILE %s %s message=%s ms=%lld\n", name_.c_str(),
                    ::testing::Test::HasFailure() ? "FAILED" : "handled",
                    ids.empty() ? "-" : ids.c_str(), ms);
        std::fflush(stdout);
    }
    void took(std::int64_t ms) { ms_ = ms; }

private:
    std::string name_;
    const test::ScriptedFrontend& frontend_;
    std::chrono::steady_clock::time_point start_;
    std::int64_t ms_ = -1;
};

// The system's sockets with one hook: a simulator control command that runs
// just before the client sends a given command, so that a device changes
// its ways at an exact point of a dialogue.
class TriggerNetwork final : public Network {
public:
    explicit TriggerNetwork(test::ExternalSim*& sim) : sim_(sim) {}

    void arm(std::string command, std::string controlLine) {
        command_ = std::move(command);
        controlLine_ = std::move(controlLine);
        reply_.clear();
    }
    const std::string& reply() const { return reply_; }

    std::uint32_t lookupHost(const std::string& name) noexcept override {
        return inner_->lookupHost(name);
    }
    std::unique_ptr<TcpStream> connect(std::uint32_t address, std::uint16_t port,
                                       bool& socketCreated) noexcept override {
        auto stream = inner_->connect(address, port, socketCreated);
        if (!stream) return stream;
        return std::make_unique<Stream>(*this, std::move(stream));
    }

private:
    class Stream final : public TcpStream {
    public:
        Stream(TriggerNetwork& net, std::unique_ptr<TcpStream> inner)
            : net_(net), inner_(std::move(inner)) {}
        int send(const char* data, std::size_t size) noexcept override {
            net_.beforeSend(std::string_view(data, size));
            return inner_->send(data, size);
        }
        int waitReadable(std::int64_t timeoutMicros) noexcept override {
            return inner_->waitReadable(timeoutMicros);
        }
        int recv(char* buffer, std::size_t size) noexcept override {
            return inner_->recv(buffer, size);
        }
        void shutdown(bool both) noexcept override { inner_->shutdown(both); }

    private:
        TriggerNetwork& net_;
        std::unique_ptr<TcpStream> inner_;
    };

    void beforeSend(std::string_view text) {
        if (command_.empty() || !reply_.empty() || text.find(command_) == std::string_view::npos)
            return;
        reply_ = sim_ ? sim_->control(controlLine_) : "no simulator";
        if (reply_.empty()) reply_ = "no reply";
    }

    test::ExternalSim*& sim_;
    std::unique_ptr<Network> inner_ = makeSystemNetwork();
    std::string command_, controlLine_, reply_;
};

// Another client on a unit's console: connects and reads until a text has
// come, then holds the console until it goes out of scope.
class RawConsole {
public:
    RawConsole() = default;
    ~RawConsole() {
        if (fd_ >= 0) ::close(fd_);
    }
    RawConsole(const RawConsole&) = delete;
    RawConsole& operator=(const RawConsole&) = delete;

    bool open(int port, const std::string& until) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
        std::string got;
        const auto start = std::chrono::steady_clock::now();
        while (got.find(until) == std::string::npos && sinceMs(start) < 5000) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char buf[512];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) return false;
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got.find(until) != std::string::npos;
    }

private:
    int fd_ = -1;
};

class HostileDevices : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim = new test::ExternalSim;
        std::string error;
        simReady = sim->start(ZELO_SIM_PATH, kFleet, error);
        simError = error;
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(simReady) << simError;
        settings.language = 1;
        ASSERT_TRUE(directory.load());
        group = directory.addGroup(0, "Lab");
    }

    // A session on a new stored record of the unit's model, pointing at its
    // console, with the reply parsers bound to it.
    DeviceSession& sessionFor(const std::string& unit, int model) {
        const std::uint32_t id = directory.addDevice(group, model, unit);
        EXPECT_NE(id, 0u);
        DeviceRecord r = *directory.devices().find(id);
        r.addressText = "127.0.0.1";
        r.port = static_cast<std::uint16_t>(sim->port(unit));
        EXPECT_NE(r.port, 0) << unit;
        EXPECT_TRUE(directory.saveDevice(r));
        session = w.ws.newSession(r, nullptr, &w.view, true);
        return *session;
    }
    DeviceRecord stored() {
        for (const DeviceRecord& r : loadItemFile(dataDir, group))
            if (r.deviceId == session->record.deviceId) return r;
        return {};
    }
    // The login to the unit fails with `message` within the wait's bound
    // (with `fullWait`, not before the wait ran out) and the stored record
    // stays as it was.
    void expectLoginFails(const char* caseName, const std::string& unit, int model, int message,
                          bool fullWait) {
        CaseLine line(caseName, frontend);
        DeviceSession& s = sessionFor(unit, model);
        const DeviceRecord before = stored();
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_TRUE(dialectOf(model) == Dialect::Framed ? s.loginFramed(true) : s.loginPlain(true));
        const std::int64_t ms = sinceMs(t0);
        line.took(ms);
        EXPECT_EQ(frontend.errors, std::vector<int>{message});
        if (fullWait) {
            EXPECT_GE(ms, kReplySeconds * 1000 - 100);
        }
        EXPECT_LT(ms, kFramedBoundMs);
        EXPECT_EQ(stored(), before);
    }
    // Runs `controlLine` on the simulator just before the client sends `command`.
    void trigger(const std::string& command, const std::string& controlLine) {
        network->arm(command, controlLine);
    }
    bool triggered() const { return network->reply() == "OK"; }
    void control(const std::string& line) {
        ASSERT_EQ(sim->control(line), "OK") << line;
    }
    // "0"/"1" per outlet as the session knows them.
    std::string knownStates() const {
        std::string s;
        for (int i = 0; i < session->status.outletCount; ++i)
            s += static_cast<char>('0' + session->status.outlets[static_cast<std::size_t>(i)].state);
        return s;
    }

    void TearDown() override {
        if (session) session->connection.closeConnection();
        session.reset();
    }

    static test::ExternalSim* sim;
    static bool simReady;
    static std::string simError;

    test::TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    std::unique_ptr<TriggerNetwork> network = std::make_unique<TriggerNetwork>(sim);
    test::TestWorkspace w{dataDir, *network, test::Time::System};
    AppSettings& settings = w.ws.settings();
    DeviceDirectory& directory = w.ws.directory();
    test::ScriptedFrontend& frontend = w.frontend;
    std::uint32_t group = 0;
    std::unique_ptr<DeviceSession> session;
};

test::ExternalSim* HostileDevices::sim = nullptr;
bool HostileDevices::simReady = false;
std::string HostileDevices::simError;

using Clock = std::chrono::steady_clock;

// ------------------------------------------------ floods before the greeting

// Five megabytes without a line end, then the greeting: the ring keeps its
// newest 8 KB, the line reader finds no line in front of the greeting, and
// the login gives up when its wait ends. Memory stays where it was.
class Flood : public HostileDevices {
protected:
    void run(const char* caseName, const char* unit, int model) {
        CaseLine line(caseName, frontend);
        DeviceSession& s = sessionFor(unit, model);
        const DeviceRecord before = stored();
        resetPeakRss();
        const long rssBefore = peakRssKb();
        const auto t0 = Clock::now();
        const bool failed =
            dialectOf(model) == Dialect::Framed ? s.loginFramed(true) : s.loginPlain(true);
        const std::int64_t ms = sinceMs(t0);
        line.took(ms);
        const long grown = peakRssKb() - rssBefore;
        EXPECT_TRUE(failed);
        EXPECT_EQ(frontend.errors, std::vector<int>{msg::kDisconnected});
        EXPECT_LT(ms, kFramedBoundMs);
        EXPECT_LT(grown, kFloodRssBoundKb) << "peak RSS grew by " << grown << " KB";
        EXPECT_FALSE(s.connection.isOpen());
        EXPECT_LE(s.connection.unreadBytes(), kRingSize);
        EXPECT_EQ(stored(), before);
        EXPECT_EQ(s.status.outletCount, 0);
    }
};

TEST_F(Flood, BeforeThePromptOfAFramedDevice) { run("flood-framed", "flood-hx", 3); }
TEST_F(Flood, BeforeTheLoginPromptOfAFramedDevice) { run("flood-framed-login", "flood-jb", 5); }
TEST_F(Flood, BeforeThePlainGreeting) { run("flood-plain", "flood-sw", 6); }

// ------------------------------------------------------------ telnet storms

// Forty negotiations around and inside every answer, in several sends:
// the stripping takes them all out and the whole readout goes through.
TEST_F(HostileDevices, IacStormAroundEveryAnswerOfTheFramedReadout) {
    CaseLine line("iac-storm-framed", frontend);
    DeviceSession& s = sessionFor("storm-hx", 3);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Opened);
    line.took(sinceMs(t0));
    EXPECT_TRUE(frontend.errors.empty());
    EXPECT_EQ(s.status.modelNameText, "HX-7200");
    EXPECT_EQ(knownStates(), "1011");
    EXPECT_EQ(s.record.powerText, "1 1011");
    EXPECT_EQ(stored().powerText, "1 1011");
    EXPECT_GT(s.status.registers.size(), 100u);
    EXPECT_EQ(s.status.specField, 20);
}

TEST_F(HostileDevices, IacStormAroundALoginModeFramedDevice) {
    CaseLine line("iac-storm-framed-login", frontend);
    DeviceSession& s = sessionFor("storm-jb", 5);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Opened);
    line.took(sinceMs(t0));
    EXPECT_TRUE(frontend.errors.empty());
    EXPECT_EQ(s.loginMode, 1);
    EXPECT_EQ(knownStates(), "101");
    EXPECT_EQ(stored().powerText, "1 101");
    EXPECT_GT(s.status.registers.size(), 100u);
}

TEST_F(HostileDevices, IacStormAroundEveryAnswerOfThePlainStartUp) {
    CaseLine line("iac-storm-plain", frontend);
    DeviceSession& s = sessionFor("storm-sw", 12);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Opened);
    line.took(sinceMs(t0));
    EXPECT_TRUE(frontend.errors.empty());
    EXPECT_EQ(knownStates(), "1010");
    EXPECT_EQ(stored().powerText, "1010");
    EXPECT_EQ(s.status.settings.model, "SWD-Q6M");
    EXPECT_EQ(s.status.settings.sysLocation, "Rack room");
    EXPECT_EQ(s.status.settings.debOlRebootTime[0], 50);
}

// A storm that lasts longer than the wait: the login ends with it.
TEST_F(HostileDevices, IacStormLongerThanTheFramedWait) {
    expectLoginFails("iac-storm-endless-framed", "gale-hx", 3, msg::kDisconnected, true);
}

TEST_F(HostileDevices, IacStormLongerThanThePlainWait) {
    expectLoginFails("iac-storm-endless-plain", "gale-sw", 7, msg::kDisconnected, false);
}

// Every answer starts with IAC WILL ECHO cut after the IAC into two sends.
// The stripping keeps its state from one received chunk to the next, so the
// sequence is dropped whole and the device opens as if it had sent it in
// one piece.
TEST_F(HostileDevices, TelnetSequenceCutAcrossSendsBeforeEveryFramedAnswer) {
    CaseLine line("split-iac-framed", frontend);
    DeviceSession& s = sessionFor("split-hx", 3);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Opened);
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_TRUE(frontend.errors.empty());
    EXPECT_LT(ms, kFramedBoundMs);
    EXPECT_EQ(s.status.modelNameText, "HX-7200");
    EXPECT_EQ(knownStates(), "1011");
    EXPECT_EQ(stored().powerText, "1 1011");
    s.connection.closeConnection();
}

// The plain greeting must start with " 220 ": with the sequence dropped
// whole it does, and the start-up queries read the outlets.
TEST_F(HostileDevices, TelnetSequenceCutAcrossSendsBeforeThePlainGreeting) {
    CaseLine line("split-iac-plain", frontend);
    DeviceSession& s = sessionFor("split-sw", 13);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Opened);
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_TRUE(frontend.errors.empty());
    EXPECT_LT(ms, kPlainBoundMs);
    EXPECT_GT(s.status.outletCount, 0);
    EXPECT_EQ(stored().powerText, s.record.powerText);
    s.connection.closeConnection();
}

// ------------------------------------------------------- noise before answers

TEST_F(HostileDevices, GarbageLinesBeforeEveryFramedAnswer) {
    CaseLine line("garbage-framed", frontend);
    DeviceSession& s = sessionFor("noise-hx", 3);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Opened);
    line.took(sinceMs(t0));
    EXPECT_TRUE(frontend.errors.empty());
    EXPECT_EQ(knownStates(), "1011");
    EXPECT_EQ(stored().powerText, "1 1011");
    EXPECT_GT(s.status.registers.size(), 100u);
}

TEST_F(HostileDevices, GarbageLinesBeforeEveryAnswerAfterALogin) {
    CaseLine line("garbage-framed-login", frontend);
    DeviceSession& s = sessionFor("noise-jb", 5);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Opened);
    line.took(sinceMs(t0));
    EXPECT_TRUE(frontend.errors.empty());
    EXPECT_EQ(knownStates(), "011");
    EXPECT_EQ(stored().powerText, "1 011");
}

TEST_F(HostileDevices, GarbageLinesBeforeEveryPlainAnswer) {
    CaseLine line("garbage-plain", frontend);
    DeviceSession& s = sessionFor("noise-sw", 9);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Opened);
    line.took(sinceMs(t0));
    EXPECT_TRUE(frontend.errors.empty());
    EXPECT_EQ(knownStates(), "0110");
    EXPECT_EQ(stored().powerText, "0110");
    EXPECT_EQ(s.status.settings.model, "SWD-7KB");
    EXPECT_EQ(s.status.settings.sysLocation, "Rack room");
    EXPECT_EQ(s.status.settings.rs232Port1Speed, 9600);
}

// --------------------------------------------------------- half-open consoles

TEST_F(HostileDevices, MuteFramedDeviceTakesTheConnectionAndSaysNothing) {
    expectLoginFails("mute-framed", "mute-hx", 3, msg::kDisconnected, true);
}

TEST_F(HostileDevices, MutePlainDeviceTakesTheConnectionAndSaysNothing) {
    expectLoginFails("mute-plain", "mute-sw", 10, msg::kDisconnected, true);
}

// The prompt comes, the identification never does.
TEST_F(HostileDevices, FramedDeviceThatNeverAnswersACommand) {
    CaseLine line("mute-commands-framed", frontend);
    DeviceSession& s = sessionFor("deaf-hx", 3);
    const DeviceRecord before = stored();
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Failed);
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
    EXPECT_LT(ms, kFramedBoundMs);
    EXPECT_EQ(stored(), before);
    EXPECT_TRUE(s.status.modelNameText.empty());
}

// Logged in and read, then the device stops answering: a power command
// gives up after its wait and the states stay as the device last gave them.
TEST_F(HostileDevices, PlainDeviceThatStopsAnsweringAfterTheOpen) {
    CaseLine line("mute-commands-plain", frontend);
    DeviceSession& s = sessionFor("deaf-sw", 7);
    ASSERT_EQ(openDevice(s), OpenResult::Opened);
    ASSERT_EQ(knownStates(), "1001");
    control("fault deaf-sw mute-commands");
    const auto t0 = Clock::now();
    EXPECT_TRUE(sendPowerCommand(s, "PON2", true));
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_TRUE(frontend.errors.empty());
    EXPECT_LT(ms, kPlainBoundMs);
    EXPECT_EQ(knownStates(), "1001");
    EXPECT_EQ(stored().powerText, "1001");
    control("fault deaf-sw none");
}

// The unit is unplugged in the middle of the register lists: the client's
// socket stays open and nothing more comes.
TEST_F(HostileDevices, FramedDeviceUnpluggedInTheMiddleOfTheRegisterLists) {
    CaseLine line("offline-silent-framed-readout", frontend);
    trigger("RL300-31F", "offline unplug-hx silent");
    DeviceSession& s = sessionFor("unplug-hx", 3);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Failed);
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_TRUE(triggered());
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
    EXPECT_LT(ms, kFramedBoundMs);
    EXPECT_EQ(knownStates(), "1011");
    EXPECT_EQ(stored().powerText, "1 1011");
    control("online unplug-hx");
}

TEST_F(HostileDevices, PlainDeviceUnpluggedWhileOpen) {
    CaseLine line("offline-silent-plain-open", frontend);
    DeviceSession& s = sessionFor("unplug-sw", 11);
    ASSERT_EQ(openDevice(s), OpenResult::Opened);
    control("offline unplug-sw silent");
    const auto t0 = Clock::now();
    EXPECT_TRUE(s.sendPlainCommand("XPOS") || s.awaitPlainPrompt());
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_TRUE(frontend.errors.empty());
    EXPECT_LT(ms, kPlainBoundMs);
    EXPECT_EQ(knownStates(), "1001");
    EXPECT_EQ(stored().powerText, "1001");
    control("online unplug-sw");
}

// Unplugged before the login: the connection is taken, the greeting never comes.
TEST_F(HostileDevices, FramedLoginToAnUnpluggedDevice) {
    control("offline gone-jb silent");
    expectLoginFails("offline-silent-framed-login", "gone-jb", 5, msg::kDisconnected, false);
    control("online gone-jb");
}

TEST_F(HostileDevices, PlainLoginToAnUnpluggedDevice) {
    control("offline gone-sw silent");
    expectLoginFails("offline-silent-plain-login", "gone-sw", 8, msg::kDisconnected, false);
    control("online gone-sw");
}

// ------------------------------------------------ a byte a second

TEST_F(HostileDevices, FramedDeviceDrippingItsGreeting) {
    expectLoginFails("drip-framed-login", "drip-hx", 3, msg::kDisconnected, true);
}

TEST_F(HostileDevices, PlainDeviceDrippingItsGreeting) {
    expectLoginFails("drip-plain-login", "drip-sw", 8, msg::kDisconnected, true);
}

// The reply's first byte comes at once, its first line would take half a
// minute: the wait ends 3 s after the command, not with the reply.
TEST_F(HostileDevices, FramedOutletStatesFromADrippingDevice) {
    CaseLine line("drip-framed-states", frontend);
    DeviceSession& s = sessionFor("ooze-hx", 3);
    ASSERT_EQ(openDevice(s), OpenResult::Opened);
    ASSERT_EQ(knownStates(), "1011");
    control("fault ooze-hx drip:1000");
    const auto t0 = Clock::now();
    EXPECT_TRUE(readOutletStates(s));
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadPassword});
    EXPECT_GE(ms, kReplySeconds * 1000 - 100);
    EXPECT_LT(ms, kFramedBoundMs);
    EXPECT_EQ(knownStates(), "1011");
    EXPECT_EQ(stored().powerText, "1 1011");
    control("fault ooze-hx none");
}

TEST_F(HostileDevices, PlainPowerCommandToADrippingDevice) {
    CaseLine line("drip-plain-power", frontend);
    DeviceSession& s = sessionFor("ooze-sw", 13);
    ASSERT_EQ(openDevice(s), OpenResult::Opened);
    ASSERT_EQ(knownStates(), "1100");
    control("fault ooze-sw drip:1000");
    const auto t0 = Clock::now();
    EXPECT_TRUE(sendPowerCommand(s, "POF1", true));
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_TRUE(frontend.errors.empty());
    EXPECT_GE(ms, kPlainPromptSeconds * 1000 - 100);
    EXPECT_LT(ms, kPlainBoundMs);
    EXPECT_EQ(knownStates(), "1100");
    EXPECT_EQ(stored().powerText, "1100");
    control("fault ooze-sw none");
}

// A byte every 20 ms: the whole reply is there well within the wait.
TEST_F(HostileDevices, PlainOutletStatesFromASlowButSteadyDevice) {
    CaseLine line("drip-plain-steady", frontend);
    DeviceSession& s = sessionFor("trickle-sw", 6);
    ASSERT_EQ(openDevice(s), OpenResult::Opened);
    ASSERT_EQ(knownStates(), "1011");
    control("outlet trickle-sw 2 on");
    control("fault trickle-sw drip:20");
    const auto t0 = Clock::now();
    EXPECT_FALSE(s.sendPlainCommand("XPOS") || s.awaitPlainPrompt());
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_TRUE(frontend.errors.empty());
    EXPECT_LT(ms, kPlainBoundMs);
    EXPECT_EQ(knownStates(), "1111");
    EXPECT_EQ(stored().powerText, "1111");
    control("fault trickle-sw none");
}

TEST_F(HostileDevices, FramedDeviceStartsDrippingInTheMiddleOfTheRegisterLists) {
    CaseLine line("drip-framed-readout", frontend);
    trigger("RL300-31F", "fault seep-hx drip:1000");
    DeviceSession& s = sessionFor("seep-hx", 3);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Failed);
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_TRUE(triggered());
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
    EXPECT_LT(ms, kFramedBoundMs);
    EXPECT_EQ(knownStates(), "1011");
    EXPECT_EQ(stored().powerText, "1 1011");
    control("fault seep-hx none");
}

// ------------------------------------------ drops in the middle of a list

// The console closes part-way through a register list. The readout fails,
// the session knows the connection is gone, what was read is what the
// device said, and the next command logs in again.
TEST_F(HostileDevices, FramedDeviceDropsInTheMiddleOfARegisterList) {
    CaseLine line("drop-framed-register-list", frontend);
    DeviceSession& s = sessionFor("cut-hx", 3);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Failed);
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
    EXPECT_LT(ms, kFramedBoundMs);
    EXPECT_EQ(w.view.losses, 1);
    EXPECT_FALSE(s.connection.connected);
    EXPECT_EQ(knownStates(), "1011");
    EXPECT_EQ(stored().powerText, "1 1011");
    const auto partial = s.status.registers;
    EXPECT_GT(partial.size(), 0u);
    EXPECT_LT(partial.size(), 100u);

    // The next command reconnects.
    control("outlet cut-hx 2 on");
    EXPECT_FALSE(readOutletStates(s));
    EXPECT_TRUE(s.connection.connected);
    EXPECT_TRUE(s.connection.isOpen());
    EXPECT_EQ(knownStates(), "1111");
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
    s.connection.closeConnection();

    // Every register read before the drop holds what a whole readout reads.
    control("fault cut-hx none");
    DeviceSession& whole = sessionFor("cut-hx", 3);
    ASSERT_EQ(openDevice(whole), OpenResult::Opened);
    for (const auto& [number, value] : partial) {
        ASSERT_EQ(whole.status.registers.count(number), 1u) << std::hex << number;
        EXPECT_EQ(formatRegisterValue(value), formatRegisterValue(whole.status.registers.at(number)))
            << std::hex << number;
    }
    control("fault cut-hx close-after:1000");
}

// The console closes on a register list command, before any of its reply.
TEST_F(HostileDevices, FramedDeviceDropsOnARegisterListCommand) {
    CaseLine line("drop-framed-at-list-command", frontend);
    DeviceSession& s = sessionFor("cut-jb", 5);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Failed);
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
    EXPECT_LT(ms, kFramedBoundMs);
    EXPECT_EQ(w.view.losses, 1);
    EXPECT_FALSE(s.connection.connected);
    EXPECT_EQ(knownStates(), "101");
    EXPECT_EQ(stored().powerText, "1 101");

    control("outlet cut-jb 2 on");
    EXPECT_FALSE(readOutletStates(s));
    EXPECT_TRUE(s.connection.isOpen());
    EXPECT_EQ(knownStates(), "111");
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
}

// The console closes part-way through the settings list.
TEST_F(HostileDevices, PlainDeviceDropsInTheMiddleOfTheSettingsList) {
    CaseLine line("drop-plain-settings-list", frontend);
    DeviceSession& s = sessionFor("cut-sw", 8);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Failed);
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kError});
    EXPECT_LT(ms, kPlainBoundMs);
    EXPECT_EQ(w.view.losses, 1);
    EXPECT_FALSE(s.connection.connected);
    EXPECT_EQ(knownStates(), "1001");
    EXPECT_EQ(stored().powerText, "1001");
    // The first page was read (in part), the second was not.
    EXPECT_EQ(s.status.settings.model, "SWD-7KA");
    EXPECT_EQ(s.status.settings.sysLocation, "Rack room");
    EXPECT_EQ(s.status.settings.rs232Port1Speed, 0);
    EXPECT_EQ(s.status.settings.debOlRebootTime[0], 0);

    control("outlet cut-sw 2 on");
    EXPECT_FALSE(s.sendPlainCommand("XPOS") || s.awaitPlainPrompt());
    EXPECT_TRUE(s.connection.isOpen());
    EXPECT_EQ(knownStates(), "1101");
    EXPECT_EQ(stored().powerText, "1101");
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kError});
}

// The console closes on the LIST command itself.
TEST_F(HostileDevices, PlainDeviceDropsOnTheSettingsListCommand) {
    CaseLine line("drop-plain-at-list-command", frontend);
    DeviceSession& s = sessionFor("cutat-sw", 10);
    const auto t0 = Clock::now();
    EXPECT_EQ(openDevice(s), OpenResult::Failed);
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kError});
    EXPECT_LT(ms, kPlainBoundMs);
    EXPECT_EQ(w.view.losses, 1);
    EXPECT_FALSE(s.connection.connected);
    EXPECT_EQ(knownStates(), "0101");

    control("outlet cutat-sw 1 on");
    EXPECT_FALSE(s.sendPlainCommand("XPOS") || s.awaitPlainPrompt());
    EXPECT_TRUE(s.connection.isOpen());
    EXPECT_EQ(knownStates(), "1101");
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kError});
}

// ------------------------------------------------------------------ others

// The console drops, someone else takes it, and the session's next command
// finds the unit busy: the login it runs first shows "too many users", and
// the outlet readout then shows its own message for the MPOS that could
// not go out.
TEST_F(HostileDevices, FramedReconnectFindsTheConsoleTaken) {
    CaseLine line("too-many-users-framed", frontend);
    DeviceSession& s = sessionFor("busy-hx", 3);
    ASSERT_EQ(openDevice(s), OpenResult::Opened);
    control("offline busy-hx");
    EXPECT_TRUE(s.awaitFramedReply(std::nullopt));  // the window's poll notices the drop
    EXPECT_EQ(w.view.losses, 1);
    EXPECT_FALSE(s.connection.connected);
    control("online busy-hx");
    RawConsole other;
    ASSERT_TRUE(other.open(sim->port("busy-hx"), "00:HX>"));
    const auto t0 = Clock::now();
    EXPECT_TRUE(readOutletStates(s));
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    // The login's message alone; the connection stays lost for the next try.
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kTooManyUsers});
    EXPECT_LT(ms, kFramedBoundMs);
    EXPECT_FALSE(s.connection.isOpen());
    EXPECT_FALSE(s.connection.connected);
    EXPECT_EQ(knownStates(), "1011");
    EXPECT_EQ(stored().powerText, "1 1011");
}

// The plain login knows only its " 220 " greeting: the busy unit's
// "503 Too many users" line is a bad greeting to it.
TEST_F(HostileDevices, PlainReconnectFindsTheConsoleTaken) {
    CaseLine line("too-many-users-plain", frontend);
    DeviceSession& s = sessionFor("busy-sw", 11);
    ASSERT_EQ(openDevice(s), OpenResult::Opened);
    control("offline busy-sw");
    EXPECT_TRUE(s.sendPlainCommand("XPOS") || s.awaitPlainPrompt());
    EXPECT_EQ(w.view.losses, 1);
    EXPECT_FALSE(s.connection.connected);
    control("online busy-sw");
    RawConsole other;
    ASSERT_TRUE(other.open(sim->port("busy-sw"), "ready.\r\n"));
    const auto t0 = Clock::now();
    EXPECT_TRUE(s.sendPlainCommand("XPOS"));
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_EQ(frontend.errors, std::vector<int>{msg::kBadCommunication});
    EXPECT_LT(ms, kFramedBoundMs);
    EXPECT_FALSE(s.connection.isOpen());
    EXPECT_EQ(knownStates(), "1001");
    EXPECT_EQ(stored().powerText, "1001");
    EXPECT_EQ(stored().systemName, "busy-sw");
}

// The console hangs up on the second of two setting writes: the apply
// ends quietly, the write that went through is done, the other stays
// changed, and the next apply logs in again and finishes.
TEST_F(HostileDevices, PlainDeviceDropsBetweenSettingWrites) {
    CaseLine line("drop-plain-settings-write", frontend);
    DeviceSession& s = sessionFor("write-sw", 12);
    ASSERT_EQ(openDevice(s), OpenResult::Opened);
    DeviceSettings& v = s.status.settings;
    ASSERT_EQ(enterSetting(v, "sysLocation", "Cage 4"), EntryResult::Ok);
    ASSERT_EQ(enterSetting(v, "sysContact", "noc@example.com"), EntryResult::Ok);
    // Six commands so far (ver, ?model, XPOS, DATE, TIME, LIST); the
    // location is the seventh, the contact the eighth.
    control("fault write-sw close-at:cmd8");
    const auto t0 = Clock::now();
    EXPECT_TRUE(applyPlainSettings(s));
    const std::int64_t ms = sinceMs(t0);
    line.took(ms);
    EXPECT_TRUE(frontend.errors.empty());
    EXPECT_LT(ms, kPlainBoundMs);
    EXPECT_EQ(w.view.losses, 1);
    EXPECT_FALSE(s.connection.connected);
    EXPECT_EQ(v.written, std::vector<std::string>{"sysLocation=Cage 4"});
    EXPECT_EQ(v.changed.count("sysContact"), 1u);
    EXPECT_EQ(v.changed.count("sysLocation"), 0u);

    control("fault write-sw none");
    EXPECT_FALSE(applyPlainSettings(s));
    EXPECT_TRUE(v.changed.empty());
    EXPECT_TRUE(s.connection.isOpen());
    s.connection.closeConnection();
    DeviceSession& again = sessionFor("write-sw", 12);
    ASSERT_EQ(openDevice(again), OpenResult::Opened);
    EXPECT_EQ(again.status.settings.sysLocation, "Cage 4");
    EXPECT_EQ(again.status.settings.sysContact, "noc@example.com");
    EXPECT_TRUE(frontend.errors.empty());
}

TEST_F(HostileDevices, LoginModeDeviceRefusesEveryPassword) {
    expectLoginFails("refuse-password-framed-login", "refuse-jb", 5, msg::kBadPassword, false);
}


}  // namespace
}  // namespace zelo
