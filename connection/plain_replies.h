#pragma once
// The plain dialect's reply parser: outlet states, the device clock, the
// firmware version and, behind it, the settings lines. It only computes
// (see reply_effects.h).

#include <string_view>

#include "connection/reply_effects.h"

namespace zelo {

// One plain reply line (the prompt itself is not handed in). `error` is set
// when the device rejected the command ("501") or a "?model=" reply names
// another model than the record's.
ReplyEffects parsePlainReply(ReplyTarget& target, std::string_view line);

}  // namespace zelo
