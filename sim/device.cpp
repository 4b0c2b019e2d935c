#include "sim/device.h"

namespace zelo::sim {

Device::Device(const DeviceConfig& config, std::int64_t nowMs)
    : config_(config),
      temperature_(config.temperature),
      temperatureState_(config.temperatureState),
      sensor_(config.sensor),
      ping_(config.ping),
      station_(config.station),
      interval_(config.intervalSeconds),
      systemName_(config.systemName),
      locked_(config.locked),
      faults_(config.faults),
      port_(config.port) {
    (void)nowMs;
    outlets_.resize(config.outlets);
    for (int i = 0; i < config.outlets; ++i) {
        Outlet& o = outlets_[i];
        o.state = config.states[i];
        o.scheduled = config.schedule[i];
        o.name = config.outletNames[i];
        o.onDelay = config.onDelay[i];
        o.offDelay = config.offDelay[i];
        o.rebootTime = config.rebootTime[i];
    }
    lastLog_ = "POWER ON";
}

}  // namespace zelo::sim
