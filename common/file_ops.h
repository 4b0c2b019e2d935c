#pragma once
// The steps by which the program changes files on disk: open, write, close,
// rename, remove and cut back. Every data file and log is written through
// these, so a test can put in a replacement that fails any one step (a
// write that stops at byte N, a close or a rename that fails) and check that
// the old file survives. The program itself uses the plain C library.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace zelo {

class FileOps {
public:
    virtual ~FileOps() = default;
    // fopen; null on failure.
    virtual std::FILE* open(const std::string& path, const char* mode);
    // fwrite; the number of bytes written, short on failure.
    virtual std::size_t write(std::FILE* file, const char* data, std::size_t size);
    // fclose; false when it reports an error (the stream is gone either way).
    virtual bool close(std::FILE* file);
    // Puts `from` in the place of `to`, replacing an existing `to`.
    virtual bool rename(const std::string& from, const std::string& to);
    virtual bool remove(const std::string& path);
    // Cuts the file back to `size` bytes.
    virtual bool truncate(const std::string& path, std::uintmax_t size);
};

// The steps in use.
FileOps& fileOps();
// Puts `ops` in use for the whole process (null: the plain steps again) and
// returns what was in use. Meant for tests; not to be switched while another
// thread writes.
FileOps* setFileOps(FileOps* ops);

}  // namespace zelo
