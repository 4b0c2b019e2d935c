#pragma once
// Small text-scanning helpers for replies, settings and files: character
// classes of the ASCII set (independent of the C locale), prefix and part
// tests, and a few fixed shapes that several readers share.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelo {

constexpr bool isDecimalDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}
constexpr bool isHexDigit(char c) noexcept {
    return isDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
// The value of a hexadecimal digit of either case; -1 for any other character.
constexpr int hexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
constexpr bool isAsciiAlphaNumeric(char c) noexcept {
    return isDecimalDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// 'a'..'z' as 'A'..'Z'; every other byte (CP932 ones too) as it is.
constexpr char asciiUpper(char c) noexcept {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
inline std::string asciiUpper(std::string text) {
    for (char& c : text) c = asciiUpper(c);
    return text;
}

constexpr bool startsWith(std::string_view text, std::string_view prefix) noexcept {
    return text.substr(0, prefix.size()) == prefix;
}
// An empty part is never contained.
constexpr bool contains(std::string_view text, std::string_view part) noexcept {
    return !part.empty() && text.find(part) != std::string_view::npos;
}

// The text without its leading blanks (spaces only).
std::string_view skipBlanks(std::string_view text) noexcept;

// The value of the decimal digit at `pos`; 0 when there is none.
int digitAt(std::string_view text, std::size_t pos) noexcept;

// How many characters from `pos` on are letters or digits, counting at most
// `max`.
std::size_t alphaNumericRun(std::string_view text, std::size_t pos, std::size_t max) noexcept;

// sscanf-style "%d<sep>%d..." over the whole text: each `separator` counts as
// white space; returns how many of `count` numbers were read.
int scanSeparatedInts(std::string_view text, char separator, std::int32_t* out, int count) noexcept;

// A MAC address given as six groups "%2s:%2s:%2s:%2s:%2s:%2s" (blanks
// skipped before each group, up to two characters per group), joined without
// separators; empty unless all six groups are there.
std::string readMacGroups(std::string_view text);

// Exactly `digits` hex digits of either case as a number; nothing for any
// other text.
std::optional<std::uint64_t> parseHexDigits(std::string_view text, std::size_t digits) noexcept;

}  // namespace zelo
