#pragma once
// The devices changed since another thread last looked, each once, with its
// source as last committed: the listen loop puts (a copy of a few texts),
// the forwarder's own thread takes and makes the facts. Memory is bounded by
// the fleet however long nobody takes. Not locked: its owner guards it.

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "forward/device_facts.h"

namespace zelo::forward {

class DeviceChanges {
public:
    // The record's source takes the place of the one waiting for its device.
    void put(const DeviceRecord& record);
    // Every waiting source, in the order their devices first changed since
    // the last take, into the first elements of `out` (grown as needed; the
    // room of its texts is passed back and forth, not copied). How many.
    std::size_t take(std::vector<DeviceSource>& out);
    bool empty() const noexcept { return waiting_.empty(); }
    // Nothing waits any more.
    void clear() noexcept;

private:
    struct Slot {
        DeviceSource source;
        bool waiting = false;
    };
    std::unordered_map<std::uint32_t, std::size_t> index_;  // deviceId -> slots_
    std::vector<Slot> slots_;
    std::vector<std::size_t> waiting_;
};

}  // namespace zelo::forward
