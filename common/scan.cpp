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

}  // namespace zelo
