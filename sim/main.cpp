// zelo-sim: plays a fleet of power controllers on this machine.

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "sim/fleet.h"
#include "sim/server.h"

namespace {

const char kUsage[] =
    "usage: zelo-sim FLEETFILE [options]\n"
    "       zelo-sim --help\n"
    "\n"
    "Plays every power controller of FLEETFILE: each unit listens for its\n"
    "console on its own TCP port and sends its status reports over UDP to its\n"
    "monitoring station. The fleet file format is described in sim/README.md.\n"
    "\n"
    "options:\n"
    "  --station HOST:PORT  send every unit's reports there (overrides the file)\n"
    "  --interval SECONDS   report interval of every unit (0: only on changes)\n"
    "  --rate N             send N reports per second across the whole fleet\n"
    "  --bind ADDRESS       listen on ADDRESS (default: as the file says, else 127.0.0.1)\n"
    "  --control PORT       line-based control socket on 127.0.0.1:PORT (0: any free port)\n"
    "  --port-base N        units without a port take free ports from N upwards\n"
    "                       (much quicker than system-chosen ports for large fleets)\n"
    "  --stdin              read control commands from standard input too\n"
    "  --ports-file FILE    write one line per unit: NAME PORT MODEL, then CONTROL PORT\n"
    "  --quiet              do not list the units at start\n"
    "\n"
    "control commands (control socket or --stdin), one per line:\n"
    "  help | list | show DEV | outlet DEV N on|off | master DEV on|off\n"
    "  temp DEV DEGREES [STATE] | sensor DEV on|off | ping DEV N trip | ping DEV N STATE "
    "[REBOOTS]\n"
    "  offline DEV [refuse|silent] | online DEV | lock DEV on|off | fault DEV SPEC|none\n"
    "  report DEV | rate N | quit\n"
    "DEV is a unit's name or #INDEX. Every reply ends with a line OK or ERR reason.\n"
    "\n"
    "exit status: 0 after quit or SIGINT/SIGTERM, 1 when a port cannot be bound,\n"
    "2 for a bad option or fleet file.\n";

zelo::sim::SimServer* gServer = nullptr;

void onSignal(int) {
    if (gServer) gServer->stop();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string fleetFile, station, bind, portsFile;
    int interval = -1, rate = -1, controlPort = -1, portBase = 0;
    bool useStdin = false, quiet = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "zelo-sim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        // A whole decimal number from `lo` to `hi`, else a usage error.
        auto number = [&](long lo, long hi) -> int {
            const std::string v = value();
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || n < lo || n > hi) {
                std::fprintf(stderr, "zelo-sim: %s takes a number from %ld to %ld, not '%s'\n",
                             a.c_str(), lo, hi, v.c_str());
                std::exit(2);
            }
            return static_cast<int>(n);
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--station") {
            station = value();
            if (!zelo::sim::ValidStation(station)) {
                std::fprintf(stderr,
                             "zelo-sim: --station takes HOST:PORT (port 1 to 65535), not '%s'\n",
                             station.c_str());
                return 2;
            }
        } else if (a == "--interval")
            interval = number(0, 86400);
        else if (a == "--rate")
            rate = number(0, 1000000);
        else if (a == "--bind")
            bind = value();
        else if (a == "--control")
            controlPort = number(0, 65535);
        else if (a == "--port-base")
            portBase = number(1, 65535);
        else if (a == "--stdin")
            useStdin = true;
        else if (a == "--ports-file")
            portsFile = value();
        else if (a == "--quiet")
            quiet = true;
        else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "zelo-sim: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        } else if (fleetFile.empty())
            fleetFile = a;
        else {
            std::fprintf(stderr, "zelo-sim: one fleet file only\n");
            return 2;
        }
    }
    if (fleetFile.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    zelo::sim::Fleet fleet;
    std::string error;
    if (!zelo::sim::LoadFleetFile(fleetFile, fleet, error)) {
        std::fprintf(stderr, "zelo-sim: %s: %s\n", fleetFile.c_str(), error.c_str());
        return 2;
    }
    for (auto& d : fleet.devices) {
        if (!station.empty()) d.station = station;
        if (interval >= 0) d.intervalSeconds = interval;
        if (!bind.empty()) d.bindAddress = bind;
    }
    // One descriptor per unit and a few more.
    rlimit lim{};
    if (getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur < fleet.devices.size() + 64) {
        lim.rlim_cur = std::min<rlim_t>(lim.rlim_max, fleet.devices.size() + 1024);
        setrlimit(RLIMIT_NOFILE, &lim);
    }
    zelo::sim::ServerOptions options;
    options.controlPort = controlPort;
    options.portBase = portBase;
    if (rate >= 0) options.ratePerSecond = rate;
    if (!bind.empty()) options.reportBindAddress = bind;
    if (useStdin) {
        // Started in the background of a terminal, the simulator must not be
        // stopped by a read of it: the terminal is read only while it is
        // the foreground's, and a read that races a move to the background
        // fails instead of stopping the process.
        std::signal(SIGTTIN, SIG_IGN);
        options.commandFd = STDIN_FILENO;
        options.commandReply = [](const std::string& r) {
            std::fputs((r + "\n").c_str(), stdout);
            std::fflush(stdout);
        };
    }
    zelo::sim::SimServer server(std::move(fleet), options);
    if (!server.start(error)) {
        std::fprintf(stderr, "zelo-sim: %s\n", error.c_str());
        return 1;
    }
    if (!quiet) {
        for (std::size_t i = 0; i < server.deviceCount(); ++i) {
            const auto& d = server.device(i);
            std::printf("device %s model %d %s console %s:%d\n", d.name().c_str(), d.model(),
                        zelo::sim::ModelName(d.model()).c_str(), d.config().bindAddress.c_str(),
                        server.consolePort(i));
        }
        if (server.controlPort()) std::printf("control 127.0.0.1:%d\n", server.controlPort());
        std::printf("ready\n");
        std::fflush(stdout);
    }
    if (!portsFile.empty()) {
        std::ofstream f(portsFile + ".tmp");
        for (std::size_t i = 0; i < server.deviceCount(); ++i) {
            f << server.device(i).name() << " " << server.consolePort(i) << " "
              << server.device(i).model() << "\n";
        }
        if (server.controlPort()) f << "CONTROL " << server.controlPort() << "\n";
        f.close();
        std::rename((portsFile + ".tmp").c_str(), portsFile.c_str());
    }
    gServer = &server;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    server.run();
    gServer = nullptr;
    return 0;
}
