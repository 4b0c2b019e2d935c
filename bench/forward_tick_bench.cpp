// What the forwarders cost listen's loop per report, in instructions, without
// the network's noise. Two ways:
//   - the hook alone: ticks of changed records handed to the forwarding
//     hooks as listen hands them;
//   - the station: real report datagrams over loopback UDP, each tick taken
//     as listen takes it (received, decoded, committed, the item files
//     saved without their syncs) and then handed to the forwarders, or to
//     none, so that the loop's whole cost per report compares with and
//     without each forwarder.
// The broker address leads nowhere, so the MQTT outbox only fills; the
// metrics server is not scraped. Counted with
//   valgrind --tool=callgrind --toggle-collect='*measuredTicks*'
//     build/native/bench/forward_tick_bench [station] none|mqtt|metrics|both
//     [DEVICES] [TICKS] [REPORTS_PER_TICK]
// and divided by the reports it prints (a first round over every device is
// left out; in station mode the sending is not counted). Wall time is
// printed too. 200 reports a tick is 2,000 a second over listen's 100 ms
// ticks; the ingest benchmarks' bursts of 2,000 are drained in ticks of up
// to 2,000 (a tick's budget takes them all), which spreads the item files'
// rewrites over more reports.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_fleet.h"
#include "bench/file_sync.h"
#include "forward/forwarding.h"
#include "forward/metrics_forwarder.h"
#include "status/status_station.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

using bench::fleetReport;

constexpr int kGroups = 10;
int perTick = 200;  // 2,000 reports a second over 100 ms ticks

struct Feed {
    test::TestWorkspace& tw;
    forward::Forwarding& forwarding;
    const std::vector<DeviceRecord>& base;
    std::vector<DeviceRecord> accepted;
    std::size_t reports = 0;
    int next = 0;

    void ticks(int count) {
        for (int t = 0; t < count; ++t) {
            tw.clock.advanceMicros(100'000);
            accepted.clear();
            for (int i = 0; i < perTick; ++i, ++next) {
                DeviceRecord r = base[std::size_t(next) * 7919 % base.size()];
                const int v = next % 16;
                r.powerText = "1 ";
                for (int k = 0; k < 4; ++k) r.powerText += char('0' + ((v >> k) & 1));
                r.temperature = std::int16_t(2000 + v);
                r.temperatureState = 1;
                r.updateTime = static_cast<std::uint32_t>(tw.clock.now());
                accepted.push_back(std::move(r));
            }
            forwarding.afterTick(accepted);
            reports += accepted.size();
        }
    }
};

// The station's loop as listen runs it: the tick's reports are sent first
// (not counted), then taken by one tick and handed to the forwarders.
struct StationFeed {
    test::TestWorkspace& tw;
    forward::Forwarding* forwarding;  // none: the station alone
    int devices;
    int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    std::size_t reports = 0;
    int next = 0;

    [[gnu::noinline]] void send() {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sa.sin_port = htons(tw.ws.station().listenerPort());
        for (int i = 0; i < perTick; ++i, ++next) {
            const auto b = fleetReport(next * 7919 % devices, next % 16);
            ::sendto(sender, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&sa),
                     sizeof sa);
        }
    }
    void tick() {
        tw.clock.advanceMicros(100'000);
        tw.view.acceptedReports.clear();
        reports += tw.ws.station().tick().accepted;
        if (forwarding) forwarding->afterTick(tw.view.acceptedReports);
    }
};

[[gnu::noinline]] void measuredTicks(StationFeed& feed) {
    feed.tick();
}

// The ticks counted (callgrind's --toggle-collect names this function).
[[gnu::noinline]] void measuredTicks(Feed& feed, int count) {
    feed.ticks(count);
}

int run(int argc, char** argv) {
    const bool station = argc > 1 && std::string(argv[1]) == "station";
    if (station) --argc, ++argv;
    const std::string mode = argc > 1 ? argv[1] : "both";
    const int devices = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int ticks = argc > 3 ? std::atoi(argv[3]) : 50;
    if (argc > 4) perTick = std::max(1, std::atoi(argv[4]));
    test::TempDir tmp;
    const std::string dir = tmp.path().string() + "/";
    bench::writeFleetDirectory(dir, devices, kGroups);
    const bench::SyncSwitch noSyncs(false);
    test::TestWorkspace tw(dir, test::Net::System);
    if (!tw.load(false)) {
        std::fprintf(stderr, "cannot load the directory\n");
        return 1;
    }

    forward::ForwardingConfig config;
    config.station = "bench";
    if (mode == "mqtt" || mode == "both") {
        // A port nothing listens on: the outbox keeps everything.
        config.options.mqtt = forward::BrokerAddress{false, "", "127.0.0.1", 9};
        config.options.haDiscovery = "homeassistant";
    }
    if (mode == "metrics" || mode == "both") {
        config.options.metricsHost = "127.0.0.1";
        config.options.metricsPort = 0;
    }
    forward::Forwarding forwarding(std::move(config));
    forward::addForwarders(forwarding);
    std::string error;
    if (!forwarding.start(tw.ws, {}, {}, error)) {
        std::fprintf(stderr, "forwarding: %s\n", error.c_str());
        return 1;
    }
    if (station) {
        StatusStation& s = tw.ws.station();
        if (!s.openStatusListenerOn(0, 0x7F000001)) {
            std::fprintf(stderr, "cannot listen: %s\n", s.listenerError().c_str());
            return 1;
        }
        // Every tick takes all its reports, however slowly it runs (under
        // valgrind too), as listen's ticks do at this rate.
        s.setTickBudget(std::chrono::seconds(3600));
        StationFeed feed{tw, forwarding.empty() ? nullptr : &forwarding, devices};
        auto round = [&](int count, bool counted) {
            for (int t = 0; t < count; ++t) {
                feed.send();
                if (counted)
                    measuredTicks(feed);
                else
                    feed.tick();
            }
        };
        round((devices + perTick - 1) / perTick, false);  // every device's first report
        const std::size_t before = feed.reports;
        const auto t0 = std::chrono::steady_clock::now();
        // The sending is left out of the counts: only the ticks are named.
        round(ticks, true);
        const std::size_t reports = feed.reports - before;
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count();
        std::printf("station, %s: %zu reports over %d devices in %d ticks, %.1f ms with sending\n",
                    mode.c_str(), reports, devices, ticks, ms);
        ::close(feed.sender);
        forwarding.stop();
        return 0;
    }

    // Records as the station commits them: the outlets, the temperature and
    // the time change with every report. A first round over every device
    // (its first report, with its discovery configs) is left out.
    std::vector<DeviceRecord> base;
    for (const DeviceRecord& r : tw.ws.directory().devices()) base.push_back(r);
    Feed feed{tw, forwarding, base, {}, 0, 0};
    feed.ticks((devices + perTick - 1) / perTick);
    const std::size_t before = feed.reports;
    const auto t0 = std::chrono::steady_clock::now();
    measuredTicks(feed, ticks);
    const std::size_t reports = feed.reports - before;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%s: %zu reports over %d devices in %d ticks, %.1f ms (%.2f us a report)\n",
                mode.c_str(), reports, devices, ticks, ms, ms * 1000.0 / double(reports));
    forwarding.stop();
    return 0;
}

}  // namespace
}  // namespace zelo

int main(int argc, char** argv) {
    return zelo::run(argc, argv);
}
