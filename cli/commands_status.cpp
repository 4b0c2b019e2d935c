// zeloctl commands of the status station.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ostream>

#include "cli/cli.h"
#include "cli/listen_forwarding.h"
#include "cli/platform.h"
#include "common/clock.h"
#include "common/format.h"
#include "common/frontend.h"
#include "common/text_encoding.h"
#include "status/status_station.h"

namespace zelo::cli {
namespace {

using Args = std::vector<std::string>;

// Set by a request to stop (cli/platform.h); the loop ends after the tick in
// progress, so every file it writes is complete.
volatile std::sig_atomic_t stopRequested = 0;

constexpr auto kTickPeriod = std::chrono::milliseconds(100);

bool parseNumber(const std::string& text, std::int64_t max, std::int64_t& out) {
    const std::int64_t v = parseInt(text);
    if (text.empty() || v < 0 || v > max) return false;
    out = v;
    return true;
}

int listen(Session& s, const Args& args) {
    std::int64_t port = s.settings.msrpPort, count = -1, seconds = -1;
    std::uint32_t address = 0;
    ListenForwarding forwarding;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--port" && hasValue) {
            if (!parseNumber(args[++i], 65535, port))
                return s.usage(s.say("--port takes 0..65535", "--port は 0..65535 です"));
        } else if (a == "--count" && hasValue) {
            if (!parseNumber(args[++i], 0xFFFFFFFFLL, count) || count == 0)
                return s.usage(
                    s.say("--count takes a number above 0", "--count は 0 より大きい数です"));
        } else if (a == "--seconds" && hasValue) {
            if (!parseNumber(args[++i], 0xFFFFFFFFLL, seconds))
                return s.usage(
                    s.say("--seconds takes a number of seconds", "--seconds は秒数です"));
        } else if (a == "--bind" && hasValue) {
            address = parseIp(args[++i]);
            if (address == 0)
                return s.usage(s.say("--bind takes a dotted IPv4 address",
                                     "--bind はドット区切りの IPv4 アドレスです"));
        } else {
            // The forwarding options (MQTT, metrics) where the build has them.
            int rc = kExitOk;
            if (forwarding.parse(s, args, i, rc)) continue;
            if (rc != kExitOk) return rc;
            return s.usageOf("listen");
        }
    }
    // The forwarders start before anything is received: a bad group or a
    // port in use ends the command first.
    if (const int rc = forwarding.start(s)) return rc;

    // The handlers come first: a stop requested as soon as the port is
    // announced must end the loop in order, not kill the process.
    stopRequested = 0;
    const StopRequests stops(stopRequested);

    StatusStation& station = s.workspace.station();
    if (!station.openStatusListenerOn(static_cast<std::uint16_t>(port), address)) {
        char where[24];
        std::snprintf(where, sizeof where, "%u.%u.%u.%u:%u", address >> 24, (address >> 16) & 255,
                      (address >> 8) & 255, address & 255, static_cast<unsigned>(port));
        s.err << "zeloctl: " << s.say("cannot listen on UDP port ", "UDP ポートで受信できません: ")
              << port << " (" << where << ": " << station.listenerError() << ")\n";
        return kExitFailed;
    }
    s.err << "zeloctl: listening on UDP port " << station.listenerPort() << std::endl;

    std::vector<DeviceRecord> accepted;
    s.view.accepted = &accepted;
    std::size_t total = 0;
    bool firstJson = true;
    if (s.json) s.out << "[";
    auto print = [&](const DeviceRecord& r) {
        if (s.json) {
            s.out << (firstJson ? "" : ",") << "{\"id\":" << r.deviceId
                  << ",\"name\":" << jsonString(cp932ToUtf8(r.name))
                  << ",\"power\":" << jsonString(cp932ToUtf8(r.powerText))
                  << ",\"schedule\":" << jsonString(cp932ToUtf8(r.scheduleText))
                  << ",\"ping\":" << jsonString(cp932ToUtf8(r.pingText))
                  << ",\"temperature\":" << r.temperature
                  << ",\"temperatureState\":" << r.temperatureState << "}";
            firstJson = false;
        } else {
            printRow(s, {std::to_string(r.deviceId), cp932ToUtf8(r.name), cp932ToUtf8(r.powerText),
                         cp932ToUtf8(r.scheduleText), cp932ToUtf8(r.pingText),
                         std::to_string(r.temperature), std::to_string(r.temperatureState)});
        }
    };

    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::seconds(seconds < 0 ? 0 : seconds);
    while (!stopRequested) {
        auto wait = kTickPeriod;
        if (seconds >= 0) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) break;
            wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(
                                      deadline - now + std::chrono::milliseconds(1)));
        }
        // Block until a report waits (or the tick period passes), then run
        // the same tick as the desktop program's timer.
        station.waitForReport(wait);
        const std::size_t limit = count < 0 ? SIZE_MAX : static_cast<std::size_t>(count) - total;
        accepted.clear();
        station.tick(limit);
        for (const DeviceRecord& r : accepted) print(r);
        forwarding.afterTick(accepted);
        total += accepted.size();
        if (!s.json) s.out.flush();
        if (count >= 0 && total >= static_cast<std::size_t>(count)) break;
    }
    station.closeStatusListener();
    forwarding.stop();
    for (const auto& [sender, n] : s.view.ignored)
        s.err << "zeloctl: "
              << (s.settings.language == Language::Japanese
                      ? sender + " からのレポート " + std::to_string(n) +
                            " 件を無視しました: ディレクトリにこのデバイスはありません"
                      : "ignored " + std::to_string(n) + (n == 1 ? " report" : " reports") +
                            " from " + sender + ": no device of the directory has it")
              << "\n";
    if (s.json) s.out << "]\n";
    s.out.flush();
    return kExitOk;
}

}  // namespace

std::vector<Command> statusCommands() {
    // The forwarding options join the synopsis and help where the build has
    // them.
    static const std::string synopsis =
        std::string("listen [--port P] [--count N] [--seconds S] [--bind ADDRESS]") +
        (*ListenForwarding::synopsis() ? std::string(" ") + ListenForwarding::synopsis()
                                       : std::string());
    static const std::string help =
        std::string(
            "Runs the status station: receives the devices' status reports on UDP,\n"
            "decodes them and commits each to the device's record, item file and\n"
            "event log as the desktop program does. Default port: MSRPport of\n"
            "ZELO.INI (MSRPenable is not consulted: the command asks for the\n"
            "listener). Ends after N accepted reports, after S seconds, or on\n"
            "SIGINT/SIGTERM (on Windows Ctrl+C, Ctrl+Break or the console's close),\n"
            "with every file complete. --bind limits the listener to one local\n"
            "address. Holds the data directory's lock for its run: commands that\n"
            "write to it are refused meanwhile; reading ones still work.\n"
            "Prints per accepted report: deviceId, name, power, schedule, ping,\n"
            "temperature, temperature state (TAB-separated; with --json one array\n"
            "at the end).") +
        (*ListenForwarding::help() ? std::string("\n\n") + ListenForwarding::help()
                                   : std::string());
    return {
        {"listen", synopsis.c_str(), help.c_str(), true, listen},
    };
}

}  // namespace zelo::cli
