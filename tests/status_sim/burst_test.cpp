// A burst of 10,000 reports from zelo-sim into a station in this process:
// 1,000 units in four groups, each with its first outlet switched by hand ten
// times while the station drains the socket on another thread. Every report
// must be committed: each one changes the power column, so each leaves its
// own event line, and the item files hold every unit's last state.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "settings/app_settings.h"
#include "common/frontend.h"
#include "settings/lang_strings.h"
#include "common/clock.h"
#include "directory/device_directory.h"
#include "sim/fleet.h"
#include "sim/server.h"
#include "status/status_station.h"
#include "tests/support/test_workspace.h"
#include "tests/status_sim/data_files.h"
#include "tests/support/temp_dir.h"

namespace zelo {
namespace {

using test::ItemRecord;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

constexpr int kUnits = 1000;
constexpr int kGroups = 4;
constexpr int kRounds = 10;
constexpr std::uint64_t kReports = std::uint64_t(kUnits) * kRounds;
constexpr std::int64_t kNow = 1167606300;
constexpr std::uint64_t kFirstMac = 0x008087200000ull;

std::string macOf(int unit) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%012llX", static_cast<unsigned long long>(kFirstMac + unit));
    return buf;
}
std::uint32_t idOf(int unit) {
    return 0x100u + static_cast<std::uint32_t>(unit);
}
std::uint32_t groupOf(int unit) {
    return 1u + static_cast<std::uint32_t>(unit % kGroups);
}

ItemRecord initialRecord(int unit) {
    ItemRecord r;
    r.name = "u-" + std::to_string(unit + 1);
    r.modelName = "GV2208";
    r.id = idOf(unit);
    r.code = 13;
    r.power = "1111";
    r.schedule = " ";
    r.mac = macOf(unit);
    r.login = "tavik admin";
    r.extra = "0 " + r.name;
    return r;
}

// Outlet 1 goes off in round 0, on in round 1, and so on.
std::string powerAfterRound(int round) {
    return round % 2 == 0 ? "0111" : "1111";
}

TEST(StationBurst, TenThousandReportsAreAllCommitted) {
    TempDir dir;
    const std::string dataDir = dir.path().string() + "/";
    std::string dirFile = "0\tRoot\t0\r\n";
    for (int g = 1; g <= kGroups; ++g)
        dirFile += "1\tRack " + std::to_string(g) + "\t" + std::to_string(g) + "\r\n";
    writeBytes(dataDir + "ZELO_DIR.DAT", dirFile);
    std::map<std::uint32_t, std::vector<ItemRecord>> groups;
    for (int u = 0; u < kUnits; ++u) groups[groupOf(u)].push_back(initialRecord(u));
    for (const auto& [g, records] : groups)
        writeBytes(dataDir + test::hex8(g) + ".IDX", test::itemFile(records));
    std::filesystem::create_directories(dataDir + "logs");

    test::TestWorkspace w(dataDir, test::Net::System, kNow);
    AppSettings& settings = w.ws.settings();
    settings.language = 1;
    settings.dateStyle = 0;
    settings.logEnable = true;
    settings.baseDir = "logs";
    ASSERT_TRUE(w.ws.directory().load(false));
    StatusStation& station = w.ws.station();
    ASSERT_TRUE(station.openStatusListenerOn(0, 0x7F000001u));

    sim::Fleet fleet;
    std::string error;
    ASSERT_TRUE(sim::ParseFleet("station = 127.0.0.1:" + std::to_string(station.listenerPort()) +
                                    "\ninterval = 0\n[u]\nmodel = 13\ncount = " +
                                    std::to_string(kUnits) + "\nmac = " + macOf(0) + "\n",
                                fleet, error))
        << error;
    sim::SimServer server(std::move(fleet));
    ASSERT_TRUE(server.start(error)) << error;

    // The simulator sends in bursts as large as the station's receive queue
    // safely holds (a report takes well under 4 KiB of it), so that what is
    // tested is the station keeping up, not the size the system grants.
    const std::uint64_t window =
        std::clamp<std::uint64_t>(std::uint64_t(station.receiveQueueBytes()) / 4096, 50, 2000);
    std::atomic<std::uint64_t> accepted{0};
    std::atomic<bool> simDone{false}, giveUp{false};
    std::string simError;
    // Only a safety net for a station that stops keeping up: the loop ends
    // as soon as every report is in, however slow the machine.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(180);
    std::thread simThread([&] {
        std::uint64_t target = 0;
        for (int round = 0; round < kRounds && simError.empty(); ++round) {
            const std::string command = round % 2 == 0 ? " 1 off" : " 1 on";
            for (int from = 0; from < kUnits && simError.empty();) {
                const int chunk =
                    static_cast<int>(std::min<std::uint64_t>(window / 2, kUnits - from));
                while (target - accepted.load() + chunk > window && !giveUp.load())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                for (int u = from; u < from + chunk; ++u) {
                    const std::string reply =
                        server.control("outlet u-" + std::to_string(u + 1) + command);
                    if (reply != "OK") simError = reply;
                }
                target += static_cast<std::uint64_t>(chunk);
                from += chunk;
                while (server.reportsSent() < target && !giveUp.load()) server.step(1);
                if (giveUp.load()) simError = "gave up";
            }
        }
        simDone.store(true);
    });

    std::uint64_t received = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        station.waitForReport(std::chrono::milliseconds(5));
        const TickResult r = station.tick();
        received += r.received;
        accepted.fetch_add(r.accepted);
        if (simDone.load() && received >= server.reportsSent()) break;
    }
    giveUp.store(true);
    simThread.join();
    ASSERT_EQ(simError, "");
    // A little longer for any report still on its way: none may come.
    station.waitForReport(std::chrono::milliseconds(20));
    const TickResult late = station.tick();
    received += late.received;
    accepted.fetch_add(late.accepted);

