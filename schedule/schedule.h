#pragma once
// Schedules: timed actions that a framed-dialect device runs by itself. The
// operator keeps them in ".shx" text files, one entry per line:
//   HH:MM,DATE,WEEKDAY,ACTION
// DATE is YYYY/MM/DD (a field starting with "20"), MM/DD, or S (special
// day); WEEKDAY is empty (every day), 1-5, 1-6 or a weekday number; only the
// first six characters of ACTION count.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "zelo_text.h"

namespace zelo {

inline constexpr int kScheduleEntries = 200;
inline constexpr std::size_t kScheduleActionMax = 6;
inline constexpr std::uint8_t kSpecialDay = 255;

enum WeekdayCode : std::uint8_t {
    kEveryDay = 7,
    kMondayToFriday = 8,
    kMondayToSaturday = 9,
};

struct ScheduleEntry {
    std::uint16_t year = 0;    // 0 every year
    std::uint8_t month = 0;    // 1..12, 255 special day
    std::uint8_t day = 0;      // 1..31, 255 with month 255
    std::uint8_t weekday = 0;  // 0..6, or one of WeekdayCode
    std::uint8_t week = 0;     // 0 every week, 1..5 the n-th, 6 or more the last
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::string action;  // empty: the entry is not in use

    bool inUse() const noexcept { return !action.empty(); }
    friend bool operator==(const ScheduleEntry& a, const ScheduleEntry& b) {
        return a.year == b.year && a.month == b.month && a.day == b.day && a.weekday == b.weekday &&
               a.week == b.week && a.hour == b.hour && a.minute == b.minute && a.action == b.action;
    }
};

struct ScheduleTable {
    std::array<ScheduleEntry, kScheduleEntries> entries{};
    int count = 0;
    std::string fileName;  // name and extension of the loaded file, for the delivery log

    void clear() {
        entries.fill(ScheduleEntry{});
        count = 0;
    }
};

// Fills the table from a schedule file's contents (the table is cleared
// first). Reading stops at the end, at a line that begins with a control
// character (an empty line among them) or after 200 entries.
void parseScheduleText(std::string_view data, ScheduleTable& table);

// The first line of a schedule file that would not reach a device as
// written: a field the device would not take or that the reading above
// would turn into something else (a header line, 25:00, 13/01, "3/L", an
// action that is no power command, a repeated entry), an empty line with
// entries after it, or a 201st entry. `line` counts from 1 (0: the file is
// sound); `textId` is the string-table text that names the reason, with a
// "%d" for the line.
struct ScheduleFault {
    int line = 0;
    Text textId{};  // none (0) while the file is sound
    explicit operator bool() const noexcept { return line != 0; }
};
ScheduleFault checkScheduleText(std::string_view data);

// Reads the file at `path` and checks every line before the table is
// filled: false when it cannot be read or `fault` names a line (the table is
// then unchanged), so that a bad file never reaches a device. The file name
// kept for the log is the path's last part.
bool loadScheduleFromPath(const std::string& path, ScheduleTable& table, ScheduleFault& fault);

// The line sent to the device for one entry ("PSET" + this line).
std::string formatScheduleLine(const ScheduleEntry& entry);

}  // namespace zelo
