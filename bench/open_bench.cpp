// A full open (login and readout) of a simulated device over loopback: a
// framed device with firmware 3.29.05 (44 register ranges, 8 schedule
// ranges), one with firmware 3.14.11 (single registers) and a plain device
// (start-up queries with LIST). Each open is set against the sum of its
// round trips: the answers the simulator counted on the open's connection
// times the time of one round trip (the median of twenty) measured right
// afterwards on the same connection. The rest is what the client adds:
// parsing, the connect, waiting badly. Beside it: the simulator's own time
// answering, and the client's processor time (which on loopback includes
// the network stack's work for its sends).
//
// Figures are medians over the opens, and the fastest tenth of them too: on
// a machine shared with other work an open of a hundred round trips meets a
// moment when another program holds the processor far more often than one
// round trip does, and such an open waits milliseconds in a single call.
// The load average printed beside them says how shared the machine was.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <vector>

#include "common/frontend.h"
#include "connection/framed_readout.h"
#include "connection/open_sequence.h"
#include "settings/app_settings.h"
#include "sim/fleet.h"
#include "sim/server.h"
#include "tests/support/test_workspace.h"

namespace {

using namespace zelo;

// Counts the texts the client sends: one per command or login step.
class CountingStream final : public TcpStream {
public:
    CountingStream(std::unique_ptr<TcpStream> inner, long& sends)
        : inner_(std::move(inner)), sends_(sends) {}
    int send(const char* d, std::size_t n) noexcept override {
        ++sends_;
        return inner_->send(d, n);
    }
    int waitReadable(std::int64_t t) noexcept override { return inner_->waitReadable(t); }
    int recv(char* b, std::size_t n) noexcept override { return inner_->recv(b, n); }
    void shutdown(bool both) noexcept override { inner_->shutdown(both); }

private:
    std::unique_ptr<TcpStream> inner_;
    long& sends_;
};

class CountingNetwork final : public Network {
public:
    std::uint32_t lookupHost(const std::string& name) noexcept override {
        return inner_->lookupHost(name);
    }
    std::unique_ptr<TcpStream> connect(std::uint32_t a, std::uint16_t p,
                                       bool& created) noexcept override {
        auto s = inner_->connect(a, p, created);
        if (!s) return s;
        return std::make_unique<CountingStream>(std::move(s), sends);
    }
    long sends = 0;

private:
    std::unique_ptr<Network> inner_ = makeSystemNetwork();
};

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The processor time this thread has used, in seconds: its own code and the
// system's on its behalf (on loopback that includes the network stack).
double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// One open and the round trips measured after it on its connection.
struct Sample {
    double open = 0;        // wall time of the open, seconds
    double openCpu = 0;     // the client's processor time in it
    double answers = 0;     // round trips of the open, as the simulator counted them
    double serverOpen = 0;  // the simulator's time answering them
    double trip = 0;        // wall time of one round trip afterwards (the median)
    double tripCpu = 0;     // the client's processor time in one
    double serverTrip = 0;  // the simulator's time answering one
    double sends = 0;       // the texts the client sent in the open
    double sum() const { return answers * trip; }
};

// One figure over the samples at a fraction of their order (0.5: the
// median). The machine is shared: a mean would carry the moments another
// program had the processor, and an open of a hundred round trips meets
// such a moment more often than a single trip does.
double quantile(const std::vector<Sample>& samples, double (*figure)(const Sample&), double at) {
    std::vector<double> v;
    for (const Sample& s : samples) v.push_back(figure(s));
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(at * double(v.size() - 1) + 0.5)];
}

// The machine's load over the last minute, as the figures' context.
double loadAverage() {
    std::ifstream in("/proc/loadavg");
    double load = 0;
    in >> load;
    return load;
}

