#include "status/report_lookup.h"

#include <optional>

#include "common/scan.h"
#include "directory/device_directory.h"
#include "directory/model_table.h"

namespace zelo {
namespace {

// 12 hex digits, of either case, as a 48-bit number; nothing for any other
// text (such a text can never match a report's "%02X" form). Files written
// before MACs were saved in upper case may hold lower-case ones.
std::optional<std::uint64_t> macKey(const std::string& text) noexcept {
    return parseHexDigits(text, 12);
}

}  // namespace

void ReportLookup::rebuild() {
    byMac_.clear();
    longMacs_.clear();
    byUnit_.clear();
    byMac_.reserve(directory_.devices().size());
    std::size_t ordinal = 0;
    for (DeviceRecord& r : directory_.devices()) {
        if (const auto key = macKey(r.macText))
            byMac_.try_emplace(*key, ordinal, &r);
        else if (r.macText.size() > 12)
            longMacs_.push_back({ordinal, &r, asciiUpper(r.macText)});
        if (isUserLoginModel(r.modelCode)) byUnit_.try_emplace(r.unitId, &r);
        ++ordinal;
    }
}

void ReportLookup::ensure() {
    const std::uint64_t changes = directory_.devices().changes();
    if (!stale_ && builtAt_ == changes) return;
    rebuild();
    builtAt_ = changes;
    stale_ = false;
}

DeviceRecord* ReportLookup::findByMac(const std::array<std::uint8_t, 6>& mac,
                                      const std::string& text) {
    ensure();
    std::uint64_t key = 0;
    for (std::uint8_t b : mac) key = (key << 8) | b;
    std::size_t bestOrdinal = SIZE_MAX;
    DeviceRecord* best = nullptr;
    if (const auto hit = byMac_.find(key); hit != byMac_.end()) {
        bestOrdinal = hit->second.first;
        best = hit->second.second;
    }
    // Texts longer than a MAC address cannot come from the files; checked
    // all the same, in case a front end stores one.
    for (const LongMac& m : longMacs_) {
        if (m.ordinal >= bestOrdinal) break;
        if (m.upperText.find(text) != std::string::npos) return m.record;
    }
    return best;
}

DeviceRecord* ReportLookup::findByUnit(std::uint32_t unitId) {
    ensure();
    const auto hit = byUnit_.find(unitId);
    return hit == byUnit_.end() ? nullptr : hit->second;
}

}  // namespace zelo
