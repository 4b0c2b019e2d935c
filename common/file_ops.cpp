#include "common/file_ops.h"

#include <atomic>
#include <filesystem>
#include <system_error>

namespace zelo {
namespace {
FileOps plainOps;
std::atomic<FileOps*> current{&plainOps};
}  // namespace

std::FILE* FileOps::open(const std::string& path, const char* mode) {
    return openFile(path, mode);
}

std::size_t FileOps::write(std::FILE* file, const char* data, std::size_t size) {
    return std::fwrite(data, 1, size, file);
}

bool FileOps::close(std::FILE* file) {
    return std::fclose(file) == 0;
}

// openFile, sync, rename, syncDirectory, remove and makeDirectory are the
// system's own: file_ops_posix.cpp and file_ops_win32.cpp.

bool FileOps::truncate(const std::string& path, std::uintmax_t size) {
    std::error_code ec;
    std::filesystem::resize_file(fsPath(path), size, ec);
    return !ec;
}

FileOps& fileOps() {
    return *current.load(std::memory_order_acquire);
}

FileOps* setFileOps(FileOps* ops) {
    FileOps* previous = current.exchange(ops ? ops : &plainOps, std::memory_order_acq_rel);
    return previous == &plainOps ? nullptr : previous;
}

}  // namespace zelo
