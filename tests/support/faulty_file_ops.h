#pragma once
// File steps that record what the code under test does to the disk and can
// fail one chosen step: an open, a write that stops after N bytes, a sync of
// a file or a directory, a close, a rename, a remove or a cut back.

#include <cstddef>
#include <string>
#include <vector>

#include "common/file_ops.h"

namespace zelo::test {

struct FileStep {
    enum Kind { Open, Write, Close, Rename, Remove, Truncate, Sync, SyncDirectory } kind;
    std::string path;
    std::size_t size = 0;  // bytes asked to be written
};

inline const char* kindName(FileStep::Kind k) {
    static const char* const names[] = {"open",   "write",    "close", "rename",
                                        "remove", "truncate", "sync",  "directory sync"};
    return names[k];
}

class FaultyFileOps : public FileOps {
public:
    // Step `index` (counted from 0 over every call) fails; a failing write
    // writes `keepBytes` of its data first.
    void failStep(std::size_t index, std::size_t keepBytes = 0) {
        failIndex_ = index;
        keepBytes_ = keepBytes;
    }
    const std::vector<FileStep>& trace() const { return trace_; }
    bool fired() const { return fired_; }

    std::FILE* open(const std::string& path, const char* mode) override {
        if (record({FileStep::Open, path})) return nullptr;
        return FileOps::open(path, mode);
    }
    std::size_t write(std::FILE* file, const char* data, std::size_t size) override {
        if (record({FileStep::Write, openPath_, size}))
            return FileOps::write(file, data, keepBytes_ < size ? keepBytes_ : size);
        return FileOps::write(file, data, size);
    }
    // The syncs go no further than the stream's buffer: the steps are what
    // the tests look at, and the sweeps' thousands of real syncs would only
    // make them slow.
    bool sync(std::FILE* file) override {
        if (record({FileStep::Sync, openPath_})) return false;
        return std::fflush(file) == 0;
    }
    bool close(std::FILE* file) override {
        const bool fail = record({FileStep::Close, openPath_});
        const bool closed = FileOps::close(file);  // the stream goes either way
        return closed && !fail;
    }
    bool rename(const std::string& from, const std::string& to) override {
        if (record({FileStep::Rename, from + " -> " + to})) return false;
        return FileOps::rename(from, to);
    }
    bool syncDirectory(const std::string& directory) override {
        if (record({FileStep::SyncDirectory, directory})) return false;
        return true;
    }
    bool remove(const std::string& path) override {
        if (record({FileStep::Remove, path})) return false;
        return FileOps::remove(path);
    }
    bool truncate(const std::string& path, std::uintmax_t size) override {
        if (record({FileStep::Truncate, path})) return false;
        return FileOps::truncate(path, size);
    }

private:
    // Notes the step; true when it is the one to fail.
    bool record(FileStep step) {
        if (step.kind == FileStep::Open) openPath_ = step.path;
        trace_.push_back(std::move(step));
        if (trace_.size() - 1 != failIndex_) return false;
        fired_ = true;
        return true;
    }

    std::vector<FileStep> trace_;
    std::size_t failIndex_ = static_cast<std::size_t>(-1);
    std::size_t keepBytes_ = 0;
    std::string openPath_;
    bool fired_ = false;
};

// Puts file steps in use for one scope.
class ScopedFileOps {
public:
    explicit ScopedFileOps(FileOps& ops) : previous_(setFileOps(&ops)) {}
    ~ScopedFileOps() { setFileOps(previous_); }
    ScopedFileOps(const ScopedFileOps&) = delete;
    ScopedFileOps& operator=(const ScopedFileOps&) = delete;

private:
    FileOps* previous_;
};

}  // namespace zelo::test
