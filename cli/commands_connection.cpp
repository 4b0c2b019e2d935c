// zeloctl commands that talk to devices: the open sequence with its readout
// (status), power commands (power) and the device's own settings
// (settings), over the same core calls the desktop program makes.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/cli.h"
#include "common/c_number.h"
#include "common/clock.h"
#include "common/format.h"
#include "common/scan.h"
#include "common/text_encoding.h"
#include "connection/device_session.h"
#include "connection/device_settings.h"
#include "connection/framed_readout.h"
#include "connection/open_sequence.h"
#include "connection/power_control.h"
#include "directory/model_table.h"
#include "settings/profile_file.h"

namespace zelo::cli {
namespace {

using Args = std::vector<std::string>;

// A telnetPort written without a restart: the port the device moves to at
// its next restart, kept in ZELO.INI's [PendingPort] under the device's id
// until the device is found there (0: none).
constexpr const char* kPendingSection = "PendingPort";

int pendingPort(const Session& s, std::uint32_t deviceId) {
    const std::int64_t port = parseInt(
        readProfileString(s.settings.iniPath, kPendingSection, std::to_string(deviceId), ""));
    return port > 0 && port <= 65535 ? static_cast<int>(port) : 0;
}

void setPendingPort(Session& s, std::uint32_t deviceId, int port) {
    if (pendingPort(s, deviceId) == port) return;
    if (!writeProfileString(s.settings.iniPath, kPendingSection, std::to_string(deviceId),
                            port ? std::to_string(port) : std::string()))
        s.err << "zeloctl: " << s.say("ZELO.INI could not be written", "ZELO.INI を書き込めません")
              << "\n";
}

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
    int open() {
        return outcome(viaPendingPort([this] { return current_.open(); }));
    }
    // The login alone (reset), as the control window's commands need it.
    int login() {
        return outcome(viaPendingPort([this] { return current_.login(); }));
    }

    bool framed() const { return dialectOf(session.record.modelCode) == Dialect::Framed; }

private:
    // A device that was given a new port may have restarted on it: when the
    // stored port cannot be connected to, the new one is tried, and the
    // record takes it once the device answers there.
    OpenResult viaPendingPort(const std::function<OpenResult()>& attempt) {
        const std::uint32_t id = session.record.deviceId;
        const int pending = pendingPort(s_, id);
        if (pending == 0) return attempt();
        s_.frontend.hold = true;
        OpenResult r = attempt();
        if (r == OpenResult::Failed &&
            s_.frontend.heldIds == std::vector<Text>{Text::CannotConnect}) {
            const std::uint16_t stored = session.record.port;
            session.record.port = static_cast<std::uint16_t>(pending);
            std::vector<std::string> first;
            first.swap(s_.frontend.held);
            s_.frontend.heldIds.clear();
            r = attempt();
            if (r == OpenResult::Opened) {
                session.saveRecord();
                setPendingPort(s_, id, 0);
                s_.err << "zeloctl: "
                       << s_.say("the device answers on its new port ", "デバイスは新しいポート ")
                       << pending << s_.say(" (was ", " で応答しました (以前は ") << stored
                       << s_.say("), which is stored now", ")。このポートを保存しました") << "\n";
            } else {
                // Neither port answered: both attempts are told.
                session.record.port = stored;
                s_.frontend.held.insert(s_.frontend.held.begin(), first.begin(), first.end());
            }
        } else if (r == OpenResult::Opened && session.status.settings.telnetPort > 0 &&
                   session.status.settings.telnetPort != pending) {
            setPendingPort(s_, id, 0);  // the device no longer means to move
        }
        s_.frontend.release();
        return r;
    }

