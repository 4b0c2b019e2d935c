#include "forward/power_workers.h"

#include <utility>

#include "common/text_encoding.h"
#include "connection/open_sequence.h"
#include "connection/power_control.h"
#include "settings/lang_strings.h"

namespace zelo::forward {
namespace {

std::string englishText(Text id) {
    return cp932ToUtf8(LangStrings::selectColumn(LangStrings::entry(id), Language::English));
}

}  // namespace

PowerWorkers::PowerWorkers(std::size_t threads) {
    for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

PowerWorkers::~PowerWorkers() {
    stop();
}

void PowerWorkers::submit(PowerJob job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::uint32_t id = job.deviceId;
        auto& queue = queues_[id];
        queue.push_back(std::move(job));
        if (queue.size() == 1 && !running_.count(id)) ready_.push_back(id);
    }
    cv_.notify_one();
}

std::vector<PowerDone> PowerWorkers::takeDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(done_, {});
}

void PowerWorkers::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
    }
    cv_.notify_all();
    for (std::thread& t : threads_) t.join();
    threads_.clear();
    for (auto& [id, queue] : queues_) {
        for (PowerJob& job : queue) {
            PowerDone d;
            d.tag = job.tag;
            d.deviceId = id;
            d.reason = "the station stopped before the command ran";
            done_.push_back(std::move(d));
        }
    }
    queues_.clear();
}

void PowerWorkers::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        cv_.wait(lock, [this] { return stopping_ || !ready_.empty(); });
        if (stopping_) return;
        const std::uint32_t id = ready_.front();
        ready_.pop_front();
        running_.insert(id);
        // This worker holds the device until its queue is empty, so its
        // commands run one after the other in arrival order.
        while (!stopping_) {
            auto it = queues_.find(id);
            if (it == queues_.end() || it->second.empty()) break;
            PowerJob job = std::move(it->second.front());
            it->second.pop_front();
            lock.unlock();
            PowerDone d = run(job);
            lock.lock();
            done_.push_back(std::move(d));
        }
        auto it = queues_.find(id);
        if (it != queues_.end() && it->second.empty()) queues_.erase(it);
        running_.erase(id);
    }
}

PowerDone PowerWorkers::run(PowerJob& job) {
    PowerDone d;
    d.tag = job.tag;
    d.deviceId = job.deviceId;
    DeviceSession& s = *job.session;
    auto reason = [&job](const char* fallback) {
        return job.frontend->firstError ? englishText(*job.frontend->firstError)
                                        : std::string(fallback);
    };
    switch (loginDevice(s)) {
        case OpenResult::Opened:
            break;
        case OpenResult::NeedsProperties:
            d.reason = "the device has no address or port";
            return d;
        case OpenResult::NotSupported:
        case OpenResult::Failed:
            d.reason = reason("the login failed");
            return d;
    }
    std::size_t failed = 0;
    switch (runPowerCommands(s, {job.command}, failed)) {
        case PowerRunResult::Done:
            d.ok = true;
            d.readBack = true;
            break;
        case PowerRunResult::CommandFailed:
            d.readBack = true;
            d.reason = reason("the device did not take the command");
            break;
        case PowerRunResult::ReadBackFailed:
            d.ok = false;
            d.reason = reason("the outlet states could not be read back");
            break;
    }
    s.connection.closeConnection();
    d.record = s.record;
    return d;
}

}  // namespace zelo::forward
