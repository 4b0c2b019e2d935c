#pragma once
// One power controller as the program keeps it: identity and address, login
// data, the last status it reported and the copies that change detection
// compares against. A plain value: copied whole.

#include <cstdint>
#include <string>
#include <string_view>

namespace zelo {

// Longest text each field keeps; longer input is cut when a field is filled
// from a file, the wire or a window.
namespace field {
inline constexpr std::size_t kName = 63;
inline constexpr std::size_t kModelName = 23;
inline constexpr std::size_t kAddress = 127;
inline constexpr std::size_t kStateText = 31;  // powerText, scheduleText as read from a file
inline constexpr std::size_t kPingText = 32;
inline constexpr std::size_t kRebootText = 64;
inline constexpr std::size_t kPassword = 23;
inline constexpr std::size_t kLoginName = 23;
inline constexpr std::size_t kPromptLogin = 16;  // password and login of the prompt models
inline constexpr std::size_t kMac = 12;
inline constexpr std::size_t kPrompt = 2;
inline constexpr std::size_t kSelect = 2;
inline constexpr std::size_t kSystemName = 31;
}  // namespace field

inline constexpr int kMaxOutlets = 8;
// The outlets there are rows, states and columns for: a device's count, cut
// to 0..8.
constexpr int shownOutletCount(int outletCount) noexcept {
    return outletCount < 0 ? 0 : outletCount > kMaxOutlets ? kMaxOutlets : outletCount;
}

struct DeviceRecord {
    std::string name;
    std::string modelName;
    std::uint32_t ipAddress = 0;  // resolved from addressText; not stored
    std::string addressText;
    std::uint16_t port = 0;
    std::string powerText;     // "1 1111": master digit and blank, then one character per outlet
    std::string scheduleText;  // one character per outlet
    std::string pingText;
    std::string rebootText;
    std::int16_t temperature = 0;       // hundredths of a degree
    std::int16_t temperatureState = 0;  // 0..4, -1 no sensor
    std::string password;
    std::string loginName;
    std::uint32_t updateTime = 0;  // seconds since 1970, 0 never
    std::string macText;           // 12 hex digits without separators
    std::uint32_t deviceId = 0;
    std::uint32_t groupId = 0;
    std::int32_t modelCode = 0;
    std::int32_t outletCount = 0;  // 1..8
    std::string prompt;
    std::string selectNumber;
    std::uint32_t unitId = 0;
    std::string systemName;
    // As last logged: change detection compares against these.
    std::string lastPowerText;
    std::string lastScheduleText;
    std::string lastPingText;
    std::int16_t lastTemperature = 0;
    std::int16_t lastTemperatureState = 0;
    std::int32_t lastMasterState = 0;

    friend bool operator==(const DeviceRecord&, const DeviceRecord&);
};

// The first `max` bytes of a text.
inline std::string cutText(std::string_view text, std::size_t max) {
    return std::string(text.substr(0, max));
}

// Outlets counted from a power column text: the characters after a master
// digit and blank, or all of them; clamped to 1..8.
int outletCountFromPowerText(std::string_view powerText);

// Sets the five last-logged copies from the stored fields (after loading).
void copyToLastLogged(DeviceRecord& record);

}  // namespace zelo
