// zeloctl commands that talk to devices: the open sequence with its readout
// (status), power commands (power) and the device's own settings
// (settings), over the same core calls the desktop program makes.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/cli.h"
#include "common/c_number.h"
#include "common/clock.h"
#include "common/format.h"
#include "common/text_encoding.h"
#include "connection/device_session.h"
#include "connection/device_settings.h"
#include "connection/framed_readout.h"
#include "connection/open_sequence.h"
#include "connection/power_control.h"

namespace zelo::cli {
namespace {

using Args = std::vector<std::string>;

// The device being handled for the length of a command: the Workspace's
// current device, closed when the command ends.
class DeviceLink {
public:
    DeviceLink(Session& s, std::uint32_t deviceId, bool restart)
        : s_(s), current_(s.workspace.current()), session(current_.session()) {
        s.frontend.restart = restart;
        current_.select(*s.directory.devices().find(deviceId));
    }
    ~DeviceLink() { current_.close(); }

    // The open sequence; an exit code other than 0 when it did not open.
    int open() { return outcome(current_.open()); }
    // The login alone (reset), as the control window's commands need it.
    int login() { return outcome(current_.login()); }

    bool framed() const { return dialectOf(session.record.modelCode) == Dialect::Framed; }

private:
    int outcome(OpenResult r) {
        switch (r) {
            case OpenResult::Opened:
                return kExitOk;
            case OpenResult::NeedsProperties:
                return s_.usage("the device has no address or port (see 'zeloctl set')");
            case OpenResult::NotSupported:  // message 193 is shown
            case OpenResult::Failed:
                return kExitFailed;
        }
        return kExitFailed;
    }

