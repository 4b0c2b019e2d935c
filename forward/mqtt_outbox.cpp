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
        if (!fresh && !e.state && e.payload == payload) return false;
        e.payload = std::move(payload);
        e.state.reset();
        if (!markEntry(*it)) return true;
    }
    wake();
    return true;
}

void Outbox::setState(const std::string& topic, std::shared_ptr<const DeviceFacts> facts) {
    std::shared_ptr<const DeviceFacts> old;  // let go outside the lock
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto [it, fresh] = retained_.try_emplace(topic);
        Entry& e = it->second;
        if (!fresh && e.state && sameStateDocument(*e.state, *facts)) return;
        old = std::move(e.state);
        e.state = std::move(facts);
        e.payload.clear();
        if (!markEntry(*it)) return;
    }
    wake();
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
        for (auto& entry : retained_)
            if (entry.first.compare(0, prefix.size(), prefix) == 0) markEntry(entry);
    }
    wake();
}

std::vector<OutMessage> Outbox::take(std::size_t max) {
    std::vector<OutMessage> out;
    // State documents are written after the lock is let go, so that the
    // loop's thread never waits for their writing.
    std::vector<std::pair<std::size_t, std::shared_ptr<const DeviceFacts>>> states;
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
            if (it->second.state) {
                states.emplace_back(out.size(), it->second.state);
                out.push_back({it->first, {}, true});
            } else {
                out.push_back({it->first, it->second.payload, true});
            }
        }
    }
    for (const auto& [index, facts] : states) out[index].payload = stateJson(*facts);
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
