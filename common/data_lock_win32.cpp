// The data directory's lock on Windows: LockFileEx on the lock file. The
// locked range lies far beyond the file's end, so the holder's name at its
// start stays readable for the one turned away. A lock belongs to the open
// handle, so a second open in the same process is turned away as another
// process is; the handle is not inherited by children.
#include <windows.h>

#include "common/data_lock.h"
#include "common/text_encoding.h"

namespace zelo {
namespace {

// The locked byte, 2^62: beyond any content the file will have, and the byte
// the POSIX build locks (under Wine the two meet as record locks).
constexpr DWORD kLockOffsetHigh = 0x4000'0000;

std::string systemReason(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string out;
    if (n && text) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0,
                                              nullptr, nullptr);
        out.resize(static_cast<std::size_t>(bytes > 0 ? bytes : 0));
        if (bytes > 0)
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), out.data(), bytes, nullptr,
                                nullptr);
    }
    if (text) LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' '))
        out.pop_back();
    return out.empty() ? "Windows error " + std::to_string(error) : out;
}

}  // namespace

DataLock::Result DataLock::take(const std::string& dataDir, const std::string& program) {
    release();
    holder_.clear();
    reason_.clear();
    // ANSI code page bytes, as the other file functions of the core take them.
    HANDLE file =
        CreateFileW(utf8ToWide(dataDir + kLockFileName).c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason_ = systemReason(GetLastError());
        return Result::Failed;
    }
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_SHARING_VIOLATION) {
            reason_ = systemReason(error);
            CloseHandle(file);
            return Result::Failed;
        }
        char buffer[256];
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) n = 0;
        holder_ = lockHolderText(std::string(buffer, n));
        CloseHandle(file);
        return Result::Held;
    }
    // Who holds it, for the message of the next one; the lock stands even
    // when this cannot be written.
    const std::string text =
        program + " (process " + std::to_string(GetCurrentProcessId()) + ")\r\n";
    DWORD written = 0;
    if (SetEndOfFile(file))
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return Result::Taken;
}

void DataLock::release() {
    if (handle_ == kNone) return;
    HANDLE file = reinterpret_cast<HANDLE>(handle_);
    handle_ = kNone;
    // Emptied while still held, so that no one reads a holder that is gone.
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    UnlockFileEx(file, 0, 1, 0, &at);
    CloseHandle(file);
}

}  // namespace zelo
