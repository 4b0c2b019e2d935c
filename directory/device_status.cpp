#include "directory/device_status.h"

#include <algorithm>

#include "common/c_number.h"
#include "common/scan.h"

namespace zelo {
namespace {

// The hexadecimal digits at `pos` (a version word has no blanks): the value
// and the position after it.
std::uint32_t hexAt(std::string_view text, std::size_t& pos) {
    std::uint32_t v = 0;
    while (pos < text.size() && hexDigitValue(text[pos]) >= 0)
        v = (v << 4) | static_cast<std::uint32_t>(hexDigitValue(text[pos++]));
    return v;
}

}  // namespace

int weekdayOf(int y, int m, int d) {
    if (m == 1 || m == 2) {
        y -= 1;
        m += 12;
    }
    return ((y + y / 4 - y / 100 + y / 400 + (13 * m + 8) / 5 + d) % 7 + 7) % 7;
}

bool outletCountsAsOn(int state) noexcept {
    return state == 1 || state == 2 || state == 4 || state == 6;
}
bool outletCountsAsOff(int state) noexcept {
    return state == 0 || state == 3 || state == 5;
}

std::string powerText(const PowerState& s) {
    std::string text;
    if (s.masterPresent && s.masterState >= 0) {
        text += s.masterState <= 9 ? static_cast<char>('0' + s.masterState) : '1';
        text += ' ';
    }
    const int n = shownOutletCount(s.outletCount);
    for (int i = 0; i < n; ++i) {
        const int state = s.outlets[static_cast<std::size_t>(i)].state;
        if (outletCountsAsOff(state))
            text += '0';
        else if (outletCountsAsOn(state))
            text += '1';
    }
    return text.substr(0, kPowerTextMax);
}

std::string scheduleText(const PowerState& s) {
    std::string text;
    const int n = shownOutletCount(s.outletCount);
    for (int i = 0; i < n; ++i)
        text += !s.scheduleKnown                                  ? '-'
                : s.outlets[static_cast<std::size_t>(i)].schedule ? '1'
                                                                  : '0';
    return text.substr(0, kPowerTextMax);
}

std::uint32_t packFirmwareVersion(std::string_view text) {
    std::size_t pos = 0;
    std::uint32_t v = hexAt(text, pos) << 16;
    if (pos >= text.size()) return v;
    ++pos;  // the character after the major number
    v |= (hexAt(text, pos) & 0xFF) << 8;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        v |= hexAt(text, pos) & 0xFF;
    }
    return v;
}

}  // namespace zelo
