#include "app/options_rules.h"

namespace zelo {

std::uint16_t portFromField(std::string_view text) noexcept {
    text = text.substr(0, kPortFieldRead);
    // C-library rules: leading blanks are skipped (a pasted text can carry them).
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    std::uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') break;
        // Only the low 16 bits are kept, so reducing as we go gives the same.
        value = (value * 10 + static_cast<std::uint32_t>(c - '0')) & 0xFFFFu;
    }
    return static_cast<std::uint16_t>(value);
}

std::string portFieldText(std::uint16_t port) {
    return std::to_string(port);
}

}  // namespace zelo
