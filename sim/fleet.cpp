#include "sim/fleet.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>

namespace zelo::sim {
namespace {

std::string trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

std::vector<std::string> splitList(std::string_view s, char sep = ',') {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(sep, start);
        out.push_back(trim(s.substr(start, p == std::string_view::npos ? s.npos : p - start)));
        if (p == std::string_view::npos) break;
        start = p + 1;
    }
    return out;
}

bool parseLong(std::string_view s, long& out) {
    std::string t = trim(s);
    if (t.empty()) return false;
    char* end = nullptr;
    out = std::strtol(t.c_str(), &end, 10);
    return *end == '\0';
}

bool parseBool(std::string_view s, bool& out) {
    std::string t = trim(s);
    for (auto& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (t == "yes" || t == "on" || t == "1" || t == "true") return out = true, true;
    if (t == "no" || t == "off" || t == "0" || t == "false") return out = false, true;
    return false;
}

// Hundredths from "23.5", "-4.25", "23".
bool parseHundredths(std::string_view s, int& out) {
    std::string t = trim(s);
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (t.empty() || *end != '\0') return false;
    out = static_cast<int>(v * 100.0 + (v < 0 ? -0.5 : 0.5));
    return true;
}

// One value per outlet; a single value stands for every outlet.
bool parseIntList(std::string_view s, std::vector<int>& out) {
    out.clear();
    for (const auto& item : splitList(s)) {
        long v;
        if (!parseLong(item, v)) return false;
        out.push_back(static_cast<int>(v));
    }
    return true;
}

void applyModelDefaults(DeviceConfig& c) {
    if (IsFramedModel(c.model)) {
        c.password = "7394";
        c.prompt = c.model == 3 ? "HX" : "JB";
        c.firmware = c.model == 3 ? "3.14.12" : "3.29.05";
        c.outlets = c.model == 3 ? 4 : 3;
        c.master = true;
        c.layout = ReportLayout::Element;
    } else {
        c.password = "tavik";
        c.firmware = "2.01a.0012";
        c.outlets = 4;
        c.master = false;
        c.layout = c.model >= 11  ? ReportLayout::Element
                   : c.model <= 7 ? ReportLayout::Short
                                  : ReportLayout::Table;
    }
}

using KeyValues = std::vector<std::pair<std::string, std::pair<int, std::string>>>;

bool applyKey(DeviceConfig& c, const std::string& key, const std::string& value, std::string& why) {
    long n = 0;
    bool b = false;
    auto needLong = [&](long lo, long hi) {
        if (!parseLong(value, n) || n < lo || n > hi) {
            why = "bad number for " + key;
            return false;
        }
        return true;
    };
    auto needBool = [&]() {
        if (!parseBool(value, b)) {
            why = "expected yes or no for " + key;
            return false;
        }
        return true;
    };
    if (key == "model" || key == "count" || key == "rate") return true;  // handled by the caller
    if (key == "address" || key == "bind") {
        c.bindAddress = value;
    } else if (key == "port") {
        if (!needLong(0, 65535)) return false;
        c.port = static_cast<int>(n);
    } else if (key == "password") {
        c.password = value;
    } else if (key == "user") {
        c.user = value;
    } else if (key == "login") {
        if (value == "login")
            c.loginMode = true;
        else if (value == "prompt")
            c.loginMode = false;
        else
            return why = "login must be login or prompt", false;
    } else if (key == "select") {
        if (value.size() != 2) return why = "select takes two characters", false;
        c.selectNumber = value;
    } else if (key == "prompt") {
        if (value.size() != 2) return why = "prompt takes two letters", false;
        c.prompt = value;
    } else if (key == "sysname") {
        c.systemName = value;
    } else if (key == "mac") {
        c.mac = NormaliseMac(value);
        if (c.mac.empty()) return why = "bad MAC address", false;
    } else if (key == "unit") {
        if (!needLong(0, 65535)) return false;
        c.unit = static_cast<int>(n);
    } else if (key == "firmware") {
        c.firmware = value;
    } else if (key == "fwdate") {
        c.firmwareDate = value;
    } else if (key == "serial") {
        c.serial = value;
    } else if (key == "outlets") {
        if (!needLong(1, 8)) return false;
        c.outlets = static_cast<int>(n);
    } else if (key == "master") {
        if (!needBool()) return false;
        c.master = b;
    } else if (key == "states") {
        c.states.clear();
        for (char ch : value) {
            if (ch != '0' && ch != '1') return why = "states takes 0 and 1 only", false;
            c.states.push_back(ch - '0');
        }
    } else if (key == "schedule") {
        c.schedule.clear();
        for (char ch : value) {
            if (ch != '0' && ch != '1') return why = "schedule takes 0 and 1 only", false;
            c.schedule.push_back(ch == '1');
        }
    } else if (key == "names") {
        c.outletNames = splitList(value);
    } else if (key == "on-delay" || key == "off-delay" || key == "reboot-time") {
        std::vector<int>& target = key == "on-delay"    ? c.onDelay
                                   : key == "off-delay" ? c.offDelay
                                                        : c.rebootTime;
        if (!parseIntList(value, target)) return why = "bad list for " + key, false;
    } else if (key == "temperature") {
        if (trim(value) == "none") {
            c.sensor = false;
        } else {
            c.sensor = true;
            if (!parseHundredths(value, c.temperature)) return why = "bad temperature", false;
        }
    } else if (key == "temp-state") {
        if (!needLong(0, 4)) return false;
        c.temperatureState = static_cast<int>(n);
    } else if (key == "temp-form") {
        if (value == "32")
            c.temperatureShortForm = true;
        else if (value == "34")
            c.temperatureShortForm = false;
        else
            return why = "temp-form must be 32 or 34", false;
    } else if (key == "ping") {
        c.ping.clear();
        c.pingGiven = true;
        if (trim(value) == "none") return true;
        for (const auto& item : splitList(value)) {
            PingEntry e;
            int state = 0, reboots = 0;
            if (std::sscanf(item.c_str(), "%d:%d", &state, &reboots) != 2 || state < 0) {
                return why = "ping entries look like STATE:REBOOTS", false;
            }
            e.state = state;
            e.reboots = reboots;
            e.host = 0x7F000001u;
            c.ping.push_back(e);
        }
        if (c.ping.size() > 8) return why = "at most 8 ping entries", false;
    } else if (key == "ping-form") {
        if (value == "142")
            c.pingCompactForm = true;
        else if (value == "long")
            c.pingCompactForm = false;
        else
            return why = "ping-form must be 142 or long", false;
    } else if (key == "station") {
        if (value != "none" && !ValidStation(value))
            return why = "station must be HOST:PORT (port 1 to 65535) or none", false;
        c.station = value == "none" ? std::string() : value;
    } else if (key == "interval") {
        if (!needLong(0, 86400)) return false;
        c.intervalSeconds = static_cast<int>(n);
    } else if (key == "layout") {
        if (value == "element")
            c.layout = ReportLayout::Element;
        else if (value == "table")
            c.layout = ReportLayout::Table;
        else if (value == "short")
            c.layout = ReportLayout::Short;
        else if (value == "none")
            c.layout = ReportLayout::None;
        else
            return why = "layout must be element, table, short or none", false;
    } else if (key == "locked") {
        if (!needBool()) return false;
        c.locked = b;
    } else if (key == "restart-ms") {
        if (!needLong(0, 600000)) return false;
        c.restartMs = static_cast<int>(n);
    } else if (key == "faults") {
        return ParseFaults(value, c.faults, why);
    } else if (key == "ping-trip") {
        // SECONDS or SECONDS:ENTRY
        const auto parts = splitList(value, ':');
        long seconds = 0, entry = 1;
        if (parts.size() > 2 || !parseLong(parts[0], seconds) || seconds < 1 || seconds > 86400 ||
            (parts.size() == 2 && (!parseLong(parts[1], entry) || entry < 1)))
            return why = "ping-trip takes SECONDS or SECONDS:ENTRY", false;
        c.pingTripSeconds = static_cast<int>(seconds);
        c.pingTripEntry = static_cast<int>(entry);
    } else if (key == "offline-cycle") {
        // UP:DOWN or UP:DOWN:refuse|silent
        const auto parts = splitList(value, ':');
        long up = 0, down = 0;
        if (parts.size() < 2 || parts.size() > 3 || !parseLong(parts[0], up) || up < 1 ||
            up > 86400 || !parseLong(parts[1], down) || down < 1 || down > 86400 ||
            (parts.size() == 3 && parts[2] != "refuse" && parts[2] != "silent"))
            return why = "offline-cycle takes UP:DOWN seconds, then refuse or silent", false;
        c.onlineSeconds = static_cast<int>(up);
        c.offlineSeconds = static_cast<int>(down);
        c.offlineSilent = parts.size() == 3 && parts[2] == "silent";
    } else {
        why = "unknown key " + key;
        return false;
    }
    return true;
}

// Fills what the file left open and checks what must agree with the model.
bool finishDevice(DeviceConfig& c, size_t index, std::string& why) {
    const auto ordinal = static_cast<std::uint64_t>(index + 1);
    if (c.mac.empty()) c.mac = MacPlus("008087000000", ordinal);
    if (c.unit < 0) c.unit = c.model >= 6 && c.model <= 10 ? static_cast<int>(ordinal % 65536) : 0;
    if (c.systemName.empty()) c.systemName = c.name;
    if (c.systemName.size() > 32) c.systemName.resize(32);
    if (c.serial.empty()) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "SN%08u", static_cast<unsigned>(ordinal % 100000000));
        c.serial = buf;
    }
    auto fit = [&](std::vector<int>& v, int def) {
        if (v.size() == 1) v.assign(c.outlets, v[0]);
        v.resize(c.outlets, v.empty() ? def : v.back());
    };
    if (!c.states.empty() && static_cast<int>(c.states.size()) != c.outlets) {
        return why = "states has " + std::to_string(c.states.size()) + " outlets, not " +
                     std::to_string(c.outlets),
               false;
    }
    if (c.states.empty()) c.states.assign(c.outlets, 1);
    c.schedule.resize(c.outlets, false);
    fit(c.onDelay, 0);
    fit(c.offDelay, 0);
    fit(c.rebootTime, 50);
    for (int i = static_cast<int>(c.outletNames.size()); i < c.outlets; ++i) {
        c.outletNames.push_back("Outlet" + std::to_string(i + 1));
    }
    c.outletNames.resize(c.outlets);
    // Plain units of the element line watch four hosts unless the fleet says otherwise
    // ("ping = none" included).
    if (!c.pingGiven && c.layout == ReportLayout::Element && IsPlainModel(c.model)) {
        c.ping.assign(4, PingEntry{1, 0, 0x7F000001u});
    }
    if (c.pingTripSeconds > 0 && c.pingTripEntry > static_cast<int>(c.ping.size())) {
        return why = "ping-trip names watch entry " + std::to_string(c.pingTripEntry) +
                     ", the unit has " + std::to_string(c.ping.size()),
               false;
    }
    return true;
}

}  // namespace

