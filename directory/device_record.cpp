#include "directory/device_record.h"

#include <algorithm>

namespace zelo {

bool operator==(const DeviceRecord& a, const DeviceRecord& b) {
    return a.name == b.name && a.modelName == b.modelName && a.ipAddress == b.ipAddress &&
           a.addressText == b.addressText && a.port == b.port && a.powerText == b.powerText &&
           a.scheduleText == b.scheduleText && a.pingText == b.pingText &&
           a.rebootText == b.rebootText && a.temperature == b.temperature &&
           a.temperatureState == b.temperatureState && a.password == b.password &&
           a.loginName == b.loginName && a.updateTime == b.updateTime && a.macText == b.macText &&
           a.deviceId == b.deviceId && a.groupId == b.groupId && a.modelCode == b.modelCode &&
           a.outletCount == b.outletCount && a.prompt == b.prompt &&
           a.selectNumber == b.selectNumber && a.unitId == b.unitId &&
           a.systemName == b.systemName && a.lastPowerText == b.lastPowerText &&
           a.lastScheduleText == b.lastScheduleText && a.lastPingText == b.lastPingText &&
           a.lastTemperature == b.lastTemperature &&
           a.lastTemperatureState == b.lastTemperatureState &&
           a.lastMasterState == b.lastMasterState;
}

int outletCountFromPowerText(std::string_view powerText) {
    const std::size_t n =
        powerText.size() >= 2 && powerText[1] == ' ' ? powerText.size() - 2 : powerText.size();
    return static_cast<int>(std::clamp<std::size_t>(n, 1, kMaxOutlets));
}

void copyToLastLogged(DeviceRecord& r) {
    r.lastPowerText = r.powerText;
    r.lastScheduleText = r.scheduleText;
    r.lastPingText = r.pingText;
    r.lastTemperature = r.temperature;
    r.lastTemperatureState = r.temperatureState;
}

}  // namespace zelo
