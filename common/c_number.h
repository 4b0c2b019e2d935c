#pragma once
// Numbers read the way the C library reads them from settings and files:
// leading white space and a sign accepted, reading stops at the first
// character that is not a digit, no digits give 0. Out-of-range values are
// clamped to the 32-bit range, as a 32-bit `long` does on Windows, so that
// both platforms read a file alike.

#include <cstdint>
#include <string_view>

namespace zelo {

// atoi/strtol: clamped to [INT32_MIN, INT32_MAX].
std::int32_t parseCInt(std::string_view text) noexcept;

// strtoul with a 32-bit unsigned long: a minus sign negates modulo 2^32,
// anything above 4294967295 gives 4294967295.
std::uint32_t parseCUnsigned(std::string_view text) noexcept;

// sscanf(text, "%d %d ... %d") with `count` conversions: reads until the
// first number that is missing or malformed and returns how many it read;
// the elements of `out` beyond that keep their values.
int scanInts(std::string_view text, std::int32_t* out, int count) noexcept;

}  // namespace zelo

namespace zelo {

// strtoul(text, nullptr, 16) with a 32-bit unsigned long: white space, sign
// and an optional "0x" accepted, stops at the first non-hex character,
// saturates at 4294967295.
std::uint32_t parseCHex(std::string_view text) noexcept;

}  // namespace zelo
