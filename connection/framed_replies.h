#pragma once
// The framed dialect's reply parser: every framed reply line, the answers
// to the readout's commands as well as the unsolicited lines the device
// sends while the control window is open. It only computes (see
// reply_effects.h).

#include <cstdint>
#include <string_view>

#include "connection/reply_effects.h"

namespace zelo {

// One framed reply line. `now` (seconds) becomes the record's update time
// when the line carries master power. `error` is set only for a line in
// which the frame prefix is followed by "Err".
ReplyEffects parseFramedReply(ReplyTarget& target, std::string_view line, std::int64_t now);

// Reads one schedule list value into an entry (fields past the end of a
// short value stay as they were reset).
void parseListedScheduleEntry(std::string_view value, ListedScheduleEntry& entry);

}  // namespace zelo
