#include "connection/device_status.h"

#include <algorithm>

#include "common/c_number.h"

namespace zelo {
namespace {

bool countsAsOn(int state) { return state == 1 || state == 2 || state == 4 || state == 6; }
bool countsAsOff(int state) { return state == 0 || state == 3 || state == 5; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// strtoul(text + pos, &end, 16): the value and the position after it.
std::uint32_t hexAt(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    std::uint32_t v = 0;
    while (pos < text.size() && hexDigit(text[pos]) >= 0)
        v = (v << 4) | static_cast<std::uint32_t>(hexDigit(text[pos++]));
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

std::string buildPowerText(const DeviceStatus& s) {
    std::string text;
    if (s.masterPresent && s.masterState >= 0) {
        text += static_cast<char>('0' + std::min(s.masterState, 9));
        text += ' ';
    }
    const int n = std::clamp(s.outletCount, 0, kMaxOutlets);
    for (int i = 0; i < n; ++i) {
        const int state = s.outlets[static_cast<std::size_t>(i)].state;
        if (countsAsOff(state)) text += '0';
        else if (countsAsOn(state)) text += '1';
    }
    return text;
}

std::string buildScheduleText(const DeviceStatus& s) {
    std::string text;
    const int n = std::clamp(s.outletCount, 0, kMaxOutlets);
    for (int i = 0; i < n; ++i)
        text += !s.scheduleKnown ? '-' : s.outlets[static_cast<std::size_t>(i)].schedule ? '1' : '0';
    return text;
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
