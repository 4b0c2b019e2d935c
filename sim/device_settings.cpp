#include <algorithm>
#include <cstdlib>

#include "sim/device.h"
#include "sim/device_values.h"

namespace zelo::sim {

using namespace values;

namespace {

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

std::string Device::settingValue(const std::string& key, bool& known) const {
    initSettings();
    known = true;
    const size_t n = outlets_.size();
    auto perOutlet = [&](auto fn) {
        std::string out;
        for (size_t i = 0; i < n; ++i) out += (i ? "," : "") + fn(outlets_[i]);
        return out;
    };
    auto seconds = [](int tenths) {
        return tenths < 0 ? std::string("-1") : std::to_string(tenths / 10);
    };
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
    if (key == "debOlPowerOnTime")
        return perOutlet([&](const Outlet& o) { return seconds(o.onDelay); });
    if (key == "debOlShutdownTime")
        return perOutlet([&](const Outlet& o) { return seconds(o.offDelay); });
    if (key == "debOlRebootTime")
        return perOutlet([](const Outlet& o) { return tenthsText(o.rebootTime); });
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
        case SForm::Quoted:
            v = quoted(unquoted(v).substr(0, 127));
            break;
        case SForm::Text:
            break;
        case SForm::Tenths: {
            int t = parseTenthsValue(v);
            if (t < 0) return false;
            v = tenthsText(t);
            break;
        }
        case SForm::List: {
            if (key == "debOlName") {
                if (items.size() > n) return false;
                for (size_t i = 0; i < items.size(); ++i)
                    outlets_[i].name = unquoted(items[i]).substr(0, 31);
                return true;
            }
            if (key == "debOlPowerOnTime" || key == "debOlShutdownTime" ||
                key == "debOlRebootTime") {
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
                std::string port =
                    station_.empty() ? "5000" : station_.substr(station_.rfind(':') + 1);
                setStation(items[0] + ":" + port);
                return true;
            }
            if (key == "centerPort") {
                if (!numbers(3, false) || std::atoi(items[0].c_str()) > 65535) return false;
                std::string host =
                    station_.empty() ? "0.0.0.0" : station_.substr(0, station_.rfind(':'));
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
    if (key == "sysName")
        systemName_ = unquoted(v).substr(0, 32);
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

}  // namespace zelo::sim
