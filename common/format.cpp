#include "common/format.h"

#include <cstdio>
#include <ctime>

#include "common/c_number.h"
#include "common/scan.h"

namespace zelo {
namespace {

// CP932 bytes of the Japanese outlet symbols.
constexpr std::string_view kJaOn = "\x81\xA0";       // white square
constexpr std::string_view kJaOff = "\x81\xA1";      // black square
constexpr std::string_view kJaUnknown = "\x81\x7C";  // full-width hyphen-minus

bool localTime(std::int64_t seconds, std::tm& out) {
    const std::time_t t = static_cast<std::time_t>(seconds);
#ifdef _WIN32
    return localtime_s(&out, &t) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}

}  // namespace

std::string formatMac(std::string_view text) {
    if (text.size() < 12) return std::string(text);
    std::string out;
    out.reserve(17);
    for (int i = 0; i < 12; ++i) {
        if (i > 0 && i % 2 == 0) out += ':';
        out += text[static_cast<std::size_t>(i)];
    }
    return out;
}

std::string formatIp(std::uint32_t address) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d.%d.%d.%d", static_cast<int>((address >> 24) & 0xFF),
                  static_cast<int>((address >> 16) & 0xFF), static_cast<int>((address >> 8) & 0xFF),
                  static_cast<int>(address & 0xFF));
    return buf;
}

std::uint32_t parseIp(std::string_view text) {
    std::uint32_t value = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        std::uint32_t number = 0;
        while (pos < text.size() && isDecimalDigit(text[pos])) {
            number = number * 10 + static_cast<std::uint32_t>(text[pos] - '0');
            ++pos;
        }
        value = value * 256 + number;
        if (part < 3) {
            if (pos >= text.size() || text[pos] != '.') return 0;
            ++pos;
        }
    }
    return pos == text.size() ? value : 0;
}

std::int64_t parseInt(std::string_view text) {
    std::int64_t value = 0;
    for (char c : text) {
        if (!isDecimalDigit(c)) return -1;
        value = value * 10 + (c - '0');
        if (value > 0xFFFF'FFFFLL) value = 0xFFFF'FFFFLL;
    }
    return value;
}

std::int64_t parseTenths(std::string_view text) {
    const std::size_t dot = text.find('.');
    const std::int64_t whole = parseInt(text.substr(0, dot));
    if (whole < 0) return -1;
    std::int64_t fraction = 0;
    if (dot != std::string_view::npos) {
        fraction = parseInt(text.substr(dot + 1));
        if (fraction < 0) return -1;
    }
    return whole * 10 + fraction;
}

bool parseFlag(std::string_view text) {
    return parseCUnsigned(text) != 0;
}

std::string unquote(std::string_view text, std::size_t size) {
    if (text.size() < 2 || size == 0) return std::string();
    std::string_view inner = text.substr(1, text.size() - 2);
    if (inner.size() > size - 1) inner = inner.substr(0, size - 1);
    return std::string(inner);
}

std::string formatTenths(std::int64_t tenths) {
    if (tenths < 0) return "-1";
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string formatOutletStates(std::string_view states, bool masterPrefix, Language language,
                               bool lineMstPow) {
    const bool japanese = language == Language::Japanese;
    std::string out;
    out.reserve(states.size() * 2 + 3);
    if (masterPrefix && lineMstPow && states.size() >= 1 &&
        (states[0] == '0' || states[0] == '1') && !(states.size() >= 2 && states[1] == ' ')) {
        // A text of one character has no blank second character either.
        out += japanese ? kJaUnknown : std::string_view("-");
        out += ' ';
    }
    for (char c : states) {
        switch (c) {
            case '1':
                out += japanese ? kJaOn : std::string_view("O");
                break;
            case '0':
                out += japanese ? kJaOff : std::string_view("-");
                break;
            case '-':
                out += japanese ? kJaUnknown : std::string_view("-");
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

std::string formatUpdateTime(std::int64_t seconds, int dateStyle) {
    if (seconds == 0) return std::string();
    std::tm tm{};
    if (!localTime(seconds, tm)) return std::string();
    const int year = tm.tm_year + 1900, month = tm.tm_mon + 1, day = tm.tm_mday;
    char buf[64];
    if (dateStyle == 0) {
        std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d", year, month, day, tm.tm_hour,
                      tm.tm_min);
    } else if (dateStyle == 1) {
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d", month, day, year, tm.tm_hour,
                      tm.tm_min);
    } else {
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d", day, month, year, tm.tm_hour,
                      tm.tm_min);
    }
    return buf;
}

void appendJsonString(std::string& out, std::string_view utf8) {
    out += '"';
    std::size_t plain = 0;  // the start of characters copied as they are
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.append(utf8.data() + plain, i - plain);
        plain = i + 1;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default: {
                static const char kHex[] = "0123456789abcdef";
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            }
        }
    }
    out.append(utf8.data() + plain, utf8.size() - plain);
    out += '"';
}

}  // namespace zelo
