#include "connection/framed_replies.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/c_number.h"
#include "common/scan.h"
#include "connection/register_table.h"

namespace zelo {
namespace {

constexpr std::size_t kLogTextMax = 31;
const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kDayTokens[] = {"Sun", "Mon", "Tue", "Wed", "Thu",
                                  "Fri", "Sat", "All", "M-F", "M-S"};

// "R" + three or four letters/digits + "=": the register number (read as
// hexadecimal) and the value behind the equals sign.
bool registerLine(std::string_view s, std::uint32_t& number, std::string_view& value) {
    if (s.size() < 5 || s[0] != 'R') return false;
    const std::size_t digits = alphaNumericRun(s, 1, 4);
    if (digits < 3 || 1 + digits >= s.size() || s[1 + digits] != '=') return false;
    number = parseCHex(s.substr(1, digits));
    value = s.substr(2 + digits);
    return true;
}

// "PL" + two or three letters/digits + "=": the entry number (decimal).
bool scheduleLine(std::string_view s, int& number, std::string_view& value) {
    if (s.size() < 5 || !startsWith(s, "PL")) return false;
    const std::size_t digits = alphaNumericRun(s, 2, 3);
    if (digits < 2 || 2 + digits >= s.size() || s[2 + digits] != '=') return false;
    number = parseCInt(s.substr(2, digits));
    value = s.substr(3 + digits);
    return true;
}

// Outlet states in every fourth column from `from` on, until a control
// character or blank, the end of the line, or eight outlets.
void readOutletColumns(DeviceStatus& st, std::string_view body, std::size_t from,
                       ReplyEffects& effects) {
    int n = 0;
    for (std::size_t p = from; n < kMaxOutlets && p < body.size(); p += 4) {
        const auto c = static_cast<unsigned char>(body[p]);
        if (c <= 32) break;
        OutletStatus& o = st.outlets[static_cast<std::size_t>(n)];
        const int state = c - '0';
        if (o.state != state) {
            o.state = state;
            effects.outletsChanged = static_cast<std::uint8_t>(effects.outletsChanged | (1u << n));
        }
        o.valid = true;
        ++n;
    }
    st.outletCount = n;
}

void parseClock(DeviceStatus& st, std::string_view value) {
    // Copied so that the scan stops at the value's end.
    const std::string text(value);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char weekday[16] = {0}, note[16] = {0};
    int read = 0;
    if (text.size() == 23) {
        read = std::sscanf(text.c_str(), "%d/%d/%d %15s %d:%d:%d", &year, &month, &day, weekday,
                           &hour, &minute, &second);
    } else {
        read = std::sscanf(text.c_str(), "%d/%d/%d %15s %d:%d:%d (%15s", &year, &month, &day,
                           weekday, &hour, &minute, &second, note);
    }
    if (read < 7) return;  // not a clock
    DeviceClock& c = st.clock;
    c.year = year - 1900;
    c.month = month - 1;
    c.day = day;
    c.hour = hour;
    c.minute = minute;
    c.second = second;
    c.weekday = 0;
    for (int i = 0; i < 7; ++i)
        if (std::string_view(weekday).substr(0, 3) == kWeekdays[i]) c.weekday = i;
    c.daylight = std::string_view(note) == "DT)" ? -1 : 0;
}

void parseSpec(DeviceStatus& st, std::string_view v) {
    // Accepted only with its dashes, which also guarantees positions 0..34.
    for (std::size_t p : {4, 9, 14, 19, 24, 29, 34})
        if (p >= v.size() || v[p] != '-') return;
    st.outletGroups = v[13] == '0' ? 0 : digitAt(v, 10);
    st.masterDigit = digitAt(v, 11);
    st.modelByte = static_cast<int>(parseCHex(v.substr(15, 2)) & 0xFF);
    const std::string swapped{v[22], v[23], v[20], v[21]};
    st.specField = static_cast<int>(parseCHex(swapped) & 0xFF);
    st.sensorDigit = digitAt(v, 28);
    st.pingDigit = digitAt(v, 35);  // a value that stops at its last dash has none
}

void parseTypes(DeviceStatus& st, std::string_view v) {
    const int count = shownOutletCount(st.outletCount);
    std::size_t p = 0;
    for (int i = 0; i < count && p <= v.size(); ++i) {
        const std::size_t comma = v.find(',', p);
        const std::string_view item =
            v.substr(p, comma == std::string_view::npos ? v.npos : comma - p);
        st.outlets[static_cast<std::size_t>(i)].type = static_cast<int>(parseCHex(item) & 0xFF);
        if (comma == std::string_view::npos) break;
        p = comma + 1;
    }
}

void refreshPower(ReplyTarget& t) {
    t.record.powerText = cutText(powerText(t.status), field::kStateText);
}

void startList(ReplyTarget& t, int mode) {
    t.listStarted = true;
    t.listEnded = false;
    t.listMode = mode;
}

// A list line (list mode 1 or 2): the dashes, the prompt, or an entry.
// False when the line is none of them and is read as any other line.
bool parseListLine(ReplyTarget& t, std::string_view line, ReplyEffects& effects) {
    if (startsWith(line, "-")) {
        // The register list counts its dashes only once its header came.
        if (t.listMode == 2 || t.listStarted) t.listEnded = true;
        return true;
    }
    if (contains(line, framedPromptOf(t.record))) {
        if (t.listEnded) {
            t.listMode = 0;
            effects.listEnded = true;
        }
        return true;
    }
    if (t.listMode == 1) {
        std::uint32_t number = 0;
        std::string_view value;
        if (!registerLine(line, number, value)) return false;
        effects |= dispatchRegister(t, number, value);
        return true;
    }
    int number = 0;
    std::string_view value;
    if (!scheduleLine(line, number, value)) return false;
    if (number >= 0 && number < kScheduleListEntries)
        parseListedScheduleEntry(value, t.status.scheduleList[static_cast<std::size_t>(number)]);
    return true;
}

}  // namespace

void parseListedScheduleEntry(std::string_view v, ListedScheduleEntry& e) {
    e = ListedScheduleEntry{};
    e.used = true;
    e.code = std::string(v.substr(0, 4));
    std::string_view time;
    if (v.size() > 18 && v[18] == ':') {
        if (v.size() > 5 && v[5] != ' ') e.dateField = parseCInt(v.substr(5, 4));
        time = v.substr(10);
    } else {
        time = v.size() > 5 ? v.substr(5) : std::string_view();
    }
    auto twoDigits = [&time](std::size_t p) {
        return p < time.size() && isDecimalDigit(time[p]) ? parseCInt(time.substr(p, 2)) : 0;
    };
    if (!time.empty() && time[0] == 'T') {
        e.hour = e.minute = 255;
    } else {
        e.hour = twoDigits(0);
        e.minute = twoDigits(3);
    }
    e.outlet = time.size() > 6 ? parseCInt(time.substr(6, 2)) : 0;
    e.action = time.size() > 9 ? parseCInt(time.substr(9, 2)) : 0;
    e.dayToken = 7;
    if (time.size() >= 15) {
        for (int i = 0; i < 10; ++i)
            if (time.substr(12, 3) == kDayTokens[i]) e.dayToken = i;
    }
    if (time.size() > 15) {
        const char w = time[15];
        e.weekOfMonth = w >= '1' && w <= '5' ? w - '0' : w == 'L' ? 6 : 0;
    }
}

ReplyEffects parseFramedReply(ReplyTarget& t, std::string_view line, std::int64_t now) {
    ReplyEffects effects;
    DeviceStatus& st = t.status;
    if ((t.listMode == 1 || t.listMode == 2) && parseListLine(t, line, effects)) return effects;

    // Everything else is read behind the frame prefix, wherever the line
    // has it (a prompt may stand in front of an unsolicited line).
    const std::string prefix = framePrefixOf(t.record);
    const std::size_t at = line.find(prefix);
    if (at == std::string_view::npos) return effects;
    const std::string_view body = line.substr(at + prefix.size());

    std::uint32_t number = 0;
    std::string_view value;
    if (startsWith(body, "Err")) {
        effects.error = true;
    } else if (startsWith(body, "POS=")) {
        st.previousRecord = t.record;
        readOutletColumns(st, body, 4, effects);
        refreshPower(t);
        effects.recordChanged = true;
        effects.masterWanted = true;
    } else if (startsWith(body, "SCS=")) {
        const int count = shownOutletCount(st.outletCount);
        for (int i = 0; i < count; ++i) {
            const std::size_t p = 4 + 4 * static_cast<std::size_t>(i);
            if (p >= body.size()) break;
            st.outlets[static_cast<std::size_t>(i)].schedule = body[p] != '0';
        }
        st.scheduleKnown = true;
        t.record.scheduleText = cutText(scheduleText(st), field::kStateText);
        effects.recordChanged = true;
    } else if (startsWith(body, "MPOS=")) {
        st.previousRecord = t.record;
        if (body.size() > 5) {
            const int master = body[5] - '0';
            if (master != st.masterState) {
                st.masterState = master;
                effects.masterChanged = true;
            }
        }
        readOutletColumns(st, body, 7, effects);
        refreshPower(t);
        t.record.updateTime = static_cast<std::uint32_t>(now);
        effects.recordChanged = true;
    } else if (startsWith(body, "LOG0=")) {
        st.lastLogText = cutText(body.substr(5), kLogTextMax);
    } else if (startsWith(body, "DT=")) {
        parseClock(st, body.substr(3));
    } else if (startsWith(body, "RL") && contains(body, "=")) {
        startList(t, 1);
    } else if (registerLine(body, number, value)) {
        effects |= dispatchRegister(t, number, value);
    } else if (startsWith(body, "PLIST") && contains(body, "=")) {
        startList(t, 2);
    } else if (startsWith(body, "SPEC=")) {
        parseSpec(st, body.substr(5));
    } else if (startsWith(body, "TYPE=")) {
        parseTypes(st, body.substr(5));
    }
    return effects;
}

}  // namespace zelo
