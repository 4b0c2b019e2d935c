#include "forward/device_facts.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <unordered_map>

#include "common/text_encoding.h"
#include "directory/list_columns.h"
#include "directory/model_table.h"
#include "settings/lang_strings.h"

namespace zelo::forward {
namespace {

constexpr int kEnglish = 1;

// The ping column holds letters, or in Japanese two-byte signs.
std::vector<PingState> pingStates(const std::string& text) {
    std::vector<PingState> out;
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

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

}  // namespace

std::string deviceKey(std::uint32_t id) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(id));
    return buf;
}

std::optional<std::uint32_t> parseDeviceKey(const std::string& key) {
    if (key.size() != 8) return std::nullopt;
    std::uint32_t v = 0;
    for (char c : key) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return std::nullopt;
        v = v << 4 | static_cast<std::uint32_t>(d);
    }
    return v;
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
    if (seconds <= 0) return {};
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
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

DeviceFacts deviceFacts(const DeviceRecord& r, std::string group) {
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
        f.temperatureState =
            r.temperatureState <= 4
                ? cp932ToUtf8(LangStrings::selectColumn(
                      LangStrings::entry(temperatureStateText(r.temperatureState)), kEnglish))
                : std::to_string(r.temperature / 100);
    }
    f.updated = r.updateTime;
    return f;
}

std::string jsonQuote(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string stateJson(const DeviceFacts& f) {
    std::string j = "{\"id\":" + jsonQuote(f.key) + ",\"name\":" + jsonQuote(f.name) +
                    ",\"group\":" + jsonQuote(f.group) + ",\"model\":" + jsonQuote(f.model) +
                    ",\"address\":" + jsonQuote(f.address) + ",\"mac\":" + jsonQuote(f.mac) +
                    ",\"outlets\":[";
    for (std::size_t i = 0; i < f.outlets.size(); ++i) {
        const OutletFact& o = f.outlets[i];
        j += (i ? ",{\"n\":" : "{\"n\":") + std::to_string(o.n) + ",\"name\":" + jsonQuote(o.name) +
             ",\"state\":" + (o.on ? "\"ON\"}" : "\"OFF\"}");
    }
    j += "],\"master\":";
    j += f.master ? (*f.master ? "\"ON\"" : "\"OFF\"") : "null";
    j += ",\"ping\":[";
    for (std::size_t i = 0; i < f.ping.size(); ++i)
        j += (i ? ",\"" : "\"") + std::string(pingWord(f.ping[i])) + "\"";
    j += "],\"reboots\":[";
    for (std::size_t i = 0; i < f.reboots.size(); ++i)
        j += (i ? "," : "") + std::to_string(f.reboots[i]);
    j += "],\"temperature\":";
    j += f.temperature ? number(*f.temperature) : "null";
    j += ",\"temperature_state\":" + jsonQuote(f.temperatureState);
    j += ",\"updated\":";
    j += f.updated > 0 ? jsonQuote(isoTime(f.updated)) : "null";
    return j + "}";
}

bool GroupFilter::add(const GroupOutline& outline, std::uint32_t groupId) {
    const int top = outline.indexOf(groupId);
    if (top < 0) return false;
    // A group is inside when its chain of parents reaches the top one.
    for (std::size_t i = 0; i < outline.entries.size(); ++i) {
        int index = static_cast<int>(i);
        for (std::size_t steps = 0; index >= 0 && steps <= outline.entries.size(); ++steps) {
            if (index == top) {
                groups_.insert(outline.entries[i].id);
                break;
            }
            index = outline.entries[static_cast<std::size_t>(index)].parent;
        }
    }
    return true;
}

std::vector<DeviceFacts> collectFacts(const DeviceDirectory& directory, const GroupFilter* filter) {
    std::vector<DeviceFacts> out;
    const GroupOutline& outline = directory.outline();
    // Group paths once per group, not once per device.
    std::unordered_map<std::uint32_t, std::string> paths;
    for (const GroupEntry& g : outline.entries) paths.emplace(g.id, groupPath(outline, g.id));
    for (const DeviceRecord& r : directory.devices()) {
        const auto path = paths.find(r.groupId);
        if (path == paths.end()) continue;  // its group was deleted
        if (filter && !filter->contains(r.groupId)) continue;
        out.push_back(deviceFacts(r, path->second));
    }
    return out;
}

}  // namespace zelo::forward
