#pragma once
// All devices of all groups, in load order: group by group in directory
// order, records in file order, new devices at the end. Lookups by device id
// go through an index, so they cost the same with 10,000 devices as with 10.
// When two records carry the same id, the one earlier in the list is found,
// as a walk from the head would find it. A change counter tells indexes kept
// elsewhere (the status report lookup) that they are out of date.

#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

#include "directory/device_record.h"

namespace zelo {

class DeviceList {
public:
    using Container = std::list<DeviceRecord>;

    // Copies (or moves) the record in after the last one.
    DeviceRecord& append(const DeviceRecord& record);
    DeviceRecord& append(DeviceRecord&& record);
    // The first record with this id, or nullptr.
    DeviceRecord* find(std::uint32_t deviceId) noexcept;
    const DeviceRecord* find(std::uint32_t deviceId) const noexcept;

    // Iteration with a cursor: rewind, then next() until nullptr.
    void rewind() noexcept { cursor_ = records_.begin(); }
    DeviceRecord* next() noexcept;

    void removeFirst();
    // Removes the first record with this id; nothing when there is none.
    void remove(std::uint32_t deviceId);
    void clear() noexcept;

    // Raised by every append, removal and clear, and by touch(): whoever
    // changes a record's MAC text, unit number or model in place calls
    // touch() (DeviceDirectory::saveDevice does).
    std::uint64_t changes() const noexcept { return changes_; }
    void touch() noexcept { ++changes_; }

    bool empty() const noexcept { return records_.empty(); }
    std::size_t size() const noexcept { return records_.size(); }
    const DeviceRecord* head() const noexcept { return empty() ? nullptr : &records_.front(); }
    const DeviceRecord* tail() const noexcept { return empty() ? nullptr : &records_.back(); }

    Container::iterator begin() noexcept { return records_.begin(); }
    Container::iterator end() noexcept { return records_.end(); }
    Container::const_iterator begin() const noexcept { return records_.begin(); }
    Container::const_iterator end() const noexcept { return records_.end(); }

private:
    // Indexes the record just put at the end.
    DeviceRecord& indexLast(bool cursorAtEnd);
    void unindex(Container::iterator it);

    Container records_;
    // Per id, its records in list order.
    std::unordered_map<std::uint32_t, std::vector<Container::iterator>> byId_;
    Container::iterator cursor_ = records_.end();
    std::uint64_t changes_ = 0;
};

}  // namespace zelo
