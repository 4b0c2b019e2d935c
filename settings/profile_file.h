#pragma once
// The settings file store: the INI reading and writing that the program
// needs, behaving as the Windows profile functions do, on every platform.
//
// Reading: a missing file, section or key gives the default; section and
// key names compare without regard to case; blanks around names and values
// are ignored; a value enclosed in a pair of equal quotes (' or ") loses
// them; the first of duplicate sections or keys wins; the result is cut to
// 255 characters.
//
// Writing: one key changes in place and every other line stays as it is; a
// missing key is added at the end of its section, a missing section at the
// end of the file, a missing file is created. The file is rewritten whole
// with CR LF line ends, through NAME.TMP.

#include <string>
#include <string_view>

namespace zelo {

inline constexpr std::size_t kProfileValueMax = 255;

std::string readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue);

// False when the file could not be written; the old file is then unchanged.
bool writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace zelo
