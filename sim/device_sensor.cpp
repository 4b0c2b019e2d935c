#include "sim/device.h"

namespace zelo::sim {

void Device::setTemperature(int hundredths, int state) {
    temperature_ = hundredths;
    temperatureState_ = state;
    ++reportGeneration_;
}

void Device::setSensor(bool fitted) {
    sensor_ = fitted;
    ++reportGeneration_;
}

bool Device::tripPing(int entry, std::int64_t nowMs) {
    if (entry < 1 || entry > static_cast<int>(ping_.size())) return false;
    PingEntry& p = ping_[entry - 1];
    p.state = 3;
    ++p.reboots;
    Outlet& o = outlets_[(entry - 1) % outlets_.size()];
    startReboot(o, nowMs);
    changed();
    log("PING" + std::to_string(entry) + " REBOOT");
    return true;
}

bool Device::setPingState(int entry, int state, int reboots) {
    if (entry < 1 || entry > static_cast<int>(ping_.size()) || state < 0) return false;
    ping_[entry - 1].state = state;
    if (reboots >= 0) ping_[entry - 1].reboots = reboots;
    ++reportGeneration_;
    return true;
}

ReportState Device::reportState() const {
    ReportState s;
    s.mac = config_.mac;
    s.unit = config_.unit;
    s.model = config_.model;
    s.systemName = systemName_;
    s.master = config_.master;
    s.masterState = master_;
    for (const auto& o : outlets_) {
        OutletReport r;
        r.state = o.state;
        r.remainingSeconds = 0;
        s.outlets.push_back(r);
        s.schedule.push_back(o.scheduled);
    }
    s.ping = ping_;
    s.pingCompact = config_.pingCompactForm;
    s.sensor = sensor_;
    s.temperature = temperature_;
    s.temperatureState = temperatureState_;
    s.temperatureShortForm = config_.temperatureShortForm;
    s.sequence = sequence_;
    return s;
}

std::string Device::stationText() const {
    return msrpEnabled_ ? station_ : std::string();
}

}  // namespace zelo::sim
