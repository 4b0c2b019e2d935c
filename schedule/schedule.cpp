#include "schedule/schedule.h"

#include <cstdio>
#include <vector>

#include "common/c_number.h"
#include "common/file_replace.h"
#include "common/line_reader.h"
#include "common/text_encoding.h"

namespace zelo {
namespace {

constexpr std::size_t kFieldMax = 31;

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (out.size() < 4) {
        const std::size_t comma = line.find(',', start);
        out.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                        : comma - start)
                          .substr(0, kFieldMax));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    out.resize(4);
    return out;
}

// "%d<sep>%d..." : up to `count` numbers separated by `sep`.
int numbers(std::string_view text, char sep, int* out, int count) {
    std::string spaced(text);
    int read = 0;
    std::size_t pos = 0;
    for (; read < count; ++read) {
        if (read > 0) {
            // the literal separator, after optional blanks before it
            while (pos < spaced.size() && spaced[pos] == ' ') ++pos;
            if (pos >= spaced.size() || spaced[pos] != sep) break;
            ++pos;
        }
        std::int32_t v = 0;
        const std::size_t start = pos;
        while (pos < spaced.size() && spaced[pos] == ' ') ++pos;
        if (pos < spaced.size() && (spaced[pos] == '-' || spaced[pos] == '+')) ++pos;
        const std::size_t digits = pos;
        while (pos < spaced.size() && spaced[pos] >= '0' && spaced[pos] <= '9') ++pos;
        if (pos == digits) break;
        v = parseCInt(std::string_view(spaced).substr(start, pos - start));
        out[read] = v;
    }
    return read;
}

}  // namespace

void parseScheduleText(std::string_view data, ScheduleTable& table) {
    table.clear();
    LineReader reader(data);
    std::string_view line;
    int n = 0;
    while (n < kScheduleEntries && reader.next(line) && !isStopLine(line)) {
        const auto f = fields(line);
        ScheduleEntry& e = table.entries[static_cast<std::size_t>(n)];
        int time[2] = {0, 0};
        numbers(f[0], ':', time, 2);
        e.hour = static_cast<std::uint8_t>(time[0]);
        e.minute = static_cast<std::uint8_t>(time[1]);
        if (f[1].substr(0, 2) == "20") {
            int date[3] = {0, 0, 0};
            numbers(f[1], '/', date, 3);
            e.year = static_cast<std::uint16_t>(date[0]);
            e.month = static_cast<std::uint8_t>(date[1]);
            e.day = static_cast<std::uint8_t>(date[2]);
        } else if (!f[1].empty() && f[1][0] == 'S') {
            e.month = e.day = kSpecialDay;
        } else {
            int date[2] = {0, 0};
            numbers(f[1], '/', date, 2);
            e.month = static_cast<std::uint8_t>(date[0]);
            e.day = static_cast<std::uint8_t>(date[1]);
        }
        if (f[2].empty()) e.weekday = kEveryDay;
        else if (f[2].find("1-5") != std::string_view::npos) e.weekday = kMondayToFriday;
        else if (f[2].find("1-6") != std::string_view::npos) e.weekday = kMondayToSaturday;
        else e.weekday = static_cast<std::uint8_t>(parseCInt(f[2]));
        e.week = 0;
        e.action = std::string(f[3].substr(0, kScheduleActionMax));
        ++n;
    }
    table.count = n;
}

bool loadScheduleFromPath(const std::string& path, ScheduleTable& table) {
    std::string data;
    if (!readWholeFile(path, data)) return false;
    parseScheduleText(data, table);
    const std::size_t slash = path.find_last_of("/\\");
    // The path is UTF-8; the name goes into the delivery log, which holds CP932.
    table.fileName =
        utf8ToCp932(slash == std::string::npos ? path : path.substr(slash + 1)).substr(0, 255);
    return true;
}

std::string formatScheduleLine(const ScheduleEntry& e) {
    char buf[32];
    std::string line;
    std::snprintf(buf, sizeof buf, "%02d:%02d,", e.hour, e.minute);
    line += buf;
    if (e.year != 0) {
        std::snprintf(buf, sizeof buf, "%04d/", e.year);
        line += buf;
    }
    if (e.month >= kSpecialDay) {
        line += "S,";
    } else {
        std::snprintf(buf, sizeof buf, "%02d/%02d,", e.month, e.day);
        line += buf;
    }
    if (e.weekday == kMondayToFriday) line += "1-5,";
    else if (e.weekday == kMondayToSaturday) line += "1-6,";
    else if (e.weekday >= kEveryDay) line += ",";
    else {
        if (e.week == 0) std::snprintf(buf, sizeof buf, "%d,", e.weekday);
        else if (e.week >= 6) std::snprintf(buf, sizeof buf, "%d/L,", e.weekday);
        else std::snprintf(buf, sizeof buf, "%d/%d,", e.weekday, e.week);
        line += buf;
    }
    return line + e.action;
}

}  // namespace zelo