std::string ModelName(int model) {
    static const char* const kNames[] = {"",         "",        "",        "HX-7200", "",
                                         "JB-81K",   "SWD-6K",  "SWD-6ZK", "SWD-7KA", "SWD-7KB",
                                         "SWD-8KBN", "SWD-12K", "SWD-Q6M", "GV2208"};
    if (model < 0 || model > 13) return {};
    return kNames[model];
}

bool IsFramedModel(int model) {
    return model == 3 || model == 5;
}
bool IsPlainModel(int model) {
    return model >= 6 && model <= 13;
}

std::string NormaliseMac(std::string_view text) {
    std::string out;
    for (char ch : text) {
        if (ch == ':' || ch == '-') continue;
        if (!std::isxdigit(static_cast<unsigned char>(ch))) return {};
        out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(ch))));
    }
    return out.size() == 12 ? out : std::string();
}

std::string MacPlus(const std::string& mac, std::uint64_t n) {
    std::uint64_t v = std::stoull(mac, nullptr, 16);
    v = (v + n) & 0xFFFFFFFFFFFFull;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%012llX", static_cast<unsigned long long>(v));
    return buf;
}

bool ParseFaults(std::string_view text, FaultConfig& out, std::string& error) {
    FaultConfig f;
    if (trim(text) == "none") {
        out = f;
        return true;
    }
    for (const auto& item : splitList(text)) {
        if (item.empty()) continue;
        auto colon = item.find(':');
        std::string name = trim(item.substr(0, colon));
        std::string arg = colon == std::string::npos ? std::string() : trim(item.substr(colon + 1));
        long n = 0;
        auto number = [&](long lo) {
            if (!parseLong(arg, n) || n < lo) {
                error = "fault " + name + " needs a number";
                return false;
            }
            return true;
        };
        if (name == "close-after") {
            if (!number(0)) return false;
            f.closeAfterBytes = n;
        } else if (name == "close-at") {
            static const char* const kSteps[] = {"accept", "greeting", "user", "password", "login"};
            bool known = arg.size() > 3 && arg.compare(0, 3, "cmd") == 0 &&
                         parseLong(arg.substr(3), n) && n >= 1;
            for (const char* s : kSteps) known = known || arg == s;
            if (!known)
                return error = "close-at takes accept, greeting, user, password, login or cmdN",
                       false;
            f.closeAt = arg;
        } else if (name == "slow") {
            if (!number(0)) return false;
            f.slowMs = static_cast<int>(n);
        } else if (name == "mute") {
            f.muteAll = true;
        } else if (name == "mute-commands") {
            f.muteCommands = true;
        } else if (name == "garbage") {
            if (arg.empty())
                n = 1;
            else if (!number(1))
                return false;
            f.garbageLines = static_cast<int>(n);
        } else if (name == "split-iac") {
            f.splitIac = true;
        } else if (name == "iac-storm") {
            if (arg.empty())
                n = 32;
            else if (!number(1))
                return false;
            f.iacStorm = static_cast<int>(std::min<long>(n, 10'000'000));
        } else if (name == "drip") {
            if (arg.empty())
                n = 1000;
            else if (!number(1))
                return false;
            f.dripMs = static_cast<int>(std::min<long>(n, 3'600'000));
        } else if (name == "flood") {
            if (arg.empty())
                n = 20000;
            else if (!number(1))
                return false;
            f.floodBytes = static_cast<int>(n);
        } else if (name == "refuse-password") {
            f.refusePassword = true;
        } else if (name == "silent-reset") {
            f.silentReset = true;
        } else if (name == "report") {
            static const char* const kKinds[] = {"bad-checksum", "wrong-length", "odd-length",
                                                 "truncated", "unknown-layout"};
            bool known = false;
            for (const char* k : kKinds) known = known || arg == k;
            if (!known)
                return error =
                           "report fault must be bad-checksum, wrong-length, odd-length, truncated "
                           "or unknown-layout",
                       false;
            f.reportFault = arg;
        } else {
            error = "unknown fault " + name;
            return false;
        }
    }
    out = f;
    return true;
}

