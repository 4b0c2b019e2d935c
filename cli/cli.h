#pragma once
// zeloctl's shared pieces: the session over one data directory, argument
// resolution, and output in tab-separated lines or JSON.

#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/workspace.h"

namespace zelo::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Session;
struct Command;

// The questions get zeloctl's fixed answers: reconnect yes, power yes (the
// command is the confirmation), a device restart only when asked for.
// Errors go to stderr in the configured language.
class CliFrontend final : public Frontend {
public:
    explicit CliFrontend(Session& s) : s_(s) {}
    void showError(Text textId, Text captionId) override;
    void showErrorDetail(Text textId, Text captionId, const std::string& detail) override;
    bool askYesNo(Text textId, Text captionId, Icon icon) override;
    bool restart = false;
    // While set, messages wait in `held` (their text ids in `heldIds`) until
    // release() prints them: a first attempt may be followed by a second.
    bool hold = false;
    std::vector<std::string> held;
    std::vector<Text> heldIds;
    void release();

private:
    Session& s_;
};

// zeloctl shows no rows; `listen` collects the accepted reports to print.
// An event log that cannot be written is told on stderr.
class CliView final : public DeviceView {
public:
    explicit CliView(Session& s) : s_(s) {}
    void recordChanged(const DeviceRecord&) override {}
    void outletsChanged(int) override {}
    void reportAccepted(const DeviceRecord& record) override {
        if (accepted) accepted->push_back(record);
    }
    void eventLogFailed(const std::string& path, const std::string& reason) override;
    void reportIgnored(const std::string& sender) override { ++ignored[sender]; }
    void itemFileFailed(const std::string& path) override;
    void itemFileWritten(const std::string& path) override;
    std::vector<DeviceRecord>* accepted = nullptr;
    std::map<std::string, std::size_t> ignored;  // reports per sender that named no device

private:
    Session& s_;
};

struct Session {
    Session(std::ostream& out, std::ostream& err, std::string dataDir, bool json);

    std::ostream& out;
    std::ostream& err;
    std::string dataDir;  // ends with a separator
    bool json;
    CliFrontend frontend{*this};
    CliView view{*this};
    SystemClock clock;
    std::unique_ptr<Network> network;
    Workspace workspace;
    AppSettings& settings;
    LangStrings& strings;
    DeviceDirectory& directory;

    // Prints "zeloctl: MESSAGE" on stderr and returns the usage exit code.
    int usage(const std::string& message) const;
    // The same with the usage line of the command `name`.
    int usageOf(const char* name) const;
    // One of zeloctl's own texts in the configured language: Japanese for
    // Language 0, English for any other.
    std::string say(std::string_view english, std::string_view japanese) const {
        return std::string(settings.language == Language::Japanese ? japanese : english);
    }
    // Prints a string-table text in the configured language (UTF-8) on
    // stderr and returns `code`.
    int fail(Text textId, int code = kExitFailed) const;
};

// Whether the data directory holds its directory file yet.
bool directoryFileExists(const Session& s);
// Writes the language in use into a ZELO.INI that names none (a data
// directory zeloctl has just started), so that its texts stay in the
// language the root was named in.
void keepLanguage(Session& s);

// What a DEVICE, GROUP or TARGET argument names.
struct Target {
    bool isGroup = false;
    std::uint32_t id = 0;
};

// Resolves a decimal id or an exact name (UTF-8); "group:ID" and "device:ID"
// say which kind an id means. On failure prints the usage error (naming the
// candidates of an ambiguous name) and returns nothing.
std::optional<Target> resolve(Session& s, const std::string& arg, bool groups, bool devices);

// The help of zeloctl and of one command, in Japanese or English (see
// help_text.cpp; a command without its Japanese text is shown in English).
void printHelp(std::ostream& out, bool japanese);
void printCommandHelp(std::ostream& out, const Command& c, bool japanese);

// Output helpers.
std::string jsonString(const std::string& utf8);
void printRow(Session& s, const std::vector<std::string>& fields);  // TAB-separated, UTF-8

struct Command {
    const char* name;
    const char* synopsis;
    const char* help;
    bool writes;  // false: reads only, no file is written
    std::function<int(Session&, const std::vector<std::string>&)> run;
};

// The command table (each subsystem's commands add their rows).
const std::vector<Command>& commands();
std::vector<Command> directoryCommands();
std::vector<Command> connectionCommands();
std::vector<Command> statusCommands();
std::vector<Command> scheduleCommands();

}  // namespace zelo::cli
