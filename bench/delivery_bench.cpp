// A 200-entry schedule delivered to 100 simulated devices: one after the
// other, then with 8 and with 32 connections at a time.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "common/frontend.h"
#include "schedule/delivery.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "sim/fleet.h"
#include "sim/server.h"
#include "tests/support/test_workspace.h"

namespace {

void run(const char* label, const std::string& fleetText) {
    using namespace zelo;
    std::printf("%s\n", label);
    sim::Fleet fleet;
    std::string error;
    if (!sim::ParseFleet(fleetText, fleet, error)) return;
    sim::SimServer server(std::move(fleet));
    if (!server.start(error)) {
        std::printf("sim: %s\n", error.c_str());
        return;
    }
    server.startThread();

    ScheduleTable table;
    std::string text;
    for (int i = 0; i < kScheduleEntries; ++i)
        text += std::to_string(i % 24) + ":" + std::to_string(i % 60) + "," +
                std::to_string(1 + i % 12) + "/" + std::to_string(1 + i % 28) + ",,PON" +
                std::to_string(1 + i % 4) + "\n";
    parseScheduleText(text, table);
    table.fileName = "bench.shx";

    std::vector<DeviceRecord> targets;
    for (int i = 0; i < 100; ++i) {
        DeviceRecord r;
        r.deviceId = std::uint32_t(i + 1);
        r.name = "hx-" + std::to_string(i + 1);
        r.modelCode = 3;
        r.addressText = "127.0.0.1";
        r.port = static_cast<std::uint16_t>(server.consolePort(std::size_t(i)));
        r.selectNumber = "00";
        r.prompt = "HX";
        r.password = "7394";
        targets.push_back(r);
    }
    const auto dir = std::filesystem::temp_directory_path() / "zelo-delivery-bench";
    std::filesystem::create_directories(dir);
    test::TestWorkspace w(dir.string() + "/", test::Net::System, test::kWorkspaceNow,
                          test::Time::System);

    double sequential = 0;
    for (int parallel : {1, 8, 32}) {
        std::filesystem::remove(dir / "ZELO.LOG");
        const auto t0 = std::chrono::steady_clock::now();
        DeliveryWalk walk(targets, table,
                          DeliveryContext{w.ws.network(), w.ws.clock(), w.ws.settings(),
                                          w.ws.strings(), w.ws.dataDir()},
                          w.ws.directory(), w.frontend);
        walk.runToEnd(parallel);
        const auto& results = walk.results();
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        int normal = 0;
        for (const auto& r : results) normal += r.normal;
        if (parallel == 1) sequential = s;
        std::printf("parallel %2d: %3d/100 Normal in %.3f s (%.1fx the sequential speed)\n",
                    parallel, normal, s, sequential / s);
    }
    server.stop();
}

}  // namespace

int main() {
    // On loopback the client and the simulator share two cores: CPU bound.
    run("devices answering at once:", "[hx]\nmodel = 3\ncount = 100\n");
    // Real devices take a while per answer; that wait is what parallel
    // connections overlap.
    run("devices answering after 1 ms:", "[hx]\nmodel = 3\ncount = 100\nfaults = slow:1\n");
    return 0;
}
