#include "forward/device_changes.h"

#include <algorithm>
#include <utility>

namespace zelo::forward {

namespace {

std::size_t probe(std::uint32_t deviceId, std::size_t mask) {
    return std::size_t((deviceId * 0x9E3779B97F4A7C15ull) >> 32) & mask;
}

}  // namespace

std::uint32_t DeviceNumbers::of(std::uint32_t deviceId) {
    if (2 * (count_ + 1) > cells_.size()) grow();
    const std::size_t mask = cells_.size() - 1;
    for (std::size_t i = probe(deviceId, mask);; i = (i + 1) & mask) {
        const std::uint64_t cell = cells_[i];
        if (cell == 0) {
            cells_[i] = std::uint64_t(deviceId) << 32 | (count_ + 1);
            return std::uint32_t(count_++);
        }
        if (cell >> 32 == deviceId) return std::uint32_t(cell & 0xFFFFFFFFu) - 1;
    }
}

void DeviceNumbers::grow() {
    std::vector<std::uint64_t> old(std::max<std::size_t>(64, cells_.size() * 2), 0);
    old.swap(cells_);
    const std::size_t mask = cells_.size() - 1;
    for (const std::uint64_t cell : old) {
        if (cell == 0) continue;
        std::size_t i = probe(std::uint32_t(cell >> 32), mask);
        while (cells_[i] != 0) i = (i + 1) & mask;
        cells_[i] = cell;
    }
}

void DeviceChanges::put(std::uint32_t number, const DeviceRecord& record) {
    if (number >= slots_.size())
        slots_.resize(std::max<std::size_t>(number + 1, 2 * slots_.size()));
    Slot& slot = slots_[number];
    slot.source.assign(record);
    if (!slot.waiting) {
        slot.waiting = true;
        waiting_.push_back(number);
    }
}

std::size_t DeviceChanges::take(std::vector<DeviceSource>& out) {
    if (out.size() < waiting_.size()) out.resize(waiting_.size());
    std::size_t n = 0;
    for (const std::uint32_t number : waiting_) {
        Slot& slot = slots_[number];
        slot.waiting = false;
        std::swap(out[n++], slot.source);
    }
    waiting_.clear();
    return n;
}

void DeviceChanges::clear() noexcept {
    for (const std::uint32_t number : waiting_) slots_[number].waiting = false;
    waiting_.clear();
}

}  // namespace zelo::forward
