#pragma once
// The steps by which the program changes files on disk: open, write, flush
// to the disk, close, rename, flush a directory, remove, cut back and make a
// directory. Every
// data file and log is written through these, so a test can put in a
// replacement that fails any one step (a write that stops at byte N, a
// sync, close or rename that fails) and check that the old file survives.
// The program itself uses the plain C library and, where that has no word
// for it (syncs, a written-through rename), the system's own calls.
//
// Paths are UTF-8 throughout. On Windows they become UTF-16 at the system's
// calls (the "W" functions), so that a folder whose name is outside the ANSI
// code page can be opened; what the files hold is not touched.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace zelo {

class FileOps {
public:
    virtual ~FileOps() = default;
    // openFile; null on failure.
    virtual std::FILE* open(const std::string& path, const char* mode);
    // fwrite; the number of bytes written, short on failure.
    virtual std::size_t write(std::FILE* file, const char* data, std::size_t size);
    // Empties the stream's buffer and has the system put the file's data on
    // the disk (fsync; FlushFileBuffers on Windows). False on failure.
    virtual bool sync(std::FILE* file);
    // fclose; false when it reports an error (the stream is gone either way).
    virtual bool close(std::FILE* file);
    // Puts `from` in the place of `to`, replacing an existing `to` (on
    // Windows written through to the disk before it returns).
    virtual bool rename(const std::string& from, const std::string& to);
    // Puts the directory's entries on the disk, so that a rename in it
    // survives a power cut (fsync of the directory; nothing to do on
    // Windows, where the rename itself is written through).
    virtual bool syncDirectory(const std::string& directory);
    virtual bool remove(const std::string& path);
    // Creates one directory (its parent must exist). True only when this
    // call created it: false when it was there already or could not be made.
    virtual bool makeDirectory(const std::string& path);
    // Cuts the file back to `size` bytes.
    virtual bool truncate(const std::string& path, std::uintmax_t size);
};

// fopen of a UTF-8 path (on Windows _wfopen of its UTF-16 form).
std::FILE* openFile(const std::string& path, const char* mode);
// The UTF-8 path as the standard library's filesystem functions take it.
inline std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::u8path(utf8);
}

// The steps in use.
FileOps& fileOps();
// Puts `ops` in use for the whole process (null: the plain steps again) and
// returns what was in use. Meant for tests; not to be switched while another
// thread writes.
FileOps* setFileOps(FileOps* ops);

}  // namespace zelo
