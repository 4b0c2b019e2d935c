#include <windows.h>

#include "common/text_encoding.h"

namespace zelo {
namespace {

std::string convert(std::string_view text, UINT from, UINT to) {
    if (text.empty()) return std::string();
    const int n = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(from, 0, text.data(), n, nullptr, 0);
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(from, 0, text.data(), n, w.data(), wide);
    const int bytes = WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(to, 0, w.data(), wide, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring toWide(std::string_view text, UINT from) {
    if (text.empty()) return std::wstring();
    const int n = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(from, 0, text.data(), n, nullptr, 0);
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(from, 0, text.data(), n, w.data(), wide);
    return w;
}

}  // namespace

std::string cp932ToUtf8(std::string_view text) {
    return convert(text, 932, CP_UTF8);
}
std::string utf8ToCp932(std::string_view text) {
    return convert(text, CP_UTF8, 932);
}

std::wstring utf8ToWide(std::string_view text) {
    return toWide(text, CP_UTF8);
}
std::wstring ansiToWide(std::string_view text) {
    return toWide(text, CP_ACP);
}

std::string wideToUtf8(std::wstring_view text) {
    if (text.empty()) return std::string();
    const int n = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), n, out.data(), bytes, nullptr, nullptr);
    return out;
}

}  // namespace zelo
