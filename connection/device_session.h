#pragma once
// The dialogue with one device: both logins and the identification, the
// command senders and reply waits of both dialects, and reconnection. The
// desktop program has one session at a time; a batch delivery may hold one
// per device.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/app_state.h"
#include "common/frontend.h"
#include "connection/device_connection.h"
#include "connection/reply_effects.h"
#include "directory/device_record.h"
#include "directory/device_status.h"
#include "directory/device_view.h"

namespace zelo {

struct AppSettings;
class DeviceDirectory;

inline constexpr std::size_t kLineLength = 120;
inline constexpr std::size_t kPlainLineLength = 511;
inline constexpr std::int64_t kPlainPromptSeconds = 5;

enum class Dialect { Framed, Plain, None };
Dialect dialectOf(int modelCode);

// What became of one reply line read outside a wait.
enum class [[nodiscard]] LineTaken{Taken, Refused};

class DeviceSession {
public:
    // `directory` (may be null) is where the record is saved and its row
    // refreshed when the device reports new states.
    DeviceSession(Network& network, const Clock& clock, Frontend& frontend, DeviceView& view,
                  const AppState& state, const AppSettings& settings, DeviceDirectory* directory);
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // --- logins (the message is shown and the connection closed on failure)
    StepResult loginFramed(bool reset);
    StepResult loginPlain(bool reset);
    // Shows the message and closes the connection. After a command whose
    // reconnect failed nothing more is shown: the login has shown the
    // message of the step that failed.
    void showErrorAndClose(Text textId);
    // What the last failed step met, "ADDRESS:PORT: reason"; empty when it
    // is not known.
    const std::string& failureDetail() const noexcept { return failureDetail_; }
    // The plain dialect's start-up queries: nothing on success, else the
    // message that the open sequence shows.
    std::optional<Text> startPlainQueries();

    // --- commands and replies (a send reconnects first when the connection
    // was marked lost; a failed reconnect has shown the login's message)
    StepResult sendPlainCommand(std::string_view command);
    // Fails on time-out, loss or a rejection before the prompt.
    StepResult awaitPlainPrompt();
    // A command and the prompt behind its answer.
    StepResult queryPlain(std::string_view command);
    StepResult writePlainSetting(std::string_view key, std::string_view value);
    StepResult sendFramedCommand(std::string_view command, bool withSelect);
    // Fails on time-out, loss or a line with an error marker.
    StepResult awaitFramedReply(std::optional<std::string_view> expectedKey);
    // A command (with the device selected) and its reply, which carries
    // `expectedKey`.
    StepResult queryFramed(std::string_view command, std::string_view expectedKey);
    StepResult writeRegister(std::uint16_t number, std::string_view value, bool withSelect);

    // One reply line read outside a wait (the control window reads what the
    // device sends while the dialogue is idle): parsed, then acted on at
    // once. Refused when the line reports an error (framed: "Err" behind
    // the frame prefix; plain: a rejection or a wrong model).
    LineTaken takeFramedReply(std::string_view line);
    LineTaken takePlainReply(std::string_view line);
    // Acts on what a parser reported outside a wait: saves the record and
    // tells the view, then asks for master power when a POS line wants it.
    void takeEffects(const ReplyEffects& effects);
    // What the reply parsers read and fill: this session's record, status,
    // prompt name and list state.
    ReplyTarget replyTarget() noexcept {
        return ReplyTarget{record, status, workingPromptName, listMode, listStarted, listEnded};
    }

    // Runs the login again, without a reset, when the connection was marked
    // lost. When it fails the connection stays marked lost, so that the next
    // command tries again.
    StepResult reconnectIfNeeded();
    // Marks the connection lost and tells the view, only while the connected
    // flag is set: one loss, one notice, however many steps see it.
    void noteLoss();
    // The last command failed because its reconnect failed (the login has
    // shown its message).
    bool reconnectFailed() const noexcept { return reconnectFailed_; }

    std::string framedPrompt() const { return framedPromptOf(record); }  // "%s:%s>"
    std::string framePrefix() const { return framePrefixOf(record); }    // "*%s:"
    std::string plainPrompt() const { return workingPromptName + "> "; }

    // Saves the record into its group and refreshes its row when saved.
    void saveRecord();

    Frontend& frontend() noexcept { return frontend_; }
    DeviceView& view() noexcept { return view_; }
    const AppState& state() const noexcept { return state_; }
    const AppSettings& settings() const noexcept { return settings_; }
    const Clock& clock() const noexcept { return clock_; }
    DeviceDirectory* directory() noexcept { return directory_; }

    DeviceRecord record;  // the device being handled
    DeviceStatus status;
    DeviceConnection connection;
    int loginMode = 0;  // 1: the device asked "login:"; commands then go bare
    int listMode = 0;   // 1 register or settings list, 2 schedule list
    bool listStarted = false;
    bool listEnded = false;
    bool dialogueIdle = true;
    // The last command's reply (or the start of it) did not come within its
    // wait; a reply refused with an error marker or a lost connection does
    // not count.
    bool waitTimedOut = false;
    std::string workingPromptName;

private:
    // Notes why a step failed, after the device's address and port.
    void noteFailure(const std::string& reason);
    std::string failureDetail_;
    // What one line does to a reply wait.
    enum class LineVerdict {
        More,          // read on
        EndAfterPass,  // the reply is complete; lines already received are still read
        EndNow,        // the reply is complete; nothing more is read
        Fail,          // the wait fails at once
    };
    struct ReplyWait {
        std::string_view prompt;
        std::size_t maxLength;
        std::int64_t seconds;
        bool restartOnLine;  // the time runs from the last line, not from the start
    };
    // Reads reply lines until `onLine` ends the wait, the time runs out or
    // the connection is lost; then acts on what the lines did.
    StepResult awaitReply(const ReplyWait& wait,
                          const std::function<LineVerdict(const std::string&)>& onLine);
    // Notes a line's effects; the MPOS that a POS line wants goes out at once.
    void collect(const ReplyEffects& effects);
    // Saves the record and tells the view once for all lines since the last
    // time.
    void settle();
    void askForMaster();

    StepResult connectRecord();
    // Sends a command line and waits for the start of its reply; fails on
    // time-out or loss (a loss is noted).
    StepResult sendCommandText(std::string_view text);
    // One line (or prompt) by the deadline; Arrived with it in `line`.
    WaitResult waitForLine(std::string& line, std::string_view prompt1, std::string_view prompt2,
                           std::int64_t deadline, std::size_t maxLength);
    void parseIdentification(const std::string& line);

    ReplyEffects pending_;  // of the lines since the last settle
    bool reconnectFailed_ = false;
    Network& network_;
    const Clock& clock_;
    Frontend& frontend_;
    DeviceView& view_;
    const AppState& state_;
    const AppSettings& settings_;
    DeviceDirectory* directory_;
};

}  // namespace zelo
