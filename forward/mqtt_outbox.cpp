#include "forward/mqtt_outbox.h"

namespace zelo::forward {

bool Outbox::set(const std::string& topic, std::string payload) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto [it, fresh] = retained_.try_emplace(topic);
        if (!fresh && it->second.payload == payload) return false;
        it->second.payload = std::move(payload);
        if (it->second.dirty) return true;  // already waiting: the new value goes in its place
        it->second.dirty = true;
        dirty_.push_back(topic);
    }
    wake();
    return true;
}

void Outbox::send(const std::string& topic, const std::string& payload) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (events_.size() >= kMaxEvents) events_.pop_front();
        events_.push_back({topic, payload, false});
    }
    wake();
}

bool Outbox::has(const std::string& topic) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return retained_.count(topic) != 0;
}

void Outbox::markDirty(const std::string& prefix) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [topic, entry] : retained_) {
            if (entry.dirty || topic.compare(0, prefix.size(), prefix) != 0) continue;
            entry.dirty = true;
            dirty_.push_back(topic);
        }
    }
    wake();
}

std::vector<OutMessage> Outbox::take(std::size_t max) {
    std::vector<OutMessage> out;
    std::lock_guard<std::mutex> lock(mutex_);
    while (out.size() < max && !events_.empty()) {
        out.push_back(std::move(events_.front()));
        events_.pop_front();
    }
    while (out.size() < max && !dirty_.empty()) {
        auto it = retained_.find(dirty_.front());
        dirty_.pop_front();
        if (it == retained_.end() || !it->second.dirty) continue;
        it->second.dirty = false;
        out.push_back({it->first, it->second.payload, true});
    }
    return out;
}

bool Outbox::pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !events_.empty() || !dirty_.empty();
}

std::size_t Outbox::topics() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return retained_.size();
}

void Outbox::wake() {
    if (wake_) wake_();
}

}  // namespace zelo::forward
