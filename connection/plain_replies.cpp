#include "connection/plain_replies.h"

#include <string>

#include "common/c_number.h"
#include "common/scan.h"
#include "connection/device_settings.h"

namespace zelo {
namespace {

// sscanf-style "%d<sep>%d<sep>%d" at the start of a text.
bool threeNumbers(std::string_view text, char sep, int& a, int& b, int& c) {
    // Only the separators may stand between the numbers.
    std::size_t seps = 0;
    for (std::size_t i = 0; i < text.size() && seps < 2; ++i) {
        const char ch = text[i];
        if (ch == sep)
            ++seps;
        else if (!isDecimalDigit(ch) && ch != ' ' && ch != '-' && ch != '+')
            return false;
    }
    std::int32_t v[3];
    if (scanSeparatedInts(text, sep, v, 3) != 3) return false;
    a = v[0];
    b = v[1];
    c = v[2];
    return true;
}

// "XPOS s:xxxx,s:xxxx,...": the first character of each 6-character field.
void parseOutletStates(ReplyTarget& t, std::string_view line, ReplyEffects& effects) {
    DeviceStatus& st = t.status;
    int n = 0;
    for (std::size_t p = 5; n < kMaxOutlets && p < line.size(); p += 7) {
        const auto c = static_cast<unsigned char>(line[p]);
        if (c <= 32 || c >= 128) break;
        OutletStatus& o = st.outlets[static_cast<std::size_t>(n)];
        const int state = c - '0';
        if (o.state != state) {
            o.state = state;
            effects.outletsChanged = static_cast<std::uint8_t>(effects.outletsChanged | (1u << n));
        }
        o.valid = true;
        o.type = 0x11;
        ++n;
        if (p + 6 >= line.size() || line[p + 6] != ',') break;
    }
    st.outletCount = n;
    t.record.powerText = cutText(powerText(st), field::kStateText);
    effects.recordChanged = true;
}

void parseDate(DeviceStatus& st, std::string_view line) {
    if (line.size() <= 10 || line[7] != line[10] || (line[7] != '.' && line[7] != '/')) return;
    int y, m, d;
    // Numbers that are no two-digit year, month and day are no date (and
    // would overflow the clock's offsets and the weekday sum).
    if (threeNumbers(line.substr(5), line[7], y, m, d) && y >= 0 && y <= 99 && m >= 1 && m <= 12 &&
        d >= 1 && d <= 31) {
        st.clock.year = y + 100;
        st.clock.month = m - 1;
        st.clock.day = d;
        st.clock.weekday = weekdayOf(y + 2000, m, d);
    }
}

void parseTime(DeviceStatus& st, std::string_view line) {
    int h, m, s;
    if (line.size() > 10 && line[7] == ':' && line[10] == ':' &&
        threeNumbers(line.substr(5), ':', h, m, s)) {
        st.clock.hour = h;
        st.clock.minute = m;
        st.clock.second = s;
    }
}

void parseVersion(DeviceStatus& st, std::string_view line) {
    const std::size_t blank = line.size() > 4 ? line.find(' ', 4) : std::string_view::npos;
    if (blank != std::string_view::npos) {
        std::size_t p = blank;
        while (p < line.size() && line[p] == ' ') ++p;
        std::size_t start = p;
        while (p < line.size() && isHexDigit(line[p])) ++p;
        std::uint32_t v = parseCHex(line.substr(start, p - start)) << 16;
        if (p < line.size() && line[p] == '.') {
            start = ++p;
            while (p < line.size() && isDecimalDigit(line[p])) ++p;
            // The minor number is written in decimal and counted in hex digits.
            const std::string minor = std::to_string(parseCUnsigned(line.substr(start, p - start)));
            v += (parseCHex(minor) & 0xFF) << 8;
            if (p < line.size() && line[p] != '.') {
                v += static_cast<unsigned char>(line[p]);
                ++p;
            }
            if (p < line.size() && line[p] == '.') st.firmwareBuild = parseCHex(line.substr(p + 1));
        }
        st.firmwareVersion = v;
    }
    const std::size_t slash = line.size() > 3 ? line.find('/', 3) : std::string_view::npos;
    if (slash != std::string_view::npos && line.size() >= slash + 7) {
        const std::string_view digits = line.substr(slash + 1, 6);
        bool allDigits = true;
        for (char c : digits) allDigits = allDigits && isDecimalDigit(c);
        if (allDigits) st.firmwareDate = std::string(digits);
    }
}

}  // namespace

ReplyEffects parsePlainReply(ReplyTarget& t, std::string_view line) {
    ReplyEffects effects;
    line = skipBlanks(line);
    if (t.listMode == 1) {
        // A rejected write answers with a 501 line; a value that merely
        // contains the digits does not count.
        if (startsWith(line, "501 ") || line == "501") {
            effects.error = true;
        } else if (contains(line, t.promptName + "> ")) {
            if (t.listEnded) {
                t.listMode = 0;
                effects.listEnded = true;
            }
        } else if (!startsWith(line, "-")) {
            effects |= parseSettingLine(t, line);
            effects.error = false;  // a list line refuses nothing
        }
        return effects;
    }
    if (contains(line, "501")) {
        effects.error = true;
    } else if (startsWith(line, "XPOS ")) {
        parseOutletStates(t, line, effects);
    } else if (startsWith(line, "DATE ")) {
        parseDate(t.status, line);
    } else if (startsWith(line, "TIME ")) {
        parseTime(t.status, line);
    } else if (startsWith(line, "?debOlShutdownTime=")) {
        effects |= parseSettingLine(t, line);
    } else if (startsWith(line, "?model=")) {
        effects |= parseSettingLine(t, line);
    } else if (startsWith(line, "ver")) {
        parseVersion(t.status, line);
    }
    return effects;
}

}  // namespace zelo
