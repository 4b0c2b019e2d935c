#include "forward/device_facts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "common/format.h"
#include "common/scan.h"
#include "common/text_encoding.h"
#include "directory/list_columns.h"
#include "directory/model_table.h"
#include "settings/lang_strings.h"

namespace zelo::forward {
namespace {

// The ping column holds letters, or in Japanese two-byte signs.
std::vector<PingState> pingStates(const std::string& text) {
    std::vector<PingState> out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0x81 && i + 1 < text.size()) {
            switch (static_cast<unsigned char>(text[++i])) {
                case 0x9B:
                    out.push_back(PingState::Ok);
                    break;
                case 0xA2:
                    out.push_back(PingState::Reboot);
                    break;
                case 0x7E:
                    out.push_back(PingState::Fail);
                    break;
                case 0x7C:
                    out.push_back(PingState::Off);
                    break;
                default:
                    break;
            }
            continue;
        }
        switch (c) {
            case 'O':
                out.push_back(PingState::Ok);
                break;
            case 'R':
                out.push_back(PingState::Reboot);
                break;
            case 'X':
                out.push_back(PingState::Fail);
                break;
            case '-':
                out.push_back(PingState::Off);
                break;
            default:
                break;
        }
    }
    return out;
}

std::vector<std::int64_t> rebootCounts(const std::string& text, std::size_t entries) {
    std::vector<std::int64_t> out;
    std::size_t i = 0;
    while (out.size() < entries && i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        if (i >= text.size()) break;
        std::int64_t v = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') v = v * 10 + (text[i++] - '0');
        while (i < text.size() && text[i] != ' ') ++i;
        out.push_back(v);
    }
    out.resize(entries, 0);
    return out;
}

// Two digits of a number below 100.
void appendTwo(std::string& out, unsigned v) {
    out += char('0' + v / 10);
    out += char('0' + v % 10);
}

void appendInteger(std::string& out, std::int64_t v) {
    char buf[24];
    char* end = buf + sizeof buf;
    char* p = end;
    const bool negative = v < 0;
    std::uint64_t u = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    do {
        *--p = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (negative) *--p = '-';
    out.append(p, static_cast<std::size_t>(end - p));
}

// "2026-12-07T05:03:57Z" of seconds since 1970, above 0 (the proleptic
// Gregorian calendar, counted from days as the C library does, without its
// locks).
void appendIsoTime(std::string& out, std::int64_t seconds) {
    const std::int64_t days = seconds / 86400 + 719468;  // from 0000-03-01
    const std::int64_t rest = seconds % 86400;
    const std::int64_t era = days / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const unsigned day = unsigned(doy - (153 * mp + 2) / 5 + 1);
    const unsigned month = unsigned(mp < 10 ? mp + 3 : mp - 9);
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    appendInteger(out, year);
    out += '-';
    appendTwo(out, month);
    out += '-';
    appendTwo(out, day);
    out += 'T';
    appendTwo(out, unsigned(rest / 3600));
    out += ':';
    appendTwo(out, unsigned(rest / 60 % 60));
    out += ':';
    appendTwo(out, unsigned(rest % 60));
    out += 'Z';
}

std::string number(double v) {
    // Hundredths, as the temperatures are kept, without the C library's
    // floating-point formatting: the same text "%.2f" would give.
    const double hundredths = std::nearbyint(v * 100.0);
    if (std::fabs(hundredths) < 1e12 && std::fabs(v * 100.0 - hundredths) < 1e-6) {
        std::int64_t k = static_cast<std::int64_t>(hundredths);
        std::string s;
        if (k < 0) {
            s += '-';
            k = -k;
        }
        appendInteger(s, k / 100);
        if (k % 100 != 0) {
            s += '.';
            s += char('0' + k % 100 / 10);
            if (k % 10 != 0) s += char('0' + k % 10);
        }
        return s == "-0" ? "0" : s;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

}  // namespace

std::string deviceKey(std::uint32_t id) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string key(8, '0');
    for (int i = 7; i >= 0; --i, id >>= 4) key[std::size_t(i)] = kHex[id & 0xF];
    return key;
}

std::optional<std::uint32_t> parseDeviceKey(const std::string& key) {
    const auto v = parseHexDigits(key, 8);
    if (!v) return std::nullopt;
    return static_cast<std::uint32_t>(*v);
}

const char* pingWord(PingState s) noexcept {
    switch (s) {
        case PingState::Ok:
            return "ok";
        case PingState::Reboot:
            return "reboot";
        case PingState::Fail:
            return "fail";
        case PingState::Off:
            return "off";
    }
    return "off";
}

std::string isoTime(std::int64_t seconds) {
    std::string out;
    if (seconds > 0) appendIsoTime(out, seconds);
    return out;
}

std::string groupPath(const GroupOutline& outline, std::uint32_t groupId) {
    int index = outline.indexOf(groupId);
    std::vector<const std::string*> names;
    while (index >= 0 && names.size() <= outline.entries.size()) {
        const GroupEntry& g = outline.entries[static_cast<std::size_t>(index)];
        names.push_back(&g.name);
        index = g.parent;
    }
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (!path.empty()) path += '/';
        path += cp932ToUtf8(**it);
    }
    return path;
}

DeviceFacts deviceFacts(const DeviceRecord& r, const GroupOutline& outline) {
    return deviceFacts(r, groupPath(outline, r.groupId));
}

