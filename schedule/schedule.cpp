#include "schedule/schedule.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "common/c_number.h"
#include "common/file_replace.h"
#include "common/line_reader.h"
#include "common/text_encoding.h"
#include "connection/power_control.h"

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

// Digits only, `min` to `max` of them, and the value they make.
bool digits(std::string_view text, std::size_t min, std::size_t max, int& value) {
    if (text.size() < min || text.size() > max) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool goodTime(std::string_view f) {
    const std::size_t colon = f.find(':');
    int hour = 0, minute = 0;
    return colon != std::string_view::npos && digits(f.substr(0, colon), 1, 2, hour) &&
           digits(f.substr(colon + 1), 1, 2, minute) && hour <= 23 && minute <= 59;
}

bool goodDate(std::string_view f) {
    if (f == "S") return true;
    int year = 0, month = 0, day = 0;
    if (f.substr(0, 2) == "20") {  // read as starting with a year
        if (f.size() < 5 || !digits(f.substr(0, 4), 4, 4, year) || f[4] != '/') return false;
        f.remove_prefix(5);
    }
    const std::size_t slash = f.find('/');
    return slash != std::string_view::npos && digits(f.substr(0, slash), 1, 2, month) &&
           digits(f.substr(slash + 1), 1, 2, day) && month >= 1 && month <= 12 && day >= 1 &&
           day <= 31;
}

bool goodWeekday(std::string_view f) {
    return f.empty() || f == "1-5" || f == "1-6" || (f.size() == 1 && f[0] >= '0' && f[0] <= '6');
}

bool goodAction(std::string_view f) {
    return f == "MPOR" || isPowerButtonText(f);
}

}  // namespace

ScheduleFault checkScheduleText(std::string_view data) {
    LineReader reader(data);
    std::string_view line;
    int number = 0, entries = 0, stoppedAt = 0;
    while (reader.next(line)) {
        ++number;
        if (isStopLine(line)) {
            if (stoppedAt == 0) stoppedAt = number;
            continue;
        }
        if (stoppedAt) return {stoppedAt, Text::ScheduleEntriesAfterEmptyLine};
        if (++entries > kScheduleEntries) return {number, Text::ScheduleTooLong};
        // The fields as written: up to the fourth comma, what follows ignored.
        std::string_view f[4];
        std::size_t start = 0;
        for (int i = 0; i < 4 && start != std::string_view::npos; ++i) {
            const std::size_t comma = line.find(',', start);
            f[i] = line.substr(start, comma == std::string_view::npos ? comma : comma - start);
            start = comma == std::string_view::npos ? comma : comma + 1;
        }
        if (!goodTime(f[0])) return {number, Text::ScheduleBadTime};
        if (!goodDate(f[1])) return {number, Text::ScheduleBadDate};
        if (!goodWeekday(f[2])) return {number, Text::ScheduleBadWeekday};
        if (!goodAction(f[3])) return {number, Text::ScheduleBadAction};
    }
    // The device refuses an entry it holds already; the lines are the
    // entries, from line 1 on.
    auto table = std::make_unique<ScheduleTable>();
    parseScheduleText(data, *table);
    for (int i = 1; i < table->count; ++i)
        for (int j = 0; j < i; ++j)
            if (table->entries[std::size_t(i)] == table->entries[std::size_t(j)])
                return {i + 1, Text::ScheduleRepeated};
    return {};
}

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
        if (f[2].empty())
            e.weekday = kEveryDay;
        else if (f[2].find("1-5") != std::string_view::npos)
            e.weekday = kMondayToFriday;
        else if (f[2].find("1-6") != std::string_view::npos)
            e.weekday = kMondayToSaturday;
        else
            e.weekday = static_cast<std::uint8_t>(parseCInt(f[2]));
        e.week = 0;
        e.action = std::string(f[3].substr(0, kScheduleActionMax));
        ++n;
    }
    table.count = n;
}

bool loadScheduleFromPath(const std::string& path, ScheduleTable& table, ScheduleFault& fault) {
    std::string data;
    fault = {};
    if (!readWholeFile(path, data)) return false;
    fault = checkScheduleText(data);
    if (fault) return false;
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
    if (e.weekday == kMondayToFriday)
        line += "1-5,";
    else if (e.weekday == kMondayToSaturday)
        line += "1-6,";
    else if (e.weekday >= kEveryDay)
        line += ",";
    else {
        if (e.week == 0)
            std::snprintf(buf, sizeof buf, "%d,", e.weekday);
        else if (e.week >= 6)
            std::snprintf(buf, sizeof buf, "%d/L,", e.weekday);
        else
            std::snprintf(buf, sizeof buf, "%d/%d,", e.weekday, e.week);
        line += buf;
    }
    return line + e.action;
}

}  // namespace zelo
