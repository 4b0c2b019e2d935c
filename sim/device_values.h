#pragma once
// Value forms the simulated units share between their commands, registers
// and settings: tenths of a second, decimal numbers, addresses, lists.

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace zelo::sim::values {

inline std::string tenthsText(int tenths) {
    if (tenths < 0) return "-1";
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

inline bool allDigits(const std::string& s, bool allowSign = false) {
    if (s.empty()) return false;
    size_t i = allowSign && s[0] == '-' ? 1 : 0;
    if (i == s.size()) return false;
    for (; i < s.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    }
    return s.size() <= 10;
}

// "n" or "n.m" with a single decimal; -1 when malformed, else tenths.
inline int parseTenthsValue(const std::string& s) {
    auto dot = s.find('.');
    std::string whole = s.substr(0, dot);
    if (!allDigits(whole)) return -1;
    int v = std::atoi(whole.c_str()) * 10;
    if (dot != std::string::npos) {
        std::string frac = s.substr(dot + 1);
        if (frac.size() != 1 || !allDigits(frac)) return -1;
        v += frac[0] - '0';
    }
    return v;
}

inline bool isAddress(const std::string& s) {
    unsigned a, b, c, d;
    char tail;
    return std::sscanf(s.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) == 4 && a < 256 &&
           b < 256 && c < 256 && d < 256 && std::isdigit(static_cast<unsigned char>(s[0]));
}

inline std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(sep, start);
        out.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos) return out;
        start = p + 1;
    }
}

inline std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

inline std::string unquoted(const std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

}  // namespace zelo::sim::values
