// The status station against zelo-sim on loopback: units of every model and
// report layout, units whose every report is spoilt, and a burst of 10,000
// reports. What the station accepts, the item files and the event logs are
// compared byte for byte with what the file formats say.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <thread>

#include "common/format.h"
#include "directory/item_file.h"
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

class StationWithSim : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string dataDir = dir.path().string() + "/";
    test::TestWorkspace w{dataDir, test::Net::System, kNow};
    StatusStation& station = w.ws.station();
    std::unique_ptr<sim::SimServer> server;

    // The groups' item files, the directory loaded with event logs in
    // "logs", the station listening on loopback, and the fleet reporting to it.
    void start(const std::vector<std::vector<ItemRecord>>& groups, const std::string& fleetText) {
        std::string outline = "0\tRoot\t0\r\n";
        for (std::size_t g = 1; g <= groups.size(); ++g) {
            outline += "1\tGroup " + std::to_string(g) + "\t" + std::to_string(g) + "\r\n";
            test::writeBytes(dataDir + hexText(unsigned(g), 8) + ".IDX", test::itemFile(groups[g - 1]));
        }
        test::writeBytes(dataDir + "ZELO_DIR.DAT", outline);
        std::filesystem::create_directories(dataDir + "logs");
        AppSettings& settings = w.ws.settings();
        settings.language = 1;
        settings.logEnable = true;
        settings.baseDir = "logs";
        ASSERT_TRUE(w.ws.directory().load(false));
        ASSERT_TRUE(station.openStatusListenerOn(0, 0x7F000001u));
        sim::Fleet fleet;
        std::string error;
        ASSERT_TRUE(sim::ParseFleet("station = 127.0.0.1:" + std::to_string(station.listenerPort()) + "\ninterval = 0\n" +
                                        fleetText, fleet, error)) << error;
        server = std::make_unique<sim::SimServer>(std::move(fleet));
        ASSERT_TRUE(server->start(error)) << error;
    }
    std::string log(std::uint32_t id) { return readBytes(dataDir + "logs/" + hexText(id, 8) + ".LOG"); }
};

// A record as stored: prompt models carry prompt and select number, the
// others their unit number in hex and their system name.
ItemRecord rec(const std::string& name, int code, std::uint32_t id, const std::string& mac, const std::string& power,
               unsigned unit = 0) {
    const bool framed = code == 3 || code == 5;
    return ItemRecord{name, sim::ModelName(code), id, code, power, framed ? std::string(power.size() - (power[1] == ' ' ? 2 : 0), '0') : " ",
                      mac, framed ? "7394" : "tavik admin", framed ? std::string(code == 3 ? "HX" : "JB") + " 00" : hexText(unit) + " " + name};
}

