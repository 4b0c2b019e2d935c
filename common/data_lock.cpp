#include "common/data_lock.h"

namespace zelo {

std::string lockHolderText(const std::string& contents) {
    std::string text;
    for (char c : contents) {
        if (c == '\r' || c == '\n' || text.size() >= 200) break;
        // Bytes of UTF-8 names stay; other control characters do not.
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) text += c;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text.empty() ? "another program" : text;
}

}  // namespace zelo
