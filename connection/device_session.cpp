#include "connection/device_session.h"

#include "common/scan.h"
#include "connection/framed_replies.h"
#include "connection/plain_replies.h"
#include "directory/device_directory.h"
#include "directory/model_table.h"
#include "settings/app_settings.h"

namespace zelo {

Dialect dialectOf(int modelCode) {
    if (isPromptModel(modelCode)) return Dialect::Framed;
    if (isUserLoginModel(modelCode)) return Dialect::Plain;
    return Dialect::None;
}

DeviceSession::DeviceSession(Network& network, const Clock& clock, Frontend& frontend,
                             DeviceView& view, const AppState& state, const AppSettings& settings,
                             DeviceDirectory* directory)
    : connection(network, clock),
      network_(network),
      clock_(clock),
      frontend_(frontend),
      view_(view),
      state_(state),
      settings_(settings),
      directory_(directory) {}

void DeviceSession::showErrorAndClose(Text textId) {
    if (!reconnectFailed_) {
        if (failureDetail_.empty()) noteFailure("");
        frontend_.showErrorDetail(textId, Text::ErrorCaption, failureDetail_);
    }
    connection.closeConnection();
}

void DeviceSession::noteFailure(const std::string& reason) {
    failureDetail_ = record.addressText + ":" + std::to_string(record.port) +
                     (reason.empty() ? "" : ": " + reason);
}

void DeviceSession::noteLoss() {
    // The next command logs in again before it is sent. A loss is told once:
    // the flag stays clear until the next connect.
    if (!connection.connected) return;
    connection.connected = false;
    view_.connectionLost();
}

StepResult DeviceSession::sendCommandText(std::string_view text) {
    // A device that hangs up instead of answering is as lost as one that
    // hangs up in the middle of its reply.
    const bool wasOpen = connection.isOpen();
    failureDetail_.clear();
    const WaitResult answer = connection.sendAndWait(text);
    waitTimedOut = answer == WaitResult::TimedOut;
    if (answer == WaitResult::Closed && wasOpen) noteLoss();
    if (answer == WaitResult::Arrived) return StepResult::Ok;
    noteFailure(waitTimedOut ? "no answer in time" : "the device closed the connection");
    return StepResult::Failed;
}

void DeviceSession::saveRecord() {
    if (directory_ && directory_->saveDevice(record)) view_.recordChanged(record);
}

StepResult DeviceSession::connectRecord() {
    failureDetail_.clear();
    const std::uint32_t address = resolveDeviceAddress(network_, record.addressText);
    record.ipAddress = address;
    const bool failed =
        address == 0 || connection.connectToDevice(address, record.port) == StepResult::Failed;
    if (failed) {
        const std::string reason = network_.lastError();
        noteFailure(address == 0 && !reason.empty() ? "unknown host (" + reason + ")"
                    : address == 0                  ? "unknown host"
                    : reason.empty()                ? "cannot connect"
                                                    : reason);
        return StepResult::Failed;
    }
    return StepResult::Ok;
}

WaitResult DeviceSession::waitForLine(std::string& line, std::string_view prompt1,
                                      std::string_view prompt2, std::int64_t deadline,
                                      std::size_t maxLength) {
    for (;;) {
        if (connection.readLine(line, prompt1, prompt2, maxLength)) return WaitResult::Arrived;
        if (clock_.micros() >= deadline) {
            noteFailure(prompt1.empty() ? std::string("no answer in time")
                                        : "no '" + std::string(prompt1) + "' in time");
            return WaitResult::TimedOut;
        }
        if (connection.receiveChunk(deadline - clock_.micros()) < 0) {
            noteLoss();
            if (connection.readLine(line, prompt1, prompt2, maxLength)) return WaitResult::Arrived;
            noteFailure("the device closed the connection");
            return WaitResult::Closed;
        }
    }
}

// ------------------------------------------------------------ reply waits

StepResult DeviceSession::awaitReply(const ReplyWait& wait,
                                     const std::function<LineVerdict(const std::string&)>& onLine) {
    dialogueIdle = false;
    waitTimedOut = false;
    const std::int64_t span = wait.seconds * kMicrosPerSecond;
    std::int64_t deadline = clock_.micros() + span;
    bool failed = false;
    std::string line;
    for (;;) {
        bool ended = false;
        while (connection.readLine(line, wait.prompt, "", wait.maxLength)) {
            if (wait.restartOnLine) deadline = clock_.micros() + span;
            const LineVerdict verdict = onLine(line);
            failed = verdict == LineVerdict::Fail;
            ended = ended || verdict == LineVerdict::EndAfterPass;
            if (failed || verdict == LineVerdict::EndNow) {
                ended = true;
                break;
            }
        }
        if (ended) break;
        const std::int64_t left = deadline - clock_.micros();
        if (left <= 0) {
            failed = waitTimedOut = true;
            noteFailure("no answer in time");
            break;
        }
        if (connection.receiveChunk(left) < 0) {
            noteLoss();
            noteFailure("the device closed the connection");
            failed = true;
            break;
        }
    }
    dialogueIdle = true;
    // Lines read before a failure keep their effect.
    settle();
    return failed ? StepResult::Failed : StepResult::Ok;
}

void DeviceSession::askForMaster() {
    // Its reply is read with the lines that follow; a failed send has noted
    // its loss.
    static_cast<void>(sendFramedCommand("MPOS", true));
}

void DeviceSession::collect(const ReplyEffects& effects) {
    pending_ |= effects;
    if (effects.masterWanted) askForMaster();
}

void DeviceSession::settle() {
    const ReplyEffects e = pending_;
    pending_ = ReplyEffects{};
    if (e.masterChanged) view_.outletsChanged(-1);
    for (int n = 0; n < kMaxOutlets; ++n)
        if (e.outletsChanged & (1u << n)) view_.outletsChanged(n);
    if (e.recordChanged) saveRecord();
}

void DeviceSession::takeEffects(const ReplyEffects& effects) {
    pending_ |= effects;
    settle();
    if (effects.masterWanted) askForMaster();
}

LineTaken DeviceSession::takeFramedReply(std::string_view line) {
    ReplyTarget target = replyTarget();
    const ReplyEffects effects = parseFramedReply(target, line, clock_.now());
    takeEffects(effects);
    return effects.error ? LineTaken::Refused : LineTaken::Taken;
}

LineTaken DeviceSession::takePlainReply(std::string_view line) {
    ReplyTarget target = replyTarget();
    const ReplyEffects effects = parsePlainReply(target, line);
    takeEffects(effects);
    return effects.error ? LineTaken::Refused : LineTaken::Taken;
}

// ----------------------------------------------------------- reconnection

StepResult DeviceSession::reconnectIfNeeded() {
    reconnectFailed_ = false;
    if (connection.connected) return StepResult::Ok;
    // Declined: the command is tried on the connection as it is.
    if (settings_.confirmReconnect && state_.openDialog == OpenDialog::Control &&
        !frontend_.askYesNo(Text::ReconnectQuestion, Text::ConfirmCaption, Icon::Question))
        return StepResult::Ok;
    const StepResult login =
        dialectOf(record.modelCode) == Dialect::Framed ? loginFramed(false) : loginPlain(false);
    if (login == StepResult::Failed) {
        // The connect made a socket and set the flag; the device is still
        // not there.
        connection.connected = false;
        reconnectFailed_ = true;
        return StepResult::Failed;
    }
    view_.connectionBack();
    if (state_.openDialog == OpenDialog::Control) view_.outletsChanged(-1);
    return StepResult::Ok;
}

}  // namespace zelo
