// The status station against zelo-sim on loopback: a burst of 10,000
// reports. What the station accepts, the item files and the event logs are
// compared byte for byte with what the file formats say. (Each report
// layout of the simulator is read by the station's decoder in the
// simulator's own tests; each layout's commit is checked in the station's.)
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>

#include "common/format.h"
#include "sim/fleet.h"
#include "sim/server.h"
#include "status/status_station.h"
#include "tests/status/station_fixture.h"

namespace zelo {
namespace {

using test::hexText;
using test::ItemRecord;
using test::kNow;
using test::readBytes;

// 1,000 units in four groups, each with its first outlet switched by hand
// ten times, the station draining the socket between bursts. Every report
// must be committed: each one changes the power column, so each leaves its
// own event line, and the item files hold every unit's last state.
TEST(StationWithSim, TenThousandReportsAreAllCommitted) {
    constexpr int kUnits = 1000, kRounds = 10;
    constexpr std::uint64_t kReports = std::uint64_t(kUnits) * kRounds;
    test::TempDir dir;
    const std::string dataDir = dir.path().string() + "/";
    auto macOf = [](int unit) { return hexText(0x87200000u + unsigned(unit), 8).insert(0, "0080"); };
    std::vector<std::vector<ItemRecord>> groups(4);
    for (int u = 0; u < kUnits; ++u) {
        const std::string name = "u-" + std::to_string(u + 1);
        groups[u % 4].push_back(
            ItemRecord{name, "GV2208", 0x100u + unsigned(u), 13, "1111", " ", macOf(u), "tavik admin", "0 " + name});
    }
    for (std::size_t g = 1; g <= groups.size(); ++g)
        test::writeBytes(dataDir + hexText(unsigned(g), 8) + ".IDX", test::itemFile(groups[g - 1]));
    test::writeBytes(dataDir + "ZELO_DIR.DAT", "0\tRoot\t0\r\n1\tA\t1\r\n1\tB\t2\r\n1\tC\t3\r\n1\tD\t4\r\n");
    std::filesystem::create_directories(dataDir + "logs");
    test::TestWorkspace w{dataDir, test::Net::System, kNow};
    w.ws.settings().language = 1;
    w.ws.settings().logEnable = true;
    w.ws.settings().baseDir = "logs";
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
    auto server = std::make_unique<sim::SimServer>(std::move(fleet));
    ASSERT_TRUE(server->start(error)) << error;
    auto log = [&](std::uint32_t id) { return readBytes(dataDir + "logs/" + hexText(id, 8) + ".LOG"); };

    // The simulator sends bursts as large as the station's receive queue
    // safely holds (a report takes well under 4 KiB of it), so that what is
    // tested is the station keeping up, not the size the system grants.
    const int burst = std::clamp(station.receiveQueueBytes() / 4096, 50, kUnits);
    std::uint64_t received = 0, accepted = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (int from = 0; from < kUnits; from += burst) {
            for (int u = from; u < std::min(from + burst, kUnits); ++u)
                ASSERT_EQ(server->control("outlet u-" + std::to_string(u + 1) + (round % 2 ? " 1 on" : " 1 off")),
                          "OK");
            const auto target = std::uint64_t(round * kUnits + std::min(from + burst, kUnits));
            for (int i = 0; i < 100000 && server->reportsSent() < target; ++i)
                server->step(1);
            for (int i = 0; i < 1000 && received < server->reportsSent(); ++i) {
                station.waitForReport(std::chrono::milliseconds(5));
                const TickResult r = station.tick();
                received += r.received, accepted += r.accepted;
            }
        }
    }
    // a little longer for any report still on its way: none may come
    station.waitForReport(std::chrono::milliseconds(20));
    EXPECT_EQ(station.tick().received, 0u);
    EXPECT_EQ(server->reportsSent(), kReports);
    EXPECT_EQ(received, kReports);
    EXPECT_EQ(accepted, kReports);

    // Each unit's reports, in the order it sent them, and its event log, a line for each.
    std::vector<std::string> powers;
    std::string expectedLog;
    for (int round = 0; round < kRounds; ++round) {
        powers.push_back(round % 2 ? "1111" : "0111");  // outlet 1 off in round 0, on in round 1, ...
        expectedLog += FormatUpdateTime(kNow, 0) + "\t" + powers.back() + "\t----\tOOOO\t2350\t0\r\n";
    }
    std::map<std::uint32_t, std::vector<std::string>> seen;
    for (const DeviceRecord& r : w.view.acceptedReports) seen[r.deviceId].push_back(r.powerText);
    int unitsWrong = 0;
    for (std::uint32_t id = 0x100; id < 0x100u + kUnits; ++id)
        if ((seen[id] != powers || log(id) != expectedLog) && ++unitsWrong <= 3)
            ADD_FAILURE() << "unit " << id << " reports seen: " << seen[id].size() << ", log:\n" << log(id);
    EXPECT_EQ(unitsWrong, 0);
    // The item files: every unit's last report, stamped with the station's time.
    for (std::size_t g = 0; g < groups.size(); ++g) {
        for (ItemRecord& r : groups[g]) {
            r.power = powers.back();
            r.schedule = "0000";
            r.updateTime = std::uint32_t(kNow);
            r.ping = "OOOO";
            r.reboot = "0 0 0 0 ";
            r.temperature = 2350;
            r.temperatureState = 0;
        }
        EXPECT_EQ(readBytes(dataDir + hexText(unsigned(g + 1), 8) + ".IDX"), test::itemFile(groups[g]))
            << "group " << g + 1;
    }
}

}  // namespace
}  // namespace zelo
