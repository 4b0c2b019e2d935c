// Misbehaving devices on real sockets: floods, telnet storms, sequences cut
// across sends, noise, dripping devices and consoles that drop inside a
// list. Each case runs zelo-sim as a child process with one unit, must end
// within the console's own waits with the right message, leave the status
// and the stored record as the device really reported them, and keep its
// memory bounded. (Silent, refusing and hanging-up devices run on the
// manual clock with the core tests.) Each case prints one line for the
// report script: HOSTILE <case> <handled|FAILED> message=<ids or -> ms=<elapsed>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "connection/device_settings.h"
#include "connection/framed_readout.h"
#include "connection/open_sequence.h"
#include "connection/power_control.h"
#include "directory/item_file.h"
#include "settings/app_settings.h"
#include "tests/support/child_process_posix.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

using test::steadyMs;

// The console's waits: 3 s for a framed reply (and every login step), 5 s
// for the plain prompt. A case may take its wait and 2 s more.
constexpr std::int64_t kFramedMs = kReplySeconds * 1000;
constexpr std::int64_t kPlainMs = kPlainPromptSeconds * 1000;
constexpr std::int64_t kSlackMs = 2000;
// AddressSanitizer holds freed blocks back and adds its own bookkeeping, so
// the process's peak says nothing about the client's buffers there.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kFloodRssBoundKb = 64 * 1024;
#else
constexpr long kFloodRssBoundKb = 4 * 1024;
#endif

long peakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// One case: a unit of the model, as it starts, with its faults. The cases
// of each suite add their own columns to it.
struct Unit {
    const char* name;
    const char* unit;
    int model;
    const char* states;
    const char* faults;
    std::int64_t minMs = 0;  // the case takes at least this long
};

// zelo-sim runs as a child process, so that its own memory (a flood of
// megabytes, queued storms) stays out of the test process's peak RSS.
class Hostile : public ::testing::Test {
protected:
    // Starts the unit and opens a session on a new stored record of its
    // model pointing at its console.
    DeviceSession& start(const Unit& u) {
        name_ = u.name;
        unit_ = u.unit;
        model_ = u.model;
        std::string fleet =
            "interval = 0\n[" + unit_ + "]\nmodel = " + std::to_string(u.model) + "\n";
        if (u.model == 5) fleet += "login = login\n";
        if (*u.states) fleet += "states = " + std::string(u.states) + "\n";
        if (*u.faults) fleet += "faults = " + std::string(u.faults) + "\n";
        test::writeBytes(dir.file("hostile.fleet"), fleet);
        EXPECT_TRUE(sim.start(
            {ZELO_SIM_PATH, dir.file("hostile.fleet"), "--control", "0", "--interval", "0"}));
        // "device NAME model CODE MODELNAME console ADDR:PORT", "control ADDR:PORT", "ready"
        for (std::string line; line != "ready";) {
            if (!sim.readLine(line, 10'000)) {
                ADD_FAILURE() << "zelo-sim did not get ready";
                break;
            }
            const int port = std::atoi(line.substr(line.rfind(':') + 1).c_str());
            if (line.rfind("device ", 0) == 0) port_ = port;
            if (line.rfind("control ", 0) == 0) EXPECT_TRUE(control_.connect(port));
        }
        w.ws.settings().language = Language::English;
        EXPECT_TRUE(directory.load());
        group = directory.addGroup(0, "Lab");
        return newSession();
    }
    DeviceSession& newSession() {
        DeviceRecord r = *directory.devices().find(directory.addDevice(group, model_, unit_));
        r.addressText = "127.0.0.1";
        r.port = static_cast<std::uint16_t>(port_);
        EXPECT_TRUE(directory.saveDevice(r));
        if (session) session->connection.closeConnection();
        session = w.ws.newSession(r, nullptr, &w.view, true);
        return *session;
    }
    DeviceRecord stored() {
        for (const DeviceRecord& r : loadItemFile(dataDir, group))
            if (r.deviceId == session->record.deviceId) return r;
        return {};
    }
    // "0"/"1" per outlet as the session knows them.
    std::string knownStates() const {
        std::string s;
        for (int i = 0; i < session->status.outletCount; ++i)
            s += std::to_string(session->status.outlets[static_cast<std::size_t>(i)].state);
        return s;
    }
    // The simulator's reply's last line must be "OK" (not "ERR ...").
    void control(const std::string& line) {
        std::string got;
        ASSERT_TRUE(control_.send(line + "\n"));
        while (control_.readLine(got, 5000) && got != "OK" && got.rfind("ERR ", 0) != 0) {
        }
        ASSERT_EQ(got, "OK") << line;
    }
    // Times `step` for the case's report line.
    template <typename Step>
    auto timed(Step step) {
        const std::int64_t t0 = steadyMs();
        auto result = step();
        ms = steadyMs() - t0;
        return result;
    }
    bool framed() const { return dialectOf(model_) == Dialect::Framed; }
    StepResult refreshStates() {
        DeviceSession& s = *session;
        return framed() ? readOutletStates(s) : s.queryPlain("XPOS");
    }

    void TearDown() override {
        std::string ids;
        for (Text id : w.frontend.errors)
            ids += (ids.empty() ? "" : ",") + std::to_string(static_cast<int>(id));
        std::printf("HOSTILE %s %s message=%s ms=%lld\n", name_.c_str(),
                    HasFailure() ? "FAILED" : "handled", ids.empty() ? "-" : ids.c_str(),
                    static_cast<long long>(ms));
        std::fflush(stdout);
        if (session) session->connection.closeConnection();
    }

    test::ChildProcess sim;
    test::LoopbackClient control_;
    int port_ = 0;
    test::TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    test::TestWorkspace w{dataDir, test::Net::System, test::kWorkspaceNow, test::Time::System};
    DeviceDirectory& directory = w.ws.directory();
    std::vector<Text>& errors = w.frontend.errors;
    std::uint32_t group = 0;
    std::unique_ptr<DeviceSession> session;
    std::int64_t ms = 0;

private:
    std::string name_, unit_;
    int model_ = 0;
};

template <typename Case>
std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    std::string n = info.param.name;
    for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n;
}

