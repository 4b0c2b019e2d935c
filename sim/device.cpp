#include "sim/device.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace zelo::sim {
namespace {

// Timed steps of one outlet.
enum Phase { kIdle = 0, kSwitchingOn = 1, kSwitchingOff = 2, kRebootOff = 3, kRebootOn = 4 };

std::string tenthsText(int tenths) {
    if (tenths < 0) return "-1";
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

bool allDigits(const std::string& s, bool allowSign = false) {
    if (s.empty()) return false;
    size_t i = allowSign && s[0] == '-' ? 1 : 0;
    if (i == s.size()) return false;
    for (; i < s.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    }
    return s.size() <= 10;
}

// "n" or "n.m" with a single decimal; -1 when malformed, else tenths.
int parseTenthsValue(const std::string& s) {
    auto dot = s.find('.');
    std::string whole = s.substr(0, dot);
    if (!allDigits(whole)) return -1;
    int v = std::atoi(whole.c_str()) * 10;
    if (dot != std::string::npos) {
        std::string frac = s.substr(dot + 1);
        if (frac.size() != 1 || !allDigits(frac)) return -1;
        v += frac[0] - '0';
    }
    return v;
}

bool isAddress(const std::string& s) {
    unsigned a, b, c, d;
    char tail;
    return std::sscanf(s.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) == 4 && a < 256 &&
           b < 256 && c < 256 && d < 256 && std::isdigit(static_cast<unsigned char>(s[0]));
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(sep, start);
        out.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos) return out;
        start = p + 1;
    }
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

std::string unquoted(const std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

// Packed firmware number: each dotted part read as hexadecimal digits.
int packedFirmware(const std::string& text) {
    unsigned parts[3] = {0, 0, 0};
    size_t pos = 0;
    for (int i = 0; i < 3 && pos < text.size(); ++i) {
        char* end = nullptr;
        parts[i] = static_cast<unsigned>(std::strtoul(text.c_str() + pos, &end, 16)) & 0xFF;
        pos = static_cast<size_t>(end - text.c_str());
        while (pos < text.size() && text[pos] != '.') ++pos;
        ++pos;
    }
    return static_cast<int>(parts[0] << 16 | parts[1] << 8 | parts[2]);
}

enum class Form { Number, Flag, Tenths, Address, Text, Pair, Fixed };

const char* const kWatchWords[] = {"NONE", "PING", "MAIL", "BOTH"};

Form registerForm(int r) {
    if (r == 0x170 || r == 0x901 || (r >= 0x980 && r <= 0x982) || r == 0x1080 || r == 0x1081 ||
        r == 0x1084 || (r >= 0x2200 && r <= 0x2243 && r != 0x2201) || r == 0x4000 ||
        r == 0x9165 || r == 0x230) {
        return Form::Flag;
    }
    if ((r >= 0x200 && r <= 0x210) || (r >= 0x4100 && r <= 0x42FF)) return Form::Address;
    if (r == 0x220 || r == 0x231 || (r >= 0x400 && r <= 0x407) || (r >= 0x480 && r <= 0x487) ||
        (r >= 0x600 && r <= 0x7FF) || (r >= 0x870 && r <= 0x887) || r == 0x2000 || r == 0x2030 ||
        r == 0x2041 || r == 0x2042 || r == 0x2100 || (r >= 0x2110 && r <= 0x2113) ||
        r == 0x9900 || r == 0x9930) {
        return Form::Text;
    }
    if (r == 0x233 || r == 0x235 || r == 0x282 || r == 0x283 || (r >= 0x300 && r <= 0x367) ||
        (r >= 0x440 && r <= 0x447) || (r >= 0x4C0 && r <= 0x4C7) || (r >= 0x540 && r <= 0x547) ||
        (r >= 0x5C0 && r <= 0x5C7) || r == 0x801 || (r >= 0x1000 && r <= 0x1067) ||
        r == 0x2201 || (r >= 0x4010 && r <= 0x4017)) {
        return Form::Tenths;
    }
    if (r == 0x900) return Form::Pair;
    if (r >= 0x580 && r <= 0x587) return Form::Fixed;
    return Form::Number;
}

size_t textLimit(int r) {
    if (r == 0x220 || r == 0x2000 || r == 0x2030) return 63;
    if (r >= 0x870 && r <= 0x872) return 127;
    if (r >= 0x880 && r <= 0x887) return 30;
    if (r == 0x2041 || r == 0x2042) return 31;
    if (r == 0x2100 || (r >= 0x2110 && r <= 0x2113)) return 32;
    if ((r >= 0x600 && r <= 0x7FF) || r == 0x9930) return 15;
    return 18;
}

// Settings of the plain units: reply form and whether LIST shows it on its
// first or second page. Keys marked writable take ".key=value".
enum class SForm { Address, Number, Signed, Flag, Quoted, Text, Tenths, List };
struct SettingKey {
    const char* key;
    SForm form;
    int page;
    bool writable;
    bool restart;
};
const SettingKey kSettings[] = {
    {"ipAdEntAddr", SForm::Address, 1, true, true},
    {"ifPhysAddress", SForm::Text, 1, false, false},
    {"ipAdEntNetMask", SForm::Address, 1, true, true},
    {"ipRouteDest", SForm::Address, 1, true, false},
    {"dhcpEnabled", SForm::Flag, 1, true, false},
    {"ipAdDnsServer", SForm::Address, 1, true, false},
    {"sysName", SForm::Quoted, 1, true, false},
    {"sysContact", SForm::Quoted, 1, true, false},
    {"sysLocation", SForm::Quoted, 1, true, false},
    {"telnetEnabled", SForm::Flag, 1, false, false},
    {"telnetPort", SForm::Number, 1, true, true},
    {"debTcpInactiveTimer", SForm::Tenths, 1, true, false},
    {"ipAdNtpServer", SForm::Text, 1, false, false},
    {"mailUserName", SForm::Quoted, 1, true, false},
    {"mailPassword", SForm::Quoted, 1, true, false},
    {"mailAddr", SForm::Quoted, 1, false, false},
    {"mailSmtpServer", SForm::Quoted, 1, true, false},
    {"extMailAddr1", SForm::Quoted, 1, false, false},
    {"extMailAddr2", SForm::Quoted, 1, false, false},
    {"extMailAddr3", SForm::Quoted, 1, false, false},
    {"extMailAddr4", SForm::Quoted, 1, false, false},
    {"extMailAddr5", SForm::Quoted, 1, false, false},
    {"extMailAddr6", SForm::Quoted, 1, false, false},
    {"extMailAddr7", SForm::Quoted, 1, false, false},
    {"extMailAddr8", SForm::Quoted, 1, false, false},
    {"mailPopServer", SForm::Quoted, 1, true, false},
    {"mailApopEnabled", SForm::Flag, 1, true, false},
    {"msrpEnabled", SForm::Flag, 1, true, false},
    {"ipAdCenter", SForm::List, 1, true, false},
    {"centerPort", SForm::List, 1, true, false},
    {"centerSendTimer", SForm::Number, 1, true, false},
    {"centerChangeSendTimer", SForm::Number, 1, true, false},
    {"centerChangeSendCount", SForm::Number, 1, true, false},
    {"rs232Port1Speed", SForm::Number, 1, true, true},
    {"rs232Port1Parity", SForm::Number, 1, true, true},
    {"rs232Port1Bits", SForm::Number, 1, true, true},
    {"rs232Port1StopBits", SForm::Number, 1, true, true},
    {"model", SForm::Quoted, 1, false, false},
    {"version", SForm::Quoted, 1, false, false},
    {"serialNo", SForm::Quoted, 1, false, false},
    {"debOlName", SForm::List, 2, true, false},
    {"debOlPowerOnTime", SForm::List, 2, true, false},
    {"debOlShutdownTime", SForm::List, 2, true, false},
    {"debOlRebootTime", SForm::List, 2, true, false},
    {"mailLogDisp", SForm::Flag, 2, false, false},
    {"debOlWdogAddr", SForm::List, 2, true, false},
    {"debOlWdogAction", SForm::List, 2, true, false},
    {"debOlWdogSendMax", SForm::List, 2, true, false},
    {"debOlWdogNoResMax", SForm::List, 2, true, false},
    {"debOlWdogActCond", SForm::List, 2, true, false},
    {"debOlRebootInterval", SForm::List, 2, true, false},
    {"debOlRebootCount", SForm::List, 2, true, false},
    {"debOlNoEchoInterval", SForm::Number, 2, true, false},
    {"debOlPingInterval", SForm::Number, 2, true, false},
    {"debWakeupPhysAddr", SForm::List, 2, true, false},
    {"debWakeupMaxCount", SForm::Number, 2, true, false},
    {"debWakeupInterval", SForm::Number, 2, true, false},
    {"schEnabled", SForm::List, 2, true, false},
    {"schDay", SForm::List, 2, true, false},
    {"schHour", SForm::List, 2, true, false},
    {"schMinute", SForm::List, 2, true, false},
    {"schOutletNo", SForm::List, 2, true, false},
    {"schAction", SForm::List, 2, true, false},
};

const SettingKey* findSetting(const std::string& key) {
    for (const auto& s : kSettings) {
        if (key == s.key) return &s;
    }
    return nullptr;
}

std::string repeatList(const std::string& v, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += (i ? "," : "") + v;
    return out;
}

}  // namespace

Device::Device(const DeviceConfig& config, std::int64_t nowMs)
    : config_(config),
      temperature_(config.temperature),
      temperatureState_(config.temperatureState),
      sensor_(config.sensor),
      ping_(config.ping),
      station_(config.station),
      interval_(config.intervalSeconds),
      systemName_(config.systemName),
      locked_(config.locked),
      faults_(config.faults),
      port_(config.port) {
    (void)nowMs;
    outlets_.resize(config.outlets);
    for (int i = 0; i < config.outlets; ++i) {
        Outlet& o = outlets_[i];
        o.state = config.states[i];
        o.scheduled = config.schedule[i];
        o.name = config.outletNames[i];
        o.onDelay = config.onDelay[i];
        o.offDelay = config.offDelay[i];
        o.rebootTime = config.rebootTime[i];
    }
    lastLog_ = "POWER ON";
}

void Device::initSettings() const {
    if (!settings_.empty()) return;
    const size_t n = std::max<size_t>(4, outlets_.size());
    settings_ = {
        {"ipAdEntAddr", config_.bindAddress},
        {"ipAdEntNetMask", "255.255.255.0"},
        {"ipRouteDest", "192.168.0.254"},
        {"dhcpEnabled", "0"},
        {"ipAdDnsServer", "192.168.0.254"},
        {"sysContact", "\"admin@example.com\""},
        {"sysLocation", "\"Rack room\""},
        {"telnetEnabled", "1"},
        {"debTcpInactiveTimer", "30.0"},
        {"ipAdNtpServer", "ntp.example.com"},
        {"mailUserName", "\"unit\""},
        {"mailPassword", "\"\""},
        {"mailAddr", "\"unit@example.com\""},
        {"mailSmtpServer", "\"smtp.example.com\""},
        {"mailPopServer", "\"pop.example.com\""},
        {"mailApopEnabled", "0"},
        {"centerChangeSendTimer", "1"},
        {"centerChangeSendCount", "1"},
        {"rs232Port1Speed", "9600"},
        {"rs232Port1Parity", "0"},
        {"rs232Port1Bits", "8"},
        {"rs232Port1StopBits", "1"},
        {"mailLogDisp", "0"},
        {"debOlWdogAction", repeatList("1", n)},
        {"debOlWdogSendMax", repeatList("3", n)},
        {"debOlWdogNoResMax", repeatList("3", n)},
        {"debOlWdogActCond", repeatList("0", n)},
        {"debOlRebootInterval", repeatList("60", n)},
        {"debOlRebootCount", repeatList("3", n)},
        {"debOlNoEchoInterval", "10"},
        {"debOlPingInterval", "10"},
        {"debWakeupPhysAddr", repeatList("00:00:00:00:00:00", 4)},
        {"debWakeupMaxCount", "3"},
        {"debWakeupInterval", "10"},
        {"schEnabled", repeatList("0", 20)},
        {"schDay", repeatList("7", 20)},
        {"schHour", repeatList("0", 20)},
        {"schMinute", repeatList("0", 20)},
        {"schOutletNo", repeatList("1", 20)},
        {"schAction", repeatList("0", 20)},
    };
    for (int i = 1; i <= 8; ++i) settings_["extMailAddr" + std::to_string(i)] = "\"\"";
}

// ---------------------------------------------------------------- power

void Device::log(const std::string& what) {
    std::time_t t = static_cast<std::time_t>(wall_);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %02d:%02d %s", tm.tm_year % 100, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, what.c_str());
    lastLog_ = std::string(buf).substr(0, 31);
}

bool Device::startOn(Outlet& o, int delay, std::int64_t now) {
    if ((o.state == 1 && o.phase == kIdle) || o.phase == kSwitchingOn || o.phase == kRebootOn) {
        return false;
    }
    if (delay > 0) {
        o.state = 5;
        o.phase = kSwitchingOn;
        o.dueMs = now + delay * 100LL;
    } else {
        o.state = 1;
        o.phase = kIdle;
    }
    return true;
}

bool Device::startOff(Outlet& o, std::int64_t now) {
    if (o.state == 0 && o.phase == kIdle) return false;
    if (o.phase == kSwitchingOn || o.phase == kRebootOn || o.offDelay <= 0 || o.state != 1) {
        o.state = 0;
        o.phase = kIdle;
    } else {
        o.state = 2;
        o.phase = kSwitchingOff;
        o.dueMs = now + o.offDelay * 100LL;
    }
    return true;
}

bool Device::startReboot(Outlet& o, std::int64_t now) {
    if (o.phase == kRebootOff || o.phase == kRebootOn) return false;
    if (o.state == 1 && o.offDelay > 0) {
        o.state = 2;
        o.phase = kRebootOff;
        o.dueMs = now + o.offDelay * 100LL;
    } else if (o.rebootTime > 0) {
        o.state = 5;
        o.phase = kRebootOn;
        o.dueMs = now + o.rebootTime * 100LL;
    } else {
        o.state = 1;
        o.phase = kIdle;
    }
    return true;
}

CommandResult Device::power(const std::string& command, std::int64_t nowMs) {
    if (command.size() != 4) return CommandResult::Bad;
    std::string verb = command.substr(0, 3);
    int n = -1;
    if (command[0] == 'M' && (command == "MPON" || command == "MPOF" || command == "MPOR")) {
        if (locked_) return CommandResult::Locked;
        verb = command.substr(1, 3);
        if (config_.master) {
            bool changedAny = false;
            if (verb == "POF" || verb == "POR") {
                changedAny = master_ != 0;
                master_ = 0;
                for (auto& o : outlets_) {
                    changedAny = changedAny || o.state != 0;
                    o.state = 0;
                    o.phase = kIdle;
                }
            }
            if (verb == "PON" || verb == "POR") {
                changedAny = changedAny || master_ != 1;
                master_ = 1;
                for (auto& o : outlets_) {
                    // Power returns outlet by outlet, each after its own delay;
                    // a reboot first waits for the unit's reboot time.
                    int delay = std::max(0, o.onDelay) + (verb == "POR" ? std::max(0, o.rebootTime) : 0);
                    changedAny = startOn(o, delay, nowMs) || changedAny;
                    if (o.phase == kSwitchingOn && verb == "POR") o.phase = kRebootOn;
                }
            }
            if (changedAny) changed();
            log(command);
            return CommandResult::Ok;
        }
        n = 0;  // a unit without a master switch takes it for every outlet
    } else {
        if (verb != "PON" && verb != "POF" && verb != "POR") return CommandResult::Bad;
        if (!std::isdigit(static_cast<unsigned char>(command[3]))) return CommandResult::Bad;
        n = command[3] - '0';
        if (n > static_cast<int>(outlets_.size())) return CommandResult::Bad;
        if (locked_) return CommandResult::Locked;
    }
    bool any = false;
    for (int i = 0; i < static_cast<int>(outlets_.size()); ++i) {
        if (n != 0 && i != n - 1) continue;
        Outlet& o = outlets_[i];
        if (verb == "PON") any = startOn(o, o.onDelay, nowMs) || any;
        else if (verb == "POF") any = startOff(o, nowMs) || any;
        else any = startReboot(o, nowMs) || any;
    }
    if (any) changed();
    log(command);
    return CommandResult::Ok;
}

bool Device::switchByHand(int outlet, bool on, std::int64_t nowMs) {
    (void)nowMs;
    if (outlet < 1 || outlet > static_cast<int>(outlets_.size())) return false;
    Outlet& o = outlets_[outlet - 1];
    o.state = on ? 1 : 0;
    o.phase = kIdle;
    changed();
    log(std::string(on ? "SW ON" : "SW OFF") + std::to_string(outlet));
    return true;
}

bool Device::setMaster(bool on, std::int64_t nowMs) {
    if (!config_.master) return false;
    const bool wasLocked = locked_;
    locked_ = false;  // the hand on the switch is not stopped by the console lock
    const bool ok = power(on ? "MPON" : "MPOF", nowMs) == CommandResult::Ok;
    locked_ = wasLocked;
    return ok;
}

bool Device::tick(std::int64_t nowMs) {
    bool any = false;
    for (size_t i = 0; i < outlets_.size(); ++i) {
        Outlet& o = outlets_[i];
        while (o.phase != kIdle && o.dueMs <= nowMs) {
            any = true;
            switch (o.phase) {
                case kSwitchingOn:
                case kRebootOn:
                    o.state = 1;
                    o.phase = kIdle;
                    for (auto& p : ping_) {
                        if (p.state == 3) p.state = 1;  // the watched host is back
                    }
                    break;
                case kSwitchingOff:
                    o.state = 0;
                    o.phase = kIdle;
                    break;
                case kRebootOff:
                    o.state = 5;
                    o.phase = kRebootOn;
                    o.dueMs += std::max(0, o.rebootTime) * 100LL;
                    break;
                default: o.phase = kIdle;
            }
        }
    }
    if (any) changed();
    return any;
}

std::int64_t Device::nextDueMs() const {
    std::int64_t due = INT64_MAX;
    for (const auto& o : outlets_) {
        if (o.phase != kIdle) due = std::min(due, o.dueMs);
    }
    return due;
}

// ---------------------------------------------------------------- sensor, ping

void Device::setTemperature(int hundredths, int state) {
    temperature_ = hundredths;
    temperatureState_ = state;
    ++reportGeneration_;
}

void Device::setSensor(bool fitted) {
    sensor_ = fitted;
    ++reportGeneration_;
}

bool Device::tripPing(int entry, std::int64_t nowMs) {
    if (entry < 1 || entry > static_cast<int>(ping_.size())) return false;
    PingEntry& p = ping_[entry - 1];
    p.state = 3;
    ++p.reboots;
    Outlet& o = outlets_[(entry - 1) % outlets_.size()];
    startReboot(o, nowMs);
    changed();
    log("PING" + std::to_string(entry) + " REBOOT");
    return true;
}

bool Device::setPingState(int entry, int state, int reboots) {
    if (entry < 1 || entry > static_cast<int>(ping_.size()) || state < 0) return false;
    ping_[entry - 1].state = state;
    if (reboots >= 0) ping_[entry - 1].reboots = reboots;
    ++reportGeneration_;
    return true;
}

ReportState Device::reportState() const {
    ReportState s;
    s.mac = config_.mac;
    s.unit = config_.unit;
    s.model = config_.model;
    s.systemName = systemName_;
    s.master = config_.master;
    s.masterState = master_;
    for (const auto& o : outlets_) {
        OutletReport r;
        r.state = o.state;
        r.remainingSeconds = 0;
        s.outlets.push_back(r);
        s.schedule.push_back(o.scheduled);
    }
    s.ping = ping_;
    s.pingCompact = config_.pingCompactForm;
    s.sensor = sensor_;
    s.temperature = temperature_;
    s.temperatureState = temperatureState_;
    s.temperatureShortForm = config_.temperatureShortForm;
    s.sequence = sequence_;
    return s;
}

std::string Device::stationText() const { return msrpEnabled_ ? station_ : std::string(); }

// ---------------------------------------------------------------- registers

void Device::initRegisters() const {
    if (!registers_.empty()) return;
    auto set = [&](int r, const std::string& v) { registers_[r] = v; };
    set(0x170, "1");
    set(0x190, "9600");
    set(0x191, "8");
    set(0x192, "0");
    set(0x193, "1");
    set(0x194, "0");
    set(0x200, config_.bindAddress);
    set(0x201, "255.255.255.0");
    set(0x204, "192.168.0.254");
    set(0x205, "192.168.0.254");
    set(0x210, "0.0.0.0");
    set(0x220, "ntp.example.com");
    set(0x222, "9");
    for (int r = 0x230; r <= 0x235; ++r) set(r, "");  // read from the report target
    set(0x234, "1");
    set(0x235, "1.0");
    set(0x270, "1");
    set(0x271, "");
    set(0x280, "0");
    set(0x281, "1");
    set(0x282, "30.0");
    set(0x283, "5.0");
    const int per = std::max<int>(4, static_cast<int>(outlets_.size()));
    for (int n = 0; n < per; ++n) {
        for (int base : {0x300, 0x320, 0x340}) set(base + n, "0.0");
        for (int base : {0x360, 0x1000, 0x1020, 0x1060}) set(base + n, "0.0");
        set(0x880 + n, "");
    }
    for (int n = 0; n < 8; ++n) {
        set(0x400 + n, "");
        set(0x420 + n, "0");
        set(0x440 + n, "0.0");
        set(0x480 + n, "");
        set(0x4A0 + n, "0");
        set(0x4C0 + n, "0.0");
        for (int base = 0x500; base <= 0x5C0; base += 0x20) {
            set(base + n, registerForm(base + n) == Form::Tenths ? "0.0" : "0");
        }
        set(0x580 + n, kWatchWords[0]);
        for (int base : {0x600, 0x610, 0x620, 0x630}) set(base + n, "");
    }
    set(0x800, "0");
    set(0x801, "0.0");
    set(0x870, "");
    set(0x871, "Rack room");
    set(0x872, "admin@example.com");
    set(0x900, "0,0");
    set(0x901, "0");
    for (int r : {0x980, 0x981, 0x982, 0x1080, 0x1081, 0x1084}) set(r, "0");
    set(0x2000, "smtp.example.com");
    set(0x2002, "25");
    set(0x2004, "0");
    set(0x2005, "0");
    set(0x2030, "pop.example.com");
    set(0x2032, "110");
    set(0x2041, "unit");
    set(0x2042, "");
    set(0x2100, "unit@example.com");
    for (int r = 0x2110; r <= 0x2113; ++r) set(r, "");
    set(0x2200, "0");
    set(0x2201, "0.0");
    for (int r : {0x2210, 0x2211, 0x2212, 0x2213, 0x2220, 0x2230, 0x2231, 0x2232, 0x2233, 0x2234,
                  0x2240, 0x2241, 0x2242, 0x2243}) {
        set(r, "0");
    }
    set(0x4000, ping_.empty() ? "0" : "1");
    for (int n = 0; n < 8; ++n) {
        set(0x4010 + n, "10.0");
        set(0x4020 + n, "3");
        set(0x4030 + n, "3");
        set(0x4040 + n, "1");
        set(0x4050 + n, "60");
        set(0x4060 + n, "3");
        for (int base : {0x4100, 0x4140, 0x4180, 0x41C0}) {
            set(base + n, base == 0x4100 && n < static_cast<int>(ping_.size()) ? "127.0.0.1"
                                                                              : "0.0.0.0");
        }
    }
    const int fw = packedFirmware(config_.firmware);
    if (fw < 0x31002) registers_.erase(0x194);
    if (fw >= 0x31408) set(0x9165, "1");
    if (fw >= 0x31412) set(0x9801, "20");
    if (fw >= 0x31404) set(0x9919, "0");
    set(0x9900, "");
    if (fw >= 0x32905) set(0x9930, "");
}

std::string Device::macWithColons() const {
    std::string out;
    for (int i = 0; i < 6; ++i) out += (i ? ":" : "") + config_.mac.substr(2 * i, 2);
    return out;
}

bool Device::readRegister(const std::string& numberText, std::string& value) const {
    initRegisters();
    if (numberText.empty() || numberText.size() > 4) return false;
    for (char c : numberText) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    const int r = static_cast<int>(std::strtol(numberText.c_str(), nullptr, 16));
    auto it = registers_.find(r);
    if (it == registers_.end()) return false;
    const int n = r & 0x1F;
    const bool outletReg = n < static_cast<int>(outlets_.size());
    if (r >= 0x300 && r < 0x308 && outletReg) value = tenthsText(outlets_[n].offDelay);
    else if (r >= 0x320 && r < 0x328 && outletReg) value = tenthsText(outlets_[n].rebootTime);
    else if (r >= 0x340 && r < 0x348 && outletReg) value = tenthsText(outlets_[n].onDelay);
    else if (r >= 0x880 && r < 0x888 && (r - 0x880) < static_cast<int>(outlets_.size()))
        value = outlets_[r - 0x880].name;
    else if (r == 0x870) value = systemName_;
    else if (r == 0x230) value = msrpEnabled_ ? "1" : "0";
    else if (r == 0x231) value = station_.substr(0, station_.rfind(':'));
    else if (r == 0x232)
        value = station_.find(':') == std::string::npos ? "0" : station_.substr(station_.rfind(':') + 1);
    else if (r == 0x233) value = tenthsText(interval_ * 10);
    else if (r == 0x271) value = std::to_string(port_);
    else if (r == 0x9900) value = macWithColons();
    else if (r == 0x9930) value = config_.serial;
    else value = it->second;
    return true;
}

CommandResult Device::writeRegister(const std::string& numberText, const std::string& value) {
    std::string current;
    if (!readRegister(numberText, current)) return CommandResult::Bad;
    const int r = static_cast<int>(std::strtol(numberText.c_str(), nullptr, 16));
    if (r >= 0x9000 || r == 0x800 || r == 0x801 || r == 0x900) return CommandResult::Bad;  // read only
    if (locked_) return CommandResult::Locked;
    std::string v = value;
    switch (registerForm(r)) {
        case Form::Number:
            if (!allDigits(v, true)) return CommandResult::Bad;
            break;
        case Form::Flag:
            if (!allDigits(v)) return CommandResult::Bad;
            v = std::atol(v.c_str()) != 0 ? "1" : "0";
            break;
        case Form::Tenths: {
            if (v == "-1") break;
            int t = parseTenthsValue(v);
            if (t < 0) return CommandResult::Bad;
            v = tenthsText(t);
            break;
        }
        case Form::Address:
            if (!isAddress(v)) return CommandResult::Bad;
            break;
        case Form::Text: v = v.substr(0, textLimit(r)); break;
        case Form::Pair: return CommandResult::Bad;
        case Form::Fixed: {
            bool known = false;
            for (const char* w : kWatchWords) known = known || v == w;
            if (!known) return CommandResult::Bad;
            break;
        }
    }
    const int n = r & 0x1F;
    const int tenths = v == "-1" ? -1 : parseTenthsValue(v);
    if (r >= 0x300 && r < 0x308 && n < static_cast<int>(outlets_.size())) outlets_[n].offDelay = tenths;
    else if (r >= 0x320 && r < 0x328 && n < static_cast<int>(outlets_.size())) outlets_[n].rebootTime = tenths;
    else if (r >= 0x340 && r < 0x348 && n < static_cast<int>(outlets_.size())) outlets_[n].onDelay = tenths;
    else if (r >= 0x880 && r < 0x888 && r - 0x880 < static_cast<int>(outlets_.size())) outlets_[r - 0x880].name = v;
    else if (r == 0x870) systemName_ = v;
    else if (r == 0x230) msrpEnabled_ = v == "1";
    else if (r == 0x231) {
        std::string port = station_.find(':') == std::string::npos ? "5000" : station_.substr(station_.rfind(':') + 1);
        setStation(v + ":" + port);
    }
    else if (r == 0x232) setStation(station_.substr(0, station_.rfind(':')) + ":" + v);
    else if (r == 0x233) interval_ = tenths / 10;
    else if (r == 0x271) port_ = std::atoi(v.c_str());
    registers_[r] = v;
    return CommandResult::Ok;
}

std::vector<std::pair<int, std::string>> Device::registerRange(int lo, int hi) const {
    initRegisters();
    std::vector<std::pair<int, std::string>> out;
    for (auto it = registers_.lower_bound(lo); it != registers_.end() && it->first <= hi; ++it) {
        char name[8];
        std::snprintf(name, sizeof name, "%X", it->first);
        std::string v;
        readRegister(name, v);
        out.push_back({it->first, v});
    }
    return out;
}

// ---------------------------------------------------------------- schedule

CommandResult Device::addSchedule(const std::string& line, int& index) {
    if (locked_) return CommandResult::Locked;
    auto f = split(line, ',');
    if (f.size() != 4) return CommandResult::Bad;
    ScheduleEntry e;
    char tail;
    if (f[0].size() != 5 || std::sscanf(f[0].c_str(), "%d:%d%c", &e.hour, &e.minute, &tail) != 2 ||
        e.hour < 0 || e.hour > 23 || e.minute < 0 || e.minute > 59) {
        return CommandResult::Bad;
    }
    if (f[1] == "S") {
        e.month = e.day = 255;
    } else if (std::sscanf(f[1].c_str(), "%d/%d/%d%c", &e.year, &e.month, &e.day, &tail) == 3) {
        if (e.year < 2000 || e.year > 2099) return CommandResult::Bad;
    } else if (std::sscanf(f[1].c_str(), "%d/%d%c", &e.month, &e.day, &tail) == 2) {
        e.year = 0;
    } else {
        return CommandResult::Bad;
    }
    if (e.month != 255 && (e.month < 0 || e.month > 12 || e.day < 0 || e.day > 31)) {
        return CommandResult::Bad;
    }
    const std::string& w = f[2];
    if (w.empty()) e.weekday = 7;
    else if (w == "1-5") e.weekday = 8;
    else if (w == "1-6") e.weekday = 9;
    else if (w.size() == 1 && w[0] >= '0' && w[0] <= '6') e.weekday = w[0] - '0';
    else if (w.size() == 3 && w[0] >= '0' && w[0] <= '6' && w[1] == '/' &&
             (w[2] == 'L' || (w[2] >= '1' && w[2] <= '5'))) {
        e.weekday = w[0] - '0';
        e.week = w[2] == 'L' ? 6 : w[2] - '0';
    } else {
        return CommandResult::Bad;
    }
    const std::string& a = f[3];
    const bool masterAction = a == "MPON" || a == "MPOF" || a == "MPOR";
    const bool outletAction = a.size() == 4 && (a.compare(0, 3, "PON") == 0 || a.compare(0, 3, "POF") == 0 ||
                                                a.compare(0, 3, "POR") == 0) &&
                              a[3] >= '0' && a[3] - '0' <= static_cast<int>(outlets_.size());
    if (!masterAction && !outletAction) return CommandResult::Bad;
    e.action = a;
    for (const auto& old : schedule_) {
        if (old.year == e.year && old.month == e.month && old.day == e.day &&
            old.weekday == e.weekday && old.week == e.week && old.hour == e.hour &&
            old.minute == e.minute && old.action == e.action) {
            return CommandResult::Doubled;
        }
    }
    if (schedule_.size() >= 200) return CommandResult::Full;
    schedule_.push_back(e);
    index = static_cast<int>(schedule_.size()) - 1;
    return CommandResult::Ok;
}

// "WEEK HH:MM OO:AA DDDW" for an entry without a date, "DATE MMDD HH:MM
// OO:AA DDDW" with one: OO the outlet (0 the whole unit), AA the action
// (1 reboot, 2 on, 3 off), DDD the day token, W the week of month right
// behind it (the client reads it at the time part's position 15).
std::string Device::scheduleValue(const ScheduleEntry& e) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu",
                                        "Fri", "Sat", "All", "M-F", "M-S"};
    const std::string verb = e.action.size() == 4 ? e.action.substr(e.action[0] == 'M' ? 1 : 0, 3) : "";
    const int action = verb == "POR" ? 1 : verb == "PON" ? 2 : verb == "POF" ? 3 : 0;
    const int outlet = e.action[0] == 'M' ? 0 : e.action.back() - '0';
    const char week = e.week == 0 ? ' ' : e.week >= 6 ? 'L' : static_cast<char>('0' + e.week);
    char timePart[32];
    std::snprintf(timePart, sizeof timePart, "%02d:%02d %02d:%02d %s%c", e.hour, e.minute, outlet,
                  action, kDays[std::min(e.weekday, 9)], week);
    char buf[64];
    if (e.month == 0 && e.day == 0) {
        std::snprintf(buf, sizeof buf, "WEEK %s", timePart);
    } else {
        const int date = e.month == 255 ? 9999 : e.month * 100 + e.day;
        std::snprintf(buf, sizeof buf, "%s %04d %s", e.month == 255 ? "SPEC" : "DATE", date, timePart);
    }
    return buf;
}

