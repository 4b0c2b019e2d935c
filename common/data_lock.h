#pragma once
// One writer per data directory. Each program rewrites whole files from what
// it holds in memory, so two writers on one directory would undo each
// other's changes. The writer holds a lock on the file "ZELO.LCK" in the
// directory (a record lock through fcntl on POSIX systems, LockFileEx on
// Windows); the system drops it with the process, so a program that ended in
// any way leaves no lock behind. While held, the file names the holder and its process id, for
// the message of a second writer turned away. The data files are not
// touched.

#include <cstdint>
#include <string>

namespace zelo {

inline constexpr const char* kLockFileName = "ZELO.LCK";

class DataLock {
public:
    enum class Result {
        Taken,   // this object holds the lock
        Held,    // another holds it: holder() names it
        Failed,  // the lock file cannot be made or locked: reason() says why
    };

    DataLock() = default;
    ~DataLock() { release(); }
    DataLock(const DataLock&) = delete;
    DataLock& operator=(const DataLock&) = delete;

    // Takes the lock of `dataDir` (ending with a separator) for `program`
    // (what the holder is, "zeloctl listen"), without waiting.
    Result take(const std::string& dataDir, const std::string& program);
    // Lets go (also when the object goes); the file is left empty.
    void release();
    bool held() const noexcept { return handle_ != kNone; }

    // After Held: "PROGRAM (process ID)" as the holder wrote it, or "another
    // program" when it wrote nothing yet.
    const std::string& holder() const noexcept { return holder_; }
    // After Failed: the system's reason (UTF-8).
    const std::string& reason() const noexcept { return reason_; }

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;  // the open, locked file
    std::string holder_;
    std::string reason_;
};

// The holder text from the lock file's bytes: the first line, printable
// characters only, at most 200; "another program" when none is left.
std::string lockHolderText(const std::string& contents);

}  // namespace zelo
