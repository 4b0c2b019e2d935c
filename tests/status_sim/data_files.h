#pragma once
// Data directory contents written by hand for the station tests: item file
// records of 16 CR LF lines, and the time field of event log lines.

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <set>
#include <string>
#include <vector>

namespace zelo::test {

inline const std::string kItemHeader = "#ZELO ITEM FILE#VER 2\r\n";

struct ItemRecord {
    std::string name;
    std::string modelName;
    std::uint32_t id = 0;
    int code = 0;
    std::string power;
    std::string schedule;
    std::uint32_t updateTime = 0;
    std::string mac;
    std::string login;  // line 10 as written: password, or password and user
    std::string extra;  // line 11: prompt and select, or unit (hex) and system name
    std::string ping;
    std::string reboot;
    int temperature = 0;
    int temperatureState = -1;
};

inline std::string hex8(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(v));
    return buf;
}

inline std::string hexId(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(v));
    return buf;
}

inline std::string itemLines(const ItemRecord& r) {
    return r.name + "\r\n" + r.modelName + "\r\n" + hexId(r.id) + "\r\n" + std::to_string(r.code) +
           "\r\n#10.0.0.1 17\r\n" + r.power + "\r\n" + r.schedule + "\r\n00000000 " +
           hex8(r.updateTime) + "\r\n" + r.mac + "\r\n" + r.login + "\r\n" + r.extra + "\r\n\r\n" +
           r.ping + "\r\n" + r.reboot + "\r\n" + std::to_string(r.temperature) + "\r\n" +
           std::to_string(r.temperatureState) + "\r\n";
}

inline std::string itemFile(const std::vector<ItemRecord>& records) {
    std::string text = kItemHeader;
    for (const ItemRecord& r : records) text += itemLines(r);
    return text;
}

// Splits CR LF terminated text into its lines.
inline std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    return lines;
}

// Local time as the event log's time field has it with DateStyle 0.
inline std::string logTime(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min);
    return buf;
}

// Every time field a line written between two instants can carry.
inline std::set<std::string> logTimes(std::int64_t from, std::int64_t to) {
    std::set<std::string> times;
    for (std::int64_t t = from; t <= to; ++t) times.insert(logTime(t));
    return times;
}

}  // namespace zelo::test