// ---------------------------------------------------------------- settings

std::string Device::settingValue(const std::string& key, bool& known) const {
    initSettings();
    known = true;
    const size_t n = outlets_.size();
    auto perOutlet = [&](auto fn) {
        std::string out;
        for (size_t i = 0; i < n; ++i) out += (i ? "," : "") + fn(outlets_[i]);
        return out;
    };
    auto seconds = [](int tenths) { return tenths < 0 ? std::string("-1") : std::to_string(tenths / 10); };
    if (key == "sysName") return quoted(systemName_);
    if (key == "ifPhysAddress") return macWithColons();
    if (key == "telnetPort") return std::to_string(port_);
    if (key == "model") return quoted(ModelName(config_.model));
    if (key == "version") return quoted(config_.firmware);
    if (key == "serialNo") return quoted(config_.serial);
    if (key == "msrpEnabled") return msrpEnabled_ ? "1" : "0";
    if (key == "ipAdCenter") {
        std::string host = station_.empty() ? "0.0.0.0" : station_.substr(0, station_.rfind(':'));
        return host + ",0.0.0.0,0.0.0.0";
    }
    if (key == "centerPort") {
        std::string port = station_.empty() ? "5000" : station_.substr(station_.rfind(':') + 1);
        return port + ",5000,5000";
    }
    if (key == "centerSendTimer") return std::to_string(interval_);
    if (key == "debOlName") return perOutlet([](const Outlet& o) { return quoted(o.name); });
    if (key == "debOlPowerOnTime") return perOutlet([&](const Outlet& o) { return seconds(o.onDelay); });
    if (key == "debOlShutdownTime") return perOutlet([&](const Outlet& o) { return seconds(o.offDelay); });
    if (key == "debOlRebootTime") return perOutlet([](const Outlet& o) { return tenthsText(o.rebootTime); });
    if (key == "debOlWdogAddr") {
        std::string out;
        const size_t entries = std::max<size_t>(4, ping_.size());
        for (size_t i = 0; i < entries; ++i) {
            out += (i ? "," : "") + std::string(i < ping_.size() ? "127.0.0.1" : "0.0.0.0");
        }
        return out;
    }
    auto it = settings_.find(key);
    if (it != settings_.end()) return it->second;
    known = false;
    return {};
}

