#pragma once
// Conversion between the stored texts (CP932, the Japanese ANSI code page)
// and UTF-8, for the edges that speak UTF-8 (zeloctl's input and output).
// Bytes that do not convert come out as '?'.

#include <string>
#include <string_view>

namespace zelo {

std::string cp932ToUtf8(std::string_view text);
std::string utf8ToCp932(std::string_view text);

#ifdef _WIN32
// Paths are UTF-8 inside the program and UTF-16 at the system's calls.
std::wstring utf8ToWide(std::string_view text);
std::string wideToUtf8(std::wstring_view text);
// Texts of the ANSI code page (what the "A" functions show) as UTF-16.
std::wstring ansiToWide(std::string_view text);
#endif

}  // namespace zelo
