#pragma once
// The framed dialect's status readout: the outlet states after a login or
// a power command, and the whole readout that runs once per opening. The
// replies are read by the framed reply parser (framed_replies.h).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "connection/device_session.h"
#include "connection/framed_replies.h"
#include "connection/register_table.h"

namespace zelo {

// The firmware versions from which a framed device knows a command.
namespace firmware {
inline constexpr std::uint32_t kRegister194 = 0x31002;
inline constexpr std::uint32_t kRegister9919 = 0x31404;
inline constexpr std::uint32_t kRegister9165 = 0x31408;
inline constexpr std::uint32_t kScheduleFlags = 0x31410;  // SCS
inline constexpr std::uint32_t kRangeLists = 0x31412;     // RL, PL ranges, R9801
inline constexpr std::uint32_t kLogAndSerial = 0x32905;   // LOG0, R9930
}  // namespace firmware

// The 44 register ranges of a device that lists them, in reading order.
extern const std::array<const char*, 44> kRegisterRanges;
// The 135 registers read one by one otherwise; a leading '*' marks those
// that firmware below 0x31002 lacks.
extern const std::array<const char*, 135> kSingleRegisters;
// The schedule list in 8 ranges.
extern const std::array<const char*, 8> kScheduleRanges;

// "MPOS" and, from firmware 0x31410 on, "SCS". On failure the message is
// shown and the connection closed.
StepResult readOutletStates(DeviceSession& session);

// The whole readout after a framed login: outlets, registers, clock,
// SPEC text, outlet types, schedule list. On failure the message (195
// for a refused MPOS, else 194) is shown and the connection closed.
StepResult readFramedStatus(DeviceSession& session);

}  // namespace zelo
