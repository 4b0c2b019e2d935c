#include "connection/power_control.h"

#include <algorithm>
#include <string>

#include "connection/framed_readout.h"
#include "settings/app_settings.h"

namespace zelo {

const std::array<std::string_view, 29> kPowerButtonTexts = {
    "MPON", "MPOF",                                  //
    "PON1", "POF1", "POR1", "PON2", "POF2", "POR2",  //
    "PON3", "POF3", "POR3", "PON4", "POF4", "POR4",  //
    "PON5", "POF5", "POR5", "PON6", "POF6", "POR6",  //
    "PON7", "POF7", "POR7", "PON8", "POF8", "POR8",  //
    "PON0", "POF0", "POR0"};

bool isPowerButtonText(std::string_view command) {
    return std::find(kPowerButtonTexts.begin(), kPowerButtonTexts.end(), command) !=
           kPowerButtonTexts.end();
}

bool confirmPowerControl(DeviceSession& session) {
    if (!session.settings().confirmPower) return true;
    return session.frontend().askYesNo(Text::PowerQuestion, Text::ConfirmCaption, Icon::Question);
}

StepResult sendPowerCommand(DeviceSession& session, std::string_view command, bool withSelect) {
    switch (dialectOf(session.record.modelCode)) {
        case Dialect::Framed:
            return session.sendFramedCommand(command, withSelect);
        case Dialect::None:
            return StepResult::Failed;
        case Dialect::Plain:
            break;
    }
    std::string plain(command);
    if (command == "PON0")
        plain = "MPON";
    else if (command == "POF0")
        plain = "MPOF";
    else if (command == "POR0")
        plain = "MPOR";
    return session.queryPlain(plain);
}

PowerRunResult runPowerCommands(DeviceSession& d, const std::vector<std::string>& commands,
                                std::size_t& failed) {
    const bool framed = dialectOf(d.record.modelCode) == Dialect::Framed;
    PowerRunResult result = PowerRunResult::Done;
    failed = commands.size();
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (!confirmPowerControl(d)) continue;
        // The framed device answers with its new states; the control
        // window's timer would read them, here the reply is read at once.
        StepResult sent = sendPowerCommand(d, commands[i], true);
        if (sent == StepResult::Ok && framed) sent = d.awaitFramedReply(std::nullopt);
        if (sent == StepResult::Failed) {
            failed = i;
            result = PowerRunResult::CommandFailed;
            break;
        }
    }
    if (framed) {
        if (readOutletStates(d) == StepResult::Failed) return PowerRunResult::ReadBackFailed;
    } else if (d.queryPlain("XPOS") == StepResult::Failed) {
        d.showErrorAndClose(Text::ErrorCaption);
        return PowerRunResult::ReadBackFailed;
    }
    return result;
}

}  // namespace zelo