TEST_F(StationWithSim, ReportsOfEveryLayoutAreCommittedAndSpoiltOnesChangeNothing) {
    std::vector<ItemRecord> good = {  // stored as the units will report them, apart from the schedule
        rec("hx", 3, 0x1A, "008087100003", "0 0000"),    rec("jb", 5, 0x1B, "008087100005", "010"),
        rec("sw12k", 11, 0x1C, "008087100011", "1111"),  rec("q6m", 12, 0x1D, "008087100012", "00000000"),
        rec("gv", 13, 0x1E, "008087100013", "0110"),     rec("s6", 6, 0x1F, "000000000000", "1111", 101),
        rec("s7", 7, 0x20, "000000000000", "0110", 102), rec("s8", 8, 0x21, "000000000000", "0000", 258),
        rec("s9", 9, 0x22, "000000000000", "1111", 259), rec("s10", 10, 0x23, "000000000000", "0000", 0x1234)};
    good[0].temperatureState = good[2].temperatureState = 0;
    good[1].temperature = -325, good[1].temperatureState = 4;
    good[2].temperature = 2350;
    good[4].ping = "OOOO", good[4].reboot = "1 1 1 1 ";
    std::string fleet =
        "[hx]\nmodel = 3\nmac = 00:80:87:10:00:03\nstates = 1111\nschedule = 0100\n"
        "[jb]\nmodel = 5\nmac = 008087100005\nmaster = no\noutlets = 3\nstates = 010\nschedule = 011\n"
        "temperature = -3.25\ntemp-state = 4\ntemp-form = 34\n"
        "[sw12k]\nmodel = 11\nmac = 008087100011\nping = 1:0,0:2,3:1,7:0\n"
        "[q6m]\nmodel = 12\nmac = 008087100012\noutlets = 8\nstates = 10101010\nschedule = 11000000\n"
        "ping = 1:5,1:0\nping-form = long\ntemperature = 41\ntemp-state = 2\ntemp-form = 34\n"
        "[gv]\nmodel = 13\nmac = 008087100013\nstates = 0110\ntemperature = none\nping = none\n"
        "[s6]\nmodel = 6\nunit = 101\nstates = 1010\n[s7]\nmodel = 7\nunit = 102\nstates = 0110\n"
        "[s8]\nmodel = 8\nunit = 258\nstates = 1100\n[s9]\nmodel = 9\nunit = 259\nstates = 0011\n"
        "[s10]\nmodel = 10\nunit = 4660\nstates = 0001\n"
        "[stranger]\nmodel = 3\nmac = 008087100099\n";  // not in the directory
    // Units whose every report is spoilt, one for each fault of each layout.
    const std::tuple<const char*, int, const char*> spoiltUnits[] = {
        {"badsum", 3, "bad-checksum"}, {"badlen", 11, "wrong-length"}, {"oddlen", 13, "odd-length"}, {"trunc", 5, "truncated"},
        {"unknown", 12, "unknown-layout"}, {"tlen", 8, "wrong-length"}, {"ttrunc", 9, "truncated"}, {"tunk", 10, "unknown-layout"},
        {"sunk", 6, "unknown-layout"}, {"slen", 7, "wrong-length"}, {"strunc", 6, "truncated"}};
    std::vector<ItemRecord> spoilt;
    for (const auto& [name, code, fault] : spoiltUnits) {
        const unsigned i = unsigned(spoilt.size());
        const bool older = code >= 6 && code <= 10;
        const std::string mac = older ? "000000000000" : "0080871000F" + hexText(i + 1);
        spoilt.push_back(rec(name, code, 0x40 + i, mac, code == 3 ? "0 0000" : "0000", 300 + i));
        fleet += std::string("[") + name + "]\nmodel = " + std::to_string(code) + "\n" +
                 (older ? "unit = " + std::to_string(300 + i) : "mac = " + mac) + "\nfaults = report:" + fault + "\n";
    }
    start({good, spoilt}, fleet);
    // One control command, the one report it sends, and the tick that takes it.
    auto drive = [&](const std::string& command) {
        const std::uint64_t sent = server->reportsSent();
        ASSERT_EQ(server->control(command), "OK");
        for (int i = 0; i < 2000 && server->reportsSent() == sent; ++i) server->step(1);
        ASSERT_EQ(server->reportsSent(), sent + 1) << command;
        ASSERT_TRUE(station.waitForReport(std::chrono::seconds(2))) << command;
        EXPECT_EQ(station.tick().received, 1u) << command;
    };
    drive("report stranger");
    for (std::size_t i = 0; i < good.size(); ++i) drive("report " + spoilt[i].name), drive("report " + good[i].name);
    drive("report strunc");
    drive("report hx");  // the same values again: committed, no event line
    drive("outlet hx 3 off");
    drive("outlet s8 1 off");

    std::string accepted;
    for (const DeviceRecord& r : w.view.acceptedReports) accepted += std::to_string(r.deviceId) + " ";
    EXPECT_EQ(accepted, "26 27 28 29 30 31 32 33 34 35 26 26 33 ");
    // Each record as stored now: power | schedule | ping | reboots | temperature | its state | update time.
    const char* const stored[] = {
        "1 1101|0100|||2350|0|", "010|011|||-325|4|", "1111|0000|O-RX|0 2 1 0 |2350|0|", "10101010|11000000|OO|5 0 |4100|2|",
        "0110|0000|OOOO|1 1 1 1 |2350|-1|",  // no sensor: the value as sent; no ping element: the texts stay
        "1010| |||0|-1|", "0110| |||0|-1|", "0100| |||0|-1|", "0011| |||0|-1|", "0001| |||0|-1|"};
    const auto records = parseItemFile(readBytes(dataDir + "00000001.IDX"), 1);
    ASSERT_EQ(records.size(), good.size());
    for (std::size_t i = 0; i < good.size(); ++i) {
        const DeviceRecord& r = records[i];
        EXPECT_EQ(r.powerText + "|" + r.scheduleText + "|" + r.pingText + "|" + r.rebootText + "|" + std::to_string(r.temperature) +
                      "|" + std::to_string(r.temperatureState) + "|" + (r.updateTime == kNow ? "" : "not stamped"),
                  stored[i]) << r.name;
    }
    // Event logs: a line for each report that changed something shown; the
    // schedule alone (jb), the same values (s7, hx's second report) write none.
    const std::map<std::uint32_t, std::vector<std::string>> logs = {
        {0x1A, {"1 1111\t-O--\t\t2350\t0", "1 1101\t-O--\t\t2350\t0"}}, {0x1C, {"1111\t----\tO-RX\t2350\t0"}},
        {0x1D, {"10101010\tOO------\tOO\t4100\t2"}}, {0x1E, {"0110\t----\tOOOO\t2350\t-1"}},
        {0x1F, {"1010\t \t\t0\t-1"}}, {0x21, {"1100\t \t\t0\t-1", "0100\t \t\t0\t-1"}},
        {0x22, {"0011\t \t\t0\t-1"}}, {0x23, {"0001\t \t\t0\t-1"}}};
    std::set<std::string> present, wanted;
    for (const auto& e : std::filesystem::directory_iterator(dataDir + "logs")) present.insert(e.path().filename().string());
    for (const auto& [id, lines] : logs) {
        wanted.insert(hexText(id, 8) + ".LOG");
        std::string expected;
        for (const std::string& line : lines) expected += FormatUpdateTime(kNow, 0) + "\t" + line + "\r\n";
        EXPECT_EQ(log(id), expected) << std::hex << id;
    }
    EXPECT_EQ(present, wanted);
    // The spoilt reports and the stranger's left everything else as it was.
    EXPECT_EQ(readBytes(dataDir + "00000002.IDX"), test::itemFile(spoilt));
    EXPECT_FALSE(std::filesystem::exists(dataDir + "00000001.TMP") || std::filesystem::exists(dataDir + "00000002.TMP"));
}

