// The framed dialect's side of the session: the login with its
// identification, the command frames and the reply wait.
#include <cstdio>

#include "common/scan.h"
#include "connection/device_session.h"
#include "connection/framed_replies.h"

namespace zelo {
namespace {

constexpr std::size_t kIdentificationMax = 79;
constexpr std::size_t kIdentTextMax = 31;

}  // namespace

StepResult DeviceSession::loginFramed(bool reset) {
    const std::string prompt = framedPrompt();
    const std::string prefix = framePrefix();
    reconnectFailed_ = false;
    if (reset) {
        status = DeviceStatus{};
        connection.connected = false;
    }
    loginMode = 0;
    status.masterPresent = true;
    workingPromptName.clear();
    status.firmwareDate.clear();
    status.fullReload = true;

    if (connectRecord() == StepResult::Failed) {
        frontend_.showErrorDetail(Text::CannotConnect, Text::ErrorCaption, failureDetail_);
        connection.closeConnection();
        return StepResult::Failed;
    }

    // The device greets with "login:" or shows its prompt at once.
    std::int64_t deadline = clock_.micros() + kReplySeconds * kMicrosPerSecond;
    bool atPrompt = false;
    std::string line;
    while (!atPrompt && loginMode == 0) {
        if (waitForLine(line, prompt, "login:", deadline, kLineLength) != WaitResult::Arrived) {
            showErrorAndClose(Text::NetworkDisconnected);
            return StepResult::Failed;
        }
        if (startsWith(line, "503 Too ")) {
            showErrorAndClose(Text::TooManyUsers);
            return StepResult::Failed;
        }
        if (startsWith(line, "login:"))
            loginMode = 1;
        else if (contains(line, prompt))
            atPrompt = true;
    }

    if (loginMode == 1) {
        bool refused = connection.sendAndWait("admin\r\n") != WaitResult::Arrived;
        if (!refused) {
            deadline = clock_.micros() + kReplySeconds * kMicrosPerSecond;
            bool asked = false;
            while (!asked &&
                   waitForLine(line, "Password:", "", deadline, kLineLength) == WaitResult::Arrived)
                asked = contains(line, "Password:");
            refused = !asked;
        }
        if (!refused)
            refused = connection.sendAndWait(record.password + "\r\n") != WaitResult::Arrived;
        if (!refused) {
            deadline = clock_.micros() + kReplySeconds * kMicrosPerSecond;
            bool done = false;
            refused = true;
            while (!done && waitForLine(line, prompt, "login:", deadline, kLineLength) ==
                                WaitResult::Arrived) {
                if (contains(line, prompt)) {
                    refused = false;
                    done = true;
                } else if (contains(line, "login:")) {
                    done = true;
                }
            }
        }
        if (refused) {
            showErrorAndClose(Text::BadPassword);
            return StepResult::Failed;
        }
    }

    const WaitResult answer = connection.sendAndWait(loginMode == 1 ? "ver\r\n" : "*\r\n");
    if (answer != WaitResult::Arrived) {
        noteFailure(answer == WaitResult::TimedOut ? "no answer in time"
                                                   : "the device closed the connection");
        showErrorAndClose(Text::BadCommunication);
        return StepResult::Failed;
    }
    deadline = clock_.micros() + kReplySeconds * kMicrosPerSecond;
    bool identified = false;
    while (waitForLine(line, prompt, "", deadline, kLineLength) == WaitResult::Arrived) {
        if (contains(line, prefix)) {
            parseIdentification(line.substr(line.find(prefix)));
            identified = true;
        }
        if (contains(line, prompt)) break;
    }
    if (!identified) {
        showErrorAndClose(Text::BadCommunication);
        return StepResult::Failed;
    }
    return StepResult::Ok;
}

void DeviceSession::parseIdentification(const std::string& fromPrefix) {
    const std::string text = fromPrefix.substr(0, kIdentificationMax);
    if (text.size() <= 4) return;
    // "MODEL Ver VERSION"
    std::string_view rest = std::string_view(text).substr(4);
    auto nextWord = [&rest]() {
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
            rest.remove_prefix(1);
        std::size_t n = 0;
        while (n < rest.size() && rest[n] != ' ' && rest[n] != '\t') ++n;
        std::string_view w = rest.substr(0, n);
        rest.remove_prefix(n);
        return w;
    };
    status.modelNameText = std::string(nextWord()).substr(0, kIdentTextMax);
    if (nextWord() != "Ver") return;
    status.firmwareText = std::string(nextWord()).substr(0, kIdentTextMax);
    status.firmwareVersion = packFirmwareVersion(status.firmwareText);
}

StepResult DeviceSession::sendFramedCommand(std::string_view command, bool withSelect) {
    if (reconnectIfNeeded() == StepResult::Failed) return StepResult::Failed;
    std::string frame;
    if (loginMode == 1)
        frame = std::string(command);
    else if (withSelect)
        frame = framePrefix() + record.password + "#" + std::string(command);
    else
        frame = "*" + record.password + "#" + std::string(command);
    return sendCommandText(frame + "\r\n");
}

StepResult DeviceSession::writeRegister(std::uint16_t number, std::string_view value,
                                        bool withSelect) {
    char reg[16];
    std::snprintf(reg, sizeof reg, "R%x=", static_cast<unsigned>(number));
    return sendFramedCommand(std::string(reg) + std::string(value), withSelect);
}

StepResult DeviceSession::awaitFramedReply(std::optional<std::string_view> expectedKey) {
    const std::string prompt = framedPrompt();
    const std::string expected =
        expectedKey ? framePrefix() + std::string(*expectedKey) + "=" : std::string();
    const std::string markers[] = {framePrefix() + "Err", framePrefix() + "Doubled",
                                   framePrefix() + "Locked", framePrefix() + "FullMemory"};
    bool seen = !expectedKey;
    bool complete = false;
    const ReplyWait wait{prompt, kLineLength, kReplySeconds, true};
    return awaitReply(wait, [&](const std::string& line) {
        if (expectedKey && startsWith(line, expected)) seen = true;
        // Lines behind the prompt that already came are still read.
        if (seen && contains(line, prompt)) complete = true;
        for (const std::string& m : markers)
            if (contains(line, m)) return LineVerdict::Fail;
        ReplyTarget target = replyTarget();
        const ReplyEffects effects = parseFramedReply(target, line, clock_.now());
        collect(effects);
        if (effects.error) return LineVerdict::Fail;
        return complete ? LineVerdict::EndAfterPass : LineVerdict::More;
    });
}

StepResult DeviceSession::queryFramed(std::string_view command, std::string_view expectedKey) {
    if (sendFramedCommand(command, true) == StepResult::Failed) return StepResult::Failed;
    return awaitFramedReply(expectedKey);
}

}  // namespace zelo
