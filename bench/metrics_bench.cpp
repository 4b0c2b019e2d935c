// The metrics: the render time and size of a 10,000-device scrape (8
// outlets, master, temperature and four ping entries each, with one group's
// share for ?group=), and the station's ingest rate over loopback UDP among
// 10,000 devices (the fleet's reports with the master power, each telling
// its device something new), in one run: without the metrics forwarder,
// with it and no scrape, and with it scraped once a second's worth of
// reports. Figures printed, not asserted.
//
//   build/native/bench/metrics_bench [ROUNDS]   (default 15: 30 bursts a mode, twice)
// The loop's instructions per report with and without the metrics are
// counted by forward_tick_bench's station mode.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <thread>

#include "bench/bench_fleet.h"
#include "bench/file_sync.h"
#include "forward/forwarding.h"
#include "forward/metrics.h"
#include "forward/metrics_forwarder.h"
#include "status/status_station.h"
#include "tests/support/test_workspace.h"

namespace {

using namespace zelo;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int kDevices = 10000;
constexpr int kGroups = 10;

// The CPU time of this thread: what a render costs, whatever else the
// machine runs meanwhile.
double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// ---- render ----

forward::MetricsSnapshot bigSnapshot() {
    GroupOutline outline;
    outline.entries.push_back({0, "Root", 0, -1});
    for (int g = 1; g <= kGroups; ++g)
        outline.entries.push_back({1, "Site " + std::to_string(g), std::uint32_t(g), 0});
    forward::MetricsSnapshot s;
    s.groups = forward::metricsGroups(outline);
    for (int i = 0; i < kDevices; ++i) {
        auto f = std::make_shared<forward::DeviceFacts>();
        f->deviceId = std::uint32_t(i + 1), f->groupId = std::uint32_t(i % kGroups + 1);
        f->key = forward::deviceKey(f->deviceId);
        f->name = "rack " + std::to_string(i) + " power \"east\"";
        f->group = s.groups->paths[f->groupId];
        f->model = "SWD-12K",
        f->address = "10.20." + std::to_string(i / 250) + "." + std::to_string(i % 250);
        f->mac = "0080871" + std::to_string(10000 + i);
        for (int o = 1; o <= 8; ++o) f->outlets.push_back({o, "", (i + o) % 3 != 0});
        f->master = true;
        f->ping = {forward::PingState::Ok, forward::PingState::Fail, forward::PingState::Off,
                   forward::PingState::Reboot};
        f->reboots = {0, 3, 0, 12};
        f->temperature = 20 + (i % 1000) / 100.0;
        f->updated = 1'800'000'000 + i;
        s.devices.push_back(std::move(f));
    }
    s.now = 1'800'000'100;
    return s;
}

void renderFigures() {
    const forward::MetricsSnapshot s = bigSnapshot();
    forward::GroupFilter one;
    one.add(s.groups->outline, 3);
    const forward::GroupFilter* filters[] = {nullptr, &one};
    for (const forward::GroupFilter* filter : filters) {
        std::vector<double> times, cpu;
        std::size_t size = 0, held = 0;
        for (int i = 0; i < 15; ++i) {
            const auto t = Clock::now();
            const double c = threadCpuMs();
            const std::string text = forward::renderMetrics(s, filter);
            size = text.size(), held = text.capacity();
            cpu.push_back(threadCpuMs() - c);
            times.push_back(msSince(t));
        }
        std::sort(times.begin(), times.end());
        std::sort(cpu.begin(), cpu.end());
        std::printf(
            "render %s: %.1f ms median (%.1f min, %.1f max), %.1f ms of CPU median, %.2f MB "
            "(%.2f MB allocated)\n",
            filter ? "?group= of 1,000 devices" : "10,000 devices x 8 outlets",
            times[times.size() / 2], times.front(), times.back(), cpu[cpu.size() / 2],
            double(size) / (1024 * 1024), double(held) / (1024 * 1024));
    }
}

// ---- ingest ----

enum class Mode { Bare, Metrics, Scraped };
constexpr int kBurst = 2000;

// With the item files' rewrites synced to the disk as the program runs, and
// without the syncs, where the CPU the metrics cost is not hidden behind the
// disk.
void ingestFigures(int rounds, bool synced) {
    const std::string dir =
        (std::filesystem::temp_directory_path() / "zelo-metrics-bench").string() + "/";
    bench::writeFleetDirectory(dir, kDevices, kGroups);
    const bench::SyncSwitch syncs(synced);
    test::TestWorkspace w(dir, test::Net::System, test::kWorkspaceNow, test::Time::System);
    w.ws.settings().language = Language::English;
    w.ws.settings().logEnable = false;
    w.ws.directory().load(false);
    StatusStation& station = w.ws.station();
    station.openStatusListenerOn(0, 0x7F000001);
    const std::uint16_t port = station.listenerPort();

    forward::ForwardingConfig config;
    config.options.metricsHost = "127.0.0.1";
    config.options.metricsPort = 0;
    forward::Forwarding forwarding(std::move(config));
    forwarding.add(forward::makeMetricsForwarder());
    int metricsPort = 0;
    std::string error;
    if (!forwarding.start(
            w.ws, [](const forward::CommandLine&) {},
            [&](const std::string& line) {
                const std::size_t at = line.find("127.0.0.1:");
                if (at != std::string::npos) metricsPort = std::atoi(line.c_str() + at + 10);
            },
            error)) {
        std::printf("metrics did not start: %s\n", error.c_str());
        return;
    }

    // The scraper: a GET /metrics each time `due` goes up; `served` counts
    // the answered ones. It reads every byte and keeps none: a Prometheus
    // stores its scrape in its own process, not in the station's, where a
    // 5 MB text appended to and freed would be counted against the loop.
    std::atomic<bool> done{false};
    std::atomic<int> due{0}, served{0}, scrapes{0};
    std::atomic<std::size_t> scrapeBytes{0};
    std::thread scraper([&] {
        httplib::Client c("127.0.0.1", metricsPort);
        c.set_read_timeout(10);
        while (!done) {
            if (served < due) {
                std::size_t bytes = 0;
                const auto r = c.Get("/metrics", [&](const char*, std::size_t length) {
                    bytes += length;
                    return true;
                });
                if (r && r->status == 200) {
                    ++scrapes;
                    scrapeBytes = bytes;
                }
                ++served;
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(200));  // pacing
            }
        }
    });

    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(port);
    std::int64_t n = 0;
    // A burst of 2,000 changing reports (a second's worth at the fleet's
    // 2,000 a second) sent, then drained by ticks as listen runs them. With
    // a scrape, it is asked for as the draining starts, so that every
    // scraped burst has a whole scrape beside it: a scrape every second of
    // reports, at its worst moment. Two rates, both over the draining only
    // (the sending is left out): by the wall clock, and by the station
    // thread's CPU time (its ticks and the forwarder's hook).
    double hookMs = 0;  // the forwarders' hook after each tick
    std::size_t hookReports = 0;
    struct Rate {
        double wall = 0, cpu = 0;  // reports a second
    };
    // Nothing for a burst that was not accepted whole (datagrams lost, or
    // reports refused): it measures no full burst and is thrown away.
    auto burst = [&](Mode mode) -> std::optional<Rate> {
        for (int i = 0; i < kBurst; ++i, ++n) {
            const bench::FleetTurn t = bench::fleetTurn(n, kDevices);
            const Bytes b = bench::fleetReport(t.device, t.variant, true);
            ::sendto(fd, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
        }
        if (mode == Mode::Scraped) ++due;
        const auto start = Clock::now();
        std::size_t got = 0, accepted = 0;
        double cpuMs = 0;
        while (got < std::size_t(kBurst)) {
            const double c = threadCpuMs();
            w.view.acceptedReports.clear();
            const TickResult r = station.tick();
            if (mode != Mode::Bare) {
                const double h = threadCpuMs();
                forwarding.afterTick(w.view.acceptedReports);
                hookMs += threadCpuMs() - h;
                hookReports += w.view.acceptedReports.size();
            }
            cpuMs += threadCpuMs() - c;
            got += r.received;
            accepted += r.accepted;
            if (r.received == 0 && !station.waitForReport(std::chrono::milliseconds(200))) break;
        }
        const double wallMs = msSince(start);
        // The next burst starts once this one's scrape is answered.
        while (served < due) std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (accepted != std::size_t(kBurst)) return std::nullopt;
        return Rate{double(accepted) / (wallMs / 1000), double(accepted) / (cpuMs / 1000)};
    };
    // The modes take turns burst by burst, in the order A B C C B A, so that
    // the machine's other work falls on all of them alike; the median burst
    // of each mode stands for it, and the middle half shows the spread.
    std::vector<Rate> bursts[3];
    int thrown[3] = {};
    const Mode order[] = {Mode::Bare,    Mode::Metrics, Mode::Scraped,
                          Mode::Scraped, Mode::Metrics, Mode::Bare};
    for (int k = 0; k < 4; ++k) burst(Mode::Metrics);  // the first scrape's facts, the caches
    ++due;
    while (served < due) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (int round = 0; round < rounds; ++round)
        for (const Mode m : order) {
            if (const std::optional<Rate> r = burst(m))
                bursts[int(m)].push_back(*r);
            else
                ++thrown[int(m)];
        }
    done = true;
    scraper.join();
    ::close(fd);
    forwarding.stop();
    std::filesystem::remove_all(dir);

    auto at = [](std::vector<double> v, double p) {
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
    };
    std::printf(
        "ingest of bursts of %d reports among 10,000 devices (item files saved %s, no event "
        "logs), %d bursts a mode, medians [middle half]:\n"
        "                          wall-clock rate while draining     by the station's CPU "
        "time\n",
        kBurst, synced ? "and synced" : "without syncs", 2 * rounds);
    const char* names[] = {"without metrics       ", "--metrics, no scrape  ",
                           "--metrics, scraped    "};
    double wall0 = 0, cpu0 = 0;
    for (int m = 0; m < 3; ++m) {
        if (bursts[m].empty()) {
            std::printf("  %s no burst accepted whole\n", names[m]);
            continue;
        }
        std::vector<double> wall, cpu;
        for (const Rate& r : bursts[m]) wall.push_back(r.wall), cpu.push_back(r.cpu);
        const double wm = at(wall, 0.5), cm = at(cpu, 0.5);
        if (m == 0) wall0 = wm, cpu0 = cm;
        std::printf("  %s %6.0f/s [%6.0f..%6.0f] %4.0f%%   %6.0f/s [%6.0f..%6.0f] %4.0f%%\n",
                    names[m], wm, at(wall, 0.25), at(wall, 0.75), 100 * wm / wall0, cm,
                    at(cpu, 0.25), at(cpu, 0.75), 100 * cm / cpu0);
    }
    if (thrown[0] + thrown[1] + thrown[2] > 0)
        std::printf("  bursts thrown away, not accepted whole: %d, %d, %d\n", thrown[0], thrown[1],
                    thrown[2]);
    std::printf(
        "  the metrics' hook after each tick: %.2f us of CPU per accepted report; %d scrapes of "
        "%.2f MB\n",
        hookMs * 1000 / double(hookReports ? hookReports : 1), scrapes.load(),
        double(scrapeBytes) / (1024 * 1024));
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    renderFigures();
    ingestFigures(rounds, true);
    ingestFigures(rounds, false);
    return 0;
}
