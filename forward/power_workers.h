#pragma once
// Power commands from the broker, run as zeloctl power runs them (login,
// the command, the outlet states read back) on worker threads, never on the
// listen loop: one at a time per device, in the order they came, several
// devices at once.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/frontend.h"
#include "connection/device_session.h"

namespace zelo::forward {

// Keeps the first message a dialogue shows (its reason to fail) and answers
// the questions as zeloctl does: reconnect yes, power confirmation yes.
class ReasonFrontend final : public Frontend {
public:
    void showError(Text textId, Text) override {
        if (!firstError) firstError = textId;
    }
    bool askYesNo(Text, Text, Icon) override { return true; }
    std::optional<Text> firstError;
};

struct PowerJob {
    std::uint32_t deviceId = 0;
    std::string command;  // the power button text ("POF3")
    std::unique_ptr<ReasonFrontend> frontend;
    std::unique_ptr<DeviceSession> session;  // made on the loop's thread, over a record copy
    std::uint64_t tag = 0;                   // the caller's
};

struct PowerDone {
    std::uint64_t tag = 0;
    std::uint32_t deviceId = 0;
    bool ok = false;
    bool readBack = false;  // the outlet states were read back into `record`
    std::string reason;     // why it failed (English)
    DeviceRecord record;    // the session's record after the read-back
};

class PowerWorkers {
public:
    explicit PowerWorkers(std::size_t threads);
    ~PowerWorkers();
    PowerWorkers(const PowerWorkers&) = delete;
    PowerWorkers& operator=(const PowerWorkers&) = delete;

    void submit(PowerJob job);
    std::vector<PowerDone> takeDone();
    // Waits for the commands already running; those still queued are
    // answered as not run.
    void stop();

private:
    void work();
    PowerDone run(PowerJob& job);

    std::mutex mutex_;
    std::condition_variable cv_;
    std::unordered_map<std::uint32_t, std::deque<PowerJob>> queues_;
    std::deque<std::uint32_t> ready_;            // devices with work and no worker
    std::unordered_set<std::uint32_t> running_;  // devices a worker holds
    std::vector<PowerDone> done_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace zelo::forward
