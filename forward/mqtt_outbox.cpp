#include "forward/mqtt_outbox.h"

namespace zelo::forward {

bool Outbox::markEntry(Retained::value_type& entry) {
    if (entry.second.dirty) return false;  // already waiting: the new value goes in its place
    entry.second.dirty = true;
    dirty_.push_back(&entry);
    return true;
}

bool Outbox::set(const std::string& topic, std::string payload) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto [it, fresh] = retained_.try_emplace(topic);
        Entry& e = it->second;
        if (!fresh && e.payload == payload) return false;
        e.payload = std::move(payload);
        if (!markEntry(*it)) return true;
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

bool Outbox::has(const std::string& topic) {
    prepare();
    std::lock_guard<std::mutex> lock(mutex_);
    return retained_.count(topic) != 0;
}

void Outbox::markDirty(const std::string& prefix) {
    prepare();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& entry : retained_)
            if (entry.first.compare(0, prefix.size(), prefix) == 0) markEntry(entry);
    }
    wake();
}

std::vector<OutMessage> Outbox::take(std::size_t max) {
    prepare();
    std::vector<OutMessage> out;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        while (out.size() < max && !events_.empty()) {
            out.push_back(std::move(events_.front()));
            events_.pop_front();
        }
        while (out.size() < max && !dirty_.empty()) {
            Retained::value_type* it = dirty_.front();
            dirty_.pop_front();
            if (!it->second.dirty) continue;
            it->second.dirty = false;
            out.push_back({it->first, it->second.payload, true});
        }
    }
    return out;
}

bool Outbox::pending() {
    prepare();
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

void Outbox::prepare() {
    if (prepare_) prepare_();
}

}  // namespace zelo::forward
