#pragma once
// The texts of a device's row in the device list, as the list renders them
// and zeloctl prints them.

#include <array>
#include <string>

#include "directory/device_record.h"
#include "zelo_text.h"

namespace zelo {

struct AppSettings;
class LangStrings;

inline constexpr int kDeviceColumns = 9;
// The temperature state's text for the states 0..4 (TemperatureNormal to
// TemperatureLowerAlarm, in that order in the table).
inline Text temperatureStateText(int state) {
    return static_cast<Text>(static_cast<int>(Text::TemperatureNormal) + state);
}

// Columns 0..8: name, address, power, update, ID, ping, reboot, temperature,
// temperature state. The temperature columns are empty when the state is
// negative; a state above 4 repeats the temperature in column 8.
std::array<std::string, kDeviceColumns> deviceColumnTexts(const DeviceRecord& record,
                                                          const AppSettings& settings,
                                                          const LangStrings& strings);

// Column 4: the unit number for models 6 to 10, otherwise the MAC address
// (with colons when it has exactly 12 characters).
std::string deviceIdColumnText(const DeviceRecord& record);

}  // namespace zelo
