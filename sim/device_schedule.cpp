#include <algorithm>
#include <cstdio>

#include "sim/device.h"
#include "sim/device_values.h"

namespace zelo::sim {

using namespace values;

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
    if (w.empty())
        e.weekday = 7;
    else if (w == "1-5")
        e.weekday = 8;
    else if (w == "1-6")
        e.weekday = 9;
    else if (w.size() == 1 && w[0] >= '0' && w[0] <= '6')
        e.weekday = w[0] - '0';
    else if (w.size() == 3 && w[0] >= '0' && w[0] <= '6' && w[1] == '/' &&
             (w[2] == 'L' || (w[2] >= '1' && w[2] <= '5'))) {
        e.weekday = w[0] - '0';
        e.week = w[2] == 'L' ? 6 : w[2] - '0';
    } else {
        return CommandResult::Bad;
    }
    const std::string& a = f[3];
    const bool masterAction = a == "MPON" || a == "MPOF" || a == "MPOR";
    const bool outletAction = a.size() == 4 &&
                              (a.compare(0, 3, "PON") == 0 || a.compare(0, 3, "POF") == 0 ||
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
    const std::string verb =
        e.action.size() == 4 ? e.action.substr(e.action[0] == 'M' ? 1 : 0, 3) : "";
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
        std::snprintf(buf, sizeof buf, "%s %04d %s", e.month == 255 ? "SPEC" : "DATE", date,
                      timePart);
    }
    return buf;
}

}  // namespace zelo::sim
