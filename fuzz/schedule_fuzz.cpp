// Any bytes as a schedule file: parsed into the table, and every entry that
// parsed formatted as the line a device is sent.
//
// The device line is not the file's line, but both share the field order,
// so for the entries whose date has one reading in both (a year of 0 or
// 2000..2099 and a month of 1..12, or the special day without a year)
// reading the device line as a file line gives the entry back, with a
// weekday code above 9 read as every day. Each line is read alone, so the
// first sixteen such entries show it as well as all 200 would.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/scratch_dir.h"
#include "schedule/schedule.h"

namespace {

using namespace zelo;
using fuzz::check;

bool unambiguous(const ScheduleEntry& e) {
    if (e.week != 0) return false;
    if (e.month == kSpecialDay) return e.day == kSpecialDay && e.year == 0;
    if (e.month < 1 || e.month > 12) return false;
    return e.year == 0 || (e.year >= 2000 && e.year <= 2099);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ScheduleTable table;
    static ScheduleTable again;
    parseScheduleText(std::string_view(reinterpret_cast<const char*>(data), size), table);
    check(table.count >= 0 && table.count <= kScheduleEntries, "entry count within 0..200");
    // The device lines of the entries with one reading, as one file.
    std::string lines;
    std::vector<const ScheduleEntry*> listed;
    for (int i = 0; i < kScheduleEntries; ++i) {
        const ScheduleEntry& e = table.entries[static_cast<std::size_t>(i)];
        if (i >= table.count) {
            check(e == ScheduleEntry{}, "entries past the count are empty");
            continue;
        }
        check(e.action.size() <= kScheduleActionMax, "action cut to six");
        check(e.action.find(',') == std::string::npos, "action is one field");
        check(e.week == 0, "a file entry runs every week");
        const std::string line = formatScheduleLine(e);
        check(line.size() >= e.action.size() &&
                  line.compare(line.size() - e.action.size(), e.action.size(), e.action) == 0,
              "the device line ends with the action");
        if (listed.size() < 16 && unambiguous(e)) {
            lines += line + "\r\n";
            listed.push_back(&e);
        }
    }
    // A file the delivery's check lets through holds only entries a device
    // takes as they are read, and their device lines pass the check too.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!checkScheduleText(text)) {
        std::string sent;
        for (int i = 0; i < table.count; ++i) {
            const ScheduleEntry& e = table.entries[static_cast<std::size_t>(i)];
            check(e.hour <= 23 && e.minute <= 59, "a checked entry's time is a time of day");
            check(e.month == kSpecialDay
                      ? e.day == kSpecialDay
                      : e.month >= 1 && e.month <= 12 && e.day >= 1 && e.day <= 31,
                  "a checked entry's date is a date or the special day");
            check(e.weekday <= kMondayToSaturday, "a checked entry's weekday has a code");
            check(e.inUse(), "a checked entry is in use");
            sent += formatScheduleLine(e) + "\r\n";
        }
        check(!checkScheduleText(sent), "the device lines of a checked file pass the check");
    }
    parseScheduleText(lines, again);
    check(again.count == static_cast<int>(listed.size()), "each device line reads as one entry");
    for (std::size_t i = 0; i < listed.size(); ++i) {
        ScheduleEntry expected = *listed[i];
        if (expected.weekday > kMondayToSaturday) expected.weekday = kEveryDay;  // written as ","
        check(again.entries[i] == expected, "the device line reads as the entry");
    }
    return 0;
}
