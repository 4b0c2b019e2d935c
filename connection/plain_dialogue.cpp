// The plain dialect's side of the session: the greeting and password
// login, the start-up queries, the commands and the prompt wait.
#include "common/scan.h"
#include "connection/device_session.h"
#include "connection/plain_replies.h"
#include "directory/model_table.h"

namespace zelo {
namespace {

constexpr std::size_t kGreetingNameMax = 32;

}  // namespace

StepResult DeviceSession::loginPlain(bool reset) {
    reconnectFailed_ = false;
    if (reset) {
        status = DeviceStatus{};
        connection.connected = false;
        status.specField = 20;
    }
    workingPromptName = record.systemName;

    if (connectRecord() == StepResult::Failed) {
        frontend_.showErrorDetail(Text::CannotConnect, Text::ErrorCaption, failureDetail_);
        connection.closeConnection();
        return StepResult::Failed;
    }

    // The greeting: " 220 ... (NAME) ...".
    std::string line;
    std::int64_t deadline = clock_.micros() + kReplySeconds * kMicrosPerSecond;
    if (waitForLine(line, "", "", deadline, kLineLength) != WaitResult::Arrived) {
        showErrorAndClose(Text::NetworkDisconnected);
        return StepResult::Failed;
    }
    if (!startsWith(line, " 220 ")) {
        showErrorAndClose(Text::BadCommunication);
        return StepResult::Failed;
    }
    const std::size_t open = line.find(" (");
    const std::size_t close = open == std::string::npos ? open : line.find(") ", open + 2);
    if (close != std::string::npos) {
        workingPromptName = line.substr(open + 2, close - open - 2).substr(0, kGreetingNameMax);
        record.systemName = cutText(workingPromptName, field::kSystemName);
        saveRecord();
    }

    connection.resetRing();
    connection.send("\r\n");
    const std::string prompt = plainPrompt();
    deadline = clock_.micros() + kReplySeconds * kMicrosPerSecond;
    if (waitForLine(line, "Password:", "", deadline, kLineLength) != WaitResult::Arrived ||
        line != "Password:") {
        showErrorAndClose(Text::BadCommunication);
        return StepResult::Failed;
    }

    connection.resetRing();
    // The prompt wait below reads the answer, whatever this wait met.
    static_cast<void>(connection.sendAndWait(record.password + "\r\n"));
    deadline = clock_.micros() + kReplySeconds * kMicrosPerSecond;
    while (waitForLine(line, prompt, "", deadline, kLineLength) == WaitResult::Arrived) {
        if (line == prompt) return StepResult::Ok;
        if (startsWith(line, "Incorrect password")) {
            showErrorAndClose(Text::BadPassword);
            return StepResult::Failed;
        }
    }
    showErrorAndClose(Text::BadCommunication);
    return StepResult::Failed;
}

std::optional<Text> DeviceSession::startPlainQueries() {
    status.outletCount = 4;
    status.masterState = -1;
    status.smtpPort = 25;
    status.pop3Port = 110;
    for (OutletStatus& o : status.outlets) o = OutletStatus{};

    auto failed = [this](std::string_view command) {
        return queryPlain(command) == StepResult::Failed;
    };
    static_cast<void>(queryPlain("ver"));  // an old firmware may not know it
    failureDetail_.clear();
    if (failed("?model")) {
        if (failureDetail_.empty())
            noteFailure("the device is not a " +
                        std::string(modelInfo(record.modelCode).displayText));
        return Text::BadCommunication;
    }
    if (failed("XPOS") || failed("DATE") || failed("TIME")) return Text::ErrorCaption;
    listMode = 1;
    listStarted = listEnded = false;
    // The list ends with a prompt of its own behind the command's.
    const bool listFailed = failed("LIST") || awaitPlainPrompt() == StepResult::Failed;
    listMode = 0;
    if (listFailed) return Text::ErrorCaption;
    return std::nullopt;
}

StepResult DeviceSession::sendPlainCommand(std::string_view command) {
    if (reconnectIfNeeded() == StepResult::Failed) return StepResult::Failed;
    return sendCommandText(std::string(command) + "\r\n");
}

StepResult DeviceSession::queryPlain(std::string_view command) {
    if (sendPlainCommand(command) == StepResult::Failed) return StepResult::Failed;
    return awaitPlainPrompt();
}

StepResult DeviceSession::awaitPlainPrompt() {
    const std::string prompt = plainPrompt();
    // A rejected command still ends with the prompt: it is read too, so
    // that the next command's wait does not end on it.
    bool rejected = false;
    const ReplyWait wait{prompt, kPlainLineLength, kPlainPromptSeconds, false};
    const StepResult waited = awaitReply(wait, [&](const std::string& line) {
        if (line == prompt) return LineVerdict::EndNow;
        ReplyTarget target = replyTarget();
        const ReplyEffects effects = parsePlainReply(target, line);
        collect(effects);
        rejected = rejected || effects.error;
        return LineVerdict::More;
    });
    return rejected ? StepResult::Failed : waited;
}

StepResult DeviceSession::writePlainSetting(std::string_view key, std::string_view value) {
    listMode = 1;
    const StepResult written = queryPlain("." + std::string(key) + "=" + std::string(value));
    listMode = 0;
    return written;
}

}  // namespace zelo