namespace {

// The facts of a record or of its source (the same fields by the same
// names).
template <class Record>
DeviceFacts factsOf(const Record& r, std::string group) {
    DeviceFacts f;
    f.deviceId = r.deviceId;
    f.groupId = r.groupId;
    f.modelCode = r.modelCode;
    f.key = deviceKey(r.deviceId);
    f.name = cp932ToUtf8(r.name);
    f.group = std::move(group);
    f.model = std::string(modelInfo(r.modelCode).displayText);
    f.address = cp932ToUtf8(r.addressText);
    for (char c : r.macText)
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) f.mac += c;
    if (f.mac.size() != 12) f.mac.clear();
    // The power column: a master digit and a blank when the master's state
    // is known, then one digit per reported outlet. A device that never
    // reported still holds its model's placeholder: nothing of it is known.
    std::string_view outlets = r.updateTime != 0 ? std::string_view(r.powerText) : "";
    if (outlets.size() >= 2 && outlets[1] == ' ') {
        f.master = outlets[0] != '0';
        outlets.remove_prefix(2);
    }
    f.outlets.reserve(std::min<std::size_t>(outlets.size(), kMaxOutlets));
    int n = 0;
    for (char c : outlets) {
        if (n >= kMaxOutlets) break;
        if (c != '0' && c != '1') continue;
        f.outlets.push_back({++n, {}, c == '1'});
    }
    f.ping = pingStates(r.pingText);
    f.reboots = rebootCounts(r.rebootText, f.ping.size());
    if (r.temperatureState >= 0) {
        f.temperature = r.temperature / 100.0;
        f.temperatureState = r.temperatureState <= 4
                                 ? cp932ToUtf8(LangStrings::selectColumn(
                                       LangStrings::entry(temperatureStateText(r.temperatureState)),
                                       Language::English))
                                 : std::to_string(r.temperature / 100);
    }
    f.updated = r.updateTime;
    return f;
}

}  // namespace

DeviceFacts deviceFacts(const DeviceRecord& r, std::string group) {
    return factsOf(r, std::move(group));
}

DeviceFacts deviceFacts(const DeviceSource& s, std::string group) {
    return factsOf(s, std::move(group));
}

void DeviceSource::assign(const DeviceRecord& r) {
    deviceId = r.deviceId;
    groupId = r.groupId;
    modelCode = r.modelCode;
    name = r.name;
    addressText = r.addressText;
    macText = r.macText;
    powerText = r.powerText;
    pingText = r.pingText;
    rebootText = r.rebootText;
    temperature = r.temperature;
    temperatureState = r.temperatureState;
    updateTime = r.updateTime;
}

const std::string& GroupTable::pathOf(std::uint32_t groupId) const {
    static const std::string kNone;
    const int index = outline.indexOf(groupId);
    return index < 0 || std::size_t(index) >= paths.size() ? kNone : paths[std::size_t(index)];
}

std::shared_ptr<const GroupTable> groupTable(const GroupOutline& outline) {
    auto g = std::make_shared<GroupTable>();
    g->outline = outline;
    for (const GroupEntry& e : outline.entries) {
        g->names.push_back(cp932ToUtf8(e.name));
        g->paths.push_back(groupPath(outline, e.id));
    }
    return g;
}

std::string jsonQuote(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    appendJsonString(out, utf8);
    return out;
}

std::string stateJson(const DeviceFacts& f) {
    std::string j;
    j.reserve(192 + f.name.size() + f.group.size() + f.address.size() + 40 * f.outlets.size() +
              12 * f.ping.size());
    j += "{\"id\":";
    appendJsonString(j, f.key);
    j += ",\"name\":";
    appendJsonString(j, f.name);
    j += ",\"group\":";
    appendJsonString(j, f.group);
    j += ",\"model\":";
    appendJsonString(j, f.model);
    j += ",\"address\":";
    appendJsonString(j, f.address);
    j += ",\"mac\":";
    appendJsonString(j, f.mac);
    j += ",\"outlets\":[";
    for (std::size_t i = 0; i < f.outlets.size(); ++i) {
        const OutletFact& o = f.outlets[i];
        j += i ? ",{\"n\":" : "{\"n\":";
        appendInteger(j, o.n);
        j += ",\"name\":";
        appendJsonString(j, o.name);
        j += o.on ? ",\"state\":\"ON\"}" : ",\"state\":\"OFF\"}";
    }
    j += "],\"master\":";
    j += f.master ? (*f.master ? "\"ON\"" : "\"OFF\"") : "null";
    j += ",\"ping\":[";
    for (std::size_t i = 0; i < f.ping.size(); ++i) {
        j += i ? ",\"" : "\"";
        j += pingWord(f.ping[i]);
        j += '"';
    }
    j += "],\"reboots\":[";
    for (std::size_t i = 0; i < f.reboots.size(); ++i) {
        if (i) j += ',';
        appendInteger(j, f.reboots[i]);
    }
    j += "],\"temperature\":";
    j += f.temperature ? number(*f.temperature) : "null";
    j += ",\"temperature_state\":";
    appendJsonString(j, f.temperatureState);
    j += ",\"updated\":";
    if (f.updated > 0) {
        j += '"';
        appendIsoTime(j, f.updated);
        j += '"';
    } else {
        j += "null";
    }
    j += '}';
    return j;
}

void GroupFilter::add(const GroupOutline& outline, std::uint32_t groupId) {
    const int top = outline.indexOf(groupId);
    if (top < 0) return;
    // A group is inside when its chain of parents reaches the top one (a
    // parent always comes before its children: the chain ends).
    for (std::size_t i = 0; i < outline.entries.size(); ++i) {
        for (int index = static_cast<int>(i); index >= 0;
             index = outline.entries[static_cast<std::size_t>(index)].parent) {
            if (index == top) {
                groups_.insert(outline.entries[i].id);
                break;
            }
        }
    }
}

}  // namespace zelo::forward
