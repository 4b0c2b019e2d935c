#pragma once
// What waits to go to the broker: the latest value of every retained topic
// (so memory is bounded by the fleet, however long the broker is away), the
// topics whose value has not gone out yet in the order they changed, and a
// short queue of messages that are not retained (command results). The
// listen loop writes, the broker's thread reads; every call is short.

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "forward/device_facts.h"

namespace zelo::forward {

struct OutMessage {
    std::string topic;
    std::string payload;
    bool retain = true;
};

class Outbox {
public:
    // Results waiting while the broker is away, at most this many (the
    // oldest give way).
    static constexpr std::size_t kMaxEvents = 1000;

    // Called (outside the lock) whenever something new waits.
    void setWake(std::function<void()> wake) { wake_ = std::move(wake); }

    // The retained value of a topic; false (nothing to send) when the topic
    // holds it already.
    bool set(const std::string& topic, std::string payload);
    // The retained state document of a device, written from its facts when
    // it goes out (on the broker's thread, not the caller's); nothing to send
    // when the document would be the same.
    void setState(const std::string& topic, std::shared_ptr<const DeviceFacts> facts);
    // A message that is not retained.
    void send(const std::string& topic, const std::string& payload);

    // Whether a retained topic is one the station holds now (an empty value,
    // a topic emptied on purpose, counts).
    bool has(const std::string& topic) const;

    // Every retained topic goes out again (after a reconnect), or those
    // starting with `prefix` (Home Assistant came back).
    void markAllDirty() { markDirty({}); }
    void markDirty(const std::string& prefix);

    // Up to `max` messages in the order they became due: the results first,
    // then the retained values.
    std::vector<OutMessage> take(std::size_t max);
    bool pending() const;

    std::size_t topics() const;

private:
    struct Entry {
        std::string payload;
        std::shared_ptr<const DeviceFacts> state;  // the payload's source when set
        bool dirty = false;
    };
    using Retained = std::unordered_map<std::string, Entry>;
    // Marks the entry dirty; false when it already was.
    bool markEntry(Retained::value_type& entry);
    void wake();

    mutable std::mutex mutex_;
    Retained retained_;  // never erased from, so its elements stay where they are
    std::deque<Retained::value_type*> dirty_;  // each topic once while dirty
    std::deque<OutMessage> events_;
    std::function<void()> wake_;
};

}  // namespace zelo::forward
