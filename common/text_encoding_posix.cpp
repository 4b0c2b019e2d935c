#include <iconv.h>

#include <cerrno>

#include "common/text_encoding.h"

namespace zelo {
namespace {

std::string convert(std::string_view text, const char* to, const char* from) {
    bool ascii = true;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    if (ascii) return std::string(text);

    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(text);
    std::string out;
    char buf[256];
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    while (inLeft > 0) {
        char* o = buf;
        std::size_t oLeft = sizeof buf;
        const std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buf, static_cast<std::size_t>(o - buf));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An invalid or incomplete sequence: mark it and go on.
            out += '?';
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string cp932ToUtf8(std::string_view text) {
    return convert(text, "UTF-8", "CP932");
}
std::string utf8ToCp932(std::string_view text) {
    return convert(text, "CP932", "UTF-8");
}

}  // namespace zelo
