// The file steps that the C library has no word for, on Windows.
#include <windows.h>
#include <io.h>

#include <cstdio>

#include "common/file_ops.h"

namespace zelo {

bool FileOps::sync(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    const intptr_t handle = ::_get_osfhandle(::_fileno(file));
    if (handle == -1) return false;
    return ::FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}

bool FileOps::rename(const std::string& from, const std::string& to) {
    // Paths are ANSI code page bytes, as fopen takes them. Written through:
    // the call returns once the move is on the disk.
    return ::MoveFileExA(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool FileOps::syncDirectory(const std::string&) {
    // The rename above is written through; Windows has no directory flush.
    return true;
}

bool FileOps::makeDirectory(const std::string& path) {
    // ANSI code page bytes, as fopen takes them.
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

}  // namespace zelo
