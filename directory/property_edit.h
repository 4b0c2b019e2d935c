#pragma once
// Changing a device's stored fields the way the property dialog saves its
// fields (zeloctl's "set" uses the same rules).

#include <string>
#include <string_view>

#include "directory/device_record.h"

namespace zelo {

enum class EditResult { Ok, UnknownField, BadValue };

// One field: name, model, address, port, mac, unit, password, user, prompt,
// select. Limits: name 62, address 63, password and user 16, prompt and
// select 2; a port above 65535 becomes 65535; the MAC field keeps its
// letters and digits (at most 12; a MAC address in upper case). For models 6 to 10 the MAC field
// holds the terminal id: "mac" and "unit" both set unitId from the number at its start and macText
// from its letters and digits.
EditResult applyPropertyField(DeviceRecord& record, std::string_view field, std::string_view value);

// The letters and digits of a MAC field's text, in order, at most 12. For
// a MAC address (every model but 6 to 10, whose field holds the terminal
// id) the letters are upper-cased, as status reports give them.
std::string macFromField(std::string_view text, int modelCode);

}  // namespace zelo
