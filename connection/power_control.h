#pragma once
// Power commands: the vocabulary of the control window's buttons, the
// confirmation step, and how one command goes out in each dialect.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "connection/device_session.h"

namespace zelo {

// The 29 button texts: "MPON", "MPOF", then PON, POF, POR for outlets 1 to 8,
// then "PON0", "POF0", "POR0".
extern const std::array<std::string_view, 29> kPowerButtonTexts;
bool isPowerButtonText(std::string_view command);

// True when the command may be sent: at once with the Power confirmation
// off, otherwise unless the user answers No.
bool confirmPowerControl(DeviceSession& session);

// Sends one power command in the device's dialect. Framed: framed as any
// command; the device reports the new states with a POS line. Plain: the
// unit-level commands go out as MPON/MPOF/MPOR, and the device's prompt is
// awaited so that a following "XPOS" reads the new states. Models outside
// both dialects get nothing (Failed).
StepResult sendPowerCommand(DeviceSession& session, std::string_view command, bool withSelect);

enum class [[nodiscard]] PowerRunResult{
    Done,            // every command taken, the states read back
    CommandFailed,   // a command was not taken (`failed` says which); the states were read back
    ReadBackFailed,  // the states could not be read back (the message is shown, the
                     // connection closed)
};

// On a logged-in session: each command as the control window's buttons
// send it (after the confirmation), the framed device's reply read at once,
// until one fails; then the outlet states read back into the session's
// status and record.
PowerRunResult runPowerCommands(DeviceSession& session, const std::vector<std::string>& commands,
                                std::size_t& failed);

}  // namespace zelo
