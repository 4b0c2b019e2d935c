// The data directory's lock on POSIX systems: a record lock on one byte far
// beyond the file's end, the byte the Windows build locks. Wine gives the
// locks of Windows programs to the system as record locks of that range, so
// ZELO.exe under Wine and a native zeloctl turn each other away as well.
// Where the system has them, the lock belongs to the open file (Linux' open
// file description locks): a second open in the same process is turned away
// as another process is, and closing another descriptor of the file does not
// drop it. The descriptor is not passed to children.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/data_lock.h"

namespace zelo {
namespace {

#ifdef F_OFD_SETLK
constexpr int kSetLock = F_OFD_SETLK;
#else
constexpr int kSetLock = F_SETLK;
#endif

// The locked byte: beyond any content the file will have.
constexpr off_t kLockOffset = off_t{1} << 62;

int lockByte(int fd) {
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = kLockOffset;
    range.l_len = 1;
    int r;
    do r = ::fcntl(fd, kSetLock, &range);
    while (r != 0 && errno == EINTR);
    return r;
}

}  // namespace

DataLock::Result DataLock::take(const std::string& dataDir, const std::string& program) {
    release();
    holder_.clear();
    reason_.clear();
    const int fd = ::open((dataDir + kLockFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        reason_ = std::strerror(errno);
        return Result::Failed;
    }
    if (lockByte(fd) != 0) {
        const int error = errno;
        if (error != EAGAIN && error != EACCES) {
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
    ::close(fd);  // the lock goes with it
}

}  // namespace zelo
