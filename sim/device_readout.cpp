#include <algorithm>
#include <cstdio>

#include "sim/device.h"

namespace zelo::sim {

// Eight groups of four characters joined by dashes: model, hardware
// revision, outlet count / master / option digits, model byte, status
// entries (byte-swapped hex), sensor, reserved, ping entries.
std::string Device::specText() const {
    char buf[64];
    const std::string m = ModelName(config_.model);
    std::string tag = m.substr(m.find('-') + 1);
    tag = (tag + "0000").substr(0, 4);
    std::snprintf(buf, sizeof buf, "%s-0100-%d%d01-%02X00-1400-000%d-0000-%d", tag.c_str(),
                  static_cast<int>(outlets_.size()), config_.master ? 1 : 0, config_.model,
                  sensor_ ? 1 : 0, static_cast<int>(std::min<size_t>(ping_.size(), 9)));
    return buf;
}

std::string Device::typeText() const {
    std::string out;
    for (size_t i = 0; i < outlets_.size(); ++i) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%s%X", i ? "," : "", outlets_[i].type);
        out += buf;
    }
    return out;
}

}  // namespace zelo::sim
