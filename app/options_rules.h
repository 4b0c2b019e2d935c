#pragma once
// What the options dialog reads from its fields.

#include <cstdint>
#include <string>
#include <string_view>

namespace zelo {

inline constexpr int kPortFieldLimit = 5;          // digits the port field takes
inline constexpr std::size_t kPortFieldRead = 31;  // characters read from it

// The port field's text as the saved MSRPport: the decimal digits after any
// leading blanks, of at most the first 31 characters, kept in 16 bits (70000 saves 4464); an
// empty or non-numeric text saves 0.
std::uint16_t portFromField(std::string_view text) noexcept;

// The port as the field shows it ("%u").
std::string portFieldText(std::uint16_t port);

}  // namespace zelo
