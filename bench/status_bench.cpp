// Status reports: decode and match among 10,000 devices; one tick's commit
// of changes in ten groups, with and without the syncs of its rewrites;
// sustained ingest over loopback UDP with item files and event logs
// committed; and, for comparison, how fast a bare loop receives the same
// datagrams.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/workspace.h"
#include "bench/bench_fleet.h"
#include "bench/figure_reporter.h"
#include "bench/file_sync.h"
#include "common/clock.h"
#include "common/frontend.h"
#include "connection/network.h"
#include "directory/device_directory.h"
#include "directory/device_view.h"
#include "settings/app_settings.h"
#include "settings/lang_strings.h"
#include "status/status_station.h"
#include "status/udp_receiver.h"

namespace {

using namespace zelo;
using bench::macOf;
using Bytes = std::vector<std::uint8_t>;

constexpr int kDevices = 10000;
constexpr int kGroups = 10;  // 1,000 devices a group

void put16(Bytes& b, unsigned v) {
    b.push_back(std::uint8_t(v >> 8));
    b.push_back(std::uint8_t(v));
}

// An element report: MAC, master, four outlets, temperature, filler.
Bytes report(int device, int variant) {
    Bytes b;
    put16(b, 0x0100);
    put16(b, 0);
    put16(b, 0);
    put16(b, 0);
    put16(b, 1);
    put16(b, 12);
    put16(b, 0);
    const std::string mac = macOf(device);
    for (int i = 0; i < 12; i += 2)
        b.push_back(std::uint8_t(std::stoul(mac.substr(i, 2), nullptr, 16)));
    put16(b, 0x100);
    put16(b, 6);
    put16(b, 1);
    put16(b, 0x110);
    put16(b, 30);
    put16(b, 4);
    for (int i = 0; i < 4; ++i) {
        put16(b, (variant >> i) & 1);
        put16(b, (variant >> i) & 1);
        put16(b, 0);
    }
    put16(b, 0x802);
    put16(b, 32);
    Bytes block(28, 0);
    block[0] = 1;
    block[27] = std::uint8_t(variant);
    b.insert(b.end(), block.begin(), block.end());
    for (int i = 0; i < 4; ++i) put16(b, 0);
    b[2] = std::uint8_t(b.size() >> 8);
    b[3] = std::uint8_t(b.size());
    const std::uint16_t sum = reportChecksum(b.data(), b.size());
    b[6] = std::uint8_t(sum >> 8);
    b[7] = std::uint8_t(sum);
    return b;
}

// The station as the programs run it: the system's clock and sockets, and a
// view that keeps nothing (a test view that records every accepted report
// would be measured instead of the station).
struct Fixture {
    std::string dir;
    SystemClock clock;
    SilentFrontend frontend;
    NullDeviceView view;
    std::unique_ptr<Network> network = makeSystemNetwork();
    std::unique_ptr<Workspace> ws;
    AppSettings* settings = nullptr;
    DeviceDirectory* directory = nullptr;
    StatusStation* station = nullptr;

