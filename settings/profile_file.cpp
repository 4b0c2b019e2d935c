#include "settings/profile_file.h"

#include <vector>

#include "common/file_replace.h"
#include "common/scan.h"

namespace zelo {
namespace {

bool isProfileSpace(char c) {
    // 0x1A is the old end-of-file mark, which the profile reader skips too.
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isProfileSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isProfileSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiUpper(a[i]) != asciiUpper(b[i])) return false;
    return true;
}

std::vector<std::string> splitLines(const std::string& contents) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < contents.size()) {
        std::size_t end = contents.find('\n', start);
        if (end == std::string::npos) end = contents.size();
        std::string line = contents.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The name of a section header line, or false when the line is none.
bool sectionName(std::string_view line, std::string_view& name) {
    line = trim(line);
    if (line.empty() || line.front() != '[') return false;
    line.remove_prefix(1);
    const std::size_t close = line.rfind(']');
    name = trim(close == std::string_view::npos ? line : line.substr(0, close));
    return true;
}

// Splits "key = value"; false for lines without '=' and comment lines.
bool keyLine(std::string_view line, std::string_view& key, std::string_view& value) {
    const std::string_view t = trim(line);
    if (t.empty() || t.front() == ';') return false;
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return false;
    key = trim(t.substr(0, eq));
    value = trim(t.substr(eq + 1));
    return true;
}

std::string_view stripQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

std::string cut(std::string_view v) {
    return std::string(v.substr(0, kProfileValueMax));
}

}  // namespace

std::string readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue) {
    std::string contents;
    if (!readWholeFile(path, contents)) return cut(defaultValue);
    bool inSection = false, seenSection = false;
    for (const std::string& line : splitLines(contents)) {
        std::string_view name;
        if (sectionName(line, name)) {
            if (seenSection && inSection) break;  // only the first such section counts
            inSection = equalNoCase(name, trim(section));
            seenSection = seenSection || inSection;
            continue;
        }
        std::string_view k, v;
        if (inSection && keyLine(line, k, v) && equalNoCase(k, trim(key)))
            return cut(stripQuotes(v));
    }
    return cut(defaultValue);
}

bool writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    // A line end inside a value would make lines of its own in the file.
    const std::size_t lineEnd = value.find_first_of("\r\n");
    if (lineEnd != std::string_view::npos) value = value.substr(0, lineEnd);
    while (!value.empty() && isProfileSpace(value.front())) value.remove_prefix(1);

    std::string contents;
    std::vector<std::string> lines;
    if (readWholeFile(path, contents)) lines = splitLines(contents);

    const std::string newLine = std::string(trim(key)) + "=" + std::string(value);
    long sectionLine = -1;    // header of the first matching section
    long lastInSection = -1;  // last non-blank line of that section
    long keyIndex = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (sectionName(lines[i], name)) {
            if (sectionLine >= 0) break;
            if (equalNoCase(name, trim(section)))
                sectionLine = lastInSection = static_cast<long>(i);
            continue;
        }
        if (sectionLine < 0) continue;
        if (!trim(lines[i]).empty()) lastInSection = static_cast<long>(i);
        std::string_view k, v;
        if (keyLine(lines[i], k, v) && equalNoCase(k, trim(key))) {
            keyIndex = static_cast<long>(i);
            break;
        }
    }

    if (keyIndex >= 0) {
        lines[static_cast<std::size_t>(keyIndex)] = newLine;
    } else if (sectionLine >= 0) {
        lines.insert(lines.begin() + lastInSection + 1, newLine);
    } else {
        if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
        lines.push_back("[" + std::string(trim(section)) + "]");
        lines.push_back(newLine);
    }

    std::string out;
    for (const std::string& line : lines) {
        out += line;
        out += "\r\n";
    }
    return replaceFile(path, out);
}

}  // namespace zelo
