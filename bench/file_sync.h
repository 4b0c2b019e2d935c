#pragma once
// Whole-file rewrites measured as the program makes them (synced to the
// disk) and without their syncs, so that a benchmark can print what the
// syncs cost.

#include <cstdio>
#include <string>

#include "common/file_ops.h"

namespace zelo::bench {

// File steps whose syncs go no further than the stream's buffer.
class NoSyncFileOps final : public FileOps {
public:
    bool sync(std::FILE* file) override { return std::fflush(file) == 0; }
    bool syncDirectory(const std::string&) override { return true; }
};

// Turns the syncs off for one scope when `syncs` is false.
class SyncSwitch {
public:
    explicit SyncSwitch(bool syncs) : off_(!syncs) {
        if (off_) previous_ = setFileOps(&noSync_);
    }
    ~SyncSwitch() {
        if (off_) setFileOps(previous_);
    }
    SyncSwitch(const SyncSwitch&) = delete;
    SyncSwitch& operator=(const SyncSwitch&) = delete;

private:
    NoSyncFileOps noSync_;
    bool off_;
    FileOps* previous_ = nullptr;
};

}  // namespace zelo::bench
