#include "forward/device_changes.h"

#include <utility>

namespace zelo::forward {

void DeviceChanges::put(const DeviceRecord& record) {
    const auto [it, fresh] = index_.try_emplace(record.deviceId, slots_.size());
    if (fresh) slots_.emplace_back();
    Slot& slot = slots_[it->second];
    slot.source.assign(record);
    if (!slot.waiting) {
        slot.waiting = true;
        waiting_.push_back(it->second);
    }
}

std::size_t DeviceChanges::take(std::vector<DeviceSource>& out) {
    if (out.size() < waiting_.size()) out.resize(waiting_.size());
    std::size_t n = 0;
    for (const std::size_t index : waiting_) {
        Slot& slot = slots_[index];
        slot.waiting = false;
        std::swap(out[n++], slot.source);
    }
    waiting_.clear();
    return n;
}

void DeviceChanges::clear() noexcept {
    for (const std::size_t index : waiting_) slots_[index].waiting = false;
    waiting_.clear();
}

}  // namespace zelo::forward
