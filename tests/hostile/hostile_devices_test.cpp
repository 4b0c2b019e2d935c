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

// What the client does with the unit:
enum class Act {
    // Logs in and gives up within its wait: the session stays closed, the
    // record as it was and the memory bounded.
    GivesUp,
    // Opens through the noise and reads what the device holds.
    Opens,
    // Opens, then the unit starts to drip (`later`): a byte a second makes
    // the query fail after its wait (a framed one with its message, a plain
    // power command quietly); a byte every 20 ms brings the reply in time.
    Drips,
    // The console closes inside a list: the open fails with its dialect's one
    // message, the session knows the connection is gone, and its next
    // command logs in again and reads the outlet `later` switched by hand.
    Drops,
};

// One case: a unit of the model as it starts, with its outlets and faults.
struct Case {
    const char* name;
    const char* unit;
    int model;
    const char* states;
    const char* faults;
    Act act;
    std::int64_t minMs = 0;  // the case takes at least this long
    const char* later = "";
    const char* statesAfter = "";  // "" when unchanged
};

// zelo-sim runs as a child process, so that its own memory (a flood of
// megabytes, queued storms) stays out of the test process's peak RSS.
class Hostile : public ::testing::TestWithParam<Case> {
protected:
    // Starts the unit and opens a session on a new stored record of its
    // model pointing at its console.
    DeviceSession& start() {
        const Case& u = GetParam();
        std::string fleet = "interval = 0\n[" + std::string(u.unit) +
                            "]\nmodel = " + std::to_string(u.model) + "\n";
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
            if (line.rfind("control ", 0) == 0 && !control_.connect(port))
                ADD_FAILURE() << "cannot reach the control socket";
        }
        w.ws.settings().language = Language::English;
        EXPECT_TRUE(directory.load());
        group = directory.addGroup(0, "Lab");
        return newSession();
    }
    DeviceSession& newSession() {
        DeviceRecord r = *directory.devices().find(
            directory.addDevice(group, GetParam().model, GetParam().unit));
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
    bool framed() const { return dialectOf(GetParam().model) == Dialect::Framed; }
    StepResult refreshStates() {
        DeviceSession& s = *session;
        return framed() ? readOutletStates(s) : s.queryPlain("XPOS");
    }

    void TearDown() override {
        std::string ids;
        for (Text id : w.frontend.errors)
            ids += (ids.empty() ? "" : ",") + std::to_string(static_cast<int>(id));
        std::printf("HOSTILE %s %s message=%s ms=%lld\n", GetParam().name,
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
    std::int64_t ms = 0;  // what the case's step took, for its report line
};

TEST_P(Hostile, EndsWithinItsWaitAndKeepsWhatTheDeviceSaid) {
    const Case& c = GetParam();
    DeviceSession& s = start();
    const DeviceRecord before = stored();
    const bool fails = c.act != Act::Opens && std::string(c.later) != "drip:20";
    std::vector<Text> messages;
    if (c.act == Act::GivesUp) messages = {Text::NetworkDisconnected};
    if (c.act == Act::Drops) messages = {framed() ? Text::BadCommunication : Text::ErrorCaption};
    if (c.act == Act::Drips && framed()) messages = {Text::BadPassword};
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts afresh (best effort)
    const long rssBefore = peakRssKb();
    if (c.act == Act::Drips) {
        ASSERT_EQ(openDevice(s), OpenResult::Opened);
        if (!fails) control("outlet " + std::string(c.unit) + " 2 on");
        control("fault " + std::string(c.unit) + " " + c.later);
    }
    const std::int64_t t0 = steadyMs();
    bool ok = false;
    if (c.act == Act::GivesUp)
        ok = (framed() ? s.loginFramed(true) : s.loginPlain(true)) == StepResult::Ok;
    else if (c.act == Act::Drips)
        ok = (framed() ? readOutletStates(s) : sendPowerCommand(s, "POF1", true)) == StepResult::Ok;
    else
        ok = openDevice(s) == OpenResult::Opened;
    ms = steadyMs() - t0;
    EXPECT_EQ(ok, !fails);
    EXPECT_EQ(errors, messages);
    EXPECT_GE(ms, c.minMs);
    if (c.act != Act::Opens) {
        EXPECT_LT(ms, (framed() || c.act == Act::GivesUp ? kFramedMs : kPlainMs) + kSlackMs);
    }
    if (c.act == Act::GivesUp) {
        EXPECT_LT(peakRssKb() - rssBefore, kFloodRssBoundKb) << "peak RSS grew";
        EXPECT_FALSE(s.connection.isOpen());
        EXPECT_EQ(stored(), before);
        EXPECT_EQ(s.status.outletCount, 0);
        return;
    }
    if (c.act == Act::Drips && !fails) static_cast<void>(refreshStates());
    const std::string states = c.act == Act::Drips && *c.statesAfter ? c.statesAfter : c.states;
    EXPECT_EQ(knownStates(), states);
    EXPECT_EQ(stored().powerText, (framed() ? "1 " : "") + states);
    if (c.act == Act::Opens && framed()) {
        EXPECT_EQ(s.loginMode, c.model == 5 ? 1 : 0);
        EXPECT_EQ(s.status.modelNameText, c.model == 5 ? "JB-81K" : "HX-7200");
        EXPECT_GT(s.status.registers.size(), 100u);
    } else if (c.act != Act::Drips && !framed()) {  // a drop: the second page was not read
        EXPECT_EQ(s.status.settings.rs232Port1Speed, c.act == Act::Opens ? 9600 : 0);
        if (c.act == Act::Opens) {
            EXPECT_EQ(s.status.settings.sysLocation, "Rack room");
        }
    }
    if (c.act != Act::Drops) return;
    EXPECT_EQ(w.view.losses, 1);
    EXPECT_FALSE(s.connection.connected);
    const auto partial = s.status.registers;
    control("outlet " + std::string(c.unit) + " " + c.later + " on");
    EXPECT_EQ(refreshStates(), StepResult::Ok);
    EXPECT_TRUE(s.connection.isOpen());
    EXPECT_EQ(knownStates(), c.statesAfter);
    EXPECT_EQ(stored().powerText, (framed() ? "1 " : "") + std::string(c.statesAfter));
    EXPECT_EQ(errors, messages);
    if (!framed()) return;
    // Every register read before the drop holds what a whole readout reads.
    EXPECT_GT(partial.size(), 0u);
    control("fault " + std::string(c.unit) + " none");
    const DeviceStatus& whole = newSession().status;
    ASSERT_EQ(openDevice(*session), OpenResult::Opened);
    EXPECT_GT(whole.registers.size(), partial.size());
    for (const auto& [number, value] : partial)
        EXPECT_EQ(formatRegisterValue(value), whole.registers.count(number) != 0
                                                  ? formatRegisterValue(whole.registers.at(number))
                                                  : "(not read)")
            << std::hex << number;
}

constexpr std::int64_t kWholeWait = kFramedMs - 100;  // nothing ends these earlier

INSTANTIATE_TEST_SUITE_P(
    Hostile, Hostile,
    ::testing::Values(
        // A flood of five megabytes without a line end before the greeting:
        // the ring keeps its newest 8 KB and no line is found in front of
        // the greeting. A telnet storm longer than the wait, or a greeting
        // dripped a byte a second, ends the same way.
        Case{"flood-framed", "flood-hx", 3, "", "flood:5000000", Act::GivesUp},
        Case{"flood-plain", "flood-sw", 6, "", "flood:5000000", Act::GivesUp},
        Case{"iac-storm-endless-framed", "gale-hx", 3, "", "iac-storm:400000", Act::GivesUp,
             kWholeWait},
        Case{"iac-storm-endless-plain", "gale-sw", 7, "", "iac-storm:400000", Act::GivesUp},
        Case{"drip-framed-login", "drip-hx", 3, "", "drip:1000", Act::GivesUp, kWholeWait},
        Case{"drip-plain-login", "drip-sw", 8, "", "drip:1000", Act::GivesUp, kWholeWait},
        // Telnet negotiations around and inside every answer (or cut after
        // the IAC across two sends), garbage lines before every answer.
        Case{"iac-storm-framed", "storm-hx", 3, "1011", "iac-storm:40", Act::Opens},
        Case{"iac-storm-plain", "storm-sw", 12, "1010", "iac-storm:40", Act::Opens},
        Case{"split-iac-framed", "split-hx", 3, "1011", "split-iac", Act::Opens},
        Case{"garbage-framed", "noise-hx", 3, "1011", "garbage:6", Act::Opens},
        Case{"garbage-framed-login", "noise-jb", 5, "011", "garbage:3", Act::Opens},
        Case{"garbage-plain", "noise-sw", 9, "0110", "garbage:6", Act::Opens},
        Case{"drip-framed-states", "ooze-hx", 3, "1011", "", Act::Drips, kWholeWait, "drip:1000"},
        Case{"drip-plain-power", "ooze-sw", 13, "1100", "", Act::Drips, kPlainMs - 100,
             "drip:1000"},
        Case{"drip-plain-steady", "trickle-sw", 6, "1011", "", Act::Drips, 0, "drip:20", "0111"},
        Case{"drop-framed-register-list", "cut-hx", 3, "1011", "close-after:1000", Act::Drops, 0,
             "2", "1111"},
        Case{"drop-framed-at-list-command", "cut-jb", 5, "101", "close-at:cmd15", Act::Drops, 0,
             "2", "111"},
        Case{"drop-plain-settings-list", "cut-sw", 8, "1001", "close-after:700", Act::Drops, 0, "2",
             "1101"},
        Case{"drop-plain-at-list-command", "cutat-sw", 10, "0101", "close-at:cmd6", Act::Drops, 0,
             "1", "1101"}),
    [](const ::testing::TestParamInfo<Case>& info) {
        std::string n = info.param.name;
        for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return n;
    });

}  // namespace
}  // namespace zelo