    EXPECT_EQ(server.reportsSent(), kReports);
    EXPECT_EQ(received, kReports);
    EXPECT_EQ(accepted.load(), kReports);

    // Each unit's reports, in the order it sent them.
    std::vector<std::string> powers;
    for (int round = 0; round < kRounds; ++round) powers.push_back(powerAfterRound(round));
    std::map<std::uint32_t, std::vector<std::string>> seen;  // deviceId -> power texts
    for (const DeviceRecord& r : w.view.acceptedReports) seen[r.deviceId].push_back(r.powerText);
    int unitsWrong = 0;
    for (int u = 0; u < kUnits; ++u)
        if (seen[idOf(u)] != powers && ++unitsWrong <= 3)
            ADD_FAILURE() << "unit " << u << " reports seen: " << seen[idOf(u)].size();
    EXPECT_EQ(unitsWrong, 0);

    // Item files: every unit's last report, stamped with the station's time.
    for (auto& [g, records] : groups) {
        for (ItemRecord& r : records) {
            r.power = powerAfterRound(kRounds - 1);
            r.schedule = "0000";
            r.updateTime = static_cast<std::uint32_t>(kNow);
            r.ping = "OOOO";
            r.reboot = "0 0 0 0 ";
            r.temperature = 2350;
            r.temperatureState = 0;
        }
        EXPECT_EQ(readBytes(dataDir + test::hex8(g) + ".IDX"), test::itemFile(records))
            << "group " << g;
    }

    // Event logs: one line per report, since each one switched the outlet.
    const std::string time = test::logTime(kNow);
    int logsWrong = 0;
    for (int u = 0; u < kUnits; ++u) {
        std::string expected;
        for (const std::string& p : powers)
            expected += time + "\t" + p + "\t----\tOOOO\t2350\t0\r\n";
        const std::string log = readBytes(dataDir + "logs/" + test::hex8(idOf(u)) + ".LOG");
        if (log != expected && ++logsWrong <= 3) ADD_FAILURE() << "unit " << u << " log:\n" << log;
    }
    EXPECT_EQ(logsWrong, 0);
}

}  // namespace
}  // namespace zelo
