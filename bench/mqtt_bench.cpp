// What the MQTT forwarder costs the station, with 10,000 devices and a real
// mosquitto broker on loopback (started here, stopped at the end):
//   - ingest: bursts of 2,000 changing reports drained by listen's loop, by a
//     station without forwarding and one with --mqtt (and discovery), taking
//     turns in one run (A B B A): the wall-clock rate, and the rate per
//     CPU-second of the loop's thread, which is the station's capacity
//     whatever else the machine's cores run (the forwarder's own thread and
//     the broker among them). The loop's instructions per report are
//     counted by forward_tick_bench's station mode;
//   - latency: from a report sent to its state reaching a subscriber;
//   - outage: 30 s without the broker at 2,000 reports a second: reports
//     taken, the process's memory, and the time to republish afterwards.
// Plain program; the figures are printed, never asserted.
//   build/native/bench/mqtt_bench [ingest]   (ingest: the first part only)
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "app/workspace.h"
#include "bench/bench_fleet.h"
#include "forward/forwarding.h"
#include "tests/support/mqtt_broker_posix.h"

namespace zelo {
namespace {

using bench::fleetReport;

constexpr int kDevices = 10000;
constexpr int kGroups = 10;
constexpr int kBurst = 2000;

class Collect final : public DeviceView {
public:
    void recordChanged(const DeviceRecord&) override {}
    void outletsChanged(int) override {}
    void reportAccepted(const DeviceRecord& r) override { accepted.push_back(r); }
    std::vector<DeviceRecord> accepted;
};

// The station as zeloctl listen runs it, with or without the forwarder.
class Station {
public:
    Station(const std::string& dir, int brokerPort, const char* name = "bench")
        : network_(makeSystemNetwork()), ws_(dir, *network_, clock_, frontend_, view_) {
        bench::writeFleetDirectory(dir, kDevices, kGroups);
        ws_.load(false);
        ws_.station().openStatusListenerOn(0, 0x7F000001);
        if (brokerPort == 0) return;
        forward::ForwardingConfig config;
        config.options.mqtt =
            forward::BrokerAddress{false, "", "127.0.0.1", static_cast<std::uint16_t>(brokerPort)};
        config.options.haDiscovery = "homeassistant";
        config.station = name;
        forwarding_ = std::make_unique<forward::Forwarding>(std::move(config));
        forward::addForwarders(*forwarding_);
        std::string error;
        if (!forwarding_->start(
                ws_, [](const forward::CommandLine&) {},
                [](const std::string& line) { std::fprintf(stderr, "  (%s)\n", line.c_str()); },
                error))
            std::fprintf(stderr, "forwarding: %s\n", error.c_str());
    }
    ~Station() {
        if (forwarding_) forwarding_->stop();
    }
    std::uint16_t port() { return ws_.station().listenerPort(); }
    // One turn of listen's loop: what it accepted.
    std::size_t turn(int waitMs) {
        ws_.station().waitForReport(std::chrono::milliseconds(waitMs));
        view_.accepted.clear();
        ws_.tick();
        if (forwarding_) forwarding_->afterTick(view_.accepted);
        if (track && !view_.accepted.empty()) {
            std::lock_guard<std::mutex> lock(handedMutex);
            for (const DeviceRecord& r : view_.accepted) handed[r.deviceId] = test::steadyMs();
        }
        return view_.accepted.size();
    }
    // When each device's last report was committed and handed to the
    // forwarder (steady ms), while `track` is set.
    bool track = false;
    std::mutex handedMutex;
    std::map<std::uint32_t, std::int64_t> handed;

private:
    SystemClock clock_;
    SilentFrontend frontend_;
    Collect view_;
    std::unique_ptr<Network> network_;
    Workspace ws_;
    std::unique_ptr<forward::Forwarding> forwarding_;
};

class Sender {
public:
    Sender() : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {}
    ~Sender() { ::close(fd_); }
    void send(std::uint16_t port, const std::vector<std::uint8_t>& b) {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sa.sin_port = htons(port);
        ::sendto(fd_, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    }

private:
    int fd_;
};

std::int64_t steadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// CPU time of the calling thread, in ms: what the loop itself spent,
// whatever else the machine ran meanwhile.
double threadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Waits until this process's threads have gone quiet (the forwarder's
// thread done publishing): at most 5 s.
void settle() {
    auto processMs = [] {
        timespec t{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    };
    double last = processMs();
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // pacing, not a time-out
        const double now = processMs();
        if (now - last < 5) return;
        last = now;
    }
}

double rssMb() {
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / 1e6;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

int run(bool ingestOnly) {
    test::TempDir scratch;
    test::MqttBroker broker;
    std::string error;
    if (!broker.start(scratch, "", error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::string tmp = std::filesystem::temp_directory_path().string();
    Sender sender;
    int variant = 0;

    // ---- ingest, the two stations taking turns
    {
        Station plain(tmp + "/zelo-mqtt-bench-a/", 0);
        Station forwarded(tmp + "/zelo-mqtt-bench-b/", broker.port(), "ingest");
        // Its first publication of every device goes out before the rounds.
        for (int i = 0; i < 30; ++i) forwarded.turn(100);
        settle();
        // Rounds in the order A B B A, so that a machine getting busier or
        // quieter during the run falls on both alike; each burst is sent
        // first (not counted) and then drained by listen's turns, and the
        // next round waits until the forwarder's thread has published what
        // the last one changed.
        constexpr int kRounds = 32;
        std::vector<double> wall[2], cpu[2];
        std::size_t lost = 0;
        for (int round = 0; round < kRounds; ++round) {
            const int which = round % 4 == 0 || round % 4 == 3 ? 0 : 1;
            Station& s = which ? forwarded : plain;
            std::vector<std::vector<std::uint8_t>> burst;
            for (int i = 0; i < kBurst; ++i, ++variant)
                burst.push_back(fleetReport((variant * 7919) % kDevices, variant % 16));
            for (const auto& b : burst) sender.send(s.port(), b);
            const std::int64_t t0 = steadyUs();
            const double cpu0 = threadCpuMs();
            std::size_t got = 0;
            for (int idle = 0; got < kBurst && idle < 3;) {
                const std::size_t n = s.turn(100);
                got += n;
                idle = n ? 0 : idle + 1;
            }
            const double ms = double(steadyUs() - t0) / 1000.0, used = threadCpuMs() - cpu0;
            lost += kBurst - got;
            wall[which].push_back(double(got) * 1000.0 / ms);
            cpu[which].push_back(double(got) * 1000.0 / used);
            settle();
        }
        const double w0 = percentile(wall[0], 0.5), c0 = percentile(cpu[0], 0.5);
        const double w1 = percentile(wall[1], 0.5), c1 = percentile(cpu[1], 0.5);
        std::printf(
            "ingest, bursts of %d reports among %d devices, %d rounds each (A B B A), medians "
            "[middle half]:\n"
            "                      wall-clock rate                  per CPU-second of the loop\n",
            kBurst, kDevices, kRounds / 2);
        std::printf("  without forwarding  %6.0f/s [%6.0f..%6.0f]         %6.0f/s [%6.0f..%6.0f]\n",
                    w0, percentile(wall[0], 0.25), percentile(wall[0], 0.75), c0,
                    percentile(cpu[0], 0.25), percentile(cpu[0], 0.75));
        std::printf(
            "  with --mqtt         %6.0f/s [%6.0f..%6.0f] %4.0f%%   %6.0f/s [%6.0f..%6.0f] "
            "%4.0f%%\n",
            w1, percentile(wall[1], 0.25), percentile(wall[1], 0.75), 100 * w1 / w0, c1,
            percentile(cpu[1], 0.25), percentile(cpu[1], 0.75), 100 * c1 / c0);
        if (lost) std::printf("  (%zu reports of the bursts not taken)\n", lost);
    }

    for (const char* d : {"a", "b"}) std::filesystem::remove_all(tmp + "/zelo-mqtt-bench-" + d);
    if (ingestOnly) return 0;

    // ---- latency and the outage: listen's loop on a thread of its own
    Station station(tmp + "/zelo-mqtt-bench-c/", broker.port());
    station.track = true;
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> accepted{0};
    std::thread loop([&] {
        while (!stop) accepted += station.turn(100);
    });
    auto keyOf = [](int device) { return forward::deviceKey(std::uint32_t(device + 1)); };

    struct Arrivals {
        std::mutex m;
        std::condition_variable cv;
        std::map<std::string, std::int64_t> at;  // topic -> steady ms of its last message
        std::size_t states = 0;
    } arrivals;
    mosquitto_lib_init();
    mosquitto* sub = mosquitto_new(nullptr, true, &arrivals);
    mosquitto_message_callback_set(sub, [](mosquitto*, void* obj, const mosquitto_message* m) {
        auto* a = static_cast<Arrivals*>(obj);
        std::lock_guard<std::mutex> lock(a->m);
        a->at[m->topic] = test::steadyMs();
        ++a->states;
        a->cv.notify_all();
    });
    auto subscribe = [&] {
        mosquitto_connect(sub, "127.0.0.1", broker.port(), 30);
        mosquitto_subscribe(sub, nullptr, "zelo/bench/+/state", 0);
        mosquitto_loop_start(sub);
    };
    subscribe();
    // Until the first publication of every device is through.
    auto waitStates = [&](std::size_t n, int ms) {
        std::unique_lock<std::mutex> lock(arrivals.m);
        return arrivals.cv.wait_for(lock, std::chrono::milliseconds(ms),
                                    [&] { return arrivals.states >= n; });
    };
    const std::int64_t firstStart = test::steadyMs();
    waitStates(kDevices, 60000);
    std::printf("first publication of %d devices: %lld ms\n", kDevices,
                static_cast<long long>(test::steadyMs() - firstStart));

    std::vector<double> latencies, commits;
    for (int k = 0; k < 200; ++k, ++variant) {
        const int device = (k * 7919) % kDevices;
        const std::string topic = "zelo/bench/" + keyOf(device) + "/state";
        const std::int64_t t0 = test::steadyMs();
        sender.send(station.port(), fleetReport(device, variant % 16));
        std::unique_lock<std::mutex> lock(arrivals.m);
        if (arrivals.cv.wait_for(lock, std::chrono::seconds(2), [&] {
                const auto it = arrivals.at.find(topic);
                return it != arrivals.at.end() && it->second >= t0;
            }))
            latencies.push_back(double(arrivals.at[topic] - t0));
        lock.unlock();
        {
            std::lock_guard<std::mutex> handed(station.handedMutex);
            commits.push_back(double(station.handed[std::uint32_t(device + 1)] - t0));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(30));  // pacing, not a time-out
    }
    std::printf("report to subscriber: p50 %.0f ms, p99 %.0f ms, max %.0f ms (%zu of 200)\n",
                percentile(latencies, 0.5), percentile(latencies, 0.99), percentile(latencies, 1.0),
                latencies.size());
    std::printf("  of which the station's own commit: p50 %.0f ms, p99 %.0f ms\n",
                percentile(commits, 0.5), percentile(commits, 0.99));

    // 2,000 reports a second for a while: `samples` gets the memory at each
    // second; the reports sent are counted.
    std::uint64_t sent = 0;
    auto flow = [&](int seconds, std::vector<double>& samples) {
        const std::int64_t start = test::steadyMs();
        for (int slot = 0; slot < seconds * 10; ++slot) {  // 100 ms slots
            for (int i = 0; i < kBurst / 10; ++i, ++variant, ++sent)
                sender.send(station.port(), fleetReport((variant * 7919) % kDevices, variant % 16));
            if (slot % 10 == 9) samples.push_back(rssMb());
            const std::int64_t due = start + (slot + 1) * 100;
            std::this_thread::sleep_for(
                std::chrono::milliseconds(std::max<std::int64_t>(0, due - test::steadyMs())));
        }
    };
    // The same load with the broker there first, so that the outage's
    // figures start from the station's working size.
    std::vector<double> warm, outage;
    flow(10, warm);
    mosquitto_loop_stop(sub, true);
    broker.crash();
    const std::uint64_t acceptedBefore = accepted, sentBefore = sent;
    flow(30, outage);
    sent -= sentBefore;
    for (const std::int64_t end = test::steadyMs() + 5000;
         accepted - acceptedBefore < sent && test::steadyMs() < end;)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the last ticks drain
    std::printf(
        "10 s at 2000 reports/s with the broker: RSS %.1f MB after 1 s, %.1f MB after 10 s\n",
        warm.front(), warm.back());
    std::printf(
        "30 s broker outage at 2000 reports/s: %llu sent, %llu taken; "
        "RSS %.1f MB at 1 s, %.1f MB at 10 s, %.1f MB at 20 s, %.1f MB at 30 s\n",
        static_cast<unsigned long long>(sent),
        static_cast<unsigned long long>(accepted - acceptedBefore), outage[0], outage[9],
        outage[19], outage[29]);
    broker.restart();
    {
        std::lock_guard<std::mutex> lock(arrivals.m);
        arrivals.states = 0;
    }
    const std::int64_t back = test::steadyMs();
    subscribe();
    const bool all = waitStates(kDevices, 60000);
    std::printf("broker back: every device's state retained again after %lld ms%s\n",
                static_cast<long long>(test::steadyMs() - back), all ? "" : " (not all!)");
    stop = true;
    loop.join();
    mosquitto_loop_stop(sub, true);
    mosquitto_destroy(sub);
    std::filesystem::remove_all(tmp + "/zelo-mqtt-bench-c");
    return 0;
}

}  // namespace
}  // namespace zelo

int main(int argc, char** argv) {
    return zelo::run(argc > 1 && std::string(argv[1]) == "ingest");
}
