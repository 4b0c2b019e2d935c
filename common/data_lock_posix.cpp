// The data directory's lock on POSIX systems: flock on the lock file. A lock
// belongs to the open file, so a second open in the same process is turned
// away as another process is; the descriptor is not passed to children.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/data_lock.h"

namespace zelo {

DataLock::Result DataLock::take(const std::string& dataDir, const std::string& program) {
    release();
    holder_.clear();
    reason_.clear();
    const int fd = ::open((dataDir + kLockFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        reason_ = std::strerror(errno);
        return Result::Failed;
    }
    int r;
    do r = ::flock(fd, LOCK_EX | LOCK_NB);
    while (r != 0 && errno == EINTR);
    if (r != 0) {
        const int error = errno;
        if (error != EWOULDBLOCK) {
            reason_ = std::strerror(error);
            ::close(fd);
            return Result::Failed;
        }
        char buffer[256];
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
        holder_ = lockHolderText(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0));
        ::close(fd);
        return Result::Held;
    }
    // Who holds it, for the message of the next one; the lock stands even
    // when this cannot be written.
    const std::string text = program + " (process " + std::to_string(::getpid()) + ")\r\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, text.data(), text.size(), 0);
    }
    handle_ = fd;
    return Result::Taken;
}

void DataLock::release() {
    if (handle_ == kNone) return;
    const int fd = static_cast<int>(handle_);
    handle_ = kNone;
    // Emptied while still held, so that no one reads a holder that is gone.
    [[maybe_unused]] const int r = ::ftruncate(fd, 0);
    ::close(fd);  // the lock goes with the last descriptor of the open file
}

}  // namespace zelo
