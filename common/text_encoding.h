#pragma once
// Conversion between the stored texts (CP932, the Japanese ANSI code page)
// and UTF-8, for the edges that speak UTF-8 (zeloctl's input and output).
// Bytes that do not convert come out as '?'.

#include <string>
#include <string_view>

namespace zelo {

std::string cp932ToUtf8(std::string_view text);
std::string utf8ToCp932(std::string_view text);

}  // namespace zelo
