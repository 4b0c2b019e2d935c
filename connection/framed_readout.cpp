#include "connection/framed_readout.h"

#include <cstdio>

#include "common/c_number.h"
#include "common/format.h"
#include "connection/device_settings.h"

namespace zelo {

const std::array<const char*, 44> kRegisterRanges = {
    "RL170-1FF",   "RL200-21F",   "RL220-22F",   "RL230-23F",   "RL270-28F",   "RL300-31F",
    "RL320-33F",   "RL340-35F",   "RL360-37F",   "RL400-41F",   "RL420-43F",   "RL440-45F",
    "RL460-47F",   "RL480-49F",   "RL4A0-4BF",   "RL4C0-4DF",   "RL800-80F",   "RL870-89F",
    "RL500-51F",   "RL520-53F",   "RL540-55F",   "RL560-57F",   "RL580-59F",   "RL5A0-5BF",
    "RL5C0-5DF",   "RL600-61F",   "RL620-63F",   "RL870-87F",   "RL880-89F",   "RL900-90F",
    "RL980-98F",   "RL1000-103F", "RL1040-107F", "RL1080-109F", "RL2000-201F", "RL2030-204F",
    "RL2100-211F", "RL2200-224F", "RL4000-404F", "RL4050-406F", "RL4100-413F", "RL4140-417F",
    "RL4180-41BF", "RL41C0-41FF"};

const std::array<const char*, 135> kSingleRegisters = {
    "170",  "190",  "191",  "192",  "193",  "*194", "200",  "201",  "204",  "205",  "210",  "220",
    "222",  "270",  "271",  "280",  "281",  "282",  "283",  "300",  "301",  "302",  "303",  "320",
    "321",  "322",  "323",  "340",  "341",  "342",  "343",  "360",  "361",  "362",  "363",  "500",
    "501",  "502",  "503",  "520",  "521",  "522",  "523",  "540",  "541",  "542",  "543",  "560",
    "561",  "562",  "563",  "580",  "581",  "582",  "583",  "5A0",  "5A1",  "5A2",  "5A3",  "5C0",
    "5C1",  "5C2",  "5C3",  "600",  "601",  "602",  "603",  "610",  "611",  "612",  "613",  "620",
    "621",  "622",  "623",  "630",  "631",  "632",  "633",  "800",  "801",  "870",  "871",  "872",
    "880",  "881",  "882",  "883",  "900",  "980",  "981",  "982",  "1000", "1001", "1002", "1003",
    "1020", "1021", "1022", "1023", "1060", "1061", "1062", "1063", "1080", "1081", "1084", "2000",
    "2002", "2004", "2005", "2030", "2032", "2041", "2042", "2100", "2110", "2111", "2112", "2113",
    "2200", "2201", "2210", "2211", "2212", "2220", "2230", "2231", "2232", "2233", "2234", "2240",
    "2241", "2242", "2243"};

const std::array<const char*, 8> kScheduleRanges = {
    "PL-30", "PL31-60", "PL61-90", "PL91-110", "PL111-135", "PL136-160", "PL161-185", "PL186-"};

namespace {

constexpr std::size_t kLogTextMax = 31;
const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kDayTokens[] = {"Sun", "Mon", "Tue", "Wed", "Thu",
                                  "Fri", "Sat", "All", "M-F", "M-S"};
// The fixed words of registers 0x580 + n, stored as their index.
const char* const kWatchWords[] = {"NONE", "PING", "MAIL", "BOTH"};

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}
bool contains(std::string_view s, std::string_view part) {
    return !part.empty() && s.find(part) != std::string_view::npos;
}
bool isAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "R" + three or four letters/digits + "=": the register number (read as
// hexadecimal) and the value behind the equals sign.
bool registerLine(std::string_view s, std::uint32_t& number, std::string_view& value) {
    if (s.size() < 5 || s[0] != 'R') return false;
    std::size_t digits = 0;
    while (digits < 4 && 1 + digits < s.size() && isAlnum(s[1 + digits])) ++digits;
    if (digits < 3 || 1 + digits >= s.size() || s[1 + digits] != '=') return false;
    number = parseCHex(s.substr(1, digits));
    value = s.substr(2 + digits);
    return true;
}

// "PL" + two or three letters/digits + "=": the entry number (decimal).
bool scheduleLine(std::string_view s, int& number, std::string_view& value) {
    if (s.size() < 5 || s[0] != 'P' || s[1] != 'L') return false;
    std::size_t digits = 0;
    while (digits < 3 && 2 + digits < s.size() && isAlnum(s[2 + digits])) ++digits;
    if (digits < 2 || 2 + digits >= s.size() || s[2 + digits] != '=') return false;
    number = parseCInt(s.substr(2, digits));
    value = s.substr(3 + digits);
    return true;
}

// Outlet states in every fourth column from `from` on, until a control
// character or blank, the end of the line, or eight outlets.
void readOutletColumns(DeviceSession& session, std::string_view body, std::size_t from) {
    DeviceStatus& st = session.status;
    int n = 0;
    for (std::size_t p = from; n < kMaxOutlets && p < body.size(); p += 4) {
        const auto c = static_cast<unsigned char>(body[p]);
        if (c <= 32) break;
        OutletStatus& o = st.outlets[static_cast<std::size_t>(n)];
        const int state = c - '0';
        if (o.state != state) {
            o.state = state;
            session.frontend().outletChanged(n);
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

int digitAt(std::string_view v, std::size_t p) {
    return p < v.size() && isDigit(v[p]) ? v[p] - '0' : 0;
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
    const int count = std::min(st.outletCount, kMaxOutlets);
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

void refreshPower(DeviceSession& session) {
    session.record.powerText = cutText(buildPowerText(session.status), field::kStateText);
}

// What each register in the table holds: its form, the text limit, and how
// many bits a number keeps (0: all).
struct RegisterShape {
    RegisterForm form;
    std::size_t limit = 0;
    int bits = 0;
};

bool inBlock(std::uint32_t r, std::uint32_t base) {
    return r >= base && r < base + 8;
}

bool shapeOf(std::uint32_t r, RegisterShape& s) {
    using F = RegisterForm;
    auto set = [&s](F form, std::size_t limit = 0, int bits = 0) {
        s = RegisterShape{form, limit, bits};
        return true;
    };
    switch (r) {
        case 0x170:
            return set(F::Flag);
        case 0x190:
        case 0x191:
        case 0x192:
        case 0x193:
        case 0x194:
            return set(F::Number);
        case 0x200:
        case 0x201:
        case 0x204:
        case 0x205:
        case 0x210:
            return set(F::Address);
        case 0x220:
            return set(F::Text, 63);
        case 0x230:
        case 0x232:
        case 0x234:
            return set(F::Number);
        case 0x231:
            return set(F::Text, 18);
        case 0x233:
        case 0x235:
            return set(F::Tenths);
        case 0x270:
        case 0x271:
        case 0x280:
        case 0x281:
            return set(F::Number);
        case 0x282:
        case 0x283:
            return set(F::Tenths);
        case 0x800:
            return set(F::Number);
        case 0x801:
            return set(F::Tenths);
        case 0x870:
        case 0x871:
        case 0x872:
            return set(F::Text, 127);
        case 0x900:
            return set(F::Pair);
        case 0x901:
        case 0x980:
        case 0x981:
        case 0x982:
        case 0x1080:
        case 0x1081:
        case 0x1084:
            return set(F::Flag);
        case 0x2000:
        case 0x2030:
            return set(F::Text, 63);
        case 0x2002:
        case 0x2032:
            return set(F::Number, 0, 16);
        case 0x2004:
        case 0x2005:
            return set(F::Number, 0, 8);
        case 0x2041:
        case 0x2042:
            return set(F::Text, 31);
        case 0x2100:
        case 0x2110:
        case 0x2111:
        case 0x2112:
        case 0x2113:
            return set(F::Text, 32);
        case 0x2200:
        case 0x2210:
        case 0x2211:
        case 0x2212:
        case 0x2213:
        case 0x2220:
        case 0x2230:
        case 0x2231:
        case 0x2232:
        case 0x2233:
        case 0x2234:
        case 0x2240:
        case 0x2241:
        case 0x2242:
        case 0x2243:
            return set(F::Flag);
        case 0x2201:
            return set(F::Tenths);
        case 0x4000:
            return set(F::Flag);
        case 0x9165:
            return set(F::Flag);
        case 0x9801:
            return set(F::Number, 0, 16);
        case 0x9900:
            return set(F::Mac);
        case 0x9919:
            return set(F::Number);
        case 0x9930:
            return set(F::Text, 15);
        default:
            break;
    }
    // Per-outlet and per-entry ranges keep entries 0..7 only.
    for (std::uint32_t base : {0x300u, 0x320u, 0x340u, 0x360u, 0x1000u, 0x1020u, 0x1060u})
        if (inBlock(r, base)) return set(F::Tenths);
    if (inBlock(r, 0x400) || inBlock(r, 0x480)) return set(F::Text, 18);
    if (inBlock(r, 0x420) || inBlock(r, 0x4A0)) return set(F::Number);
    if (inBlock(r, 0x440) || inBlock(r, 0x4C0)) return set(F::Tenths);
    if (inBlock(r, 0x580)) return set(F::Word);
    if (inBlock(r, 0x540) || inBlock(r, 0x5C0)) return set(F::Tenths);
    for (std::uint32_t base : {0x500u, 0x520u, 0x560u, 0x5A0u})
        if (inBlock(r, base)) return set(F::Number);
    if (r >= 0x600 && r <= 0x7FF) return set(F::Text, 15);
    if (inBlock(r, 0x880)) return set(F::Text, 30);
    if (r >= 0x4010 && r <= 0x406F && (r & 0xF) < 8) return set(r < 0x4020 ? F::Tenths : F::Number);
    if (r >= 0x4100 && r <= 0x42FF) return set(F::Address);
    return false;
}

}  // namespace

// Up to two characters per group (white space skipped before each), groups
// separated by colons.
std::string readMacGroups(std::string_view v) {
    std::string out;
    std::size_t p = 0;
    for (int g = 0; g < 6; ++g) {
        if (g > 0) {
            if (p >= v.size() || v[p] != ':') return {};
            ++p;
        }
        while (p < v.size() && (v[p] == ' ' || v[p] == '\t')) ++p;
        std::size_t n = 0;
        while (n < 2 && p < v.size() && v[p] != ' ' && v[p] != '\t') {
            out += v[p++];
            ++n;
        }
        if (n == 0) return {};
    }
    return out;
}

namespace {

void mirrorIntoSettings(DeviceSession& session, std::uint32_t r, const RegisterValue& v) {
    DeviceSettings& s = session.status.settings;
    const auto n = static_cast<std::size_t>(r & 0x1F);
    switch (r) {
        case 0x190:
            s.rs232Port1Speed = s.rs232LastRead[0] = v.number;
            return;
        case 0x191:
            s.rs232Port1Bits = s.rs232LastRead[2] = v.number;
            return;
        case 0x192:
            s.rs232Port1Parity = s.rs232LastRead[1] = v.number;
            return;
        case 0x193:
            s.rs232Port1StopBits = s.rs232LastRead[3] = v.number;
            return;
        case 0x200:
            s.ipAdEntAddr = static_cast<std::uint32_t>(v.number);
            s.dhcpEnabled = v.number == 0 ? 1 : 0;
            return;
        case 0x220:
            s.ipAdNtpServer = v.text;
            return;
        case 0x231:
            s.ipAdCenter[0] = v.text;
            return;
        case 0x270:
            s.telnetEnabled = v.number;
            return;
        case 0x271:
            s.telnetPort = v.number;
            return;
        case 0x282:
            s.debTcpInactiveTimer = v.number;
            return;
        case 0x870:
            session.workingPromptName = v.text;
            return;
        case 0x871:
            s.sysLocation = v.text;
            return;
        case 0x872:
            s.sysContact = v.text;
            return;
        case 0x2000:
            s.mailSmtpServer = v.text;
            return;
        case 0x2030:
            s.mailPopServer = v.text;
            return;
        case 0x2002:
            session.status.smtpPort = static_cast<int>(v.number);
            return;
        case 0x2032:
            session.status.pop3Port = static_cast<int>(v.number);
            return;
        case 0x9930:
            s.serialNo = v.text;
            return;
        case 0x9900:
            if (v.text.empty()) return;
            session.record.macText = cutText(v.text, field::kMac);
            session.saveRecord();
            return;
        default:
            break;
    }
    if (inBlock(r, 0x320) && n < kSettingOutlets) s.debOlRebootTime[n] = v.number;
    if (inBlock(r, 0x880) && n < kSettingOutlets) s.debOlName[n] = v.text;
}

}  // namespace

bool dispatchRegister(DeviceSession& session, std::uint32_t r, std::string_view text) {
    RegisterShape shape{};
    if (r > 0xFFFF || !shapeOf(r, shape)) return false;
    RegisterValue v;
    v.form = shape.form;
    switch (shape.form) {
        case RegisterForm::Number:
            v.number = parseCInt(text);
            if (shape.bits == 16) v.number &= 0xFFFF;
            if (shape.bits == 8) v.number &= 0xFF;
            break;
        case RegisterForm::Flag:
            v.number = ParseFlag(text) ? 1 : 0;
            break;
        case RegisterForm::Tenths:
            v.number = ParseTenths(text);
            break;
        case RegisterForm::Address:
            v.number = ParseIp(text);
            break;
        case RegisterForm::Text:
            v.text = cutText(text, shape.limit);
            break;
        case RegisterForm::Pair: {
            std::int32_t pair[2] = {0, 0};
            std::string spaced(text);
            for (char& c : spaced)
                if (c == ',') c = ' ';
            scanInts(spaced, pair, 2);
            v.number = pair[0];
            v.second = pair[1];
            break;
        }
        case RegisterForm::Word:
            v.number = 0;
            for (int i = 0; i < 4; ++i)
                if (text == kWatchWords[i]) v.number = i;
            v.text = kWatchWords[v.number];
            break;
        case RegisterForm::Mac:
            v.text = readMacGroups(text);
            break;
    }
    mirrorIntoSettings(session, r, v);
    session.status.registers[static_cast<std::uint16_t>(r)] = std::move(v);
    return true;
}

std::string formatRegisterValue(const RegisterValue& v) {
    switch (v.form) {
        case RegisterForm::Number:
        case RegisterForm::Flag:
            return std::to_string(v.number);
        case RegisterForm::Tenths:
            if (v.number < 0) return "-1";
            return std::to_string(v.number / 10) + "." + std::to_string(v.number % 10);
        case RegisterForm::Address:
            return FormatIp(static_cast<std::uint32_t>(v.number));
        case RegisterForm::Pair:
            return std::to_string(v.number) + "," + std::to_string(v.second);
        case RegisterForm::Word:
        case RegisterForm::Text:
        case RegisterForm::Mac:
            return v.text;
    }
    return {};
}

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
        return p < time.size() && isDigit(time[p]) ? parseCInt(time.substr(p, 2)) : 0;
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

bool parseFramedReply(DeviceSession& session, std::string_view line) {
    DeviceStatus& st = session.status;
    const std::string prompt = session.framedPrompt();
    const std::string prefix = session.framePrefix();

    if (session.listMode == 1) {
        std::uint32_t number = 0;
        std::string_view value;
        if (startsWith(line, "-")) {
            if (session.listStarted) session.listEnded = true;
            return false;
        }
        if (contains(line, prompt)) {
            if (session.listEnded) session.listMode = 0;
            return false;
        }
        if (registerLine(line, number, value)) {
            dispatchRegister(session, number, value);
            return false;
        }
    } else if (session.listMode == 2) {
        int number = 0;
        std::string_view value;
        if (startsWith(line, "-")) {
            session.listEnded = true;
            return false;
        }
        if (contains(line, prompt)) {
            if (session.listEnded) session.listMode = 0;
            return false;
        }
        if (scheduleLine(line, number, value)) {
            if (number >= 0 && number < kScheduleListEntries)
                parseListedScheduleEntry(value, st.scheduleList[static_cast<std::size_t>(number)]);
            return false;
        }
    }

    // Everything else is read behind the frame prefix, wherever the line
    // has it (a prompt may stand in front of an unsolicited line).
    const std::size_t at = line.find(prefix);
    if (prefix.empty() || at == std::string_view::npos) return false;
    const std::string_view body = line.substr(at + prefix.size());

    if (startsWith(body, "Err")) return true;
    if (startsWith(body, "POS=")) {
        st.previousRecord = session.record;
        readOutletColumns(session, body, 4);
        refreshPower(session);
        session.saveRecord();
        session.sendFramedCommand("MPOS", true);  // its reply comes in a later wait
        return false;
    }
    if (startsWith(body, "SCS=")) {
        const int count = std::min(st.outletCount, kMaxOutlets);
        for (int i = 0; i < count; ++i) {
            const std::size_t p = 4 + 4 * static_cast<std::size_t>(i);
            if (p >= body.size()) break;
            st.outlets[static_cast<std::size_t>(i)].schedule = body[p] != '0';
        }
        st.scheduleKnown = true;
        session.record.scheduleText = cutText(buildScheduleText(st), field::kStateText);
        session.saveRecord();
        return false;
    }
    if (startsWith(body, "MPOS=")) {
        st.previousRecord = session.record;
        if (body.size() > 5) {
            const int master = body[5] - '0';
            if (master != st.masterState) {
                st.masterState = master;
                session.frontend().outletChanged(-1);
            }
        }
        readOutletColumns(session, body, 7);
        refreshPower(session);
        session.record.updateTime = static_cast<std::uint32_t>(session.clock().now());
        session.saveRecord();
        return false;
    }
    if (startsWith(body, "LOG0=")) {
        st.lastLogText = cutText(body.substr(5), kLogTextMax);
        return false;
    }
    if (startsWith(body, "DT=")) {
        parseClock(st, body.substr(3));
        return false;
    }
    if (startsWith(body, "RL") && body.find('=') != std::string_view::npos) {
        session.listStarted = true;
        session.listEnded = false;
        session.listMode = 1;
        return false;
    }
    {
        std::uint32_t number = 0;
        std::string_view value;
        if (registerLine(body, number, value)) {
            dispatchRegister(session, number, value);
            return false;
        }
    }
    if (startsWith(body, "PLIST") && body.find('=') != std::string_view::npos) {
        session.listStarted = true;
        session.listEnded = false;
        session.listMode = 2;
        return false;
    }
    if (startsWith(body, "SPEC=")) {
        parseSpec(st, body.substr(5));
        return false;
    }
    if (startsWith(body, "TYPE=")) {
        parseTypes(st, body.substr(5));
        return false;
    }
    return false;
}

bool DeviceReplies::parseFramedReply(const std::string& line) {
    return zelo::parseFramedReply(session_, line);
}

bool DeviceReplies::parseSettingLine(const std::string& line) {
    return zelo::parseSettingLine(session_, line);
}

// ------------------------------------------------------------------ readout

bool readOutletStates(DeviceSession& session) {
    if (session.sendFramedCommand("MPOS", true) || session.awaitFramedReply("MPOS")) {
        session.showErrorAndClose(msg::kBadPassword);
        return true;
    }
    if (session.status.firmwareVersion < firmware::kScheduleFlags) {
        session.record.scheduleText = cutText(buildScheduleText(session.status), field::kStateText);
        session.saveRecord();
        return false;
    }
    if (session.sendFramedCommand("SCS", true) || session.awaitFramedReply("SCS")) {
        session.showErrorAndClose(msg::kBadCommunication);
        return true;
    }
    return false;
}

bool readFramedStatus(DeviceSession& session) {
    if (readOutletStates(session)) return true;
    const std::uint32_t fw = session.status.firmwareVersion;
    auto query = [&session](std::string_view command) {
        return session.sendFramedCommand(command, true) || session.awaitFramedReply(command);
    };
    auto fail = [&session]() {
        session.showErrorAndClose(msg::kBadCommunication);
        return true;
    };

    if (fw >= firmware::kRegister9165 && query("R9165")) return fail();
    if (fw >= firmware::kRangeLists && query("R9801")) return fail();
    if (fw >= firmware::kRegister9919 && query("R9919")) return fail();
    if (fw >= firmware::kLogAndSerial && query("LOG0")) return fail();
    if (query("DT") || query("SPEC") || query("TYPE")) return fail();

    // Answered during the waits that follow.
    if (session.record.macText == "000000000000") session.sendFramedCommand("R9900", true);
    if (fw >= firmware::kLogAndSerial) session.sendFramedCommand("R9930", true);

    if (fw >= firmware::kRangeLists) {
        bool failed = false;
        for (const char* range : kRegisterRanges) {
            // A lost connection would only log in again for every range, and
            // a device that let one range's wait run out would cost every
            // further range its whole wait.
            if (!session.connection.isOpen()) break;
            failed = session.sendFramedCommand(range, true) || session.awaitFramedReply("RL");
            if (failed && session.waitTimedOut) break;
        }
        session.listMode = 0;
        if (failed || !session.connection.isOpen()) return fail();
    } else {
        for (const char* entry : kSingleRegisters) {
            std::string_view number(entry);
            if (number.front() == '*') {
                number.remove_prefix(1);
                if (fw < firmware::kRegister194) continue;
            }
            if (query("R" + std::string(number))) return fail();
        }
    }

    session.status.scheduleList.fill(ListedScheduleEntry{});
    if (fw >= firmware::kRangeLists) {
        for (const char* range : kScheduleRanges) {
            session.listStarted = false;
            if (session.sendFramedCommand(range, true) || session.awaitFramedReply("PLIST"))
                return fail();
        }
    } else {
        session.listStarted = false;
        if (session.sendFramedCommand("PL", true) || session.awaitFramedReply("PLIST"))
            return fail();
    }
    session.listMode = 0;
    return false;
}

}  // namespace zelo
