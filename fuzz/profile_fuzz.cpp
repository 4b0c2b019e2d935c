// Any bytes as a settings file, read and written through the INI store.
//
// Input: the first byte holds flags; then five lines: SECTION, KEY, VALUE, a
// second SECTION and KEY; the rest is the file. The target reads KEY (and
// with bit 1 the second key); every second input by length then writes
// KEY=VALUE into SECTION and reads again:
//  - the key gives back the value as the reading rules make it (cut at a
//    line end, blanks around it dropped, a pair of equal quotes removed, at
//    most 255 characters);
//  - with bit 1, the second key reads the same before and after unless it
//    names the same key;
//  - with bit 0, writing the same value again leaves the file byte for byte
//    as it is.
// (Every read and write goes through the file; the length and the flags
// keep the writes and the extra checks to a share of the inputs.)
// The key written must be one a line can hold: no line end, no '=', not
// starting with '[' or ';'; the section no line end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/file_replace.h"
#include "fuzz/scratch_dir.h"
#include "settings/app_settings.h"
#include "settings/profile_file.h"

namespace {

using namespace zelo;
using fuzz::check;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    a = trim(a);
    b = trim(b);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// The value a read gives back after VALUE was written.
std::string readsAs(std::string_view value) {
    value = trim(value.substr(0, value.find_first_of("\r\n")));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, kProfileValueMax));
}

bool writableKey(std::string_view key) {
    if (key.find_first_of("\r\n=") != std::string_view::npos) return false;
    const std::string_view t = trim(key);
    return t.empty() || (t.front() != '[' && t.front() != ';');
}

std::string_view takeLine(std::string_view& rest) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool writeTwice = data[0] & 1;
    const bool secondKey = data[0] & 2;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string_view section = takeLine(rest);
    const std::string_view key = takeLine(rest);
    const std::string_view value = takeLine(rest);
    const std::string_view section2 = takeLine(rest);
    const std::string_view key2 = takeLine(rest);

    const std::string path = fuzz::scratchDir("profile") + kSettingsFileName;
    fuzz::writeBytes(path, rest);
    const char* const kMissing = "\x01missing";

    const std::string first = readProfileString(path, section, key, kMissing);
    check(first.size() <= kProfileValueMax, "value cut");
    std::string second;
    if (secondKey) {
        second = readProfileString(path, section2, key2, kMissing);
        check(second.size() <= kProfileValueMax, "value cut");
    }
    if (size % 2 != 0 || section.find_first_of("\r\n") != std::string_view::npos ||
        !writableKey(key))
        return 0;

    check(writeProfileString(path, section, key, value), "write succeeds");
    check(readProfileString(path, section, key, kMissing) == readsAs(value),
          "the written value reads back");
    if (secondKey && !(sameName(section, section2) && sameName(key, key2)))
        check(readProfileString(path, section2, key2, kMissing) == second,
              "another key keeps its value");
    if (!writeTwice) return 0;
    std::string once, twice;
    check(readWholeFile(path, once), "file readable");
    check(writeProfileString(path, section, key, value), "second write succeeds");
    check(readWholeFile(path, twice) && once == twice,
          "writing the same value again changes nothing");
    return 0;
}