std::vector<std::vector<std::string>> Device::listPages() const {
    std::vector<std::vector<std::string>> pages(2);
    for (const auto& s : kSettings) {
        bool known = false;
        std::string v = settingValue(s.key, known);
        if (known) pages[s.page - 1].push_back(std::string(s.key) + "=" + v);
    }
    return pages;
}

std::string Device::queryLine(const std::string& key) const {
    if (!findSetting(key)) return {};
    bool known = false;
    std::string v = settingValue(key, known);
    return known ? "?" + key + "=" + v : std::string();
}

bool Device::writeSetting(const std::string& key, const std::string& value, bool& restart) {
    initSettings();
    const SettingKey* s = findSetting(key);
    if (!s || !s->writable || locked_) return false;
    std::string v = value;
    const auto items = split(v, ',');
    auto numbers = [&](size_t maxCount, bool sign) {
        if (items.size() > maxCount) return false;
        for (const auto& i : items) {
            if (!allDigits(i, sign)) return false;
        }
        return true;
    };
    const size_t n = outlets_.size();
    switch (s->form) {
        case SForm::Address:
            if (!isAddress(v)) return false;
            break;
        case SForm::Number:
        case SForm::Signed:
            if (!allDigits(v, s->form == SForm::Signed)) return false;
            break;
        case SForm::Flag:
            if (!allDigits(v)) return false;
            v = std::atol(v.c_str()) != 0 ? "1" : "0";
            break;
        case SForm::Quoted: v = quoted(unquoted(v).substr(0, 127)); break;
        case SForm::Text: break;
        case SForm::Tenths: {
            int t = parseTenthsValue(v);
            if (t < 0) return false;
            v = tenthsText(t);
            break;
        }
        case SForm::List: {
            if (key == "debOlName") {
                if (items.size() > n) return false;
                for (size_t i = 0; i < items.size(); ++i) outlets_[i].name = unquoted(items[i]).substr(0, 31);
                return true;
            }
            if (key == "debOlPowerOnTime" || key == "debOlShutdownTime" || key == "debOlRebootTime") {
                if (items.size() > n) return false;
                std::vector<int> tenths;
                for (const auto& i : items) {
                    int t = key == "debOlRebootTime" ? parseTenthsValue(i)
                            : i == "-1"              ? -1
                            : allDigits(i)           ? std::atoi(i.c_str()) * 10
                                                     : -2;
                    if (t < -1 || (t == -1 && key == "debOlRebootTime")) return false;
                    tenths.push_back(t);
                }
                for (size_t i = 0; i < tenths.size(); ++i) {
                    int& field = key == "debOlPowerOnTime"    ? outlets_[i].onDelay
                                 : key == "debOlShutdownTime" ? outlets_[i].offDelay
                                                              : outlets_[i].rebootTime;
                    field = tenths[i];
                }
                return true;
            }
            if (key == "ipAdCenter") {
                if (items.size() > 3 || !isAddress(items[0])) return false;
                std::string port = station_.empty() ? "5000" : station_.substr(station_.rfind(':') + 1);
                setStation(items[0] + ":" + port);
                return true;
            }
            if (key == "centerPort") {
                if (!numbers(3, false) || std::atoi(items[0].c_str()) > 65535) return false;
                std::string host = station_.empty() ? "0.0.0.0" : station_.substr(0, station_.rfind(':'));
                setStation(host + ":" + items[0]);
                return true;
            }
            if (key == "debOlWdogAddr") {
                if (items.size() > 8) return false;
                for (const auto& i : items) {
                    if (!isAddress(i)) return false;
                }
                break;
            }
            if (key == "debWakeupPhysAddr") {
                if (items.size() > 8) return false;
                for (const auto& i : items) {
                    if (NormaliseMac(i).empty()) return false;
                }
                break;
            }
            const bool schedule = key.compare(0, 3, "sch") == 0;
            if (!numbers(schedule ? 20 : 8, !schedule)) return false;
            break;
        }
    }
    if (key == "sysName") systemName_ = unquoted(v).substr(0, 32);
    else if (key == "telnetPort") {
        long p = std::atol(v.c_str());
        if (p < 1 || p > 65535) return false;
        port_ = static_cast<int>(p);  // the console moves there at the next restart
    } else if (key == "msrpEnabled") {
        msrpEnabled_ = v == "1";
        ++configGeneration_;
    } else if (key == "centerSendTimer") {
        interval_ = std::atoi(v.c_str());
    } else {
        settings_[key] = v;
    }
    if (s->restart) restart = true;
    return true;
}

// ---------------------------------------------------------------- readout texts

// Eight groups of four characters joined by dashes: model, hardware
// revision, outlet count / master / option digits, model byte, status
// entries (byte-swapped hex), sensor, reserved, ping entries.
std::string Device::specText() const {
    char buf[64];
    const std::string m = ModelName(config_.model);
    std::string tag = m.substr(m.find('-') + 1);
    tag = (tag + "0000").substr(0, 4);
    std::snprintf(buf, sizeof buf, "%s-0100-%d%d01-%02X00-1400-000%d-0000-%d", tag.c_str(),
                  static_cast<int>(outlets_.size()), config_.master ? 1 : 0, config_.model,
                  sensor_ ? 1 : 0, static_cast<int>(std::min<size_t>(ping_.size(), 9)));
    return buf;
}

std::string Device::typeText() const {
    std::string out;
    for (size_t i = 0; i < outlets_.size(); ++i) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%s%X", i ? "," : "", outlets_[i].type);
        out += buf;
    }
    return out;
}

}  // namespace zelo::sim