    // `devices` in `groups` of equal size. With `logs`, event logging is on
    // and the logs of `logged` devices (all of them by default) exist.
    explicit Fixture(bool logs, int devices = kDevices, int groups = kGroups,
                     const std::vector<int>* logged = nullptr) {
        dir = (std::filesystem::temp_directory_path() / "zelo-status-bench").string() + "/";
        bench::writeFleetDirectory(dir, devices, groups, "1 1111");
        std::filesystem::create_directories(dir + "logs");
        // Steady state: every device's event log exists already (creating
        // 10,000 files is a one-time cost of the first reports).
        auto makeLog = [this](int id) {
            char name[24];
            std::snprintf(name, sizeof name, "logs/%08X.LOG", id);
            if (std::FILE* log = std::fopen((dir + name).c_str(), "wb")) std::fclose(log);
        };
        if (logs && logged)
            for (int device : *logged) makeLog(device + 1);
        else if (logs)
            for (int i = 1; i <= devices; ++i) makeLog(i);
        ws = std::make_unique<Workspace>(dir, *network, clock, frontend, view);
        settings = &ws->settings();
        settings->language = Language::English;
        settings->logEnable = logs;
        settings->baseDir = "logs";
        directory = &ws->directory();
        directory->load(false);
        station = &ws->station();
    }
    ~Fixture() { std::filesystem::remove_all(dir); }
};

// Decode and match only: a report that carries master data alone is matched
// and committed in memory but writes no file (nothing visible changes after
// the first).
void BM_DecodeAndMatchAmong10000(benchmark::State& st) {
    Fixture fx(false);
    std::vector<Bytes> reports;
    for (int i = 0; i < 1000; ++i) {
        Bytes b;
        put16(b, 0x0100);
        put16(b, 0);
        put16(b, 0);
        put16(b, 0);
        put16(b, 1);
        put16(b, 12);
        put16(b, 0);
        const std::string mac = macOf((i * 7919) % kDevices);
        for (int k = 0; k < 12; k += 2)
            b.push_back(std::uint8_t(std::stoul(mac.substr(k, 2), nullptr, 16)));
        put16(b, 0x100);
        put16(b, 6);
        put16(b, 1);
        put16(b, 0);
        put16(b, 0);
        b[3] = std::uint8_t(b.size());
        const std::uint16_t sum = reportChecksum(b.data(), b.size());
        b[6] = std::uint8_t(sum >> 8);
        b[7] = std::uint8_t(sum);
        reports.push_back(b);
    }
    std::size_t i = 0, accepted = 0;
    for (auto _ : st) {
        const Bytes& b = reports[i++ % reports.size()];
        accepted += fx.station->decodeStatusReport(b.data(), b.size());
    }
    st.counters["accepted"] = double(accepted);
    st.SetItemsProcessed(std::int64_t(st.iterations()));
}
BENCHMARK(BM_DecodeAndMatchAmong10000);

// Decode, match and the full commit of a report whose outlets changed
// (item file saved per report, log line): the cost without coalescing.
void BM_DecodeCommitSaveEachAmong10000(benchmark::State& st) {
    Fixture fx(true);
    int n = 0;
    for (auto _ : st) {
        const Bytes b = report((n * 7919) % kDevices, n % 16);
        ++n;
        fx.station->decodeStatusReport(b.data(), b.size());
        fx.station->commitPendingSaves();
    }
    st.SetItemsProcessed(std::int64_t(st.iterations()));
}
BENCHMARK(BM_DecodeCommitSaveEachAmong10000)->Unit(benchmark::kMicrosecond);

// One tick's commit after changing reports from devices in each of the ten
// groups: ten item files of 1,000 devices rewritten (one per group however
// many of its devices changed) and ten event-log lines appended, with the
// rewrites synced to the disk (sync:1, as the program runs) and without the
// syncs (sync:0).
void BM_TickCommitOfTenGroups(benchmark::State& st) {
    Fixture fx(true);
    const bench::SyncSwitch syncs(st.range(0) != 0);
    constexpr int kPerGroup = kDevices / kGroups;
    int n = 0;
    for (auto _ : st) {
        ++n;
        for (int g = 0; g < kGroups; ++g) {
            // Two devices of the group, outlets different from last time.
            for (int k = 0; k < 2; ++k) {
                const Bytes b = report(g * kPerGroup + 17 + k * 500, n % 16);
                fx.station->decodeStatusReport(b.data(), b.size());
            }
        }
        fx.station->commitPendingSaves();
    }
    st.SetItemsProcessed(std::int64_t(st.iterations()) * kGroups * 2);
}
BENCHMARK(BM_TickCommitOfTenGroups)
    ->ArgName("sync")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int sender() {
    return ::socket(AF_INET, SOCK_DGRAM, 0);
}
void sendTo(int fd, std::uint16_t port, const Bytes& b) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(port);
    ::sendto(fd, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
}

// Sustained ingest: bursts of 2,000 changing reports (one 100 ms tick's worth
// at 20,000 a second) sent over loopback, then drained by ticks with item
// files and event logs committed.
void BM_IngestOverLoopbackWithFilesAndLogs(benchmark::State& st) {
    Fixture fx(true);
    fx.station->openStatusListenerOn(0, 0x7F000001);
    fx.station->setTickBudget(std::chrono::microseconds(1000000));
    const std::uint16_t port = fx.station->listenerPort();
    const int fd = sender();
    constexpr int kBurst = 2000;
    std::vector<Bytes> burst;
    int n = 0;
    std::size_t accepted = 0;
    for (auto _ : st) {
        st.PauseTiming();
        burst.clear();
        for (int i = 0; i < kBurst; ++i, ++n)
            burst.push_back(report((n * 7919) % kDevices, n % 16));
        st.ResumeTiming();
        for (const Bytes& b : burst) sendTo(fd, port, b);
        std::size_t got = 0;
        while (got < kBurst) {
            const TickResult r = fx.station->tick();
            got += r.received;
            accepted += r.accepted;
            if (r.received == 0 && !fx.station->waitForReport(std::chrono::milliseconds(200)))
                break;
        }
    }
    ::close(fd);
    st.counters["accepted"] = double(accepted);
    st.counters["queue_bytes"] = fx.station->receiveQueueBytes();
    st.SetItemsProcessed(std::int64_t(st.iterations()) * kBurst);
}
BENCHMARK(BM_IngestOverLoopbackWithFilesAndLogs)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reports spread over many groups: 100,000 devices in 1,000 groups of 100,
// 10,000 reports from random devices sent at 5,000 a second while the
// station runs as zeloctl listen does (a tick whenever a report waits), item
// files and event logs committed (the reporting devices' logs exist). The
// time is from the first datagram sent to the end of the tick that
// committed the last; per_second is the rate sustained over it, lost what
// never arrived or was not accepted.
void BM_IngestSpreadOver1000Groups(benchmark::State& st) {
    constexpr int kSpreadDevices = 100000, kSpreadGroups = 1000, kReports = 10000, kRate = 5000;
    std::vector<int> devices;
    std::uint32_t seed = 12345;
    for (int i = 0; i < kReports; ++i) {
        seed = seed * 1664525u + 1013904223u;  // a fixed sequence, the same every run
        devices.push_back(int((seed >> 8) % kSpreadDevices));
    }
    Fixture fx(true, kSpreadDevices, kSpreadGroups, &devices);
    std::vector<Bytes> reports;
    for (int i = 0; i < kReports; ++i)
        reports.push_back(report(devices[std::size_t(i)], 1 + i % 15));
    fx.station->openStatusListenerOn(0, 0x7F000001);
    const std::uint16_t port = fx.station->listenerPort();
    std::size_t accepted = 0;
    double seconds = 0;
    for (auto _ : st) {
        const int fd = sender();
        const auto start = std::chrono::steady_clock::now();
        std::atomic<bool> sent{false};
        std::thread pace([&] {
            // 50 datagrams every 10 ms.
            for (int i = 0; i < kReports; ++i) {
                if (i % 50 == 0)
                    std::this_thread::sleep_until(
                        start + std::chrono::microseconds(std::int64_t(i) * 1000000 / kRate));
                sendTo(fd, port, reports[std::size_t(i)]);
            }
            sent = true;
        });
        auto last = start;
        while (accepted < std::size_t(kReports)) {
            const bool waiting = fx.station->waitForReport(std::chrono::milliseconds(100));
            const TickResult r = fx.station->tick();
            accepted += r.accepted;
            if (r.accepted > 0) last = std::chrono::steady_clock::now();
            if (!waiting && sent &&
                std::chrono::steady_clock::now() - last > std::chrono::seconds(2))
                break;  // the rest is lost
        }
        pace.join();
        ::close(fd);
        seconds = std::chrono::duration<double>(last - start).count();
        st.SetIterationTime(seconds);
    }
    st.counters["accepted"] = double(accepted);
    st.counters["lost"] = double(kReports) - double(accepted);
    st.counters["per_second"] = seconds > 0 ? double(accepted) / seconds : 0;
}
BENCHMARK(BM_IngestSpreadOver1000Groups)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The same bursts received by a bare loop that only takes the datagrams.
void BM_BareReceiveOverLoopback(benchmark::State& st) {
    UdpReceiver receiver;
    receiver.open(0, 0x7F000001);
    const std::uint16_t port = receiver.localPort();
    const int fd = sender();
    constexpr int kBurst = 2000;
    std::vector<Bytes> burst;
    for (int i = 0; i < kBurst; ++i) burst.push_back(report(i % kDevices, i % 16));
    std::uint8_t buf[1601];
    for (auto _ : st) {
        for (const Bytes& b : burst) sendTo(fd, port, b);
        int got = 0;
        std::size_t size = 0;
        while (got < kBurst) {
            const auto r = receiver.receive(buf, sizeof buf, size);
            if (r == UdpReceiver::Result::Datagram)
                ++got;
            else if (!receiver.waitReadable(200))
                break;
        }
    }
    ::close(fd);
    st.SetItemsProcessed(std::int64_t(st.iterations()) * kBurst);
}
BENCHMARK(BM_BareReceiveOverLoopback)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // Below the table: what the syncs add to a tick's commit.
    zelo::bench::FigureReporter reporter([](const zelo::bench::FigureReporter& r) {
        const double synced = r.micros("BM_TickCommitOfTenGroups/sync:1");
        const double unsynced = r.micros("BM_TickCommitOfTenGroups/sync:0");
        if (synced > 0 && unsynced > 0)
            std::printf(
                "one tick's commit of 10 groups of 1,000: %.2f ms synced, %.2f ms without the"
                " syncs (the syncs add %.2f ms)\n",
                synced / 1e3, unsynced / 1e3, (synced - unsynced) / 1e3);
    });
    return zelo::bench::runBenchmarks(argc, argv, reporter);
}
