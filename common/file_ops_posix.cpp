// The file steps that the C library has no word for, on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/file_ops.h"

namespace zelo {

std::FILE* openFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool FileOps::sync(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    int r;
    do r = ::fsync(::fileno(file));
    while (r != 0 && errno == EINTR);
    return r == 0;
}

bool FileOps::rename(const std::string& from, const std::string& to) {
    // rename(2) replaces an existing `to` in one step.
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool FileOps::remove(const std::string& path) {
    return std::remove(path.c_str()) == 0;
}

bool FileOps::syncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    int r;
    do r = ::fsync(fd);
    while (r != 0 && errno == EINTR);
    ::close(fd);
    return r == 0;
}

bool FileOps::makeDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

}  // namespace zelo
