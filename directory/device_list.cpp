#include "directory/device_list.h"

#include <algorithm>

namespace zelo {

DeviceRecord& DeviceList::append(const DeviceRecord& record) {
    const bool cursorAtEnd = cursor_ == records_.end();
    records_.push_back(record);
    return indexLast(cursorAtEnd);
}

DeviceRecord& DeviceList::append(DeviceRecord&& record) {
    const bool cursorAtEnd = cursor_ == records_.end();
    records_.push_back(std::move(record));
    return indexLast(cursorAtEnd);
}

DeviceRecord& DeviceList::indexLast(bool cursorAtEnd) {
    ++changes_;
    auto it = std::prev(records_.end());
    byId_[it->deviceId].push_back(it);
    // A cursor that had run off the end stays there.
    if (cursorAtEnd) cursor_ = records_.end();
    return *it;
}

DeviceRecord* DeviceList::find(std::uint32_t deviceId) noexcept {
    auto found = byId_.find(deviceId);
    return found == byId_.end() || found->second.empty() ? nullptr : &*found->second.front();
}

const DeviceRecord* DeviceList::find(std::uint32_t deviceId) const noexcept {
    auto found = byId_.find(deviceId);
    return found == byId_.end() || found->second.empty() ? nullptr : &*found->second.front();
}

DeviceRecord* DeviceList::next() noexcept {
    if (cursor_ == records_.end()) return nullptr;
    DeviceRecord* r = &*cursor_;
    ++cursor_;
    return r;
}

void DeviceList::unindex(Container::iterator it) {
    auto found = byId_.find(it->deviceId);
    if (found == byId_.end()) return;
    auto& v = found->second;
    v.erase(std::remove(v.begin(), v.end(), it), v.end());
    if (v.empty()) byId_.erase(found);
    if (cursor_ == it) ++cursor_;
}

void DeviceList::removeFirst() {
    if (records_.empty()) return;
    unindex(records_.begin());
    records_.pop_front();
    ++changes_;
}

void DeviceList::remove(std::uint32_t deviceId) {
    auto found = byId_.find(deviceId);
    if (found == byId_.end() || found->second.empty()) return;
    auto it = found->second.front();
    unindex(it);
    records_.erase(it);
    ++changes_;
}

void DeviceList::clear() noexcept {
    records_.clear();
    byId_.clear();
    ++changes_;
    cursor_ = records_.end();
}

}  // namespace zelo
