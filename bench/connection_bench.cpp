// Logging in to a simulated device over loopback, 100 times: the time per
// login and the CPU time the client spends meanwhile (it should sleep while
// it waits for the device, not spin).
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "connection/device_session.h"
#include "settings/app_settings.h"
#include "sim/fleet.h"
#include "sim/server.h"
#include "tests/support/test_workspace.h"

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void run(const char* label, const char* fleetText, int model, bool plain) {
    using namespace zelo;
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

    test::TestWorkspace w("unused/", test::Net::System, test::kWorkspaceNow, test::Time::System);
    constexpr int kLogins = 100;
    int failures = 0;
    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kLogins; ++i) {
        auto owned = w.ws.newSession(DeviceRecord{});
        DeviceSession& s = *owned;
        s.record.modelCode = model;
        s.record.addressText = "127.0.0.1";
        s.record.port = static_cast<std::uint16_t>(server.consolePort(0));
        s.record.selectNumber = "00";
        s.record.prompt = "HX";
        s.record.password = plain ? "tavik" : "7394";
        const StepResult login = plain ? s.loginPlain(true) : s.loginFramed(true);
        failures += login == StepResult::Failed;
        s.connection.closeConnection();
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpuSeconds() - cpu0;
    server.stop();
    std::printf(
        "%-28s %d logins, %d failed: %.3f ms per login, client CPU %.3f ms per login "
        "(%.1f%% of the wall time)\n",
        label, kLogins, failures, wall * 1000 / kLogins, cpu * 1000 / kLogins, 100 * cpu / wall);
}

}  // namespace

int main() {
    run("framed (prompt at once)", "[hx]\nmodel = 3\n", 3, false);
    run("framed (slow device, 20 ms)", "[hx]\nmodel = 3\nfaults = slow:20\n", 3, false);
    run("plain", "[pdu]\nmodel = 11\n", 11, true);
    return 0;
}