    int outcome(OpenResult r) {
        switch (r) {
            case OpenResult::Opened:
                return kExitOk;
            case OpenResult::NeedsProperties:
                return s_.usage(
                    s_.say("the device has no address or port (see 'zeloctl set')",
                           "デバイスにアドレスまたはポートがありません ('zeloctl set' を参照)"));
            case OpenResult::NotSupported:  // NotSupported is shown
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
    const int n = shownOutletCount(st.outletCount);
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
    if (args.size() != 1) return s.usageOf("status");
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
            s.out << "," << jsonString(k) << ":"
                  << (k == "temperature" || k == "temperatureState" ? v
                                                                    : jsonString(cp932ToUtf8(v)));
        s.out << "}\n";
    } else {
        printOutlets(s, st, false);
        for (const auto& [k, v] : keys) s.out << k << "=" << cp932ToUtf8(v) << "\n";
    }
    return kExitOk;
}

int power(Session& s, const Args& args) {
    if (args.size() < 2) return s.usageOf("power");
    Args commands;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string c = asciiUpper(args[i]);
        if (!isPowerButtonText(c))
            return s.usage("'" + args[i] +
                           s.say("' is not a power command", "' は電源コマンドではありません") +
                           " (PON1..POR8, PON0, POF0, POR0, MPON, MPOF)");
        commands.push_back(c);
    }
    const auto id = deviceArgument(s, args[0]);
    if (!id) return kExitUsage;
    // A unit without a master switch takes MPON/MPOF for every outlet at
    // once; the control window offers no master buttons for it.
    const int model = s.directory.devices().find(*id)->modelCode;
    for (const std::string& c : commands)
        if ((c == "MPON" || c == "MPOF") && !isPromptModel(model))
            return s.usage(c + ": " + args[0] + " (" + std::string(modelInfo(model).displayText) +
                           s.say(") has no master switch; it would switch every outlet (PON0/POF0 "
                                 "do that by name)",
                                 ") にはマスタースイッチがありません。すべてのコンセントが切り替わ"
                                 "ります (それには PON0/POF0 を使ってください)"));
    DeviceLink link(s, *id, false);
    if (const int rc = link.login()) return rc;
    DeviceSession& d = link.session;
    int rc = kExitOk;
    std::size_t failed = 0;
    switch (runPowerCommands(d, commands, failed)) {
        case PowerRunResult::Done:
            break;
        case PowerRunResult::CommandFailed:
            s.err << "zeloctl: " << commands[failed] << ": "
                  << s.say("the device did not take the command",
                           "デバイスがコマンドを受け付けませんでした")
                  << "\n";
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

// What the report registers that zeloctl writes hold, as the control
// window's report fields edit them.
std::string registerName(const std::string& key) {
    static const std::pair<const char*, const char*> names[] = {{"R230", "report enable"},
                                                                {"R231", "report address"},
                                                                {"R232", "report port"},
                                                                {"R233", "report interval"}};
    for (const auto& [k, name] : names)
        if (key == k) return name;
    return {};
}

// Text lines name the report registers beside their numbers
// ("R230 (report enable)=1"); JSON keeps the bare keys.
void printPairs(Session& s, const std::vector<std::pair<std::string, std::string>>& pairs) {
    if (s.json) {
        s.out << "{";
        for (std::size_t i = 0; i < pairs.size(); ++i)
            s.out << (i ? "," : "") << jsonString(pairs[i].first) << ":"
                  << jsonString(cp932ToUtf8(pairs[i].second));
        s.out << "}\n";
        return;
    }
    for (const auto& [k, v] : pairs) {
        const std::string name = registerName(k);
        s.out << k << (name.empty() ? "" : " (" + name + ")") << "=" << cp932ToUtf8(v) << "\n";
    }
}

// A register's key as zeloctl prints it: "R" and its number in hex.
std::string registerKeyText(std::uint32_t number) {
    char key[12];
    std::snprintf(key, sizeof key, "R%X", static_cast<unsigned>(number));
    return key;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Every pair is checked before the device is called: 0, or the usage exit
// code with the message printed.
int checkEntries(Session& s, const Pairs& pairs, bool framed) {
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
                return s.usage(s.say("unknown setting '", "不明な設定 '") + key + "'");
            case EntryResult::ReadOnly:
                return s.usage("'" + key + s.say("' cannot be written", "' は書き込めません"));
            case EntryResult::BadValue:
                return s.usage("'" + key +
                               s.say("': malformed value", "': 値の形が正しくありません"));
        }
    }
    return 0;
}

// "--restart" alone: the device restarts with what it holds, and a port
// given to it before is where it listens from now on.
int restartOnly(Session& s, DeviceSession& d, std::uint32_t id, const std::string& device,
                bool framed) {
    const std::int64_t next = d.status.settings.telnetPort;
    const std::uint16_t storedPort = d.record.port;
    const int pending = pendingPort(s, id);
    restartDevice(d);
    s.err << "zeloctl: " << s.say("the device restarts", "デバイスを再起動します") << "\n";
    if (pending && pending != storedPort) {
        d.record.port = static_cast<std::uint16_t>(pending);
        d.saveRecord();
        s.err << "zeloctl: " << s.say("the stored port is now ", "保存したポートは ") << pending
              << s.say(" (was ", " になりました (以前は ") << storedPort << ")\n";
    } else if (!framed && next > 0 && next != storedPort) {
        s.err << "zeloctl: " << s.say("its telnetPort is ", "デバイスの telnetPort は ") << next
              << s.say(", the stored port ", "、保存したポートは ") << storedPort
              << s.say(": once it answers there, ", "です。そのポートで応答したら ")
              << "'zeloctl set " << device << " port=" << next << "'\n";
    }
    setPendingPort(s, id, 0);
    return kExitOk;
}

// No pairs: what the device reported at login.
void printSettings(Session& s, const DeviceSession& d, bool framed) {
    Pairs out;
    if (framed) {
        for (const auto& [number, value] : d.status.registers)
            out.push_back({registerKeyText(number), formatRegisterValue(value)});
    } else {
        for (std::string_view key : settingKeys()) {
            if (key == "mailLogDisp") continue;
            std::string value = settingText(d.status.settings, key);
            if (key == "sysName") value = d.workingPromptName;
            if (key == "ifPhysAddress") value = formatMac(d.record.macText);
            out.push_back({std::string(key), value});
        }
    }
    printPairs(s, out);
}

// Without --restart the device holds the new values but runs on the old
// ones until it restarts; the stored port stays the one it listens on.
void tellRestartNeeded(Session& s, const Pairs& written, std::uint16_t storedPort,
                       const std::string& device, bool framed) {
    for (const auto& [key, value] : written) {
        if (!framed && !settingRestartsDevice(key)) continue;
        s.err << "zeloctl: " << key << ": "
              << s.say("takes effect at the device's restart", "デバイスの再起動で有効になります");
        if (key == "telnetPort")
            s.err << s.say("; the stored port stays ", "。それまで保存したポートは ") << storedPort
                  << s.say(" until then (a command that finds no device there tries ",
                           " のままです (そこで応答がなければ次のコマンドは ")
                  << value << s.say(")", " を試します)");
        s.err << " ('zeloctl settings " << device << " --restart'"
              << s.say(" restarts it)", " で再起動)") << "\n";
    }
}

// The changed keys and registers the apply left unwritten, each after a
// blank.
std::string unwrittenKeys(const DeviceSettings& st) {
    std::string left;
    for (const std::string& k : st.changed) left += " " + k;
    for (std::size_t i = 0; i < st.centerRegisterChanged.size(); ++i)
        if (st.centerRegisterChanged[i])
            left += " " + registerKeyText(kCenterRegisterFirst + static_cast<std::uint32_t>(i));
    return left;
}

int settings(Session& s, const Args& args) {
    std::string device;
    bool restart = false;
    Pairs pairs;
    for (const std::string& a : args) {
        if (a == "--restart")
            restart = true;
        else if (device.empty())
            device = a;
        else {
            const std::size_t eq = a.find('=');
            if (eq == std::string::npos || eq == 0)
                return s.usage("'" + a +
                               s.say("' is not KEY=VALUE", "' は KEY=VALUE の形ではありません"));
            pairs.push_back({a.substr(0, eq), utf8ToCp932(a.substr(eq + 1))});
        }
    }
    if (device.empty()) return s.usageOf("settings");
    const auto id = deviceArgument(s, device);
    if (!id) return kExitUsage;
    const int model = s.directory.devices().find(*id)->modelCode;
    const bool framed = dialectOf(model) == Dialect::Framed;
    if (const int rc = checkEntries(s, pairs, framed)) return rc;

    DeviceLink link(s, *id, restart);
    if (const int rc = link.open()) return rc;
    DeviceSession& d = link.session;
    DeviceSettings& st = d.status.settings;
    if (pairs.empty() && restart) return restartOnly(s, d, *id, device, framed);
    if (pairs.empty()) {
        printSettings(s, d, framed);
        return kExitOk;
    }

    // Each pair was checked above: entering it again cannot fail.
    for (const auto& [key, value] : pairs) {
        std::uint32_t number = 0;
        static_cast<void>(framed && registerKey(key, number)
                              ? enterCenterRegister(st, number, value)
                              : enterSetting(st, key, value));
    }
    const std::uint16_t storedPort = d.record.port;
    const StepResult applied = framed ? applyFramedSettings(d) : applyPlainSettings(d);
    Pairs written;
    for (const std::string& w : st.written) {
        const std::size_t eq = w.find('=');
        written.push_back({w.substr(0, eq), w.substr(eq + 1)});
    }
    printPairs(s, written);
    for (const auto& [key, value] : written) {
        if (key != "telnetPort") continue;
        setPendingPort(s, *id, st.restartNeeded ? static_cast<int>(st.telnetPort) : 0);
    }
    if (st.restartNeeded) tellRestartNeeded(s, written, storedPort, device, framed);
    const std::string left = unwrittenKeys(st);
    if (applied == StepResult::Failed || !left.empty()) {
        if (left.empty())
            s.err << "zeloctl: "
                  << s.say("not written: the device refused the keys",
                           "書き込めませんでした: デバイスが拒否しました")
                  << "\n";
        else
            s.err << "zeloctl: " << s.say("not written:", "書き込めませんでした:") << left
                  << s.say(
                         " (the device did not take the first of them in the apply order, or "
                         "the connection was lost, and the apply stopped there)",
                         " (書き込み順で最初のキーをデバイスが受け付けなかったか、接続が切れたた"
                         "め、そこで中止しました)")
                  << "\n";
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
         "do (PON1..POR8, PON0/POF0/POR0 for the whole unit, MPON/MPOF for the\n"
         "master switch of HX-7200 and JB-81K: refused, exit 2, for models without\n"
         "one), then\n"
         "reads the outlet states back and prints the outlet and master lines of\n"
         "'status'. A refused command ends the list (exit 1).",
         true, power},
        {"settings", "settings DEVICE [KEY=VALUE...] [--restart]",
         "Without pairs: opens the device and prints its settings (plain\n"
         "devices: key=value; framed devices: Rxxx=value per register read).\n"
         "With pairs: sets them as changed and applies them in the device's\n"
         "fixed order, then WRITE (plain devices); framed devices take R230 to\n"
         "R235. Prints one key=value line per key written. A restart that the\n"
         "changes need is made only with --restart; without it, each key that\n"
         "waits for the restart is named on stderr, and a new telnetPort is stored\n"
         "as the device's port only with the restart (until then the device still\n"
         "listens on the old one; a later command that cannot connect to the old\n"
         "port tries the new one and stores it when the device answers there).\n"
         "--restart alone restarts the device (and stores a new port given\n"
         "before). Framed report registers are printed with their names: R230\n"
         "(report enable), R231 (report address), R232 (report port), R233\n"
         "(report interval).\n"
         "Exit 1 when a key was not written.",
         true, settings},
    };
}

}  // namespace zelo::cli