// ------------------------------------------------ the login gives up

// A flood of five megabytes without a line end before the greeting: the
// ring keeps its newest 8 KB, no line is found in front of the greeting,
// and memory stays where it was. A telnet storm longer than the wait, or a
// greeting dripped a byte a second, ends the same way.
class LoginGivesUp : public Hostile, public ::testing::WithParamInterface<Unit> {};

TEST_P(LoginGivesUp, WithinItsWaitAndChangesNothing) {
    const Unit& u = GetParam();
    DeviceSession& s = start(u);
    const DeviceRecord before = stored();
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts afresh (best effort)
    const long rssBefore = peakRssKb();
    EXPECT_EQ(timed([&] { return framed() ? s.loginFramed(true) : s.loginPlain(true); }),
              StepResult::Failed);
    EXPECT_LT(peakRssKb() - rssBefore, kFloodRssBoundKb) << "peak RSS grew";
    EXPECT_EQ(errors, std::vector<Text>{Text::NetworkDisconnected});
    EXPECT_GE(ms, u.minMs);
    EXPECT_LT(ms, kFramedMs + kSlackMs);
    EXPECT_FALSE(s.connection.isOpen());
    EXPECT_EQ(stored(), before);
    EXPECT_EQ(s.status.outletCount, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, LoginGivesUp,
    ::testing::Values(Unit{"flood-framed", "flood-hx", 3, "", "flood:5000000"},
                      Unit{"flood-framed-login", "flood-jb", 5, "", "flood:5000000"},
                      Unit{"flood-plain", "flood-sw", 6, "", "flood:5000000"},
                      // These take the whole wait: nothing ends them earlier.
                      Unit{"iac-storm-endless-framed", "gale-hx", 3, "", "iac-storm:400000",
                           kFramedMs - 100},
                      Unit{"iac-storm-endless-plain", "gale-sw", 7, "", "iac-storm:400000"},
                      Unit{"drip-framed-login", "drip-hx", 3, "", "drip:1000", kFramedMs - 100},
                      Unit{"drip-plain-login", "drip-sw", 8, "", "drip:1000", kFramedMs - 100}),
    caseName<Unit>);

// ------------------------------------------------ noise the device opens through

// Telnet negotiations around and inside every answer (or cut after the IAC
// across two sends), or garbage lines before every answer: the whole open
// goes through and reads what the device holds.
class OpensThrough : public Hostile, public ::testing::WithParamInterface<Unit> {};

TEST_P(OpensThrough, NoiseAroundEveryAnswer) {
    const Unit& u = GetParam();
    DeviceSession& s = start(u);
    EXPECT_EQ(timed([&] { return openDevice(s); }), OpenResult::Opened);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(knownStates(), u.states);
    EXPECT_EQ(stored().powerText, (framed() ? "1 " : "") + std::string(u.states));
    if (framed()) {
        EXPECT_EQ(s.loginMode, u.model == 5 ? 1 : 0);
        EXPECT_EQ(s.status.modelNameText, u.model == 5 ? "JB-81K" : "HX-7200");
        EXPECT_GT(s.status.registers.size(), 100u);
    } else {
        EXPECT_EQ(s.status.settings.sysLocation, "Rack room");
        EXPECT_EQ(s.status.settings.rs232Port1Speed, 9600);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, OpensThrough,
    ::testing::Values(Unit{"iac-storm-framed", "storm-hx", 3, "1011", "iac-storm:40"},
                      Unit{"iac-storm-framed-login", "storm-jb", 5, "101", "iac-storm:40"},
                      Unit{"iac-storm-plain", "storm-sw", 12, "1010", "iac-storm:40"},
                      Unit{"split-iac-framed", "split-hx", 3, "1011", "split-iac"},
                      Unit{"split-iac-plain", "split-sw", 13, "0110", "split-iac"},
                      Unit{"garbage-framed", "noise-hx", 3, "1011", "garbage:6"},
                      Unit{"garbage-framed-login", "noise-jb", 5, "011", "garbage:3"},
                      Unit{"garbage-plain", "noise-sw", 9, "0110", "garbage:6"}),
    caseName<Unit>);

// ------------------------------------------------ a device that starts dripping

// Opened, then the unit answers a byte a second: the reply's first byte
// comes at once, its first line would take half a minute, and the wait ends
// after its time, not with the reply (a framed query shows its message, a
// plain power command fails quietly). A byte every 20 ms still brings the
// whole reply well within the wait.
struct Drip : Unit {
    bool fails;
    const char* statesAfter;
};

class StartsDripping : public Hostile, public ::testing::WithParamInterface<Drip> {};

TEST_P(StartsDripping, AfterTheOpen) {
    const Drip& d = GetParam();
    DeviceSession& s = start(d);
    ASSERT_EQ(openDevice(s), OpenResult::Opened);
    ASSERT_EQ(knownStates(), d.states);
    if (!d.fails) control("outlet " + std::string(d.unit) + " 2 on");
    control("fault " + std::string(d.unit) + (d.fails ? " drip:1000" : " drip:20"));
    EXPECT_EQ(
        timed([&] { return framed() ? readOutletStates(s) : sendPowerCommand(s, "POF1", true); }),
        d.fails ? StepResult::Failed : StepResult::Ok);
    if (!framed() && !d.fails) static_cast<void>(refreshStates());
    EXPECT_EQ(errors, framed() ? std::vector<Text>{Text::BadPassword} : std::vector<Text>{});
    EXPECT_GE(ms, d.minMs);
    EXPECT_LT(ms, (framed() ? kFramedMs : kPlainMs) + kSlackMs);
    EXPECT_EQ(knownStates(), d.statesAfter);
    EXPECT_EQ(stored().powerText, (framed() ? "1 " : "") + std::string(d.statesAfter));
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, StartsDripping,
    ::testing::Values(
        Drip{{"drip-framed-states", "ooze-hx", 3, "1011", "", kFramedMs - 100}, true, "1011"},
        Drip{{"drip-plain-power", "ooze-sw", 13, "1100", "", kPlainMs - 100}, true, "1100"},
        Drip{{"drip-plain-steady", "trickle-sw", 6, "1011", ""}, false, "0111"}),
    caseName<Drip>);

// ------------------------------------------------ trouble inside a list

// The console closes in the middle of the register or settings lists, or on
// a list's command: the open fails with its dialect's one message, what was
// read is what the device said, the session knows the connection is gone,
// and its next command logs in again and reads the outlet switched by hand
// meanwhile. (A list that times out: the core tests; a reply that drips:
// StartsDripping.)
struct ListCase : Unit {
    int outlet;
};

class TroubleInAList : public Hostile, public ::testing::WithParamInterface<ListCase> {};

TEST_P(TroubleInAList, EndsTheOpenAndTheNextCommandLogsInAgain) {
    const ListCase& c = GetParam();
    DeviceSession& s = start(c);
    const std::vector<Text> message{framed() ? Text::BadCommunication : Text::ErrorCaption};
    EXPECT_EQ(timed([&] { return openDevice(s); }), OpenResult::Failed);
    EXPECT_EQ(errors, message);
    EXPECT_LT(ms, (framed() ? kFramedMs : kPlainMs) + kSlackMs);
    EXPECT_EQ(w.view.losses, 1);
    EXPECT_FALSE(s.connection.connected);
    EXPECT_EQ(knownStates(), c.states);
    EXPECT_EQ(stored().powerText, (framed() ? "1 " : "") + std::string(c.states));
    if (!framed()) {  // the second settings page was not read
        EXPECT_EQ(s.status.settings.rs232Port1Speed, 0);
        EXPECT_EQ(s.status.settings.debOlRebootTime[0], 0);
    }
    control("outlet " + std::string(c.unit) + " " + std::to_string(c.outlet) + " on");
    std::string after = c.states;
    after[static_cast<std::size_t>(c.outlet - 1)] = '1';
    EXPECT_EQ(refreshStates(), StepResult::Ok);
    EXPECT_TRUE(s.connection.isOpen());
    EXPECT_EQ(knownStates(), after);
    EXPECT_EQ(stored().powerText, (framed() ? "1 " : "") + after);
    EXPECT_EQ(errors, message);
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, TroubleInAList,
    ::testing::Values(
        ListCase{{"drop-framed-register-list", "cut-hx", 3, "1011", "close-after:1000"}, 2},
        ListCase{{"drop-framed-at-list-command", "cut-jb", 5, "101", "close-at:cmd15"}, 2},
        ListCase{{"drop-plain-settings-list", "cut-sw", 8, "1001", "close-after:700"}, 2},
        ListCase{{"drop-plain-at-list-command", "cutat-sw", 10, "0101", "close-at:cmd6"}, 1}),
    caseName<ListCase>);

// Every register read before a drop holds what a whole readout reads.
TEST_F(Hostile, RegistersReadBeforeADropAreThoseOfAWholeReadout) {
    DeviceSession& cut =
        start({"drop-framed-registers-as-read", "cut-hx", 3, "1011", "close-after:1000"});
    ASSERT_EQ(openDevice(cut), OpenResult::Failed);
    const auto partial = cut.status.registers;
    EXPECT_GT(partial.size(), 0u);
    EXPECT_LT(partial.size(), 100u);
    control("fault cut-hx none");
    DeviceSession& whole = newSession();
    ASSERT_EQ(openDevice(whole), OpenResult::Opened);
    for (const auto& [number, value] : partial) {
        ASSERT_EQ(whole.status.registers.count(number), 1u) << std::hex << number;
        EXPECT_EQ(formatRegisterValue(value),
                  formatRegisterValue(whole.status.registers.at(number)))
            << std::hex << number;
    }
}

}  // namespace
}  // namespace zelo
