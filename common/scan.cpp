#include "common/scan.h"

#include "common/c_number.h"

namespace zelo {

std::string_view skipBlanks(std::string_view text) noexcept {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return text;
}

int digitAt(std::string_view text, std::size_t pos) noexcept {
    return pos < text.size() && isDecimalDigit(text[pos]) ? text[pos] - '0' : 0;
}

std::size_t alphaNumericRun(std::string_view text, std::size_t pos, std::size_t max) noexcept {
    std::size_t n = 0;
    while (n < max && pos + n < text.size() && isAsciiAlphaNumeric(text[pos + n])) ++n;
    return n;
}

int scanSeparatedInts(std::string_view text, char separator, std::int32_t* out,
                      int count) noexcept {
    std::string spaced(text);
    for (char& c : spaced)
        if (c == separator) c = ' ';
    return scanInts(spaced, out, count);
}

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

std::optional<std::uint64_t> parseHexDigits(std::string_view text, std::size_t digits) noexcept {
    if (text.size() != digits) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return std::nullopt;
        v = (v << 4) | static_cast<std::uint64_t>(d);
    }
    return v;
}

}  // namespace zelo
