#include "common/c_number.h"

#include <limits>

#include "common/scan.h"

namespace zelo {
namespace {

constexpr std::uint64_t kSaturated = 0x1'0000'0000ULL;  // anything above 32 bits

bool isCSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads [white space][sign]digits starting at `pos` into `negative` and
// `magnitude`, which come in false and 0. On success `pos` is past the
// digits; the magnitude saturates at kSaturated.
bool readNumber(std::string_view text, std::size_t& pos, bool& negative,
                std::uint64_t& magnitude) noexcept {
    std::size_t i = pos;
    while (i < text.size() && isCSpace(text[i])) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !isDecimalDigit(text[i])) return false;
    while (i < text.size() && isDecimalDigit(text[i])) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (magnitude > kSaturated) magnitude = kSaturated;
        ++i;
    }
    pos = i;
    return true;
}

std::int32_t clampSigned(bool negative, std::uint64_t magnitude) noexcept {
    if (negative) {
        if (magnitude > 0x8000'0000ULL) return std::numeric_limits<std::int32_t>::min();
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
    }
    if (magnitude > 0x7FFF'FFFFULL) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(magnitude);
}

}  // namespace

std::int32_t parseCInt(std::string_view text) noexcept {
    std::size_t pos = 0;
    bool negative = false;
    std::uint64_t magnitude = 0;
    if (!readNumber(text, pos, negative, magnitude)) return 0;
    return clampSigned(negative, magnitude);
}

std::uint32_t parseCUnsigned(std::string_view text) noexcept {
    std::size_t pos = 0;
    bool negative = false;
    std::uint64_t magnitude = 0;
    if (!readNumber(text, pos, negative, magnitude)) return 0;
    if (magnitude >= kSaturated) return std::numeric_limits<std::uint32_t>::max();
    const auto value = static_cast<std::uint32_t>(magnitude);
    return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

int scanInts(std::string_view text, std::int32_t* out, int count) noexcept {
    std::size_t pos = 0;
    for (int n = 0; n < count; ++n) {
        bool negative = false;
        std::uint64_t magnitude = 0;
        if (!readNumber(text, pos, negative, magnitude)) return n;
        out[n] = clampSigned(negative, magnitude);
    }
    return count;
}

}  // namespace zelo

namespace zelo {

std::uint32_t parseCHex(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        hexDigitValue(text[i + 2]) >= 0)
        i += 2;
    std::uint64_t v = 0;
    bool saturated = false;
    for (; i < text.size() && hexDigitValue(text[i]) >= 0; ++i) {
        v = v * 16 + static_cast<std::uint64_t>(hexDigitValue(text[i]));
        if (v > 0xFFFF'FFFFULL) saturated = true, v = 0xFFFF'FFFFULL;
    }
    if (saturated) return 0xFFFF'FFFFu;
    const auto value = static_cast<std::uint32_t>(v);
    return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

}  // namespace zelo