void run(const char* label, const char* fleetText, int model) {
    sim::Fleet fleet;
    std::string error;
    if (!sim::ParseFleet(fleetText, fleet, error)) {
        std::printf("fleet: %s\n", error.c_str());
        return;
    }
    sim::SimServer server(std::move(fleet));
    if (!server.start(error)) {
        std::printf("sim: %s\n", error.c_str());
        return;
    }
    server.startThread();

    CountingNetwork network;
    test::TestWorkspace w("unused/", network, test::Time::System);
    auto prepare = [&](DeviceSession& s) {
        s.record.modelCode = model;
        s.record.addressText = "127.0.0.1";
        s.record.port = static_cast<std::uint16_t>(server.consolePort(0));
        s.record.selectNumber = "00";
        s.record.prompt = "HX";
        s.record.password = model == 3 ? "7394" : "tavik";
        s.record.macText = "000000000000";
    };

    constexpr int kOpens = 50;
    constexpr int kTrips = 20;  // after each open, on its connection
    const bool framed = model == 3;
    int failures = 0;
    std::vector<Sample> samples;
    for (int i = 0; i < kOpens; ++i) {
        auto owned = w.ws.newSession(DeviceRecord{});
        DeviceSession& s = *owned;
        prepare(s);
        Sample m;
        const long sendsBefore = network.sends;
        const double c0 = threadSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        const bool isOpen = openDevice(s) == OpenResult::Opened;
        const auto t1 = std::chrono::steady_clock::now();
        const double c1 = threadSeconds();
        m.sends = double(network.sends - sendsBefore);
        // Counted before the answers' ends went out: complete once read.
        const sim::SimServer::ConsoleStats afterOpen = server.consoleStats(0);
        int tripFailures = 0;
        std::vector<double> trips;
        for (int k = 0; k < kTrips && isOpen; ++k) {
            const auto start = std::chrono::steady_clock::now();
            if (framed)
                tripFailures += s.queryFramed("MPOS", "MPOS") == StepResult::Failed;
            else
                tripFailures += s.queryPlain("TIME") == StepResult::Failed;
            trips.push_back(seconds(std::chrono::steady_clock::now() - start));
        }
        const double c2 = threadSeconds();
        const sim::SimServer::ConsoleStats afterTrips = server.consoleStats(0);
        s.connection.closeConnection();
        failures += tripFailures + !isOpen;
        const std::uint64_t tripAnswers = afterTrips.answers - afterOpen.answers;
        if (!isOpen || tripFailures || tripAnswers == 0) continue;
        m.open = seconds(t1 - t0);
        m.openCpu = c1 - c0;
        m.answers = double(afterOpen.answers);
        m.serverOpen = double(afterOpen.serverMicros) * 1e-6;
        // The connection's typical trip: one that another program held up
        // would stand for twenty.
        std::sort(trips.begin(), trips.end());
        m.trip = trips[trips.size() / 2];
        m.tripCpu = (c2 - c1) / double(trips.size());
        m.serverTrip =
            double(afterTrips.serverMicros - afterOpen.serverMicros) * 1e-6 / double(tripAnswers);
        samples.push_back(m);
    }
    server.stop();
    if (samples.empty()) {
        std::printf("%s: no open succeeded\n", label);
        return;
    }

    auto med = [&samples](double (*figure)(const Sample&)) {
        return quantile(samples, figure, 0.5);
    };
    auto ratio = [](const Sample& m) { return m.open / m.sum(); };
    const double typical = med(ratio);
    std::printf(
        "%-26s %6.3f ms per open = %4.2f x the sum of its round trips (%5.1f trips x %5.1f us);"
        " goal: within 1.5x; client share %5.1f%%; the fastest tenth of opens: %4.2f x\n"
        "%-26s   an open: %6.3f ms in the simulator's answers, %6.3f ms client processor time,"
        " %5.1f client sends; a round trip: %4.1f us in the simulator, %4.1f us client processor"
        " time; failures %d; medians of %zu opens, load average %.1f\n",
        label, med([](const Sample& m) { return m.open; }) * 1e3, typical,
        med([](const Sample& m) { return m.answers; }),
        med([](const Sample& m) { return m.trip; }) * 1e6, 100.0 * (1.0 - 1.0 / typical),
        quantile(samples, ratio, 0.1), "", med([](const Sample& m) { return m.serverOpen; }) * 1e3,
        med([](const Sample& m) { return m.openCpu; }) * 1e3,
        med([](const Sample& m) { return m.sends; }),
        med([](const Sample& m) { return m.serverTrip; }) * 1e6,
        med([](const Sample& m) { return m.tripCpu; }) * 1e6, failures, samples.size(),
        loadAverage());
}

}  // namespace

int main() {
    run("framed HX-7200 fw 3.29.05", "[hx]\nmodel = 3\nfirmware = 3.29.05\n", 3);
    run("framed HX-7200 fw 3.14.11", "[hx]\nmodel = 3\nfirmware = 3.14.11\n", 3);
    run("plain SWD-12K", "[swd]\nmodel = 11\n", 11);
    return 0;
}
