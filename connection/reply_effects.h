#pragma once
// What the reply parsers work on and what they report. A parser reads one
// line, fills the status and the record fields that line carries, and says
// what happened; it saves nothing, sends nothing and tells no one. The
// session acts on the effects: it asks for MPOS, saves the record once per
// command and tells the view once.

#include <cstdint>
#include <string>

#include "directory/device_record.h"
#include "directory/device_status.h"

namespace zelo {

struct ReplyEffects {
    bool error = false;               // the device refused the command (or the model is wrong)
    bool recordChanged = false;       // record fields were filled: save it and refresh its row
    bool masterWanted = false;        // a POS line: master power and states are to be asked for
    bool listEnded = false;           // a list ended at the prompt (list mode back to 0)
    bool masterChanged = false;       // the master power state changed
    std::uint8_t outletsChanged = 0;  // bit n: the state of outlet n (0-based) changed

    ReplyEffects& operator|=(const ReplyEffects& o) noexcept {
        error |= o.error;
        recordChanged |= o.recordChanged;
        masterWanted |= o.masterWanted;
        listEnded |= o.listEnded;
        masterChanged |= o.masterChanged;
        outletsChanged = static_cast<std::uint8_t>(outletsChanged | o.outletsChanged);
        return *this;
    }
};

// The dialogue state a reply line is read against and moves on: the device
// record and status, the working prompt name (the plain prompt; register
// 0x870 fills it) and the list mode with its started and ended flags.
struct ReplyTarget {
    DeviceRecord& record;
    DeviceStatus& status;
    std::string& promptName;
    int& listMode;  // 1 register or settings list, 2 schedule list
    bool& listStarted;
    bool& listEnded;
};

// "%s:%s>" with the select number and the prompt text.
inline std::string framedPromptOf(const DeviceRecord& r) {
    return r.selectNumber + ":" + r.prompt + ">";
}
// "*%s:" with the select number.
inline std::string framePrefixOf(const DeviceRecord& r) {
    return "*" + r.selectNumber + ":";
}

}  // namespace zelo