bool ParseFleet(std::string_view text, Fleet& fleet, std::string& error) {
    fleet = Fleet{};
    KeyValues defaults;
    struct Section {
        std::string name;
        int line = 0;
        KeyValues keys;
    };
    std::vector<Section> sections;
    std::istringstream in{std::string(text)};
    std::string raw;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        std::string line = trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) {
                error = "line " + std::to_string(lineNo) + ": bad section header";
                return false;
            }
            std::string name = trim(line.substr(1, line.size() - 2));
            for (const auto& s : sections) {
                if (s.name == name) {
                    error = "line " + std::to_string(lineNo) + ": device " + name + " twice";
                    return false;
                }
            }
            sections.push_back(Section{name, lineNo, {}});
            continue;
        }
        auto eq = line.find('=');
        if (eq == std::string::npos) {
            error = "line " + std::to_string(lineNo) + ": expected key = value";
            return false;
        }
        std::string key = trim(line.substr(0, eq));
        std::string value = trim(line.substr(eq + 1));
        if (sections.empty() && key == "rate") {
            long n;
            if (!parseLong(value, n) || n < 0) {
                error = "line " + std::to_string(lineNo) + ": bad rate";
                return false;
            }
            fleet.ratePerSecond = static_cast<int>(n);
            continue;
        }
        (sections.empty() ? defaults : sections.back().keys).push_back({key, {lineNo, value}});
    }
    for (const auto& s : sections) {
        KeyValues all = defaults;
        all.insert(all.end(), s.keys.begin(), s.keys.end());
        long model = 0, count = 1;
        for (const auto& [key, lv] : all) {
            if (key == "model" && !parseLong(lv.second, model)) model = -1;
            if (key == "count" && (!parseLong(lv.second, count) || count < 1 || count > 100000)) {
                error = "line " + std::to_string(lv.first) + ": bad count";
                return false;
            }
        }
        if (!IsFramedModel(static_cast<int>(model)) && !IsPlainModel(static_cast<int>(model))) {
            error = "line " + std::to_string(s.line) + ": device " + s.name +
                    " needs a model of 3, 5 or 6 to 13";
            return false;
        }
        DeviceConfig base;
        base.name = s.name;
        base.model = static_cast<int>(model);
        applyModelDefaults(base);
        for (const auto& [key, lv] : all) {
            std::string why;
            if (!applyKey(base, key, lv.second, why)) {
                error = "line " + std::to_string(lv.first) + ": " + why;
                return false;
            }
        }
        bool explicitName = !base.systemName.empty();
        for (long i = 0; i < count; ++i) {
            DeviceConfig c = base;
            if (count > 1) {
                c.name = s.name + "-" + std::to_string(i + 1);
                if (c.port != 0) {
                    if (c.port + i > 65535) {
                        error = "line " + std::to_string(s.line) + ": ports run past 65535";
                        return false;
                    }
                    c.port += static_cast<int>(i);
                }
                if (!c.mac.empty()) c.mac = MacPlus(c.mac, static_cast<std::uint64_t>(i));
                if (c.unit >= 0) c.unit = static_cast<int>((c.unit + i) % 65536);
                if (!explicitName) c.systemName.clear();
            }
            std::string why;
            if (!finishDevice(c, fleet.devices.size(), why)) {
                error = "line " + std::to_string(s.line) + ": " + why;
                return false;
            }
            fleet.devices.push_back(std::move(c));
        }
    }
    return true;
}

bool ValidStation(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    long port = 0;
    return colon != std::string_view::npos && colon > 0 &&
           parseLong(text.substr(colon + 1), port) && port >= 1 && port <= 65535;
}

bool LoadFleetFile(const std::string& path, Fleet& fleet, std::string& error) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        error = "cannot open " + path;
        return false;
    }
    std::ostringstream ss;
    ss << f.rdbuf();
    if (!ParseFleet(ss.str(), fleet, error)) return false;
    if (fleet.devices.empty()) {
        error = "no devices (each unit is a [NAME] section with a model)";
        return false;
    }
    return true;
}

}  // namespace zelo::sim