// A burst of 10,000 reports: 1,000 units in four groups, each with its
// first outlet switched by hand ten times while the station drains the
// socket on this thread. Every report must be committed: each one changes
// the power column, so each leaves its own event line, and the item files
// hold every unit's last state.
TEST_F(StationWithSim, TenThousandReportsAreAllCommitted) {
    constexpr int kUnits = 1000, kRounds = 10;
    constexpr std::uint64_t kReports = std::uint64_t(kUnits) * kRounds;
    auto macOf = [](int unit) { return hexText(0x87200000u + unsigned(unit), 8).insert(0, "0080"); };
    std::vector<std::vector<ItemRecord>> groups(4);
    for (int u = 0; u < kUnits; ++u) {
        const std::string name = "u-" + std::to_string(u + 1);
        groups[u % 4].push_back(ItemRecord{name, "GV2208", 0x100u + unsigned(u), 13, "1111", " ", macOf(u), "tavik admin", "0 " + name});
    }
    start(groups, "[u]\nmodel = 13\ncount = " + std::to_string(kUnits) + "\nmac = " + macOf(0) + "\n");

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
            for (int from = 0; from < kUnits && simError.empty();) {
                const int chunk = static_cast<int>(std::min<std::uint64_t>(window / 2, kUnits - from));
                while (target - accepted.load() + chunk > window && !giveUp.load())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                for (int u = from; u < from + chunk; ++u) {
                    const std::string reply = server->control("outlet u-" + std::to_string(u + 1) + (round % 2 ? " 1 on" : " 1 off"));
                    if (reply != "OK") simError = reply;
                }
                target += static_cast<std::uint64_t>(chunk);
                from += chunk;
                while (server->reportsSent() < target && !giveUp.load()) server->step(1);
                if (giveUp.load()) simError = "gave up";
            }
        }
        simDone.store(true);
    });
    std::uint64_t received = 0;
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         std::chrono::steady_clock::now() < deadline && !(simDone.load() && received >= server->reportsSent());) {
        station.waitForReport(std::chrono::milliseconds(5));
        const TickResult r = station.tick();
        received += r.received;
        accepted.fetch_add(r.accepted);
    }
    giveUp.store(true);
    simThread.join();
    ASSERT_EQ(simError, "");
    station.waitForReport(std::chrono::milliseconds(20));  // a little longer for any report still on its way: none may come
    const TickResult late = station.tick();
    EXPECT_EQ(server->reportsSent(), kReports);
    EXPECT_EQ(received + late.received, kReports);
    EXPECT_EQ(accepted.load() + late.accepted, kReports);

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
        EXPECT_EQ(readBytes(dataDir + hexText(unsigned(g + 1), 8) + ".IDX"), test::itemFile(groups[g])) << "group " << g + 1;
    }
}

}  // namespace
}  // namespace zelo
