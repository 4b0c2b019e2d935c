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
    if (number >= place_.size())
        place_.resize(std::max<std::size_t>(number + 1, 2 * place_.size()), 0);
    std::uint32_t& place = place_[number];
    if (place == 0) {
        if (count_ == sources_.size()) {
            sources_.emplace_back();
            numbers_.push_back(0);
        }
        numbers_[count_] = number;
        place = std::uint32_t(++count_);
    }
    sources_[place - 1].assign(record);
}

std::size_t DeviceChanges::take(std::vector<DeviceSource>& out) {
    if (out.size() < count_) out.resize(count_);
    for (std::size_t i = 0; i < count_; ++i) {
        place_[numbers_[i]] = 0;
        std::swap(out[i], sources_[i]);
    }
    const std::size_t n = count_;
    count_ = 0;
    return n;
}

void DeviceChanges::clear() noexcept {
    for (std::size_t i = 0; i < count_; ++i) place_[numbers_[i]] = 0;
    count_ = 0;
}

}  // namespace zelo::forward
