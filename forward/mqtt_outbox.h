#pragma once
// What waits to go to the broker: the latest value of every retained topic
// (so memory is bounded by the fleet, however long the broker is away), the
// topics whose value has not gone out yet in the order they changed, and a
// short queue of messages that are not retained (command results). The
// broker's thread reads; values are written on either side, every call is
// short.

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

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
    // Called (outside the lock, on the reading thread) before take(), has(),
    // pending() and markDirty() look: the owner sets the values that wait
    // elsewhere (devices changed on the loop, their topics made here).
    void setPrepare(std::function<void()> prepare) { prepare_ = std::move(prepare); }

    // The retained value of a topic; false (nothing to send) when the topic
    // holds it already.
    bool set(const std::string& topic, std::string payload);
    // A message that is not retained.
    void send(const std::string& topic, const std::string& payload);

    // Whether a retained topic is one the station holds now (an empty value,
    // a topic emptied on purpose, counts).
    bool has(const std::string& topic);

    // Every retained topic goes out again (after a reconnect), or those
    // starting with `prefix` (Home Assistant came back).
    void markAllDirty() { markDirty({}); }
    void markDirty(const std::string& prefix);

    // Up to `max` messages in the order they became due: the results first,
    // then the retained values.
    std::vector<OutMessage> take(std::size_t max);
    bool pending();

    std::size_t topics() const;

private:
    struct Entry {
        std::string payload;
        bool dirty = false;
    };
    using Retained = std::unordered_map<std::string, Entry>;
    // Marks the entry dirty; false when it already was.
    bool markEntry(Retained::value_type& entry);
    void wake();
    void prepare();

    mutable std::mutex mutex_;
    Retained retained_;  // never erased from, so its elements stay where they are
    std::deque<Retained::value_type*> dirty_;  // each topic once while dirty
    std::deque<OutMessage> events_;
    std::function<void()> wake_;
    std::function<void()> prepare_;
};

}  // namespace zelo::forward
