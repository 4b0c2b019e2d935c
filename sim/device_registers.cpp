#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "sim/device.h"
#include "sim/device_values.h"

namespace zelo::sim {

using namespace values;

namespace {

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
        r == 0x1084 || (r >= 0x2200 && r <= 0x2243 && r != 0x2201) || r == 0x4000 || r == 0x9165 ||
        r == 0x230) {
        return Form::Flag;
    }
    if ((r >= 0x200 && r <= 0x210) || (r >= 0x4100 && r <= 0x42FF)) return Form::Address;
    if (r == 0x220 || r == 0x231 || (r >= 0x400 && r <= 0x407) || (r >= 0x480 && r <= 0x487) ||
        (r >= 0x600 && r <= 0x7FF) || (r >= 0x870 && r <= 0x887) || r == 0x2000 || r == 0x2030 ||
        r == 0x2041 || r == 0x2042 || r == 0x2100 || (r >= 0x2110 && r <= 0x2113) || r == 0x9900 ||
        r == 0x9930) {
        return Form::Text;
    }
    if (r == 0x233 || r == 0x235 || r == 0x282 || r == 0x283 || (r >= 0x300 && r <= 0x367) ||
        (r >= 0x440 && r <= 0x447) || (r >= 0x4C0 && r <= 0x4C7) || (r >= 0x540 && r <= 0x547) ||
        (r >= 0x5C0 && r <= 0x5C7) || r == 0x801 || (r >= 0x1000 && r <= 0x1067) || r == 0x2201 ||
        (r >= 0x4010 && r <= 0x4017)) {
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

}  // namespace

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
            set(base + n,
                base == 0x4100 && n < static_cast<int>(ping_.size()) ? "127.0.0.1" : "0.0.0.0");
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
    if (r >= 0x300 && r < 0x308 && outletReg)
        value = tenthsText(outlets_[n].offDelay);
    else if (r >= 0x320 && r < 0x328 && outletReg)
        value = tenthsText(outlets_[n].rebootTime);
    else if (r >= 0x340 && r < 0x348 && outletReg)
        value = tenthsText(outlets_[n].onDelay);
    else if (r >= 0x880 && r < 0x888 && (r - 0x880) < static_cast<int>(outlets_.size()))
        value = outlets_[r - 0x880].name;
    else if (r == 0x870)
        value = systemName_;
    else if (r == 0x230)
        value = msrpEnabled_ ? "1" : "0";
    else if (r == 0x231)
        value = station_.substr(0, station_.rfind(':'));
    else if (r == 0x232)
        value = station_.find(':') == std::string::npos ? "0"
                                                        : station_.substr(station_.rfind(':') + 1);
    else if (r == 0x233)
        value = tenthsText(interval_ * 10);
    else if (r == 0x271)
        value = std::to_string(port_);
    else if (r == 0x9900)
        value = macWithColons();
    else if (r == 0x9930)
        value = config_.serial;
    else
        value = it->second;
    return true;
}

CommandResult Device::writeRegister(const std::string& numberText, const std::string& value) {
    std::string current;
    if (!readRegister(numberText, current)) return CommandResult::Bad;
    const int r = static_cast<int>(std::strtol(numberText.c_str(), nullptr, 16));
    if (r >= 0x9000 || r == 0x800 || r == 0x801 || r == 0x900)
        return CommandResult::Bad;  // read only
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
        case Form::Text:
            v = v.substr(0, textLimit(r));
            break;
        case Form::Pair:
            return CommandResult::Bad;
        case Form::Fixed: {
            bool known = false;
            for (const char* w : kWatchWords) known = known || v == w;
            if (!known) return CommandResult::Bad;
            break;
        }
    }
    const int n = r & 0x1F;
    const int tenths = v == "-1" ? -1 : parseTenthsValue(v);
    if (r >= 0x300 && r < 0x308 && n < static_cast<int>(outlets_.size()))
        outlets_[n].offDelay = tenths;
    else if (r >= 0x320 && r < 0x328 && n < static_cast<int>(outlets_.size()))
        outlets_[n].rebootTime = tenths;
    else if (r >= 0x340 && r < 0x348 && n < static_cast<int>(outlets_.size()))
        outlets_[n].onDelay = tenths;
    else if (r >= 0x880 && r < 0x888 && r - 0x880 < static_cast<int>(outlets_.size()))
        outlets_[r - 0x880].name = v;
    else if (r == 0x870)
        systemName_ = v;
    else if (r == 0x230)
        msrpEnabled_ = v == "1";
    else if (r == 0x231) {
        std::string port = station_.find(':') == std::string::npos
                               ? "5000"
                               : station_.substr(station_.rfind(':') + 1);
        setStation(v + ":" + port);
    } else if (r == 0x232)
        setStation(station_.substr(0, station_.rfind(':')) + ":" + v);
    else if (r == 0x233)
        interval_ = tenths / 10;
    else if (r == 0x271)
        port_ = std::atoi(v.c_str());
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

}  // namespace zelo::sim
