#pragma once
// A scratch directory for the targets whose code under test only takes
// paths: one per process (the fuzzer's merge and fork modes run several),
// made on first use and removed at exit. It lives in /dev/shm where there
// is one, so that the per-input file writes stay in memory; names are
// reused from input to input and nothing is synced.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace zelo::fuzz {

// The directory's path, ending with a separator.
inline const std::string& scratchDir(const char* name) {
    static const std::string dir = [name] {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::path base = "/dev/shm";
        if (!fs::is_directory(base, ec)) base = fs::temp_directory_path();
        const fs::path path = base / (std::string("zelo-") + name + "-" + std::to_string(getpid()));
        fs::create_directories(path);
        static std::string remove = path.string();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(remove, ignored);
        });
        return path.string() + "/";
    }();
    return dir;
}

// The whole file, without the stdio buffer a write through fopen would set
// up for every input.
inline void writeBytes(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // Without the scratch directory nothing below would mean anything.
    if (fd < 0) std::abort();
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n <= 0) std::abort();
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    ::close(fd);
}

// A property that failed: libFuzzer keeps the input as a crash.
inline void check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "property failed: %s\n", what);
        std::abort();
    }
}

}  // namespace zelo::fuzz
