#pragma once
// The dialogue with one device: both logins and the identification, the
// command senders and reply waits of both dialects, and reconnection. The
// desktop program has one session at a time; a batch delivery may hold one
// per device.
//
// Results follow the dialogue's convention: true means failure.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/frontend.h"
#include "connection/device_connection.h"
#include "connection/device_status.h"
#include "directory/device_record.h"

namespace zelo {

struct AppSettings;
class DeviceDirectory;

// Message ids of the dialogue.
namespace msg {
inline constexpr int kError = 185;
inline constexpr int kConfirm = 184;
inline constexpr int kTooManyUsers = 189;
inline constexpr int kCannotConnect = 190;
inline constexpr int kDisconnected = 191;
inline constexpr int kNotSupported = 193;
inline constexpr int kBadCommunication = 194;
inline constexpr int kBadPassword = 195;
inline constexpr int kReconnectQuestion = 199;
}  // namespace msg

inline constexpr std::size_t kLineLength = 120;
inline constexpr std::size_t kPlainLineLength = 511;
inline constexpr std::int64_t kPlainPromptSeconds = 5;

// Where reply lines go that the readout and the settings code understand.
class ReplyParsers {
public:
    virtual ~ReplyParsers() = default;
    // One framed reply line; true when it reports an error.
    virtual bool parseFramedReply(const std::string& line) = 0;
    // One settings reply line (LIST lines, "?model=", "?debOlShutdownTime=");
    // true on failure (an unsupported model).
    virtual bool parseSettingLine(const std::string& line) = 0;
};

enum class Dialect { Framed, Plain, None };
Dialect dialectOf(int modelCode);

class DeviceSession {
public:
    // `directory` (may be null) is where the record is saved and its row
    // refreshed when the device reports new states.
    DeviceSession(Network& network, const Clock& clock, Frontend& frontend,
                  const AppSettings& settings, DeviceDirectory* directory);

    // --- logins (the message is shown and the connection closed on failure)
    bool loginFramed(bool reset);
    bool loginPlain(bool reset);
    void showErrorAndClose(int textId);
    // The plain dialect's start-up queries: 0 on success, else the message
    // id that the open sequence shows.
    int startPlainQueries();

    // --- commands and replies
    bool sendPlainCommand(std::string_view command);
    bool awaitPlainPrompt();
    bool writePlainSetting(std::string_view key, std::string_view value);
    bool sendFramedCommand(std::string_view command, bool withSelect);
    bool awaitFramedReply(std::optional<std::string_view> expectedKey);
    bool writeRegister(std::uint16_t number, std::string_view value, bool withSelect);
    // One plain reply line; true when the device rejected the command.
    bool parsePlainReply(std::string_view line);

    // Runs the login again, without a reset, when the connection was marked
    // lost. True on failure.
    bool reconnectIfNeeded();

    std::string framedPrompt() const;  // "%s:%s>"
    std::string framePrefix() const;   // "*%s:"
    std::string plainPrompt() const { return workingPromptName + "> "; }

    // Saves the record into its group and refreshes its row when saved.
    void saveRecord();

    Frontend& frontend() noexcept { return frontend_; }
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
    ReplyParsers* parsers = nullptr;

private:
    bool connectRecord();
    void noteLoss();
    // Sends a command line and waits for the start of its reply; true on
    // time-out or loss (a loss is noted).
    bool sendCommandText(std::string_view text);
    bool waitForLine(std::string& line, std::string_view prompt1, std::string_view prompt2,
                     std::int64_t deadline, std::size_t maxLength, bool* lost = nullptr);
    void parseIdentification(const std::string& line);
    void parsePlainVersion(std::string_view line);

    Network& network_;
    const Clock& clock_;
    Frontend& frontend_;
    const AppSettings& settings_;
    DeviceDirectory* directory_;
};

}  // namespace zelo
