#pragma once
// The framed registers: one table that gives each register (or range of
// registers) its number, the form its value is read in, and where it also
// shows up in the device settings or the record.

#include <cstdint>
#include <string>
#include <string_view>

#include "connection/reply_effects.h"

namespace zelo {

// Converts a register's value text by the register's form, stores it in the
// status and in the settings or record field it mirrors into. Registers
// outside the table are ignored. The MAC register changes the record.
ReplyEffects dispatchRegister(ReplyTarget& target, std::uint32_t number, std::string_view value);

// A register value as the device lists it ("192.168.0.1", "3.5", text).
std::string formatRegisterValue(const RegisterValue& value);

}  // namespace zelo
