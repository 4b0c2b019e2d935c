#pragma once
// The devices changed since another thread last looked, each once, with its
// source as last committed: the listen loop puts (a copy of a few texts),
// the forwarder's own thread takes and makes the facts. Memory is bounded by
// the fleet however long nobody takes. Not locked: its owner guards it.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "forward/device_facts.h"

namespace zelo::forward {

// Small numbers for the devices' ids, 0, 1, 2... in the order first asked
// for and kept for the run, so that per-device tables are arrays: one probe
// of a flat table each, no allocation once every device has its number.
class DeviceNumbers {
public:
    std::uint32_t of(std::uint32_t deviceId);
    std::size_t size() const noexcept { return count_; }

private:
    void grow();
    std::vector<std::uint64_t> cells_;  // the id above, its number + 1 below; 0 empty
    std::size_t count_ = 0;
};

class DeviceChanges {
public:
    // The record's source takes the place of the one waiting for its device
    // (`number` its DeviceNumbers number).
    void put(std::uint32_t number, const DeviceRecord& record);
    // Every waiting source, in the order their devices first changed since
    // the last take, into the first elements of `out` (grown as needed; the
    // room of its texts is passed back and forth, not copied). How many.
    std::size_t take(std::vector<DeviceSource>& out);
    bool empty() const noexcept { return count_ == 0; }
    // Trades everything with `other` in constant time: what waited here
    // waits there. The owner's lock is then held only for this, and the
    // sources taken from `other` after it is let go.
    void swap(DeviceChanges& other) noexcept {
        place_.swap(other.place_);
        sources_.swap(other.sources_);
        numbers_.swap(other.numbers_);
        std::swap(count_, other.count_);
    }
    // Nothing waits any more.
    void clear() noexcept;

private:
    // The waiting sources lie in the order their devices first changed, so
    // that a stream of reports over a large fleet writes them one after the
    // other rather than all over a table by device; a device that changes
    // again while it waits is written where it lies.
    std::vector<std::uint32_t> place_;    // by device number: its index in sources_ + 1; 0 none
    std::vector<DeviceSource> sources_;   // the first count_ wait
    std::vector<std::uint32_t> numbers_;  // their device numbers
    std::size_t count_ = 0;
};

}  // namespace zelo::forward
