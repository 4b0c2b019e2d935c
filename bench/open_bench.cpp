// A full open (login and readout) of a simulated device over loopback: a
// framed device with firmware 3.29.05 (44 register ranges, 8 schedule
// ranges) and a plain device (start-up queries with LIST). Printed next to
// the sum of the round trips the open makes: the commands it sends times
// the time of one command round trip on an open connection. The difference
// is what the client adds (parsing, saving the record, waiting badly).
#include <chrono>
#include <cstdio>
#include <memory>

#include "app/app_settings.h"
#include "app/frontend.h"
#include "connection/framed_readout.h"
#include "connection/open_sequence.h"
#include "sim/fleet.h"
#include "sim/server.h"

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
    SystemClock clock;
    SilentFrontend frontend;
    AppSettings settings("unused.ini");
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
    int failures = 0;
    network.sends = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kOpens; ++i) {
        DeviceSession s(network, clock, frontend, settings, nullptr);
        DeviceReplies replies(s);
        prepare(s);
        failures += openDevice(s) != OpenResult::Opened;
        s.connection.closeConnection();
    }
    const double perOpen = seconds(std::chrono::steady_clock::now() - t0) / kOpens;
    const double sendsPerOpen = double(network.sends) / kOpens;

    // One command's round trip on an open connection.
    constexpr int kTrips = 500;
    DeviceSession s(network, clock, frontend, settings, nullptr);
    DeviceReplies replies(s);
    prepare(s);
    const bool framed = model == 3;
    if (framed ? s.loginFramed(true) : s.loginPlain(true)) {
        std::printf("%s: login failed\n", label);
        server.stop();
        return;
    }
    const auto t1 = std::chrono::steady_clock::now();
    for (int i = 0; i < kTrips; ++i) {
        if (framed)
            failures += s.sendFramedCommand("MPOS", true) || s.awaitFramedReply("MPOS");
        else
            failures += s.sendPlainCommand("TIME") || s.awaitPlainPrompt();
    }
    const double trip = seconds(std::chrono::steady_clock::now() - t1) / kTrips;
    s.connection.closeConnection();
    server.stop();

    std::printf(
        "%-28s %8.3f ms per open  %6.1f sends  x %6.1f us per round trip = %8.3f ms"
        "  (client share %5.1f%%)  failures %d\n",
        label, perOpen * 1e3, sendsPerOpen, trip * 1e6, sendsPerOpen * trip * 1e3,
        100.0 * (1.0 - sendsPerOpen * trip / perOpen), failures);
}

}  // namespace

int main() {
    run("framed HX-7200 fw 3.29.05", "[hx]\nmodel = 3\nfirmware = 3.29.05\n", 3);
    run("framed HX-7200 fw 3.14.11", "[hx]\nmodel = 3\nfirmware = 3.14.11\n", 3);
    run("plain SWD-12K", "[swd]\nmodel = 11\n", 11);
    return 0;
}
