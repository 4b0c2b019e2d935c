// What the forwarders cost listen's loop per report, without the network's
// noise: a directory of devices, ticks of changed records handed to the
// forwarding hooks as listen hands them (the broker address leads nowhere,
// so the MQTT outbox only fills; the metrics server is not scraped). Meant
// to be counted in instructions:
//   valgrind --tool=callgrind
//     --toggle-collect='*measuredTicks*'
//     build/native/bench/forward_tick_bench mqtt|metrics|both [DEVICES] [TICKS]
// and divided by the reports it prints (a first round over every device
// is left out). Wall time is printed too.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "forward/forwarding.h"
#include "forward/metrics_forwarder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_workspace.h"

namespace zelo {
namespace {

constexpr int kGroups = 10;
constexpr int kPerTick = 200;  // 2,000 reports a second over 100 ms ticks

void writeBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string macOf(int i) {
    char buf[13];
    std::snprintf(buf, sizeof buf, "0010AA%06X", i);
    return buf;
}

void writeDirectory(const std::string& dir, int devices) {
    std::filesystem::create_directories(dir);
    std::string outline = "0\tRoot\t0\r\n";
    for (int g = 1; g <= kGroups; ++g) {
        outline += "1\tG" + std::to_string(g) + "\t" + std::to_string(g) + "\r\n";
        std::string items = "#ZELO ITEM FILE#VER 2\r\n";
        for (int i = (g - 1) * (devices / kGroups); i < g * (devices / kGroups); ++i) {
            char id[16];
            std::snprintf(id, sizeof id, "%X", i + 1);
            items += "dev" + std::to_string(i) + "\r\nGV2208\r\n" + id +
                     "\r\n13\r\n#10.0.0.1 17\r\n1111\r\n \r\n00000000 00000000\r\n" + macOf(i) +
                     "\r\ntavik admin\r\n0 s\r\n\r\n\r\n\r\n0\r\n-1\r\n";
        }
        char name[16];
        std::snprintf(name, sizeof name, "%08X.IDX", g);
        writeBytes(dir + name, items);
    }
    writeBytes(dir + "ZELO_DIR.DAT", outline);
    writeBytes(dir + "ZELO.INI", "[ZELO]\r\nLanguage=1\r\nLogEnable=0\r\n");
}

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
            for (int i = 0; i < kPerTick; ++i, ++next) {
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

// The ticks counted (callgrind's --toggle-collect names this function).
[[gnu::noinline]] void measuredTicks(Feed& feed, int count) {
    feed.ticks(count);
}

int run(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "both";
    const int devices = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int ticks = argc > 3 ? std::atoi(argv[3]) : 50;
    test::TempDir tmp;
    const std::string dir = tmp.path().string() + "/";
    writeDirectory(dir, devices);
    test::TestWorkspace tw(dir);
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

    // Records as the station commits them: the outlets, the temperature and
    // the time change with every report. A first round over every device
    // (its first report, with its discovery configs) is left out.
    std::vector<DeviceRecord> base;
    for (const DeviceRecord& r : tw.ws.directory().devices()) base.push_back(r);
    Feed feed{tw, forwarding, base, {}, 0, 0};
    feed.ticks((devices + kPerTick - 1) / kPerTick);
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