    Session& s_;
    CurrentDevice& current_;

public:
    DeviceSession& session;
};

std::optional<std::uint32_t> deviceArgument(Session& s, const std::string& arg) {
    const auto t = resolve(s, arg, false, true);
    if (!t) return std::nullopt;
    return t->id;
}

std::string masterText(const DeviceStatus& st) {
    return st.masterPresent && st.masterState >= 0 ? std::to_string(st.masterState) : "-";
}

// The outlet and master lines (or their JSON members, without braces).
void printOutlets(Session& s, const DeviceStatus& st, bool asJsonMembers) {
    const int n = std::min(st.outletCount, kMaxOutlets);
    if (asJsonMembers) {
        s.out << "\"outlets\":[";
        for (int i = 0; i < n; ++i) {
            const int state = st.outlets[static_cast<std::size_t>(i)].state;
            s.out << (i ? "," : "") << "{\"number\":" << i + 1 << ",\"state\":" << state
                  << ",\"on\":" << (outletCountsAsOn(state) ? "true" : "false") << "}";
        }
        const std::string master = masterText(st);
        s.out << "],\"master\":" << (master == "-" ? "null" : master);
        return;
    }
    for (int i = 0; i < n; ++i) {
        const int state = st.outlets[static_cast<std::size_t>(i)].state;
        printRow(s, {"outlet", std::to_string(i + 1), std::to_string(state),
                     outletCountsAsOn(state) ? "on" : "off"});
    }
    printRow(s, {"master", masterText(st)});
}

int status(Session& s, const Args& args) {
    if (args.size() != 1) return s.usage("usage: status DEVICE");
    const auto id = deviceArgument(s, args[0]);
    if (!id) return kExitUsage;
    DeviceLink link(s, *id, false);
    if (const int rc = link.open()) return rc;
    const DeviceSession& d = link.session;
    const DeviceStatus& st = d.status;
    const DeviceRecord& r = d.record;
    const std::string firmware = st.firmwareText.empty() ? st.settings.version : st.firmwareText;
    const std::string model = st.modelNameText.empty() ? st.settings.model : st.modelNameText;
    const std::vector<std::pair<std::string, std::string>> keys = {
        {"power", r.powerText},
        {"schedule", r.scheduleText},
        {"temperature", std::to_string(r.temperature)},
        {"temperatureState", std::to_string(r.temperatureState)},
        {"firmware", firmware},
        {"model", model},
        {"systemName", r.systemName},
        {"mac", r.macText}};
    if (s.json) {
        s.out << "{\"id\":" << r.deviceId << ",";
        printOutlets(s, st, true);
        for (const auto& [k, v] : keys)
            s.out << "," << jsonString(k) << ":" << jsonString(cp932ToUtf8(v));
        s.out << "}\n";
    } else {
        printOutlets(s, st, false);
        for (const auto& [k, v] : keys) s.out << k << "=" << cp932ToUtf8(v) << "\n";
    }
    return kExitOk;
}

int power(Session& s, const Args& args) {
    if (args.size() < 2) return s.usage("usage: power DEVICE CMD...");
    Args commands;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string c = args[i];
        for (char& ch : c)
            if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        if (!isPowerButtonText(c))
            return s.usage("'" + args[i] +
                           "' is not a power command (PON1..POR8, PON0, POF0, "
                           "POR0, MPON, MPOF)");
        commands.push_back(c);
    }
    const auto id = deviceArgument(s, args[0]);
    if (!id) return kExitUsage;
    DeviceLink link(s, *id, false);
    if (const int rc = link.login()) return rc;
    DeviceSession& d = link.session;
    int rc = kExitOk;
    std::size_t failed = 0;
    switch (runPowerCommands(d, commands, failed)) {
        case PowerRunResult::Done:
            break;
        case PowerRunResult::CommandFailed:
            s.err << "zeloctl: " << commands[failed] << ": the device did not take the command\n";
            rc = kExitFailed;
            break;
        case PowerRunResult::ReadBackFailed:
            return kExitFailed;
    }
    if (s.json) {
        s.out << "{";
        printOutlets(s, d.status, true);
        s.out << "}\n";
    } else {
        printOutlets(s, d.status, false);
    }
    return rc;
}

// A framed register named as "R230" (any case).
bool registerKey(const std::string& key, std::uint32_t& number) {
    if (key.size() < 2 || (key[0] != 'R' && key[0] != 'r')) return false;
    for (std::size_t i = 1; i < key.size(); ++i) {
        const char c = key[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    if (key.size() > 5) return false;
    number = parseCHex(key.substr(1));
    return true;
}

void printPairs(Session& s, const std::vector<std::pair<std::string, std::string>>& pairs) {
    if (s.json) {
        s.out << "{";
        for (std::size_t i = 0; i < pairs.size(); ++i)
            s.out << (i ? "," : "") << jsonString(pairs[i].first) << ":"
                  << jsonString(cp932ToUtf8(pairs[i].second));
        s.out << "}\n";
        return;
    }
    for (const auto& [k, v] : pairs) s.out << k << "=" << cp932ToUtf8(v) << "\n";
}

int settings(Session& s, const Args& args) {
    std::string device;
    bool restart = false;
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const std::string& a : args) {
        if (a == "--restart")
            restart = true;
        else if (device.empty())
            device = a;
        else {
            const std::size_t eq = a.find('=');
            if (eq == std::string::npos || eq == 0) return s.usage("'" + a + "' is not KEY=VALUE");
            pairs.push_back({a.substr(0, eq), utf8ToCp932(a.substr(eq + 1))});
        }
    }
    if (device.empty()) return s.usage("usage: settings DEVICE [KEY=VALUE...] [--restart]");
    const auto id = deviceArgument(s, device);
    if (!id) return kExitUsage;
    const int model = s.directory.devices().find(*id)->modelCode;
    const bool framed = dialectOf(model) == Dialect::Framed;

    // Every pair is checked before the device is called.
    DeviceSettings entered;
    for (const auto& [key, value] : pairs) {
        EntryResult r;
        std::uint32_t number = 0;
        if (framed) {
            r = registerKey(key, number) ? enterCenterRegister(entered, number, value)
                                         : EntryResult::UnknownKey;
        } else {
            r = enterSetting(entered, key, value);
        }
        switch (r) {
            case EntryResult::Ok:
                break;
            case EntryResult::UnknownKey:
                return s.usage("unknown setting '" + key + "'");
            case EntryResult::ReadOnly:
                return s.usage("'" + key + "' cannot be written");
            case EntryResult::BadValue:
                return s.usage("'" + key + "': malformed value");
        }
    }

    DeviceLink link(s, *id, restart);
    if (const int rc = link.open()) return rc;
    DeviceSession& d = link.session;
    DeviceSettings& st = d.status.settings;

    if (pairs.empty()) {
        std::vector<std::pair<std::string, std::string>> out;
        if (framed) {
            for (const auto& [number, value] : d.status.registers) {
                char key[8];
                std::snprintf(key, sizeof key, "R%X", static_cast<unsigned>(number));
                out.push_back({key, formatRegisterValue(value)});
            }
        } else {
            for (std::string_view key : settingKeys()) {
                if (key == "mailLogDisp") continue;
                std::string value = settingText(st, key);
                if (key == "sysName") value = d.workingPromptName;
                if (key == "ifPhysAddress") value = FormatMac(d.record.macText);
                out.push_back({std::string(key), value});
            }
        }
        printPairs(s, out);
        return kExitOk;
    }

    for (const auto& [key, value] : pairs) {
        std::uint32_t number = 0;
        if (framed && registerKey(key, number))
            enterCenterRegister(st, number, value);
        else
            enterSetting(st, key, value);
    }
    const bool failed = framed ? applyFramedSettings(d) : applyPlainSettings(d);
    std::vector<std::pair<std::string, std::string>> written;
    for (const std::string& w : st.written) {
        const std::size_t eq = w.find('=');
        written.push_back({w.substr(0, eq), w.substr(eq + 1)});
    }
    printPairs(s, written);
    std::string left;
    for (const std::string& k : st.changed) left += " " + k;
    for (std::size_t i = 0; i < st.centerRegisterChanged.size(); ++i)
        if (st.centerRegisterChanged[i]) left += " R" + std::to_string(230 + i);
    if (failed || !left.empty()) {
        s.err << "zeloctl: not written:" << (left.empty() ? " (the device refused)" : left) << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

std::vector<Command> connectionCommands() {
    return {
        {"status", "status DEVICE",
         "Opens the device as the desktop program does: logs in, reads the full\n"
         "framed status (or runs the plain start-up queries), saves the record's\n"
         "columns, then closes. Prints one line per outlet (outlet, number, state\n"
         "code, on/off), the master line (state or -), then power, schedule,\n"
         "temperature, temperatureState, firmware, model, systemName and mac as\n"
         "key=value lines. Exit 1 when the device cannot be opened; 2 when the\n"
         "device is unknown or has no address or port.",
         true, status},
        {"power", "power DEVICE CMD...",
         "Logs in and sends each power command as the control window's buttons\n"
         "do (PON1..POR8, PON0/POF0/POR0 for the whole unit, MPON/MPOF), then\n"
         "reads the outlet states back and prints the outlet and master lines of\n"
         "'status'. A refused command ends the list (exit 1).",
         true, power},
        {"settings", "settings DEVICE [KEY=VALUE...] [--restart]",
         "Without pairs: opens the device and prints its settings (plain\n"
         "devices: key=value; framed devices: Rxxx=value per register read).\n"
         "With pairs: sets them as changed and applies them in the device's\n"
         "fixed order, then WRITE (plain devices); framed devices take R230 to\n"
         "R235. Prints one key=value line per key written. A restart that the\n"
         "changes need is made only with --restart. Exit 1 when a key was not\n"
         "written.",
         true, settings},
    };
}

}  // namespace zelo::cli
