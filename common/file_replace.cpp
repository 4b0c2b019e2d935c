#include "common/file_replace.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace zelo {

std::string tempPathFor(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + ".TMP";
}

bool readWholeFile(const std::string& path, std::string& contents) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    contents.clear();
    char buf[8192];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) contents.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool replaceFile(const std::string& path, std::string_view contents) {
    const std::string temp = tempPathFor(path);
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(contents.data(), 1, contents.size(), f) == contents.size();
    const bool closed = std::fclose(f) == 0;
    std::error_code ec;
    if (written && closed) {
        // std::filesystem::rename replaces an existing target on Windows too.
        std::filesystem::rename(temp, path, ec);
        if (!ec) return true;
    }
    std::remove(temp.c_str());
    return false;
}

}  // namespace zelo
