// A burst of 10,000 reports from zelo-sim into a station in this process:
// 1,000 units in four groups, each with its first outlet switched by hand ten
// times while the station drains the socket on another thread. Every report
// must be committed: each one changes the power column, so each leaves its
// own event line, and the item files hold every unit's last state.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>

#include "common/format.h"
#include "sim/fleet.h"
#include "sim/server.h"
#include "status/status_station.h"
#include "tests/status/station_fixture.h"

namespace zelo {
namespace {

using test::hexText;
using test::ItemRecord;

constexpr int kUnits = 1000;
constexpr int kGroups = 4;
constexpr int kRounds = 10;
constexpr std::uint64_t kReports = std::uint64_t(kUnits) * kRounds;

std::string macOf(int unit) { return hexText(0x87200000u + unsigned(unit), 8).insert(0, "0080"); }
std::uint32_t idOf(int unit) { return 0x100u + static_cast<std::uint32_t>(unit); }
// Outlet 1 goes off in round 0, on in round 1, and so on.
std::string powerAfterRound(int round) { return round % 2 == 0 ? "0111" : "1111"; }

TEST(StationBurst, TenThousandReportsAreAllCommitted) {
    test::TempDir dir;
    const std::string dataDir = dir.path().string() + "/";
    std::string dirFile = "0\tRoot\t0\r\n";
    std::map<std::uint32_t, std::vector<ItemRecord>> groups;
    for (int g = 1; g <= kGroups; ++g) dirFile += "1\tRack " + std::to_string(g) + "\t" + std::to_string(g) + "\r\n";
    for (int u = 0; u < kUnits; ++u) {
        const std::string name = "u-" + std::to_string(u + 1);
        groups[1u + unsigned(u % kGroups)].push_back(
            ItemRecord{name, "GV2208", idOf(u), 13, "1111", " ", macOf(u), "tavik admin", "0 " + name});
    }
    test::writeBytes(dataDir + "ZELO_DIR.DAT", dirFile);
    for (const auto& [g, records] : groups) test::writeBytes(dataDir + hexText(g, 8) + ".IDX", test::itemFile(records));
    std::filesystem::create_directories(dataDir + "logs");

    test::TestWorkspace w(dataDir, test::Net::System, test::kNow);
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
                                    "\ninterval = 0\n[u]\nmodel = 13\ncount = " + std::to_string(kUnits) +
                                    "\nmac = " + macOf(0) + "\n",
                                fleet, error))
        << error;
    sim::SimServer server(std::move(fleet));
    ASSERT_TRUE(server.start(error)) << error;

    // The simulator sends in bursts as large as the station's receive queue
    // safely holds (a report takes well under 4 KiB of it), so that what is
    // tested is the station keeping up, not the size the system grants.
    const std::uint64_t window = std::clamp<std::uint64_t>(std::uint64_t(station.receiveQueueBytes()) / 4096, 50, 2000);
    std::atomic<std::uint64_t> accepted{0};
    std::atomic<bool> simDone{false}, giveUp{false};
    std::string simError;
    std::thread simThread([&] {
        std::uint64_t target = 0;
        for (int round = 0; round < kRounds && simError.empty(); ++round) {
            const std::string command = round % 2 == 0 ? " 1 off" : " 1 on";
            for (int from = 0; from < kUnits && simError.empty();) {
                const int chunk = static_cast<int>(std::min<std::uint64_t>(window / 2, kUnits - from));
                while (target - accepted.load() + chunk > window && !giveUp.load())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                for (int u = from; u < from + chunk; ++u) {
                    const std::string reply = server.control("outlet u-" + std::to_string(u + 1) + command);
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
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
    EXPECT_EQ(server.reportsSent(), kReports);
    EXPECT_EQ(received + late.received, kReports);
    EXPECT_EQ(accepted.load() + late.accepted, kReports);

    // Each unit's reports, in the order it sent them; its event log, a line
    // for each; its record in the item file, stamped with the station's time.
    std::vector<std::string> powers;
    std::string log;
    for (int round = 0; round < kRounds; ++round) {
        powers.push_back(powerAfterRound(round));
        log += FormatUpdateTime(test::kNow, 0) + "\t" + powers.back() + "\t----\tOOOO\t2350\t0\r\n";
    }
    std::map<std::uint32_t, std::vector<std::string>> seen;  // deviceId -> power texts
    for (const DeviceRecord& r : w.view.acceptedReports) seen[r.deviceId].push_back(r.powerText);
    int unitsWrong = 0;
    for (int u = 0; u < kUnits; ++u) {
        const std::string got = test::readBytes(dataDir + "logs/" + hexText(idOf(u), 8) + ".LOG");
        if ((seen[idOf(u)] != powers || got != log) && ++unitsWrong <= 3)
            ADD_FAILURE() << "unit " << u << " reports seen: " << seen[idOf(u)].size() << ", log:\n" << got;
    }
    EXPECT_EQ(unitsWrong, 0);
    for (auto& [g, records] : groups) {
        for (ItemRecord& r : records) {
            r.power = powerAfterRound(kRounds - 1);
            r.schedule = "0000";
            r.updateTime = static_cast<std::uint32_t>(test::kNow);
            r.ping = "OOOO";
            r.reboot = "0 0 0 0 ";
            r.temperature = 2350;
            r.temperatureState = 0;
        }
        EXPECT_EQ(test::readBytes(dataDir + hexText(g, 8) + ".IDX"), test::itemFile(records)) << "group " << g;
    }
}

}  // namespace
}  // namespace zelo
