#pragma once
// A device's own configuration: the named settings of the plain dialect
// (read from "LIST", "?model", "?debOlShutdownTime", written one by one and
// committed with "WRITE") and the framed registers 0x230..0x235.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "connection/device_session.h"
#include "connection/reply_effects.h"

namespace zelo {

inline constexpr std::uint16_t kCenterRegisterFirst = 0x230;
inline constexpr std::uint16_t kCenterRegisterLast = 0x235;

// One settings reply line ("key=value", optionally after one "?"). `error`
// only when a "model" reply lacks the name the record's model requires;
// `recordChanged` when it carried the MAC address.
ReplyEffects parseSettingLine(ReplyTarget& target, std::string_view line);

// Every key the parser knows, in table order (the Center* aliases not
// included).
const std::vector<std::string_view>& settingKeys();
bool isWritableSetting(std::string_view key);
// Whether writing the key needs a device restart to take effect.
bool settingRestartsDevice(std::string_view key);

// The text a key's value is written as (lists joined with ",").
std::string settingText(const DeviceSettings& settings, std::string_view key);

enum class [[nodiscard]] EntryResult{Ok, UnknownKey, ReadOnly, BadValue};
// Sets a key from the text a user entered (as the control window's field
// would hold it) and marks it changed. Quoted keys take the text with or
// without its quotes; per-outlet and schedule keys take comma lists.
EntryResult enterSetting(DeviceSettings& settings, std::string_view key, std::string_view text);
// The same for the framed registers 0x230..0x235.
EntryResult enterCenterRegister(DeviceSettings& settings, std::uint32_t number,
                                std::string_view text);

// Writes every changed setting of a plain-dialect device in the fixed
// order, then "WRITE", then asks about a restart when one is needed. The
// first failed write ends the apply silently (Failed), leaving the remaining
// changed flags set.
StepResult applyPlainSettings(DeviceSession& session);

// Writes the changed registers 0x230..0x235 of a framed device, then asks
// about a restart; Failed when a write failed.
StepResult applyFramedSettings(DeviceSession& session);

// Sends CPURESET in the device's dialect and closes the connection (the
// device restarts; the next command connects again).
void restartDevice(DeviceSession& session);

}  // namespace zelo
