#include <cstdio>

#include "common/format.h"
#include "connection/device_settings.h"
#include "connection/register_table.h"
#include "directory/model_table.h"

namespace zelo {

namespace {

class PlainApply {
public:
    explicit PlainApply(DeviceSession& session) : session_(session), s_(session.status.settings) {}

    // Writes each key that is changed, in order, until a write fails.
    StepResult write(std::initializer_list<std::string_view> keys) {
        for (std::string_view k : keys)
            if (changed(k) && writeNow(k) == StepResult::Failed) return StepResult::Failed;
        return StepResult::Ok;
    }
    StepResult writeNow(std::string_view key) {
        const std::string value = settingText(s_, key);
        if (session_.writePlainSetting(key, value) == StepResult::Failed) return StepResult::Failed;
        s_.changed.erase(std::string(key));
        s_.written.push_back(std::string(key) + "=" + value);
        if (settingRestartsDevice(key)) s_.restartNeeded = true;
        return StepResult::Ok;
    }
    bool changed(std::string_view key) const { return s_.changed.find(key) != s_.changed.end(); }

    StepResult run() {
        const int model = session_.record.modelCode;
        s_.written.clear();
        constexpr StepResult kFailed = StepResult::Failed;

        if (write({"debOlPowerOnTime", "debOlRebootTime"}) == kFailed) return kFailed;
        if (changed("debOlShutdownTime")) {
            if (writeNow("debOlShutdownTime") == kFailed) return kFailed;
            if (session_.queryPlain("?debOlShutdownTime") == kFailed) return kFailed;
        }

        if (changed("sysName")) {
            // The device answers with its new name in the prompt.
            session_.workingPromptName = s_.sysName;
            session_.record.systemName = cutText(s_.sysName, field::kSystemName);
            if (writeNow("sysName") == kFailed) return kFailed;
            session_.saveRecord();
        }
        if (write({"sysLocation", "sysContact", "debOlName"}) == kFailed) return kFailed;

        if (write({"ipAdEntAddr", "ipAdEntNetMask", "ipRouteDest", "ipAdDnsServer"}) == kFailed)
            return kFailed;
        bool telnetPortWritten = false;
        if (changed("telnetPort")) {
            if (s_.telnetPort < 0 || s_.telnetPort > 65535) return kFailed;
            if (writeNow("telnetPort") == kFailed) return kFailed;
            telnetPortWritten = true;
        }
        if (changed("debTcpInactiveTimer")) {
            if (s_.debTcpInactiveTimer < 0) return kFailed;
            if (writeNow("debTcpInactiveTimer") == kFailed) return kFailed;
        }
        if (write({"dhcpEnabled"}) == kFailed) return kFailed;

        const std::int64_t entered[4] = {s_.rs232Port1Speed, s_.rs232Port1Parity, s_.rs232Port1Bits,
                                         s_.rs232Port1StopBits};
        const std::string_view serialKeys[4] = {"rs232Port1Speed", "rs232Port1Parity",
                                                "rs232Port1Bits", "rs232Port1StopBits"};
        for (std::size_t i = 0; i < 4; ++i) {
            if (entered[i] == s_.rs232LastRead[i]) {
                s_.changed.erase(std::string(serialKeys[i]));
                continue;
            }
            if (writeNow(serialKeys[i]) == kFailed) return kFailed;
            s_.rs232LastRead[i] = entered[i];
        }

        if (write({"mailSmtpServer", "mailApopEnabled", "mailPopServer", "mailUserName",
                   "mailPassword", "debOlPingInterval"}) == kFailed)
            return kFailed;
        if (isLatestModel(model)) {
            if (write({"ipAdCenter", "msrpEnabled", "centerPort", "centerSendTimer",
                       "centerChangeSendCount", "centerChangeSendTimer"}) == kFailed)
                return kFailed;
            if (write({"debOlWdogAddr", "debOlWdogActCond", "debOlWdogSendMax", "debOlWdogNoResMax",
                       "debOlNoEchoInterval", "debOlRebootInterval", "debOlRebootCount",
                       "debOlWdogAction", "debWakeupPhysAddr", "debWakeupMaxCount",
                       "debWakeupInterval"}) == kFailed)
                return kFailed;
        }
        if (s_.scheduleEdited) {
            for (std::string_view k :
                 {"schDay", "schHour", "schMinute", "schOutletNo", "schAction", "schEnabled"})
                if (writeNow(k) == kFailed) return kFailed;
            s_.scheduleEdited = false;
        }
        if (session_.queryPlain("WRITE") == kFailed) return kFailed;

        // The device keeps its console on the old port until it restarts:
        // the record follows it only when the restart is sent, so that the
        // next connection still finds the device.
        if (s_.restartNeeded && session_.frontend().askYesNo(Text::RestartQuestion,
                                                             Text::ConfirmCaption, Icon::Warning)) {
            if (telnetPortWritten) {
                session_.record.port = static_cast<std::uint16_t>(s_.telnetPort);
                session_.saveRecord();
            }
            restartDevice(session_);
        }
        return StepResult::Ok;
    }

    // The device restarts: the connection is gone until the next command
    // logs in again. A unit that went before it answered was told of by the
    // command's wait already.
    static void restarted(DeviceSession& session) {
        session.connection.closeConnection();
        session.noteLoss();
    }

private:
    DeviceSession& session_;
    DeviceSettings& s_;
};

}  // namespace

StepResult applyPlainSettings(DeviceSession& session) {
    return PlainApply(session).run();
}

StepResult applyFramedSettings(DeviceSession& session) {
    DeviceSettings& s = session.status.settings;
    s.written.clear();
    for (std::uint32_t r = kCenterRegisterFirst; r <= kCenterRegisterLast; ++r) {
        const std::size_t i = r - kCenterRegisterFirst;
        if (!s.centerRegisterChanged[i]) continue;
        const std::string value =
            r == 0x230 ? (parseFlag(s.centerRegisterEdit[i]) ? "1" : "0") : s.centerRegisterEdit[i];
        char key[8];
        std::snprintf(key, sizeof key, "R%x", static_cast<unsigned>(r));
        // The reply tells whether the device took the value (a locked
        // device answers "Locked").
        if (session.writeRegister(static_cast<std::uint16_t>(r), value, true) ==
                StepResult::Failed ||
            session.awaitFramedReply(std::string_view(key)) == StepResult::Failed)
            return StepResult::Failed;
        s.centerRegisterChanged[i] = false;
        ReplyTarget target = session.replyTarget();
        session.takeEffects(dispatchRegister(target, r, value));
        s.written.push_back(std::string(key) + "=" + value);
        // The report target is read by the device when it starts.
        s.restartNeeded = true;
    }
    if (s.restartNeeded &&
        session.frontend().askYesNo(Text::RestartQuestion, Text::ConfirmCaption, Icon::Warning))
        restartDevice(session);
    return StepResult::Ok;
}

void restartDevice(DeviceSession& session) {
    // The device restarts instead of answering: the wait's outcome says
    // nothing.
    const StepResult sent = isPromptModel(session.record.modelCode)
                                ? session.sendFramedCommand("CPURESET", true)
                                : session.sendPlainCommand("CPURESET");
    static_cast<void>(sent);
    session.status.settings.restartNeeded = false;
    PlainApply::restarted(session);
}

}  // namespace zelo
