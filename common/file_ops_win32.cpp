// The file steps that the C library has no word for, on Windows, and those
// that take a path: every path is UTF-8 here and goes to the system as
// UTF-16, so that names outside the ANSI code page open too.
#include <windows.h>

#include <io.h>

#include <cstdio>

#include "common/file_ops.h"
#include "common/text_encoding.h"

namespace zelo {

std::FILE* openFile(const std::string& path, const char* mode) {
    return ::_wfopen(utf8ToWide(path).c_str(), utf8ToWide(mode).c_str());
}

bool FileOps::sync(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    const intptr_t handle = ::_get_osfhandle(::_fileno(file));
    if (handle == -1) return false;
    return ::FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}

bool FileOps::rename(const std::string& from, const std::string& to) {
    // Written through: the call returns once the move is on the disk.
    return ::MoveFileExW(utf8ToWide(from).c_str(), utf8ToWide(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool FileOps::syncDirectory(const std::string&) {
    // The rename above is written through; Windows has no directory flush.
    return true;
}

bool FileOps::remove(const std::string& path) {
    return ::DeleteFileW(utf8ToWide(path).c_str()) != 0;
}

bool FileOps::makeDirectory(const std::string& path) {
    return ::CreateDirectoryW(utf8ToWide(path).c_str(), nullptr) != 0;
}

}  // namespace zelo
